#include <gtest/gtest.h>

#include <QDir>
#include <QMap>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

#include "base/Money.h"
#include "domain/mail/MailComposer.h"
#include "domain/mail/MailSender.h"
#include "domain/mail/modVorlagen.h"
#include "domain/trade/Parcel.h"
#include "support/DbTestShared.h"
#include "support/FakeMailSender.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;
using test::single;

// The single sale of a seller with this profile.
MailComposer composerFor(const MailProfile& p) {
    MailInputs in = single();
    in.profile = p;
    return MailComposer(in);
}

TEST(Vorlagen, FilesKindsAndNames) {
    test::TestApp app(true);
    subInitApp();
    // the reminders are marked in the sales catalogues only
    EXPECT_EQ(templateReminderLevels(false, false), (QList<int>{0, 0, 0, 0, 1, 2, 0}));
    EXPECT_EQ(templateReminderLevels(false, true), (QList<int>{0, 0, 0, 1, 2}));
    EXPECT_EQ(templateReminderLevels(true, false), (QList<int>{0, 0, 0}));
    // grouped to a supplier: names from "z", body from w0.dat
    EXPECT_TRUE(Read_Protokoll_Version(u"0"_s, true, true).contains(u"ich habe bei Ihnen folgende Artikel"_s));
    EXPECT_EQ(templateFile(u"0"_s, true, true), app.file(u"bin/w0.dat"_s));
    EXPECT_EQ(templateSubject(true, true, 0), u"Meine Käufe bei Ihnen"_s);
    // Every catalogue entry has its body; an ungrouped one leaves no placeholder, a purchase's names the seller.
    MailInputs in = single();
    in.bLieferant = true;
    in.sName = u"Bärbel Öztürk"_s;
    // A return's confirmation is written with its return open: the form fills these in then.
    for (const char* key : {"[#Rueckgabeart#]", "[#Rueckgabeeingang#]", "[#Rueckgabegrund#]", "[#Erstattungsbetrag#]",
                            "[#Erstattungsfrist#]"})
        in.zusatz.insert(QString::fromLatin1(key), u"…"_s);
    const MailComposer c(in);
    for (bool l : {false, true})
        for (bool g : {false, true})
            for (int i = 0; i < templateNames(l, g).size(); ++i) {
                const QString text = Read_Protokoll_Version(QString::number(i), l, g);
                EXPECT_FALSE(text.isEmpty()) << l << g << i;
                if (g) continue;
                EXPECT_FALSE(c.fillBody(text).contains(u"[#"_s)) << l << i << c.fillBody(text).toStdString();
                EXPECT_TRUE(!l || c.fillBody(text).contains(u"Bärbel Öztürk"_s)) << i;
            }
    app.write(u"bin/y2.dat"_s, "A\r\nB");
    EXPECT_EQ(Read_Protokoll_Version(u"2"_s, true, false), u"A\r\nB\r\n"_s);
    EXPECT_EQ(Read_Protokoll_Version(u"9"_s, true, false), QString());
    EXPECT_EQ(templateFile(u"9"_s, true, false), QString());
    EXPECT_TRUE(test::ok(WriteRTF(templateFile(u"2"_s, true, false), u"neu\r\nZeile"_s)));
    EXPECT_EQ(app.read(u"bin/y2.dat"_s), QByteArray("neu\r\nZeile"));
    EXPECT_EQ(setExtension(u"C:/a.b/vorlage.txt"_s, u".datV"_s), u"C:/a.b/vorlage.datV"_s);
    EXPECT_EQ(setExtension(u"/home/max.mustermann/brief"_s, u".dat"_s), u"/home/max.mustermann/brief.dat"_s);
    EXPECT_EQ(setExtension(u"brief"_s, u".datV"_s), u"brief.datV"_s);
    EXPECT_TRUE(
        test::failure(WriteRTF(app.file(u"kein/ordner/x.datV"_s), u"x"_s)).startsWith(u"Die Vorlage kann nicht"_s));
}

