// E-invoices as a seller meets them: the business buyer's invoice carries its XML inside a
// PDF/A-3, an invoice above 250 € asks for the full address, and an e-invoice received is read
// as text and kept with its purchase.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCryptographicHash>
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>

#include "MainWindowFixture.h"
#include "base/SafeWrite.h"
#include "domain/invoice/IssuedInvoices.h"
#include "domain/invoice/ReceivedInvoices.h"
#include "render/HybridPdf.h"
#include "render/InvoicePdf.h"
#include "support/EInvoiceCheck.h"
#include "ui/frmERechnung.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class EInvoiceUi : public test::MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        gSettings.Steuerart = u"19"_s;
        gSettings.UstId = u"DE123456789"_s;
        gSettings.Kontoinhaber = u"Jörg Händler"_s;
        gSettings.Anschrift = u"Lindenweg 3, 24103 Kiel"_s;
    }
    void TearDown() override {
        gSettings.Steuerart.clear();
        gSettings.UstId.clear();
        gSettings.ERechnungFuerAlle = false;
        gSettings.Kleinunternehmer = false;
        MainWindowTest::TearDown();
    }
    // The page as the buyer reads it, and saved as a picture where screenshots are wanted.
    QString pageText(const QString& pdf, const QString& shot) {
        if (const QString dir = qEnvironmentVariable("GD_SCREENSHOT_DIR"); !dir.isEmpty())
            test::tool(u"pdftoppm"_s, {u"-png"_s, u"-r"_s, u"60"_s, u"-singlefile"_s, pdf, dir + u"/"_s + shot});
        return QString::fromUtf8(test::tool(u"pdftotext"_s, {u"-layout"_s, pdf, u"-"_s}));
    }
    // What the hybrid file carries: the attachment is the kept XML and passes the rules; the
    // file is sound PDF/A part 3 with the XML as the invoice's alternative form.
    void expectHybrid(const QString& pdf, const QByteArray& keptXml) {
        EXPECT_TRUE(test::tool(u"pdfdetach"_s, {u"-list"_s, pdf}).contains("factur-x.xml"));
        const QString out = app.file(u"ausgepackt.xml"_s);
        test::tool(u"pdfdetach"_s, {u"-save"_s, u"1"_s, u"-o"_s, out, pdf});
        EXPECT_EQ(test::fileBytes(out), keptXml);
        test::expectValidEInvoice(out);
        test::expectValidHybrids({pdf});
        EXPECT_TRUE(test::tool(u"qpdf"_s, {u"--check"_s, pdf}).contains("No syntax or stream encoding errors"));
        const QString plain = app.file(u"offen.pdf"_s);
        test::tool(u"qpdf"_s, {u"--qdf"_s, u"--object-streams=disable"_s, pdf, plain});
        const QByteArray inside = test::fileBytes(plain);
        for (const char* want :
             {"pdfaid:part=\"3\"", "/AFRelationship /Alternative", "fx:ConformanceLevel=\"EN 16931\"",
              "/Subtype /text#2fxml", "/S /GTS_PDFA1", "%PDF-1.7"})
            EXPECT_TRUE(inside.contains(want)) << want;
    }
};

