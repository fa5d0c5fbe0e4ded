#include <gtest/gtest.h>

#include <QRegularExpression>

#include "base/CallStack.h"
#include "base/ErrorProtocol.h"
#include "support/TestApp.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

void enteredOnce() { CALLSTACK(); }

TEST(ErrorProtocol, LayoutOfTheProtocol) {
    test::TestApp t(false);
    CallStack::clear();
    enteredOnce();
    const ErrorInfo e{3021, u"Kein aktueller Datensatz."_s, u"modGlobal"_s, u"subDeleteAuktion"_s, 0};
    const QString sep(70, QLatin1Char('-'));
    const QStringList l = errorProtocol(e);
    ASSERT_GE(l.size(), 18);
    EXPECT_EQ(
        l.mid(0, 14).join(u'\n').replace(sep, u"--"_s),
        u"--\nF E H L E R P R O T O K O L L vom Pannenhelfer\n--\nPROGRAMM-INFOS:\n          gaveldesk  V1.0.0\n--\n"
        "FEHLERBESCHREIBUNG:\n          Fehler-Nr:\t3021 (Kein aktueller Datensatz.)\n          Modul:\tmodGlobal\n"
        "          Prozedur:\tsubDeleteAuktion\n          Zeilen-Nr.:\t0\n"
        "          Datum/Uhrzeit:\t04.12.2026 / 08:44:02\n--\nCALLSTACK:"_s);
    EXPECT_TRUE(l[14].startsWith(u"          [test_ErrorProtocol] Public Sub enteredOnce() "_s));
    EXPECT_EQ(l.mid(15, 2), (QStringList{sep, u"SYSTEMINFO:"_s}));
    EXPECT_TRUE(l[17].startsWith(u"          Plattform:\t"_s));
    EXPECT_EQ(l.last(), sep);
    EXPECT_TRUE(errorProtocolText(e).endsWith(sep + u"\r\n"_s));
}

TEST(ErrorProtocol, PrinterWrapsLongLinesAtBlanks) {
    const QString longLine = u"wort "_s.repeated(30).trimmed();
    const QStringList w = wrapForPrinter({longLine, u"kurz"_s});
    ASSERT_GE(w.size(), 3);
    for (const QString& l : w) EXPECT_LE(l.size(), 73) << l.toStdString();
    EXPECT_TRUE(w[1].startsWith(QString(20, QLatin1Char(' ')) + u"wort"_s));
    EXPECT_EQ(w.last(), u"kurz"_s);
}

TEST(ErrorProtocol, WrittenInTheSystemsCodePageReplacingTheFile) {
    test::TestApp t(false);
    t.write(u"gaveldesk.ERR"_s, "alt");
    const ErrorInfo e{13, u"Typen unverträglich"_s, u"frmMain"_s, u"x"_s, 0};
    ASSERT_TRUE(writeErrorProtocol(e).ok());
    const QByteArray written = t.read(u"gaveldesk.ERR"_s);
    EXPECT_TRUE(written.contains("Typen unvertr\xE4glich"));  // Windows-1252
    EXPECT_TRUE(written.endsWith("\r\n"));
    EXPECT_FALSE(written.startsWith("alt"));
}

TEST(CallStack, KeepsTheTwentyNewestNewestFirst) {
    CallStack::clear();
    for (int i = 0; i < 25; ++i) CallStack::push(u"[modTest] Sub p%1()"_s.arg(i));
    const QStringList e = CallStack::entries();
    ASSERT_EQ(e.size(), 20);
    EXPECT_TRUE(e.first().startsWith(u"[modTest] Sub p24() "_s));
    EXPECT_TRUE(e.last().startsWith(u"[modTest] Sub p5() "_s));
    static const QRegularExpression time(u" \\d\\d:\\d\\d:\\d\\d$"_s);
    for (const QString& s : e) EXPECT_TRUE(time.match(s).hasMatch()) << s.toStdString();
}

TEST(CallStack, SignatureFromCompilerText) {
    const struct {
        const char* pretty;
        const char* expected;
    } cases[] = {
        {"QString gd::funIni_GetString(const QString&, const QString&, const QString&, const QString&, bool)",
         "[modIni] Public Function funIni_GetString(String, String, String, String, Boolean) As String"},
        {"void gd::subInitApp()", "[modIni] Public Sub subInitApp()"},
        {"qint32 gd::funCLng(const QString&)", "[modIni] Public Function funCLng(String) As Long"},
        {"void gd::frmMain::Form_Load()", "[modIni] Private Sub Form_Load()"},
        {"bool gd::funSaveKunde(gd::tKunde&, const QString&)",
         "[modIni] Public Function funSaveKunde(tKunde, String) As Boolean"},
    };
    for (const auto& c : cases) EXPECT_EQ(makeSignature("modIni", c.pretty).toStdString(), c.expected);
}

}  // namespace
}  // namespace gd
