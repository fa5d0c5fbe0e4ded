#include "base/ErrorProtocol.h"

#include <QFileInfo>
#include <QSysInfo>

#include "base/AppPath.h"
#include "base/CallStack.h"
#include "base/Clock.h"
#include "base/Product.h"
#include "base/SafeWrite.h"
#include "base/codepage.h"

namespace gd {
namespace {

QString& progInfoText() {
    static QString t;
    return t;
}

const QString kSeparator(70, QLatin1Char('-'));
const QString kIndent(10, QLatin1Char(' '));

}  // namespace

QString progInfo() {
    if (progInfoText().isEmpty()) return ExeName() + QStringLiteral("  V") + productVersion();
    return progInfoText();
}

void SetProgInfo(const QString& text) { progInfoText() = text; }

QString LPSTRToVBString(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? QString() : text.left(nul);
}

QStringList errorProtocol(const ErrorInfo& e) {
    const QString titles[4] = {QStringLiteral("Fehler-Nr:"), QStringLiteral("Modul:"), QStringLiteral("Prozedur:"),
                               QStringLiteral("Zeilen-Nr.:")};
    const QString values[4] = {QString::number(e.number) + QStringLiteral(" (") + e.description + QLatin1Char(')'),
                               e.module, e.procedure, QString::number(e.line)};
    QStringList l;
    l << kSeparator << QStringLiteral("F E H L E R P R O T O K O L L vom Pannenhelfer") << kSeparator
      << QStringLiteral("PROGRAMM-INFOS:") << kIndent + progInfo() << kSeparator
      << QStringLiteral("FEHLERBESCHREIBUNG:");
    for (int i = 0; i < 4; ++i) l << kIndent + titles[i] + QLatin1Char('\t') + values[i];
    const QDateTime t = now();
    l << kIndent + QStringLiteral("Datum/Uhrzeit:\t") + t.toString(QStringLiteral("dd.MM.yyyy")) +
             QStringLiteral(" / ") + t.toString(QStringLiteral("HH:mm:ss"));
    l << kSeparator << QStringLiteral("CALLSTACK:");
    for (const QString& entry : CallStack::entries()) l << kIndent + entry;
    l << kSeparator << QStringLiteral("SYSTEMINFO:");
    // The platform line names the operating system family: "Windows NT" on any Windows,
    // else the operating system's own name.
    const QString platformName = QSysInfo::productType() == QStringLiteral("windows") ? QStringLiteral("Windows NT")
                                                                                      : QSysInfo::prettyProductName();
    l << kIndent + QStringLiteral("Plattform:\t") + platformName;
    const QStringList kv = QSysInfo::kernelVersion().split(QLatin1Char('.'));
    l << kIndent + QStringLiteral("Version:\t") + kv.value(0) + QLatin1Char('.') + kv.value(1);
    l << kIndent + QStringLiteral("Build:\t") + kv.mid(2).join(QLatin1Char('.')) + QStringLiteral("   ") +
             QSysInfo::kernelType();
    l << kSeparator;
    return l;
}

QString errorProtocolText(const ErrorInfo& e) {
    return errorProtocol(e).join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QStringList wrapForPrinter(const QStringList& lines) {
    QStringList out;
    const QString cont(20, QLatin1Char(' '));
    for (const QString& line : lines) {
        QString rest = line;
        bool first = true;
        while (rest.size() > 73) {
            qsizetype cut = rest.lastIndexOf(QLatin1Char(' '), 73);
            if (cut <= (first ? 0 : 20)) cut = 73;  // no blank: cut hard
            out << rest.left(cut);
            rest = cont + rest.mid(cut).trimmed();
            first = false;
        }
        out << rest;
    }
    return out;
}

QString protocolFilePath() { return AppPath() + QLatin1Char('/') + ExeName() + QStringLiteral(".ERR"); }

Status noteInProtocol(const QString& text) {
    const QString line = QStringLiteral("\r\n") + now().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")) +
                         QStringLiteral("  ") + text + QStringLiteral("\r\n");
    return appendFileDurably(protocolFilePath(), win::toAnsi(line));
}

Status writeErrorProtocol(const ErrorInfo& e) {
    CALLSTACK();
    const QString path = protocolFilePath();
    const Status written = writeFileSafely(path, win::toAnsi(errorProtocolText(e)));
    if (!written.ok())
        return Error::plain(QStringLiteral("Das Fehlerprotokoll kann nicht in die Datei '") + path +
                            QStringLiteral("' geschrieben werden: ") + written.error().description);
    return {};
}

}  // namespace gd