// The buyer becomes a business in the pane, one item at 7 %: its invoice is the hybrid PDF,
// and the same file, sent to the seller's own desk, reads back and is kept with a purchase.
TEST_F(EInvoiceUi, TheBusinessBuyersInvoiceAndTheViewer) {
    fill();
    open();
    clickRow(2);  // sale 102, bernd
    ASSERT_EQ(shown(), u"102"_s);
    test::typeText(edit("txtFirma"), u"Uhrmacherei Šimková s.r.o."_s);
    test::typeText(edit("txtUstIdNr"), u"CZ 12345678"_s);
    auto* rate = child<QComboBox>(u"cboSteuersatz"_s);
    rate->setFocus();
    QTest::keyClick(rate, Qt::Key_Down);
    QTest::keyClick(rate, Qt::Key_Down);
    ASSERT_EQ(rate->currentData().toInt(), 7);
    click("cmdSpeichern");
    const QString pdf = app.file(u"Rechnung 102.pdf"_s);
    platform.queueFileName(pdf);
    menu("keypop2", "keyRechnung");
    ASSERT_TRUE(QFile::exists(pdf)) << lastMessage().toStdString();
    const auto issued = issuedInvoice(currentStore(), u"RE-2026-0001"_s);
    ASSERT_TRUE(issued.ok());
    EXPECT_EQ(test::fileBytes(pdf), issued.value().first.Pdf);
    expectHybrid(pdf, issued.value().first.Xml);
    const QString page = pageText(pdf, u"rechnung-geschaeftskunde"_s);
    for (const char* want :
         {"Uhrmacherei Šimková s.r.o.", "USt-IdNr. des Käufers: CZ12345678", "Rechnungsnummer: RE-2026-0001",
          "Lieferdatum: 03.12.2026", "darin Umsatzsteuer 7 %", "USt-IdNr.: DE123456789"})
        EXPECT_TRUE(page.contains(QString::fromUtf8(want))) << want << "\n" << page.toStdString();

    // Opened with the purchase 201 selected: shown as text, kept unchanged with its hash.
    clickRow(1);
    ASSERT_EQ(shown(), u"201"_s);
    platform.queueFileName(pdf);
    test::whenModal<frmERechnung>([&](frmERechnung* d) {
        const QString text = d->findChild<QPlainTextEdit*>(u"txtRechnung"_s)->toPlainText();
        for (const char* want : {"Rechnung RE-2026-0001 vom", "Jörg Händler", "Armbanduhr", "7 %", "Zu zahlen"})
            EXPECT_TRUE(text.contains(QString::fromUtf8(want))) << want << "\n" << text.toStdString();
        auto* keep = d->findChild<QPushButton*>(u"cmdAblegen"_s);
        EXPECT_EQ(keep->text(), u"Beim Kauf 201 ablegen"_s);
        if (const QString dir = qEnvironmentVariable("GD_SCREENSHOT_DIR"); !dir.isEmpty())
            d->grab().save(dir + u"/e-rechnung-ansehen.png"_s);
        QTest::mouseClick(keep, Qt::LeftButton);
        EXPECT_FALSE(keep->isEnabled());
        QTest::mouseClick(d->findChild<QPushButton*>(u"cmdSchliessen"_s), Qt::LeftButton);
    });
    menu("keyAktion", "keyERechnung");
    EXPECT_TRUE(lastMessage().contains(u"beim Kauf 201 abgelegt"_s)) << lastMessage().toStdString();
    const QList<KeptInvoice> kept = receivedInvoices(currentStore(), u"201"_s).value();
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(kept[0].Daten, test::fileBytes(pdf));
    EXPECT_EQ(kept[0].Sha256,
              QString::fromLatin1(QCryptographicHash::hash(test::fileBytes(pdf), QCryptographicHash::Sha256).toHex()));
    EXPECT_EQ(kept[0].Nummer, u"RE-2026-0001"_s);
    // With a sale the file is not kept there; a second keep of the same file is said.
    const ReceivedInvoice read = readEInvoice(issued.value().first.Xml).value();
    EXPECT_FALSE(keepReceivedInvoice(currentStore(), u"102"_s, pdf, kept[0].Daten, read, now()).ok());
    const Result<KeptInvoice> twice = keepReceivedInvoice(currentStore(), u"201"_s, pdf, kept[0].Daten, read, now());
    ASSERT_FALSE(twice.ok());
    EXPECT_TRUE(twice.error().sentence.contains(u"bereits abgelegt"_s));
}

