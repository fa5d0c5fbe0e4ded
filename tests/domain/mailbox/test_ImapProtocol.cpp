// The IMAP responses read by their announced lengths, and the names and sets the client writes.
#include <gtest/gtest.h>

#include "domain/mailbox/ImapProtocol.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

QList<ImapResponse> readAll(ImapReader& reader, const QByteArray& bytes, int chunk) {
    QList<ImapResponse> out;
    for (qsizetype i = 0; i < bytes.size(); i += chunk) {
        reader.feed(bytes.mid(i, chunk));
        while (std::optional<ImapResponse> r = reader.next()) out << *r;
    }
    return out;
}

// A mail's bytes are taken as announced, whatever they hold: a line in a mail that looks like the
// end of the command does not end it, however the bytes come in.
TEST(ImapProtocol, ALiteralIsReadByItsLengthNotByWhatItHolds) {
    const QByteArray mail = "Subject: x\r\n\r\ng3 OK FETCH completed\r\n* BYE gone\r\n{5}\r\n";
    const QByteArray wire = "* 1 FETCH (UID 17 BODY[] {" + QByteArray::number(mail.size()) + "}\r\n" + mail +
                            ")\r\n* 2 FETCH (UID 18 RFC822.SIZE 4096)\r\ng3 OK FETCH completed\r\n";
    for (const int chunk : {1, 7, 4096}) {
        SCOPED_TRACE(chunk);
        ImapReader reader(1024, 1024);
        const QList<ImapResponse> got = readAll(reader, wire, chunk);
        ASSERT_EQ(got.size(), 3);
        EXPECT_EQ(got[0].kind, ImapResponse::Kind::Untagged);
        ASSERT_EQ(got[0].literals.size(), 1);
        EXPECT_EQ(got[0].literals[0], mail);
        ImapTokens t(got[0].text);
        EXPECT_EQ(t.next().text, "1");
        EXPECT_EQ(t.next().text, "FETCH");
        EXPECT_EQ(t.next().type, ImapToken::Type::Open);
        EXPECT_EQ(t.next().text, "UID");
        EXPECT_EQ(t.next().text, "17");
        EXPECT_EQ(t.next().text, "BODY[]");
        EXPECT_EQ(t.next().literal, 0);
        EXPECT_EQ(got[2].kind, ImapResponse::Kind::Tagged);
        EXPECT_EQ(got[2].tag, "g3");
        EXPECT_EQ(got[2].word(), "OK");
    }
}

// A server may not hold the client with endless lines or announce more than a mail may be.
TEST(ImapProtocol, ALineOrLiteralBeyondItsLimitStopsReading) {
    const struct {
        const char* what;
        QByteArray wire;
        const char* error;
    } cases[] = {
        {"endless line", QByteArray(2000, 'a'), "länger ist als erlaubt"},
        {"long line", "* " + QByteArray(2000, 'a') + "\r\n", "länger ist als erlaubt"},
        {"huge literal", "* 1 FETCH (BODY[] {999999999}\r\n", "999999999 Bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ImapReader reader(1024, 4096);
        EXPECT_TRUE(readAll(reader, c.wire, 100).isEmpty());
        EXPECT_TRUE(reader.error().contains(QString::fromUtf8(c.error))) << reader.error().toStdString();
        reader.feed("* OK\r\n");
        EXPECT_FALSE(reader.next());  // nothing after that
    }
}

TEST(ImapProtocol, NamesSetsAndStrings) {
    const struct {
        QString name;
        QByteArray wire;
    } names[] = {
        {u"INBOX"_s, "INBOX"},
        {u"Gaveldesk/Eingelesen"_s, "Gaveldesk/Eingelesen"},
        {u"Verkäufe/Österreich"_s, "Verk&AOQ-ufe/&ANY-sterreich"},
        {u"Tom & Jerry"_s, "Tom &- Jerry"},
        {u"Заказы"_s, "&BBcEMAQ6BDAENwRL-"},
        {u"日本語"_s, "&ZeVnLIqe-"},
    };
    for (const auto& n : names) {
        EXPECT_EQ(encodeMailboxName(n.name), n.wire) << n.name.toStdString();
        EXPECT_EQ(decodeMailboxName(n.wire), n.name) << n.wire.toStdString();
    }
    EXPECT_EQ(uidSet({1, 2, 3, 4, 7, 9, 10, 11, 12}), "1:4,7,9:12");
    EXPECT_EQ(uidSet({5}), "5");
    EXPECT_EQ(*quoted("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_FALSE(quoted("zeile\r\nA1 LOGOUT"));  // no command smuggled into a string
    EXPECT_FALSE(quoted("Müller"));
}

}  // namespace
}  // namespace gd
