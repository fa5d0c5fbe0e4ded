#include "base/ReadFile.h"

#include <QDir>
#include <QFile>

namespace gd {

Result<QByteArray> readBoundedFile(const QString& path, qint64 most) {
    QFile f(path);
    const QString shown = QDir::toNativeSeparators(path);
    if (!f.open(QIODevice::ReadOnly))
        return Error::plain(QStringLiteral("Die Datei „%1“ kann nicht gelesen werden: %2").arg(shown, f.errorString()));
    const auto tooLarge = [&](qint64 size) {
        return Error::plain(QStringLiteral("Die Datei „%1“ ist mit %2 MB größer als %3 MB und wird nicht gelesen.")
                                .arg(shown)
                                .arg((size + (1 << 20) - 1) >> 20)
                                .arg(most >> 20));
    };
    if (f.size() > most) return tooLarge(f.size());
    // One byte more than the file has: a file that grew meanwhile is seen, and no buffer of `most` is made.
    QByteArray bytes = f.read(f.size() + 1);
    if (f.error() != QFileDevice::NoError)
        return Error::plain(QStringLiteral("Die Datei „%1“ kann nicht gelesen werden: %2").arg(shown, f.errorString()));
    if (bytes.size() > most) return tooLarge(bytes.size());
    return bytes;
}

}  // namespace gd