// Above 250 € without a street the address is asked for; what the user types is kept with
// the buyer and the invoice names it.
TEST_F(EInvoiceUi, AboveTwoHundredFiftyEurosTheAddressIsAsked) {
    tKunde k = kunde(u"ewa"_s, u"Ewa Kowalczyk"_s);
    k.Strasse.clear();
    tAuktion a = auktion(u"601"_s, u"ewa"_s);
    a.Preis = u"312,00"_s;
    store(a, k);
    open();
    clickRow(1);
    ASSERT_EQ(shown(), u"601"_s);
    const QString pdf = app.file(u"Rechnung 601.pdf"_s);
    platform.queueFileName(pdf);
    test::whenModal<QDialog>([&](QDialog* d) {
        EXPECT_EQ(d->objectName(), u"frmAnschrift"_s);
        auto* take = d->findChild<QPushButton*>(u"cmdUebernehmen"_s);
        EXPECT_FALSE(take->isEnabled());  // the street is missing
        test::typeText(d->findChild<QLineEdit*>(u"txtStrasse"_s), u"ul. Ogrodowa 7"_s);
        ASSERT_TRUE(take->isEnabled());
        QTest::mouseClick(take, Qt::LeftButton);
    });
    menu("keypop2", "keyRechnung");
    ASSERT_TRUE(QFile::exists(pdf)) << lastMessage().toStdString();
    EXPECT_TRUE(pageText(pdf, u"rechnung-anschrift"_s).contains(u"ul. Ogrodowa 7"_s));
    tKunde stored;
    ASSERT_TRUE(test::into(stored, funLoadKunde(currentStore(), u"ewa"_s)).value());
    EXPECT_EQ(stored.Strasse, u"ul. Ogrodowa 7"_s);
}

// Every way of paying VAT, as the e-invoice for a private buyer on request: the page says
// the mode's lines and the XML inside passes the rules.
TEST_F(EInvoiceUi, EachTaxModeOnThePageAndInTheXml) {
    gSettings.ERechnungFuerAlle = true;
    const struct {
        const char* nr;
        bool smallBusiness;
        const char* mode;
        const char* line;
    } modes[] = {{"701", true, "", "Gemäß § 19 UStG wird keine Umsatzsteuer berechnet."},
                 {"702", false, "19", "darin Umsatzsteuer 19 %"},
                 {"703", false, "7", "darin Entgelt (netto) zu 7 %"},
                 {"704", false, "25a", "Gebrauchtgegenstände/Sonderregelung (§ 25a UStG)"}};
    QStringList hybrids;
    for (const auto& m : modes) {
        SCOPED_TRACE(m.mode);
        store(auktion(QString::fromLatin1(m.nr), u"fenna"_s), kunde(u"fenna"_s, u"Fenna de Vries"_s));
        gSettings.Kleinunternehmer = m.smallBusiness;
        gSettings.Steuerart = QString::fromLatin1(m.mode);
        const Result<IssuedInvoice> inv = issueInvoice(currentStore(), invoiceProfile(currentSettings()),
                                                       QString::fromLatin1(m.nr), QString(), now(), invoicePdf);
        ASSERT_TRUE(inv.ok()) << inv.error().message().toStdString();
        const QString pdf = app.file(u"r.pdf"_s);
        app.write(u"r.pdf"_s, inv.value().Pdf);
        EXPECT_EQ(embeddedInvoiceXml(inv.value().Pdf).value(), inv.value().Xml);
        app.write(u"r.xml"_s, inv.value().Xml);
        test::expectValidEInvoice(app.file(u"r.xml"_s));
        const QString kept = app.file(u"r-%1.pdf"_s.arg(QString::fromLatin1(m.nr)));
        app.write(QFileInfo(kept).fileName(), inv.value().Pdf);
        hybrids << kept;
        const QString page = pageText(pdf, u"rechnung-"_s + QString::fromLatin1(m.nr));
        EXPECT_TRUE(page.contains(QString::fromUtf8(m.line))) << page.toStdString();
        EXPECT_TRUE(page.contains(u"Lieferdatum: 04.12.2026"_s));
    }
    test::expectValidHybrids(hybrids);
}

