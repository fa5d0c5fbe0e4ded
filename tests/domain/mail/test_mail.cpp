#include <gtest/gtest.h>

#include <QDir>
#include <QMap>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

#include "base/Money.h"
#include "domain/bank/GiroCode.h"
#include "domain/mail/MailComposer.h"
#include "domain/mail/MailSender.h"
#include "domain/mail/modVorlagen.h"
#include "support/DbTestShared.h"
#include "support/FakeMailSender.h"

namespace gd {
namespace {

TEST(Vorlagen, FilesKindsAndNames) {
    test::TestApp app(true);
    subInitApp();
    EXPECT_EQ(templateNames(false, false).size(), 6);
    // the reminders are marked in the sales catalogues only
    EXPECT_EQ(templateReminderLevels(false, false), (QList<int>{0, 0, 0, 0, 1, 2}));
    EXPECT_EQ(templateReminderLevels(false, true), (QList<int>{0, 0, 0, 1, 2}));
    EXPECT_EQ(templateReminderLevels(true, false), (QList<int>{0, 0, 0}));
    EXPECT_EQ(templateNames(true, true).first(), QStringLiteral("Käufe bestätigen, Zahlungsdaten erbitten"));
    // grouped to a supplier: names from "z", body from w0.dat
    EXPECT_TRUE(Read_Protokoll_Version(QStringLiteral("0"), true, true)
                    .contains(QStringLiteral("ich habe bei Ihnen folgende Artikel")));
    EXPECT_EQ(gsVorlagenDatei, app.file(QStringLiteral("bin/w0.dat")));
    EXPECT_EQ(templateSubject(true, true, 0), QStringLiteral("Meine Käufe bei Ihnen"));
    // every catalogue entry has its body
    for (bool l : {false, true})
        for (bool g : {false, true})
            for (int i = 0; i < templateNames(l, g).size(); ++i)
                EXPECT_FALSE(Read_Protokoll_Version(QString::number(i), l, g).isEmpty()) << l << g << i;
    app.write(QStringLiteral("bin/y2.dat"), "A\r\nB");
    EXPECT_EQ(Read_Protokoll_Version(QStringLiteral("2"), true, false), QStringLiteral("A\r\nB\r\n"));
    const QString before = gsVorlagenDatei;
    EXPECT_EQ(Read_Protokoll_Version(QStringLiteral("9"), true, false), QString());
    EXPECT_EQ(gsVorlagenDatei, before);  // a missing file changes nothing
    EXPECT_TRUE(test::ok(WriteRTF(QStringLiteral("neu\r\nZeile"))));
    EXPECT_EQ(app.read(QStringLiteral("bin/y2.dat")), QByteArray("neu\r\nZeile"));
    EXPECT_EQ(setExtension(QStringLiteral("C:/a.b/vorlage.txt"), QStringLiteral(".datV")), QStringLiteral("C:/a.datV"));
    EXPECT_EQ(setExtension(QStringLiteral("brief"), QStringLiteral(".datV")), QStringLiteral("brief.datV"));
    gsVorlagenDatei = app.file(QStringLiteral("kein/ordner/x.datV"));
    EXPECT_TRUE(test::failure(WriteRTF(QStringLiteral("x"))).startsWith(QStringLiteral("Die Vorlage kann nicht")));
}

MailInputs single() {
    MailInputs in;
    in.sName = QStringLiteral("Hans Müller");
    in.sPreis = QStringLiteral("24,50");
    in.sVersand = QStringLiteral("4,90");
    in.sEmail = QStringLiteral(" hans@example.de ");
    in.sArtikelnummer = QStringLiteral("1234567890");
    in.sBezeichnung = QStringLiteral("Kaffeemühle");
    in.sGesamtbetrag = QStringLiteral("29,40");
    in.sAngebotsende = QStringLiteral("04.12.2026");
    return in;
}

TEST(MailComposer, PlaceholdersInsuredSentenceSubjectAndUrl) {
    test::TestApp app(false);
    gsStandardUser = QStringLiteral("gavel_haendler");
    gsKontonummer = QStringLiteral("123");
    MailComposer c(single());
    const QString sentence = QStringLiteral(
        "Falls Sie einen versicherten Versand per Postpaket wünschen, so betragen die "
        "Versandkosten [#versicherterversand#] EUR.");
    gsVersicherterVersand = QStringLiteral("0.00");
    EXPECT_EQ(c.fillBody(
                  QStringLiteral("Hallo [#ebaynameto#], [#Preis#]+[#Versand#]=[#Gesamtbetrag#] auf [#Kontonummer#]. ") +
                  sentence + QStringLiteral(" [#ArtikelGroupText#]")),
              QStringLiteral("Hallo Hans Müller, 24,50+4,90=29,40 auf 123.  [#ArtikelGroupText#]"));
    gsVersicherterVersand = QStringLiteral("4.90");
    EXPECT_TRUE(c.fillBody(sentence).contains(QStringLiteral("Versandkosten 4.90 EUR.")));
    EXPECT_EQ(c.fillSubject(QStringLiteral("[#Artikelnummer#]: [#Bezeichnung#] bei [#StandardUser#] [#Preis#]")),
              QStringLiteral("1234567890: Kaffeemühle bei gavel_haendler [#Preis#]"));

    // The footer is part of what the form shows, so nothing is added on the way out.
    gbFusszeile = true;
    const QString shown = c.shownBody(QStringLiteral("Zeile 1\r\nZeile\t2"));
    EXPECT_EQ(shown,
              QStringLiteral("Zeile 1\r\nZeile\t2\r\n\r\n-INFO-\r\nDiese E-Mail wurde mit dem Orvo Gaveldesk 2005 "
                             "erstellt. Weitere Informationen erhalten Sie unter: http://www.gavelmail.de/gaveldesk/"));
    EXPECT_EQ(c.shownBody(shown), shown);  // no second footer
    EXPECT_EQ(c.shownBody(QStringLiteral("a") + mailFooter()), QStringLiteral("a") + mailFooter());
    EXPECT_EQ(c.finalBody(QStringLiteral("a%0D%0Ab")), QStringLiteral("a\r\nb"));
    gbFusszeile = false;
    EXPECT_EQ(c.shownBody(QStringLiteral("Zeile 1")), QStringLiteral("Zeile 1"));
    gbFusszeile = true;
    glProzent20 = 0;
    glNobody = 0;
    const QString url =
        c.mailtoUrl(QStringLiteral("a\r\nb\tc"), QStringLiteral("Ihr Kauf"), QStringLiteral(" c@x.de "), QString());
    EXPECT_EQ(url, QStringLiteral("mailto:hans@example.de&cc= c@x.de?subject=Ihr Kauf&body=a%0D%0Ab%09c"));
    glProzent20 = 1;
    glNobody = 1;
    EXPECT_EQ(c.mailtoUrl(QStringLiteral("a"), QStringLiteral("Ihr Kauf"), QString(), QStringLiteral("b@x.de")),
              QStringLiteral("mailto:hans@example.de&bcc= b@x.de?subject=Ihr%20Kauf"));
    glProzent20 = glNobody = 0;
    // The shipped sale catalogue: four templates, then the two reminders.
    const QList<int> ladder{0, 0, 0, 0, 1, 2}, noReminders{0, 0, 0, 0};
    struct Pre {
        const char* status;
        bool overdue;
        int sent;  // highest reminder level sent
        const QList<int>* levels;
        int entry;
    };
    for (const Pre& p : {Pre{"Versendet", false, 0, &ladder, 1}, Pre{"Bewertung erhalten", false, 0, &ladder, 0},
                         Pre{"Bewertet", false, 0, &ladder, 3},
                         Pre{"Abgeschlossen", false, 0, &ladder, 0},  // entry 4 is a reminder: never for a closed trade
                         Pre{"Abgeschlossen", false, 0, &noReminders, 0}, Pre{"", true, 0, &ladder, 4},
                         Pre{"Geantwortet", true, 1, &ladder, 5}, Pre{"", true, 2, &ladder, 5},
                         Pre{"", true, 7, &ladder, 5}, Pre{"Versendet", true, 0, &noReminders, 1}}) {
        MailInputs in = single();
        in.sStatus = QString::fromUtf8(p.status);
        in.bUeberfaellig = p.overdue;
        in.iMahnstufe = p.sent;
        EXPECT_EQ(MailComposer(in).preselection(*p.levels), p.entry) << p.status << " sent " << p.sent;
    }
}

TEST(MailComposer, MailtoUrlForEverySwitchParsesBack) {
    test::TestApp app(false);
    MailComposer c(single());
    // Names beyond Windows-1252 and characters that would end a field or the URL
    const QString body = QStringLiteral(
        "Dzień dobry Łukasz,\r\n\tPreis: 24,50 € (5 % Rabatt) & Versand #4711?\r\n"
        "улица Ленина 5\r\nGruß");
    const QString subject = QStringLiteral("Ihr Kauf: Kaffeemühle „Dvořák“ & Co #2");
    for (int p20 : {0, 1})
        for (int nobody : {0, 1})
            for (bool copies : {false, true}) {
                glProzent20 = p20;
                glNobody = nobody;
                const QString url = c.mailtoUrl(body, subject, copies ? QStringLiteral("cc@x.de") : QString(),
                                                copies ? QStringLiteral("bcc@x.de") : QString());
                SCOPED_TRACE(url.toStdString());
                ASSERT_TRUE(url.startsWith(QStringLiteral("mailto:hans@example.de")));
                for (const QChar ch : url) EXPECT_LT(ch.unicode(), 0x80);  // all of it encoded
                const qsizetype q = url.indexOf(QStringLiteral("?subject="));
                ASSERT_GT(q, 0);
                EXPECT_EQ(url.count(QLatin1Char('?')), 1);
                EXPECT_FALSE(url.contains(QLatin1Char('#')));
                EXPECT_EQ(url.mid(7, q - 7), copies ? QStringLiteral("hans@example.de&cc= cc@x.de&bcc= bcc@x.de")
                                                    : QStringLiteral("hans@example.de"));
                const qsizetype b = url.indexOf(QStringLiteral("&body="));
                const QString s = url.mid(q + 9, b < 0 ? -1 : b - q - 9);
                EXPECT_EQ(QUrl::fromPercentEncoding(s.toLatin1()), subject);
                EXPECT_EQ(s.contains(QLatin1Char(' ')), p20 == 0);
                if (nobody) {
                    EXPECT_LT(b, 0);
                } else {
                    EXPECT_EQ(QUrl::fromPercentEncoding(url.mid(b + 6).toLatin1()), body);
                }
                // What the desktop is given reads back the same.
                const QUrlQuery query(QUrl(url).query(QUrl::FullyEncoded));
                EXPECT_EQ(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded), subject);
            }
    glProzent20 = glNobody = 0;
}

TEST(MailComposer, PurchaseTemplatesFillEveryPlaceholder) {
    test::TestApp app(true);
    subInitApp();
    gsStandardUser = QStringLiteral("gavel_haendler");
    gsHTTPLink1 = QStringLiteral("http://shop.example.de");
    MailInputs in = single();
    in.bLieferant = true;
    in.sName = QStringLiteral("Bärbel Öztürk");
    MailComposer c(in);
    for (int i = 0; i < templateNames(true, false).size(); ++i) {
        const QString text = c.fillBody(Read_Protokoll_Version(QString::number(i), true, false));
        EXPECT_FALSE(text.contains(QStringLiteral("[#"))) << i << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Bärbel Öztürk"))) << i;
    }
    for (int i = 0; i < templateNames(false, false).size(); ++i)
        EXPECT_FALSE(
            c.fillBody(Read_Protokoll_Version(QString::number(i), false, false)).contains(QStringLiteral("[#")))
            << "sale " << i;
}

class MailDb : public test::DbTest {};

// The one rule of sending: a mail that did not go out records no milestone and no
// reminder; one that went out records each once.
TEST_F(MailDb, OnlyAMailThatWentOutRecords) {
    const QString id = store(auktion(QStringLiteral("31"), QStringLiteral("bea")), kunde(QStringLiteral("bea")));
    MailInputs in = single();
    in.sAuktionsID = id;
    const MailComposer c(in);
    const auto log = std::make_shared<test::FakeMailSender::Log>();
    test::FakeMailSender sender(log);
    const OutgoingMail mail{QStringLiteral("bea@example.de"), {}, {}, QStringLiteral("Zahlung"),
                            QStringLiteral("Text"),           {}};
    const auto recorded = [&] {
        return count(QStringLiteral("select count(*) as n from Mahnungen")) * 10 +
               count(QStringLiteral("select count(*) as n from Auktionen where Antwort <> 0"));
    };
    log->failWith = QStringLiteral("Verbindung abgelehnt");
    SendOutcome out = sendAndRecord(sender, c, mail, 1, 1);
    EXPECT_FALSE(out.sent.ok());
    EXPECT_FALSE(out.recordedAny);
    EXPECT_EQ(recorded(), 0);
    log->failWith.clear();
    out = sendAndRecord(sender, c, mail, 1, 1);
    EXPECT_TRUE(out.sent.ok());
    EXPECT_TRUE(out.recorded.ok());
    EXPECT_EQ(recorded(), 11);
    EXPECT_EQ(log->sent.size(), 1);
}

// The amounts a filled mail shows, by the label of their line ("Preis", "Versand" …).
QMap<QString, qint64> amountsIn(const QString& body, qint64* menge) {
    QMap<QString, qint64> found;
    static const QRegularExpression line(QStringLiteral(R"(^\s*([A-Za-zäöü ]+):\s+([-0-9.,]+)( EUR)?\s*$)"),
                                         QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(body); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(1) == QStringLiteral("Menge"))
            *menge = m.captured(2).toLongLong();
        else if (m.captured(3).isEmpty())
            continue;
        else
            found.insert(m.captured(1), parseCents(m.captured(2)).value_or(-1));
    }
    return found;
}

