#include <gtest/gtest.h>

#include "base/CallStack.h"
#include "base/ErrorProtocol.h"
#include "support/TestApp.h"

namespace gd {
namespace {

void enteredOnce() { CALLSTACK(); }

TEST(ErrorProtocol, LayoutOfTheProtocol) {
    test::TestApp t(false);
    CallStack::clear();
    enteredOnce();
    const ErrorInfo e{3021, QStringLiteral("Kein aktueller Datensatz."), QStringLiteral("modGlobal"),
                      QStringLiteral("subDeleteAuktion"), 0};
    const QStringList l = errorProtocol(e);
    const QString sep(70, QLatin1Char('-'));
    EXPECT_EQ(l[0], sep);
    EXPECT_EQ(l[1], QStringLiteral("F E H L E R P R O T O K O L L vom Pannenhelfer"));
    EXPECT_EQ(l[3], QStringLiteral("PROGRAMM-INFOS:"));
    EXPECT_EQ(l[4], QStringLiteral("          gaveldesk  V1.0.0"));
    EXPECT_EQ(l[6], QStringLiteral("FEHLERBESCHREIBUNG:"));
    EXPECT_EQ(l[7], QStringLiteral("          Fehler-Nr:\t3021 (Kein aktueller Datensatz.)"));
    EXPECT_EQ(l[8], QStringLiteral("          Modul:\tmodGlobal"));
    EXPECT_EQ(l[10], QStringLiteral("          Zeilen-Nr.:\t0"));
    EXPECT_EQ(l[11], QStringLiteral("          Datum/Uhrzeit:\t04.12.2026 / 08:44:02"));
    EXPECT_EQ(l[13], QStringLiteral("CALLSTACK:"));
    EXPECT_TRUE(l[14].startsWith(QStringLiteral("          [test_ErrorProtocol] Public Sub enteredOnce() ")));
    EXPECT_EQ(l[16], QStringLiteral("SYSTEMINFO:"));
    EXPECT_TRUE(l[17].startsWith(QStringLiteral("          Plattform:\t")));
    EXPECT_EQ(l.last(), sep);
    EXPECT_TRUE(errorProtocolText(e).endsWith(sep + QStringLiteral("\r\n")));
}

TEST(ErrorProtocol, PrinterWrapsLongLinesAtBlanks) {
    const QString longLine = QStringLiteral("wort ").repeated(30).trimmed();
    const QStringList w = wrapForPrinter({longLine, QStringLiteral("kurz")});
    ASSERT_GE(w.size(), 3);
    for (const QString& l : w) EXPECT_LE(l.size(), 73) << l.toStdString();
    EXPECT_TRUE(w[1].startsWith(QString(20, QLatin1Char(' ')) + QStringLiteral("wort")));
    EXPECT_EQ(w.last(), QStringLiteral("kurz"));
}

TEST(ErrorProtocol, WrittenInTheSystemsCodePageReplacingTheFile) {
    test::TestApp t(false);
    t.write(QStringLiteral("gaveldesk.ERR"), "alt");
    const ErrorInfo e{13, QStringLiteral("Typen unverträglich"), QStringLiteral("frmMain"), QStringLiteral("x"), 0};
    ASSERT_TRUE(writeErrorProtocol(e).ok());
    const QByteArray written = t.read(QStringLiteral("gaveldesk.ERR"));
    EXPECT_TRUE(written.contains("Typen unvertr\xE4glich"));  // Windows-1252
    EXPECT_TRUE(written.endsWith("\r\n"));
    EXPECT_FALSE(written.startsWith("alt"));
}

}  // namespace
}  // namespace gd