// Every shipped template signs with the seller's name from the options; a template of an
// older version, signed with the member name under the greeting, signs the same way.
TEST(Vorlagen, EveryTemplateSignsTheSameWay) {
    test::TestApp app(true);
    subInitApp();
    MailProfile p;
    p.member = u"gavel_haendler"_s;
    p.holder = u"Jürgen Großmann"_s;
    const MailComposer c = composerFor(p);
    for (bool l : {false, true})
        for (bool g : {false, true})
            for (int i = 0; i < templateNames(l, g).size(); ++i) {
                const QString body = c.fillBody(Read_Protokoll_Version(QString::number(i), l, g));
                const qsizetype at = body.lastIndexOf(u"Grüßen\r\n"_s);
                ASSERT_GE(at, 0) << l << g << i;
                EXPECT_EQ(body.mid(at + 8).section(u"\r\n"_s, 0, 0), u"Jürgen Großmann"_s) << l << g << i;
            }
    EXPECT_EQ(c.fillBody(u"Käufe bei [#StandardUser#]\r\nViele Grüße,\r\n[#StandardUser#]"_s),
              u"Käufe bei gavel_haendler\r\nViele Grüße,\r\nJürgen Großmann"_s);
    p.holder.clear();
    EXPECT_EQ(composerFor(p).fillBody(u"Gruß\n[#StandardUser#]"_s), u"Gruß\ngavel_haendler"_s);
}

TEST(MailComposer, PlaceholdersInsuredSentenceFooterAndPreselection) {
    test::TestApp app(false);
    MailProfile p;
    p.member = u"gavel_haendler"_s;
    p.kontonummer = u"123"_s;
    p.insuredShipping = u"0.00"_s;
    MailComposer c = composerFor(p);
    const QString sentence =
        u"Falls Sie einen versicherten Versand per Postpaket wünschen, so betragen die "
        "Versandkosten [#versicherterversand#] EUR."_s;
    EXPECT_EQ(c.fillBody(u"Hallo [#ebaynameto#], [#Preis#]+[#Versand#]=[#Gesamtbetrag#] auf [#Kontonummer#]. "_s +
                         sentence + u" [#ArtikelGroupText#]"_s),
              u"Hallo Hans Müller, 24,50+4,90=29,40 auf 123.  [#ArtikelGroupText#]"_s);
    // A paragraph of its own leaves one blank line, not three; the seller signs with a name.
    EXPECT_EQ(c.fillBody(u"EUR\r\n\r\n"_s + sentence + u"\r\n\r\nBitte\r\n[#Signatur#]"_s),
              u"EUR\r\n\r\nBitte\r\ngavel_haendler"_s);
    MailProfile holder = p;
    holder.holder = u"Jürgen Großmann"_s;
    EXPECT_EQ(composerFor(holder).fillBody(u"[#Signatur#]"_s), u"Jürgen Großmann"_s);
    MailProfile insured = p;
    insured.insuredShipping = u"4.90"_s;
    EXPECT_TRUE(composerFor(insured).fillBody(sentence).contains(u"Versandkosten 4.90 EUR."_s));
    EXPECT_EQ(c.fillSubject(u"[#Artikelnummer#]: [#Bezeichnung#] bei [#StandardUser#] [#Preis#]"_s),
              u"1234567890: Kaffeemühle bei gavel_haendler [#Preis#]"_s);

    // The footer is part of what the form shows, so nothing is added on the way out.
    const QString shown = c.shownBody(u"Zeile 1\r\nZeile\t2"_s);
    EXPECT_EQ(shown,
              u"Zeile 1\r\nZeile\t2\r\n\r\n-INFO-\r\nDiese E-Mail wurde mit dem Orvo Gaveldesk 2005 "
              "erstellt. Weitere Informationen erhalten Sie unter: http://www.gavelmail.de/gaveldesk/"_s);
    EXPECT_EQ(c.shownBody(shown), shown);  // no second footer
    EXPECT_EQ(c.shownBody(u"a"_s + mailFooter()), u"a"_s + mailFooter());
    EXPECT_EQ(c.finalBody(u"a%0D%0Ab"_s), u"a\r\nb"_s);
    MailProfile without = p;
    without.footer = false;
    EXPECT_EQ(composerFor(without).shownBody(u"Zeile 1"_s), u"Zeile 1"_s);
    // The shipped sale catalogue: four templates, then the two reminders.
    const QList<int> ladder{0, 0, 0, 0, 1, 2}, noReminders{0, 0, 0, 0}, shortList{0, 0};
    struct Pre {
        const char* status;
        bool overdue;
        int sent;  // highest reminder level sent
        const QList<int>* levels;
        int entry;
    };
    // The template after each step; a purchase's catalogue has three entries.
    const QList<int> purchase{0, 0, 0}, groupSale{0, 0, 0, 1, 2};
    for (const Pre& pre :
         {Pre{"", false, 0, &ladder, 0}, Pre{"Bestätigt", false, 0, &ladder, 0}, Pre{"Bezahlt", false, 0, &ladder, 1},
          Pre{"Versendet", false, 0, &ladder, 2}, Pre{"Bewertung erhalten", false, 0, &ladder, 3},
          Pre{"Bewertet", false, 0, &ladder, 3}, Pre{"Abgeschlossen", false, 0, &ladder, 3},
          // a group has no rating mail, and entry 3 is a reminder: never for a rated trade
          Pre{"Bewertet", false, 0, &groupSale, 2}, Pre{"Abgeschlossen", false, 0, &noReminders, 3},
          Pre{"Versendet", false, 0, &purchase, 2}, Pre{"Bezahlt", false, 0, &purchase, 1},
          Pre{"", true, 0, &ladder, 4}, Pre{"Geantwortet", true, 1, &ladder, 5}, Pre{"", true, 2, &ladder, 5},
          Pre{"", true, 7, &ladder, 5}, Pre{"Versendet", true, 0, &noReminders, 2},
          Pre{"Versendet", false, 0, &shortList, 1}}) {
        MailInputs in = single();
        in.sStatus = QString::fromUtf8(pre.status);
        in.bUeberfaellig = pre.overdue;
        in.iMahnstufe = pre.sent;
        EXPECT_EQ(MailComposer(in).preselection(*pre.levels), pre.entry) << pre.status << " sent " << pre.sent;
    }
}