// Every default template that names amounts shows parts that add up to the stored
// total, and the payment code asks for that total: one sale of two pieces with
// insurance, and a group of two sales with insurance (30,90 + 12,40).
TEST_F(MailDb, EveryTemplateShowsPartsThatAddUpToTheStoredTotal) {
    for (const QString& f : QDir(QStringLiteral(GD_RESOURCES_DIR "/bin"))
                                .entryList({QStringLiteral("*.dat"), QStringLiteral("Vorlagen.ini")}))
        QFile::copy(QStringLiteral(GD_RESOURCES_DIR "/bin/") + f, app.file(QStringLiteral("bin/") + f));
    gsIBAN = QStringLiteral("DE89370400440532013000");
    gsKontoinhaber = QStringLiteral("Jörg Händler");
    tKunde k = kunde(QStringLiteral("sammler"));
    tAuktion one = auktion(QStringLiteral("11"), QStringLiteral("sammler"), QStringLiteral("01.12.2026"));
    one.Preis = QStringLiteral("24,50");
    one.Versandversicherung = QStringLiteral("1,50");
    one.Betrag = QStringLiteral("30,90");
    tAuktion two = auktion(QStringLiteral("12"), QStringLiteral("sammler"), QStringLiteral("02.12.2026"));
    two.Preis = QStringLiteral("3,00");
    two.Menge = QStringLiteral("2");
    two.Versandversicherung = QStringLiteral("1,50");
    two.Betrag = QStringLiteral("12,40");
    const QString twoId = store(two, k);
    store(one, k);

    tAuktion stored;
    ASSERT_TRUE(test::found(funLoadAuktion(stored, twoId)));
    ASSERT_TRUE(test::found(funLoadKunde(k, QStringLiteral("sammler"))));
    Result<MailInputs> singleIn = mailInputsFor(stored, k, stored.Preis, stored.Versandkosten, stored.Betrag);
    ASSERT_TRUE(test::ok(singleIn));
    const QString group = LoadMaxGruppenID(QStringLiteral("sammler")).value();
    ASSERT_TRUE(test::ok(saveGruppenID(group, QStringLiteral("sammler"))));
    MailInputs groupIn = single();
    groupIn.bGruppiert = true;
    groupIn.sKundennr = group;

    const struct {
        MailInputs in;
        qint64 total;
    } mails[] = {{singleIn.value(), 1240}, {groupIn, 4330}};
    for (const auto& mail : mails) {
        MailComposer c(mail.in);
        ASSERT_TRUE(test::ok(c.loadGroup()));
        ASSERT_EQ(c.inputs().sGesamtbetrag, centsText(mail.total));
        EXPECT_EQ(c.totalCents(), mail.total);
        const QByteArray amount = "\nEUR" + QByteArray::number(mail.total / 100) + '.' +
                                  QByteArray::number(mail.total % 100).rightJustified(2, '0') + '\n';
        EXPECT_TRUE(c.giroCodePayload().contains(amount)) << c.giroCodePayload().constData();
        int withParts = 0;
        for (int i = 0; i < templateNames(false, mail.in.bGruppiert).size(); ++i) {
            const QString body = c.fillBody(Read_Protokoll_Version(QString::number(i), false, mail.in.bGruppiert));
            qint64 menge = 1;
            const QMap<QString, qint64> a = amountsIn(body, &menge);
            if (!a.contains(QStringLiteral("Gesamtbetrag"))) continue;
            EXPECT_EQ(a.value(QStringLiteral("Gesamtbetrag")), mail.total) << body.toStdString();
            if (!a.contains(QStringLiteral("Versand"))) continue;  // a reminder names the total alone
            ++withParts;
            const qint64 items =
                a.value(QStringLiteral("Preis")) * menge + a.value(QStringLiteral("Summe der Artikel"));
            EXPECT_EQ(items + a.value(QStringLiteral("Versand")) + a.value(QStringLiteral("Versicherung")), mail.total)
                << body.toStdString();
        }
        EXPECT_EQ(withParts, 1);
    }
    MailComposer grouped(groupIn);
    ASSERT_TRUE(test::ok(grouped.loadGroup()));
    EXPECT_EQ(grouped.artikelGroupText(),
              QStringLiteral("11 - Kaffeemühle 11 vom 01.12.2026\r\n12 - Kaffeemühle 12 vom 02.12.2026\r\n"));
    EXPECT_EQ(grouped.datumGroupText(), QStringLiteral("01.12.2026, 02.12.2026 "));
    EXPECT_EQ(grouped.nummernGroupText(), QStringLiteral("11 - 12"));
    EXPECT_EQ(grouped.fillSubject(QStringLiteral("[#Artikelnummer#] [#Bezeichnung#]")),
              QStringLiteral("11 - 12 Kaffeemühle"));
    EXPECT_EQ(grouped.fillBody(QStringLiteral("[#Bezeichnung#]")), QStringLiteral("[#Bezeichnung#]"));
    // A single piece without insurance has no lines for them.
    MailComposer plain(single());
    EXPECT_EQ(plain.fillBody(QStringLiteral("a\r\nMenge: [#Menge#]\r\nVersicherung: [#Versicherung#] EUR\r\nb")),
              QStringLiteral("a\r\nb"));
}

}  // namespace
}  // namespace gd

