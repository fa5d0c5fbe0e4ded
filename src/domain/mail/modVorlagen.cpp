#include "domain/mail/modVorlagen.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "base/AppPath.h"
#include "base/CallStack.h"
#include "base/SafeWrite.h"
#include "base/codepage.h"
#include "base/modFunktions.h"
#include "domain/settings/modIni.h"

#define CALLSTACK_V() CALLSTACK_MODULE("modGlobal")

namespace gd {
namespace {

// Each line followed by CR LF, as the template is read line by line.
QString readLines(const QString& path) {
    QFile f(path);
    // A template is a page of text; a file of megabytes is none.
    if (!f.open(QIODevice::ReadOnly) || f.size() > 1024 * 1024) return QString();
    QString text = win::decodeText(f.readAll()).text;
    if (text.isEmpty()) return QString();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
    QString out;
    for (const QString& l : text.split(QLatin1Char('\n'))) out += l + QStringLiteral("\r\n");
    return out;
}

}  // namespace

QString catalogueLetter(bool verkauf, bool bgruppiert) {
    if (!bgruppiert) return verkauf ? QStringLiteral("y") : QStringLiteral("x");
    return verkauf ? QStringLiteral("z") : QStringLiteral("w");
}

QString bodyLetter(bool verkauf, bool bgruppiert) {
    if (!bgruppiert) return verkauf ? QStringLiteral("y") : QStringLiteral("x");
    return verkauf ? QStringLiteral("w") : QStringLiteral("z");
}

QStringList templateNames(bool verkauf, bool bgruppiert) {
    CALLSTACK_V();
    const QString k = catalogueLetter(verkauf, bgruppiert);
    const QString ini = vorlagenIniPath();
    const int n =
        funCLng(funIni_GetString(ini, QStringLiteral("Vorlagen"), QStringLiteral("Anzahl") + k, QString(), false));
    QStringList out;
    for (int i = 0; i < n && i < 1000; ++i)
        out << funIni_GetString(ini, QStringLiteral("Vorlagen"), k + QString::number(i), QString(), false);
    return out;
}

QList<int> templateReminderLevels(bool verkauf, bool bgruppiert) {
    const QString k = catalogueLetter(verkauf, bgruppiert);
    const QString ini = vorlagenIniPath();
    QList<int> out;
    const qsizetype n = templateNames(verkauf, bgruppiert).size();
    for (qsizetype i = 0; i < n; ++i)
        out << qMax(0, int(funCLng(funIni_GetString(ini, QStringLiteral("Vorlagen"),
                                                    k + QStringLiteral("m") + QString::number(i), QStringLiteral("0"),
                                                    false))));
    return out;
}

QString templateSubject(bool verkauf, bool bgruppiert, int index) {
    return funIni_GetString(vorlagenIniPath(), QStringLiteral("Vorlagen"),
                            catalogueLetter(verkauf, bgruppiert) + QStringLiteral("o") + QString::number(index),
                            QString(), false);
}

QString templateFile(const QString& Index, bool verkauf, bool bgruppiert) {
    const QString path =
        AppPath() + QStringLiteral("/bin/") + bodyLetter(verkauf, bgruppiert) + Index + QStringLiteral(".dat");
    return QFileInfo::exists(path) ? path : QString();
}

QString Read_Protokoll_Version(const QString& Index, bool verkauf, bool bgruppiert) {
    CALLSTACK_V();
    return readRTF(templateFile(Index, verkauf, bgruppiert));
}

QString readRTF(const QString& file) {
    CALLSTACK_V();
    if (file.isEmpty() || !QFileInfo::exists(file)) return QString();
    return readLines(file);
}

Status WriteRTF(const QString& file, const QString& Text_String) {
    CALLSTACK_V();
    const Status written = writeFileSafely(file, win::toAnsi(Text_String));
    if (!written.ok())
        return Error::plain(QStringLiteral("Die Vorlage kann nicht in die Datei '") + file +
                            QStringLiteral("' geschrieben werden: ") + written.error().description);
    return {};
}

QString setExtension(const QString& text, const QString& ext) {
    CALLSTACK_V();
    // The file name's own extension: a dot in a folder's name ("/home/max.mustermann/") is no
    // extension, and cutting there wrote the template into another file.
    const qsizetype slash = std::max(text.lastIndexOf(QLatin1Char('/')), text.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = text.indexOf(QLatin1Char('.'), slash + 1);
    return (dot < 0 ? text : text.left(dot)) + ext;
}

}  // namespace gd