TEST(MailComposer, MailtoUrlForEverySwitchParsesBack) {
    test::TestApp app(false);
    // Names beyond Windows-1252 and characters that would end a field or the URL
    const QString body =
        u"Dzień dobry Łukasz,\r\n\tPreis: 24,50 € (5 % Rabatt) & Versand #4711?\r\n"
        "улица Ленина 5\r\nGruß"_s;
    const QString subject = u"Ihr Kauf: Kaffeemühle „Dvořák“ & Co #2"_s;
    for (int p20 : {0, 1})
        for (int nobody : {0, 1})
            for (bool copies : {false, true}) {
                MailProfile profile;
                profile.spacesAsPercent20 = p20 == 1;
                profile.bodyInMailto = nobody != 1;
                const MailComposer c = composerFor(profile);
                const QString url =
                    c.mailtoUrl(body, subject, copies ? u"cc@x.de"_s : QString(), copies ? u"bcc@x.de"_s : QString());
                SCOPED_TRACE(url.toStdString());
                ASSERT_TRUE(url.startsWith(u"mailto:hans@example.de"_s));
                for (const QChar ch : url) EXPECT_LT(ch.unicode(), 0x80);  // all of it encoded
                const qsizetype q = url.indexOf(u"?subject="_s);
                ASSERT_GT(q, 0);
                EXPECT_EQ(url.count(QLatin1Char('?')), 1);
                EXPECT_FALSE(url.contains(QLatin1Char('#')));
                EXPECT_EQ(url.mid(7, q - 7),
                          copies ? u"hans@example.de&cc= cc@x.de&bcc= bcc@x.de"_s : u"hans@example.de"_s);
                const qsizetype b = url.indexOf(u"&body="_s);
                const QString s = url.mid(q + 9, b < 0 ? -1 : b - q - 9);
                EXPECT_EQ(QUrl::fromPercentEncoding(s.toLatin1()), subject);
                EXPECT_EQ(s.contains(QLatin1Char(' ')), p20 == 0);
                EXPECT_EQ(b < 0, nobody == 1);
                EXPECT_EQ(b < 0 ? body : QUrl::fromPercentEncoding(url.mid(b + 6).toLatin1()), body);
                // What the desktop is given reads back the same.
                const QUrlQuery query(QUrl(url).query(QUrl::FullyEncoded));
                EXPECT_EQ(query.queryItemValue(u"subject"_s, QUrl::FullyDecoded), subject);
            }
}