namespace gd {
namespace {

class MailInputsTest : public test::DbTest {};

// What the main window hands the mail form: the pane's texts, the partner, and
// whether the partner's auctions are grouped.
TEST_F(MailInputsTest, FromTheSelectedAuctionAndItsPartner) {
    tKunde k = kunde(QStringLiteral("sammler"));
    const QString id = store(auktion(QStringLiteral("11"), QStringLiteral("sammler")), k);
    tAuktion a;
    ASSERT_TRUE(test::found(funLoadAuktion(a, id)));
    ASSERT_TRUE(test::found(funLoadKunde(k, QStringLiteral("sammler"))));
    Result<MailInputs> in =
        mailInputsFor(a, k, QStringLiteral("12,50"), QStringLiteral("4,90"), QStringLiteral("17,40"));
    ASSERT_TRUE(test::ok(in));
    EXPECT_EQ(in->sName, QStringLiteral("Hans Müller"));
    EXPECT_EQ(in->sEmail, QStringLiteral("sammler@example.de"));
    EXPECT_EQ(in->sGesamtbetrag, QStringLiteral("17,40"));
    EXPECT_EQ(in->sAuktionsID, id);
    EXPECT_EQ(in->sDatumBezahlt, QString());  // not paid, no picker: never "00:00:00"
    EXPECT_EQ(mailInputsFor(a, k, {}, {}, {}, QDate(2026, 12, 6))->sDatumBezahlt, QStringLiteral("06.12.2026"));
    a.Datum[2] = QDateTime(QDate(2026, 12, 5), QTime(0, 0));
    EXPECT_EQ(mailInputsFor(a, k, {}, {}, {}, QDate(2026, 12, 6))->sDatumBezahlt, QStringLiteral("05.12.2026"));
    EXPECT_FALSE(in->bGruppiert);
    ASSERT_TRUE(test::ok(saveGruppenID(k.KundenNr, QStringLiteral("sammler"))));
    ASSERT_TRUE(test::found(funLoadAuktion(a, id)));
    EXPECT_TRUE(mailInputsFor(a, k, {}, {}, {})->bGruppiert);
    gsDataSource = app.file(QStringLiteral("fehlt.mdb"));
    EXPECT_TRUE(test::failure(mailInputsFor(a, k, {}, {}, {})).startsWith(QStringLiteral("Beim Laden der GruppenID")));
}

}  // namespace
}  // namespace gd