// A private buyer's group, on request as an e-invoice, one piece of it cancelled, then the rest: the
// three hybrid files pass the PDF/A-3 and Factur-X rules, and a cancellation is written again byte
// for byte.
TEST_F(EInvoiceUi, AGroupAndItsCancellationsAsHybrids) {
    gSettings.ERechnungFuerAlle = true;
    const QString first = store(auktion(u"801"_s, u"zofia"_s), kunde(u"zofia"_s, u"Zofia Wiśniewska"_s));
    store(auktion(u"802"_s, u"zofia"_s), kunde(u"zofia"_s, u"Zofia Wiśniewska"_s));
    Database::open(db).execute(u"update Auktionen set GruppenID = 'z1' where ebayName = 'zofia'"_s);
    const Result<IssuedInvoice> inv =
        issueInvoice(currentStore(), invoiceProfile(currentSettings()), u"802"_s, QString(), now(), invoicePdf);
    ASSERT_TRUE(inv.ok()) << inv.error().message().toStdString();
    EXPECT_EQ(inv.value().Artikel, (QStringList{u"801"_s, u"802"_s}));
    const Result<IssuedInvoice> part =
        cancelInvoiceLines(currentStore(), inv.value().Nummer, {first}, QString(), now(), invoicePdf);
    ASSERT_TRUE(part.ok()) << part.error().message().toStdString();
    EXPECT_EQ(part.value().Art, u"Teilstorno"_s);
    const Result<IssuedInvoice> storno =
        cancelInvoice(currentStore(), inv.value().Nummer, QString(), now(), invoicePdf);
    ASSERT_TRUE(storno.ok()) << storno.error().message().toStdString();
    EXPECT_EQ(storno.value().Artikel, QStringList{u"802"_s});  // 801 is not cancelled twice
    EXPECT_EQ(part.value().Cent + storno.value().Cent, -inv.value().Cent);
    EXPECT_EQ(issuedInvoice(currentStore(), storno.value().Nummer).value().first.Pdf, storno.value().Pdf);
    app.write(u"gruppe.pdf"_s, inv.value().Pdf);
    app.write(u"teil.pdf"_s, part.value().Pdf);
    app.write(u"storno.pdf"_s, storno.value().Pdf);
    const QString page = pageText(app.file(u"teil.pdf"_s), u"teilstorno"_s);
    EXPECT_TRUE(page.contains(u"Storniert von der Rechnung "_s + inv.value().Nummer)) << page.toStdString();
    EXPECT_TRUE(embeddedInvoiceXml(part.value().Pdf).value().contains("Teilstorno der Rechnung"));
    EXPECT_TRUE(embeddedInvoiceXml(storno.value().Pdf).value().contains("<ram:TypeCode>381</ram:TypeCode>"));
    test::expectValidHybrids({app.file(u"gruppe.pdf"_s), app.file(u"teil.pdf"_s), app.file(u"storno.pdf"_s)});
}

// What is no e-invoice is said, never shown as one: a PDF without XML, a damaged PDF, a page
// that is no PDF/A cannot take the XML.
TEST_F(EInvoiceUi, NoEInvoiceIsSaid) {
    gSettings.Kleinunternehmer = true;
    Invoice inv;
    inv.Nummer = u"RE-1"_s;
    inv.Datum = QDate(2026, 12, 8);
    inv.Verkaeufer = u"Jörg Händler"_s;
    const QByteArray plain = invoicePdf(inv).value();
    ASSERT_TRUE(plain.startsWith("%PDF-"));
    // An e-invoice that cannot be made says why; it used to read "could not be set" alone.
    Invoice business = inv;
    business.ERechnung = true;
    const Result<QByteArray> hybrid = invoicePdf(business);
    ASSERT_FALSE(hybrid.ok());
    EXPECT_EQ(hybrid.error().sentence, u"Die Rechnung konnte nicht gesetzt werden:"_s);
    EXPECT_FALSE(hybrid.error().description.isEmpty());
    const struct {
        QByteArray file;
        const char* said;
    } cases[] = {{plain, "keine E-Rechnung"},
                 {plain.left(plain.size() / 2), "kann nicht gelesen werden"},
                 {"%PDF-1.4\n" + QByteArray(5000, '\x01'), "kann nicht gelesen werden"},
                 {"Kein PDF", "weder eine XML-Rechnung noch eine PDF-Datei"}};
    for (const auto& c : cases) {
        const Result<QByteArray> xml = embeddedInvoiceXml(c.file);
        ASSERT_FALSE(xml.ok()) << c.said;
        EXPECT_TRUE(xml.error().sentence.contains(QString::fromUtf8(c.said))) << xml.error().sentence.toStdString();
    }
    EXPECT_FALSE(hybridPdf(plain, "<x/>", systemSrgbProfile()).ok());
}

