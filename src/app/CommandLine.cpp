#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QTextStream>
#include <cstdio>

#include "app/modGlobal.h"

namespace gd {
namespace {

QTextStream& out() {
    static QTextStream s(stdout);
    return s;
}
QTextStream& err() {
    static QTextStream s(stderr);
    return s;
}

}  // namespace

QString productName() { return QStringLiteral("Orvo Gaveldesk 2005"); }

QString productVersion() {
    return QStringLiteral("%1.%2.%3").arg(GD_VERSION_MAJOR).arg(GD_VERSION_MINOR).arg(GD_VERSION_PATCH);
}

std::optional<int> runCommandLine(const QStringList& arguments) {
    if (arguments.size() <= 1) return std::nullopt;
    QCommandLineParser parser;
    parser.setApplicationDescription(productName() +
                                     QStringLiteral(" – Verwaltung der E-Mails nach dem Ende einer Auktion."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Zeigt diese Hilfe an."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Zeigt Programmname und Version an."));
    parser.addOption(help);
    parser.addOption(version);
    if (!parser.parse(arguments)) {
        err() << "gaveldesk: " << parser.errorText() << "\n"
              << "Aufruf ohne Optionen startet das Programmfenster; --help zeigt die Optionen.\n";
        err().flush();
        return 2;
    }
    if (parser.isSet(help)) {
        out() << parser.helpText();
        out().flush();
        return 0;
    }
    if (parser.isSet(version)) {
        out() << productName() << " " << productVersion() << "\n";
        out().flush();
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err() << "gaveldesk: unbekanntes Argument: " << parser.positionalArguments().first() << "\n";
        err().flush();
        return 2;
    }
    return std::nullopt;
}

}  // namespace gd
