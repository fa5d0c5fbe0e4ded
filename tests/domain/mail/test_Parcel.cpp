// The parcel of a trade: stored with it, linked to the carrier's page, and
// named by the shipped "Ware versendet" template only when there is one.
#include <gtest/gtest.h>

#include "domain/db/Parcel.h"
#include "domain/mail/MailComposer.h"
#include "domain/mail/modVorlagen.h"
#include "support/DbTestShared.h"

namespace gd {
namespace {

TEST(Parcel, TrackingLinkPerCarrier) {
    struct Case {
        const char* carrier;
        const char* number;
        const char* link;
    };
    const Case cases[] = {
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
    for (const Case& c : cases)
        EXPECT_EQ(trackingLink(Parcel{QString::fromUtf8(c.carrier), QString::fromUtf8(c.number)}),
                  QString::fromUtf8(c.link))
            << c.carrier << " " << c.number;
}

class ParcelDb : public test::DbTest {};

TEST_F(ParcelDb, StoredReplacedAndRemovedWithTheTrade) {
    tAuktion a = auktion(QStringLiteral("1"), QStringLiteral("k"));
    const QString id = store(a, kunde(QStringLiteral("k")));
    EXPECT_TRUE(loadParcel(id).value().Sendungsnummer.isEmpty());
    ASSERT_TRUE(saveParcel(id, Parcel{QStringLiteral("DHL"), QStringLiteral(" 0034 0434 ")}).ok());
    EXPECT_EQ(loadParcel(id).value().Sendungsnummer, QStringLiteral("0034 0434"));
    ASSERT_TRUE(saveParcel(id, Parcel{QStringLiteral("Hermes"), QStringLiteral("H42")}).ok());
    EXPECT_EQ(loadParcel(id).value().Versanddienst, QStringLiteral("Hermes"));
    EXPECT_EQ(count(QStringLiteral("select count(*) as n from Versand")), 1);
    ASSERT_TRUE(saveParcel(id, Parcel{QStringLiteral("Hermes"), QString()}).ok());  // emptied: gone
    EXPECT_EQ(count(QStringLiteral("select count(*) as n from Versand")), 0);
    ASSERT_TRUE(saveParcel(id, Parcel{QStringLiteral("DPD"), QStringLiteral("7")}).ok());
    a.AuktionsID = id;
    ASSERT_TRUE(subDeleteAuktion(a).ok());
    EXPECT_EQ(count(QStringLiteral("select count(*) as n from Versand")), 0);
}

TEST_F(ParcelDb, TheShippedTemplateNamesTheParcelOrLeavesItsLinesOut) {
    const QDir res(QStringLiteral(GD_RESOURCES_DIR "/bin"));
    for (const QString& f : res.entryList(QDir::Files))
        QFile::copy(res.filePath(f), app.file(QStringLiteral("bin/") + f));
    tKunde k = kunde(QStringLiteral("k"), QStringLiteral("Seán O'Neill"));
    const QString id = store(auktion(QStringLiteral("1"), QStringLiteral("k")), k);
    tAuktion a;
    ASSERT_TRUE(funLoadAuktion(a, id).value());
    ASSERT_TRUE(funLoadKunde(k, QStringLiteral("k")).value());
    const QString shipped = Read_Protokoll_Version(QStringLiteral("2"), false, false);
    ASSERT_TRUE(shipped.contains(QStringLiteral("[#SENDUNGSLINK#]")));

    const QString without = MailComposer(mailInputsFor(a, k, {}, {}, {}).value()).fillBody(shipped);
    EXPECT_FALSE(without.contains(QStringLiteral("[#"))) << without.toStdString();
    EXPECT_FALSE(without.contains(QStringLiteral("Sendungsnummer"))) << without.toStdString();
    EXPECT_FALSE(without.contains(QStringLiteral("\r\n\r\n\r\n"))) << without.toStdString();

    ASSERT_TRUE(saveParcel(id, Parcel{QStringLiteral("DHL"), QStringLiteral("00340434161094042557")}).ok());
    const QString with = MailComposer(mailInputsFor(a, k, {}, {}, {}).value()).fillBody(shipped);
    EXPECT_TRUE(with.contains(QStringLiteral("mit DHL unterwegs, die Sendungsnummer lautet 00340434161094042557.")))
        << with.toStdString();
    EXPECT_TRUE(with.contains(QStringLiteral("verfolgen.html?piececode=00340434161094042557")));
    EXPECT_TRUE(with.contains(QStringLiteral("Seán O'Neill")));
}

}  // namespace
}  // namespace gd
