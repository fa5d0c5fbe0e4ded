#include "domain/settings/Keywords.h"

#include <QFileInfo>
#include <QStringList>

#include "base/CallStack.h"
#include "domain/settings/modGlobal.h"
#include "domain/settings/modIni.h"

namespace gd {
namespace {

// A faulty keyword file must not bury the user under message boxes.
constexpr int kMaxLineMessages = 10;

// Split as the system's Split does: an empty text has no pieces.
QStringList pieces(const QString& s, QChar sep) { return s.isEmpty() ? QStringList() : s.split(sep); }

struct LineReader {
    const QString& line;
    QStringList& messages;
    bool failed = false;

    // The piece, or a failure noted once for the line.
    QString take(const QStringList& list, int index) {
        if (index < list.size()) return list[index];
        failed = true;
        return QString();
    }
    void finish() {
        // A line of megabytes is quoted by its start.
        if (failed && messages.size() < kMaxLineMessages)
            messages << QStringLiteral("Fehler beim Lesen von: ") +
                            (line.size() > 200 ? line.left(200) + QStringLiteral(" …") : line);
    }
};

void readMarkers(const QString& line, QString& start, QString& end, QStringList& messages) {
    LineReader r{line, messages};
    const QStringList eq = pieces(line, QLatin1Char('='));
    const QStringList parts = pieces(r.take(eq, 1), QLatin1Char('/'));
    const QString a = r.take(parts, 0);
    const QString b = r.take(parts, 1);
    if (parts.size() > 0) start = a;
    if (parts.size() > 1) end = b;
    r.finish();
}

tFeld readRule(const QString& line, QStringList& messages) {
    LineReader r{line, messages};
    tFeld f;
    const QStringList eq = pieces(line, QLatin1Char('='));
    const QStringList lhs = pieces(r.take(eq, 0), QLatin1Char('/'));
    f.sKey = r.take(lhs, 0);
    f.sEnde = r.take(lhs, 1);
    const QStringList rhs = pieces(r.take(eq, 1), QLatin1Char('/'));
    f.sTabelle = r.take(rhs, 0);
    f.sFeld = r.take(rhs, 1);
    r.finish();
    return f;
}

void loadSection(const QString& section, std::vector<tFeld>& table, bool withMarkers, QStringList& messages) {
    const auto lines = funIni_GetAllKeys(gsKeywordIni, section, false);
    if (!lines) return;
    table.clear();
    table.reserve(std::size_t(lines->size()));
    static const QString verk1 = QStringLiteral("#Verkäuferdaten1#");
    static const QString verk2 = QStringLiteral("#Verkäuferdaten2#");
    static const QString kaeu1 = QStringLiteral("#Käuferdaten1#");
    static const QString kaeu2 = QStringLiteral("#Käuferdaten2#");
    for (const QString& line : *lines) {
        if (withMarkers) {
            const QString head17 = line.left(17), head14 = line.left(14);
            if (head17 == verk1) {
                readMarkers(line, gsVerkaeuferdaten[1], gsVerkaeuferdaten[2], messages);
                continue;
            }
            if (head17 == verk2) {
                readMarkers(line, gsVerkaeuferdaten[3], gsVerkaeuferdaten[4], messages);
                continue;
            }
            if (head14 == kaeu1) {
                readMarkers(line, gsKaeuferdaten[1], gsKaeuferdaten[2], messages);
                continue;
            }
            if (head14 == kaeu2) {
                readMarkers(line, gsKaeuferdaten[3], gsKaeuferdaten[4], messages);
                continue;
            }
        }
        if (line.left(9) == QStringLiteral("#Betreff#")) continue;
        table.push_back(readRule(line, messages));
    }
}

}  // namespace

QStringList subGetFelder() {
    CALLSTACK_MODULE("modGlobal");
    QStringList messages;
    const QFileInfo file(gsKeywordIni);
    if (!file.isFile() || !file.isReadable()) {
        messages << QStringLiteral("Die Schlüsselwortdatei '%1' fehlt oder kann nicht gelesen werden. Ohne sie "
                                   "erkennt Gaveldesk keine Auktions-E-Mails.")
                        .arg(file.absoluteFilePath());
        return messages;
    }
    if (file.size() > kMaxSettingsFileBytes) {
        messages << QStringLiteral("Die Schlüsselwortdatei '%1' ist größer als 1 MB und wird nicht gelesen.")
                        .arg(file.absoluteFilePath());
        return messages;
    }
    loadSection(QStringLiteral("Sofortkauf"), gaSofortkauf, true, messages);
    loadSection(QStringLiteral("Kauf"), gaKauf, false, messages);
    loadSection(QStringLiteral("Verkauf"), gaVerkauf, false, messages);
    return messages;
}

}  // namespace gd