// Other writers shape the same file otherwise: object and cross-reference streams, a
// linearized file, an update appended, offsets gone wrong, filters of old. The XML is found
// in every shape; an encrypted file (never a PDF/A) is said as such.
TEST_F(EInvoiceUi, TheXmlIsFoundInEveryShapeOfTheFile) {
    gSettings.ERechnungFuerAlle = true;
    fill();
    const auto inv =
        issueInvoice(currentStore(), invoiceProfile(currentSettings()), u"102"_s, QString(), now(), invoicePdf);
    ASSERT_TRUE(inv.ok()) << inv.error().message().toStdString();
    const QByteArray xml = inv.value().Xml;
    const QString plain = app.file(u"plain.pdf"_s);
    ASSERT_TRUE(writeFileSafely(plain, inv.value().Pdf).ok());
    auto shaped = [&](const QString& name, const QStringList& args) {
        const QString out = app.file(name + u".pdf"_s);
        test::tool(u"qpdf"_s, QStringList(args) << plain << out);
        return test::fileBytes(out);
    };
    QByteArray moved = inv.value().Pdf;
    moved.insert(moved.indexOf('\n') + 1, "% eine Zeile, die jeden Verweis verschiebt\n");
    QByteArray noTrailer = moved.left(moved.lastIndexOf("xref"));
    // An update appended: a new object and cross-references pointing back to the first ones.
    QByteArray updated = inv.value().Pdf;
    const QString text = QString::fromLatin1(updated);
    const QByteArray root = QRegularExpression(u"/Root (\\d+ \\d+) R"_s).match(text).captured(1).toLatin1();
    const QByteArray firstXref = QRegularExpression(u"startxref\\s+(\\d+)"_s).match(text).captured(1).toLatin1();
    ASSERT_FALSE(root.isEmpty() || firstXref.isEmpty());
    const qsizetype note = updated.size();
    updated += "990 0 obj\n<< /Title (Nachtrag) >>\nendobj\n";
    const qsizetype xrefAt = updated.size();
    updated += "xref\n990 1\n" + QByteArray::number(note).rightJustified(10, '0') + " 00000 n \n";
    updated += "trailer\n<< /Size 991 /Root " + root + " R /Prev " + firstXref + " >>\nstartxref\n" +
               QByteArray::number(xrefAt) + "\n%%EOF\n";
    const struct {
        const char* shape;
        QByteArray file;
    } shapes[] = {
        {"as written", inv.value().Pdf},
        {"object streams", shaped(u"objstm"_s, {u"--object-streams=generate"_s})},
        {"linearized", shaped(u"linear"_s, {u"--linearize"_s, u"--object-streams=generate"_s})},
        {"uncompressed", shaped(u"qdf"_s, {u"--qdf"_s, u"--object-streams=disable"_s})},
        {"offsets moved", moved},
        {"no trailer", noTrailer},
        {"update appended", updated},
    };
    for (const auto& s : shapes) {
        const Result<QByteArray> found = embeddedInvoiceXml(s.file);
        ASSERT_TRUE(found.ok()) << s.shape << ": " << found.error().message().toStdString();
        EXPECT_EQ(found.value(), xml) << s.shape;
    }
    const Result<QByteArray> locked =
        embeddedInvoiceXml(shaped(u"locked"_s, {u"--encrypt"_s, QString(), u"owner"_s, u"256"_s, u"--"_s}));
    ASSERT_FALSE(locked.ok());
    EXPECT_TRUE(locked.error().sentence.contains(u"verschlüsselt"_s)) << locked.error().message().toStdString();
}

}  // namespace
}  // namespace gd