// Over SMTP the partner is named as the salutation names him, without a line break
// that would start a header of its own; the sender gets the copy the settings ask for.
TEST(MailComposer, SmtpEnvelope) {
    test::TestApp app(false);
    struct Case {
        const char *typed, *name;
        int kopie;
        const char *to, *copy;
    };
    const Case cases[] = {
        {" hans@example.de ", "Hans Müller", 1, "Hans Müller <hans@example.de>", "shop@gavel.example"},
        {"Hans <h@example.de>", "Hans Müller", 0, "Hans <h@example.de>", ""},
        {"h@example.de", "  ", 0, "h@example.de", ""},
        {"h@example.de", "Eve\r\nBcc: alle@example.de <\"x\">", 0, "Eve  Bcc: alle@example.de x <h@example.de>", ""},
    };
    for (const Case& c : cases) {
        MailInputs in = single();
        in.sName = QString::fromUtf8(c.name);
        in.profile.member = u"haendler"_s;
        in.profile.sender = u"shop@gavel.example"_s;
        in.profile.copyToSender = c.kopie == 1;
        const SmtpEnvelope e = MailComposer(in).smtpEnvelope(QString::fromUtf8(c.typed));
        EXPECT_EQ(e.from, u"haendler<shop@gavel.example>"_s);
        EXPECT_EQ(e.to, QString::fromUtf8(c.to)) << c.typed;
        EXPECT_EQ(e.copy, QString::fromUtf8(c.copy)) << c.typed;
    }
}

class MailDb : public test::DbTest {};

// The one rule of sending: a mail that did not go out records no milestone and no
// reminder; one that went out records each once.
TEST_F(MailDb, OnlyAMailThatWentOutRecords) {
    const QString id = store(auktion(u"31"_s, u"bea"_s), kunde(u"bea"_s));
    MailInputs in = single();
    in.sAuktionsID = id;
    const MailComposer c(in);
    const auto log = std::make_shared<test::FakeMailSender::Log>();
    test::FakeMailSender sender(log);
    const OutgoingMail mail{u"bea@example.de"_s, {}, {}, u"Zahlung"_s, u"Text"_s, {}};
    const auto recorded = [&] {
        return count(u"select count(*) as n from Mahnungen"_s) * 10 +
               count(u"select count(*) as n from Auktionen where Antwort <> 0"_s);
    };
    log->failWith = u"Verbindung abgelehnt"_s;
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
        if (m.captured(1) == u"Menge"_s)
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
    for (const QString& f : QDir(QStringLiteral(GD_RESOURCES_DIR "/bin")).entryList({u"*.dat"_s, u"Vorlagen.ini"_s}))
        QFile::copy(QStringLiteral(GD_RESOURCES_DIR "/bin/") + f, app.file(u"bin/"_s + f));
    gSettings.IBAN = u"DE89370400440532013000"_s;
    gSettings.Kontoinhaber = u"Jörg Händler"_s;
    tKunde k = kunde(u"sammler"_s);
    tAuktion one = auktion(u"11"_s, u"sammler"_s, u"01.12.2026"_s);
    one.Preis = u"24,50"_s;
    one.Versandversicherung = u"1,50"_s;
    one.Betrag = u"30,90"_s;
    tAuktion two = auktion(u"12"_s, u"sammler"_s, u"02.12.2026"_s);
    two.Preis = u"3,00"_s;
    two.Menge = u"2"_s;
    two.Versandversicherung = u"EUR 1,50"_s;  // as an import stores it
    two.Betrag = u"12,40"_s;
    const QString twoId = store(two, k);
    store(one, k);

    const tAuktion stored = loaded(twoId);
    ASSERT_TRUE(test::found(test::into(k, funLoadKunde(currentStore(), u"sammler"_s))));
    Result<MailInputs> singleIn = mailInputsFor(currentStore(), mailProfile(currentSettings()), stored, k, stored.Preis,
                                                stored.Versandkosten, stored.Betrag);
    ASSERT_TRUE(test::ok(singleIn));
    const QString group = kundenNrOf(currentStore(), u"sammler"_s).value();
    ASSERT_TRUE(test::ok(saveGruppenID(currentStore(), group, u"sammler"_s)));
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
        const QByteArray amount = "\nEUR" + QByteArray::number(mail.total / 100) + '.' +
                                  QByteArray::number(mail.total % 100).rightJustified(2, '0') + '\n';
        EXPECT_TRUE(c.giroCodePayload().contains(amount)) << c.giroCodePayload().constData();
        int withParts = 0;
        for (int i = 0; i < templateNames(false, mail.in.bGruppiert).size(); ++i) {
            const QString body = c.fillBody(Read_Protokoll_Version(QString::number(i), false, mail.in.bGruppiert));
            qint64 menge = 1;
            const QMap<QString, qint64> a = amountsIn(body, &menge);
            if (!a.contains(u"Gesamtbetrag"_s)) continue;
            EXPECT_EQ(a.value(u"Gesamtbetrag"_s), mail.total) << body.toStdString();
            if (!a.contains(u"Versand"_s)) continue;  // a reminder names the total alone
            ++withParts;
            const qint64 items = a.value(u"Preis"_s) * menge + a.value(u"Summe der Artikel"_s);
            EXPECT_EQ(items + a.value(u"Versand"_s) + a.value(u"Versicherung"_s), mail.total) << body.toStdString();
        }
        EXPECT_EQ(withParts, 1);
    }
    MailComposer grouped(groupIn);
    ASSERT_TRUE(test::ok(grouped.loadGroup()));
    EXPECT_EQ(grouped.fillBody(u"[#ArtikelGroupText#]|[#Angebotsendegruppiert#]|[#Bezeichnung#]"_s),
              u"11 - 1 × Kaffeemühle 11 vom 01.12.2026\r\n12 - 2 × Kaffeemühle 12 vom 02.12.2026\r\n|01.12.2026, "
              "02.12.2026 |[#Bezeichnung#]"_s);
    // The group's payment request names the reference its payment code carries.
    const QString request = grouped.fillBody(Read_Protokoll_Version(u"0"_s, false, true));
    EXPECT_TRUE(request.contains(u"  Verwendungszweck: 11 - 12\r\n"_s)) << request.toStdString();
    EXPECT_TRUE(grouped.giroCodePayload().endsWith("\n11 - 12")) << grouped.giroCodePayload().constData();
    EXPECT_EQ(grouped.fillSubject(u"[#Artikelnummer#] [#Bezeichnung#]"_s), u"11 - 12 Kaffeemühle"_s);
    // A single piece without insurance has no lines for them.
    MailComposer plain(single());
    EXPECT_EQ(plain.fillBody(u"a\r\nMenge: [#Menge#]\r\nVersicherung: [#Versicherung#] EUR\r\nb"_s), u"a\r\nb"_s);
}

