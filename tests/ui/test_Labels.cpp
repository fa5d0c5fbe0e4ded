// The parcels of the day from the window: the ready sales listed with what the upload file will
// make of each address, the unreadable one left unticked and said, the file written where the
// seller chose.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "MainWindowFixture.h"
#include "base/codepage.h"
#include "support/GuiApp.h"
#include "ui/frmEtiketten.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

class LabelsUi : public test::MainWindowTest {};

TEST_F(LabelsUi, TheReadySalesWrittenAsDhlsFile) {
    gSettings.Kontoinhaber = u"Jörg Händler"_s;
    gSettings.Anschrift = u"Lindenweg 3, 24103 Kiel"_s;
    const struct {
        const char *nr, *ebay, *name, *strasse;
    } sales[] = {{"601", "dorota", "Dorota Wiśniewska", "ul. Marszałkowska 84"},
                 {"602", "jens", "Jens Ødegård", "Storgata 5"},
                 {"603", "piet", "Piet de Vries", "Keizersgracht"}};
    for (const auto& s : sales) {
        tKunde k = kunde(QString::fromLatin1(s.ebay), QString::fromUtf8(s.name));
        k.Strasse = QString::fromUtf8(s.strasse);
        store(auktion(QString::fromLatin1(s.nr), k.ebayName), k);
    }
    store(auktion(u"604"_s, u"anna"_s), kunde(u"anna"_s));  // not paid
    Database::open(db).execute(u"update Auktionen set Bezahlt = 1 where AuktionsNr <> '604'"_s);
    open();
    filter(5);
    EXPECT_EQ(column(7).size(), 3);
    test::screenshot(w.get(), u"versandbereit.png"_s);

    const QString file = app.file(u"DHL.csv"_s);
    platform.queueFileName(file);
    QStringList rows;
    test::whenModal<frmEtiketten>([&](frmEtiketten* d) {
        auto* grid = d->findChild<QTableWidget*>(u"grdSendungen"_s);
        for (int r = 0; r < grid->rowCount(); ++r)
            rows << grid->item(r, 0)->text() + (grid->item(r, 0)->checkState() == Qt::Checked ? u" ✓ "_s : u" – "_s) +
                        grid->item(r, 3)->text();
        d->findChild<QComboBox*>(u"cboProdukt"_s)->setCurrentIndex(0);
        QTest::qWait(50);  // the notes wrap once laid out
        test::screenshot(d, u"etiketten.png"_s);
        QTest::mouseClick(d->findChild<QPushButton*>(u"cmdSchreiben"_s), Qt::LeftButton);
    });
    menu("keyAktion", "keyEtiketten");
    rows.sort();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0],
              u"601 ✓ Name: „Dorota Wiśniewska“ → „Dorota Wisniewska“; Straße: „ul. Marszałkowska“ → "
              "„ul. Marszalkowska“"_s);
    EXPECT_EQ(rows[1], u"602 ✓ "_s);
    EXPECT_EQ(rows[2], u"603 – In der Anschrift fehlt die Hausnummer (in „Keizersgracht“)."_s);
    EXPECT_TRUE(lastMessage().startsWith(u"2 Sendungen in 1 Datei geschrieben"_s)) << lastMessage().toStdString();
    const QStringList lines = win::fromAnsi(app.read(u"DHL.csv"_s)).split(u"\r\n"_s, Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[1].endsWith(u"PAECKS.DEU;"_s)) << lines[1].toStdString();
    EXPECT_TRUE(lines.filter(u"Jens Ødegård;;Storgata;5;12345;Berlin;DEU"_s).size() == 1)
        << lines.join(u'\n').toStdString();
}

}  // namespace
}  // namespace gd
