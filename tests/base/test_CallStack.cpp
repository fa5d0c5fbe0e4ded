#include <gtest/gtest.h>

#include <QRegularExpression>

#include "base/CallStack.h"

namespace gd {
namespace {

void entered() { CALLSTACK(); }

struct frmDemo {
    void cmdSenden_Click(short Index) {
        (void)Index;
        CALLSTACK();
    }
};

TEST(CallStack, KeepsTheTwentyNewestNewestFirst) {
    CallStack::clear();
    for (int i = 0; i < 25; ++i) CallStack::push(QStringLiteral("[modTest] Sub p%1()").arg(i));
    const QStringList e = CallStack::entries();
    ASSERT_EQ(e.size(), 20);
    EXPECT_TRUE(e.first().startsWith(QStringLiteral("[modTest] Sub p24() ")));
    EXPECT_TRUE(e.last().startsWith(QStringLiteral("[modTest] Sub p5() ")));
    static const QRegularExpression time(QStringLiteral(" \\d\\d:\\d\\d:\\d\\d$"));
    for (const QString& s : e) EXPECT_TRUE(time.match(s).hasMatch()) << s.toStdString();
}

// A function is listed each time it is entered; a member reads as a private handler of its form.
TEST(CallStack, EveryEntryListedWithItsKind) {
    CallStack::clear();
    entered();
    entered();
    frmDemo().cmdSenden_Click(2);
    const QStringList e = CallStack::entries();
    ASSERT_EQ(e.size(), 3);
    EXPECT_TRUE(e[0].startsWith(QStringLiteral("[test_CallStack] Private Sub cmdSenden_Click(Integer) ")))
        << e[0].toStdString();
    for (const QString& s : e.mid(1))
        EXPECT_TRUE(s.startsWith(QStringLiteral("[test_CallStack] Public Sub entered() "))) << s.toStdString();
}

TEST(CallStack, SignatureFromCompilerText) {
    struct Case {
        const char* pretty;
        const char* expected;
    };
    const Case cases[] = {
        {"QString gd::funIni_GetString(const QString&, const QString&, const QString&, const QString&, bool)",
         "[modIni] Public Function funIni_GetString(String, String, String, String, Boolean) As String"},
        {"void gd::subInitApp()", "[modIni] Public Sub subInitApp()"},
        {"qint32 gd::funCLng(const QString&)", "[modIni] Public Function funCLng(String) As Long"},
        {"void gd::frmMain::Form_Load()", "[modIni] Private Sub Form_Load()"},
        {"bool gd::funSaveKunde(gd::tKunde&, const QString&)",
         "[modIni] Public Function funSaveKunde(tKunde, String) As Boolean"},
    };
    for (const Case& c : cases) EXPECT_EQ(makeSignature("modIni", c.pretty).toStdString(), c.expected);
}

}  // namespace
}  // namespace gd