// What the main window hands the mail form: the pane's texts, the partner, and
// whether the partner's auctions are grouped.
TEST_F(MailDb, FromTheSelectedAuctionAndItsPartner) {
    tKunde k = kunde(u"sammler"_s);
    const QString id = store(auktion(u"11"_s, u"sammler"_s), k);
    tAuktion a = loaded(id);
    ASSERT_TRUE(test::found(test::into(k, funLoadKunde(currentStore(), u"sammler"_s))));
    Result<MailInputs> in =
        mailInputsFor(currentStore(), mailProfile(currentSettings()), a, k, u"12,50"_s, u"4,90"_s, u"17,40"_s);
    ASSERT_TRUE(test::ok(in));
    // not paid, no picker: no payment day, never "00:00:00"
    EXPECT_EQ(QStringList({in->sName, in->sEmail, in->sGesamtbetrag, in->sAuktionsID, in->sDatumBezahlt}).join(u'|'),
              QString(u"Hans Müller|sammler@example.de|17,40|"_s + id + u'|'));
    EXPECT_EQ(mailInputsFor(currentStore(), mailProfile(currentSettings()), a, k, {}, {}, {}, QDate(2026, 12, 6))
                  ->sDatumBezahlt,
              u"06.12.2026"_s);
    a.Datum[2] = QDateTime(QDate(2026, 12, 5), QTime(0, 0));
    EXPECT_EQ(mailInputsFor(currentStore(), mailProfile(currentSettings()), a, k, {}, {}, {}, QDate(2026, 12, 6))
                  ->sDatumBezahlt,
              u"05.12.2026"_s);
    EXPECT_FALSE(in->bGruppiert);
    ASSERT_TRUE(test::ok(saveGruppenID(currentStore(), k.KundenNr, u"sammler"_s)));
    EXPECT_TRUE(mailInputsFor(currentStore(), mailProfile(currentSettings()), loaded(id), k, {}, {}, {})->bGruppiert);
    gsDataSource = app.file(u"fehlt.mdb"_s);
    EXPECT_TRUE(test::failure(mailInputsFor(currentStore(), mailProfile(currentSettings()), a, k, {}, {}, {}))
                    .startsWith(u"Beim Laden der GruppenID"_s));
}

// The parcel of a trade: stored with it, linked to the carrier's page, and
// named by the shipped "Ware versendet" template only when there is one.
TEST(Parcel, TrackingLinkPerCarrier) {
    const struct {
        const char* carrier;
        const char* number;
        const char* link;
    } cases[] = {
        {"DHL", "00340434161094042557",
         "https://www.dhl.de/de/privatkunden/pakete-empfangen/verfolgen.html?piececode=00340434161094042557"},
        {"dhl ", "0034 0434 1610 9404 2557",
         "https://www.dhl.de/de/privatkunden/pakete-empfangen/verfolgen.html?piececode=00340434161094042557"},
        {"Hermes", "H1234567890123456789",
         "https://www.myhermes.de/empfangen/sendungsverfolgung/sendungsinformation#H1234567890123456789"},
        {"DPD", "01234567890123", "https://tracking.dpd.de/status/de_DE/parcel/01234567890123"},
        {"GLS", "ZX12-34AB", "https://gls-group.com/DE/de/paketverfolgung?match=ZX1234AB"},
        {"UPS", "1Z999AA10123456784", "https://www.ups.com/track?loc=de_DE&tracknum=1Z999AA10123456784"},
        {"Brieftaube", "42", ""},  // a carrier whose page is not known
        {"DHL", "", ""},
        {"DHL", "<script>", "https://www.dhl.de/de/privatkunden/pakete-empfangen/verfolgen.html?piececode=script"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(trackingLink(Parcel{QString::fromUtf8(c.carrier), QString::fromUtf8(c.number)}),
                  QString::fromUtf8(c.link))
            << c.carrier << " " << c.number;
}

TEST_F(MailDb, ParcelStoredReplacedAndRemovedWithTheTrade) {
    const QString id = store(auktion(u"1"_s, u"k"_s), kunde(u"k"_s));
    EXPECT_TRUE(loadParcel(currentStore(), id).value().Sendungsnummer.isEmpty());
    ASSERT_TRUE(saveParcel(currentStore(), id, Parcel{u"DHL"_s, u" 0034 0434 "_s}).ok());
    EXPECT_EQ(loadParcel(currentStore(), id).value().Sendungsnummer, u"0034 0434"_s);
    ASSERT_TRUE(saveParcel(currentStore(), id, Parcel{u"Hermes"_s, u"H42"_s}).ok());
    EXPECT_EQ(loadParcel(currentStore(), id).value().Versanddienst, u"Hermes"_s);
    EXPECT_EQ(count(u"select count(*) as n from Versand"_s), 1);
    ASSERT_TRUE(saveParcel(currentStore(), id, Parcel{u"Hermes"_s, QString()}).ok());  // emptied: gone
    EXPECT_EQ(count(u"select count(*) as n from Versand"_s), 0);
    ASSERT_TRUE(saveParcel(currentStore(), id, Parcel{u"DPD"_s, u"7"_s}).ok());
    ASSERT_TRUE(subDeleteAuktion(currentStore(), loaded(id)).ok());
    EXPECT_EQ(count(u"select count(*) as n from Versand"_s), 0);
}

TEST_F(MailDb, ParcelTheShippedTemplateNamesTheParcelOrLeavesItsLinesOut) {
    const QDir res(QStringLiteral(GD_RESOURCES_DIR "/bin"));
    for (const QString& f : res.entryList(QDir::Files)) QFile::copy(res.filePath(f), app.file(u"bin/"_s + f));
    tKunde k = kunde(u"k"_s, u"Seán O'Neill"_s);
    const QString id = store(auktion(u"1"_s, u"k"_s), k);
    const tAuktion a = loaded(id);
    ASSERT_TRUE(test::found(test::into(k, funLoadKunde(currentStore(), u"k"_s))));
    const QString shipped = Read_Protokoll_Version(u"2"_s, false, false);
    ASSERT_TRUE(shipped.contains(u"[#SENDUNGSLINK#]"_s));

    const QString without =
        MailComposer(mailInputsFor(currentStore(), mailProfile(currentSettings()), a, k, {}, {}, {}).value())
            .fillBody(shipped);
    EXPECT_FALSE(without.contains(u"[#"_s)) << without.toStdString();
    EXPECT_FALSE(without.contains(u"Sendungsnummer"_s)) << without.toStdString();
    EXPECT_FALSE(without.contains(u"\r\n\r\n\r\n"_s)) << without.toStdString();

    ASSERT_TRUE(saveParcel(currentStore(), id, Parcel{u"DHL"_s, u"00340434161094042557"_s}).ok());
    const QString with =
        MailComposer(mailInputsFor(currentStore(), mailProfile(currentSettings()), a, k, {}, {}, {}).value())
            .fillBody(shipped);
    EXPECT_TRUE(with.contains(u"mit DHL unterwegs, die Sendungsnummer lautet 00340434161094042557."_s))
        << with.toStdString();
    EXPECT_TRUE(with.contains(u"verfolgen.html?piececode=00340434161094042557"_s));
    EXPECT_TRUE(with.contains(u"Seán O'Neill"_s));
}

}  // namespace
}  // namespace gd
