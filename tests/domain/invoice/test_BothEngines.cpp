// The program's queries asked of a file and of a team's server holding the same trades: the
// answers are the same, row for row and in the same order (folded search in every script,
// LIKE, a key written twice, trades of one end time, days overdue, and the money: accounts,
// the status bar, matching a credit, DATEV, the year's figures, the exports).
#include <gtest/gtest.h>

#include <functional>
#include <iostream>

#include "domain/bank/Matching.h"
#include "domain/books/Datev.h"
#include "domain/books/YearFigures.h"
#include "domain/db/Journal.h"
#include "domain/invoice/IssuedInvoices.h"
#include "domain/trade/AuktionsListe.h"
#include "domain/trade/CsvExport.h"
#include "domain/trade/TaxData.h"
#include "support/DbTestShared.h"
#include "support/EInvoiceCheck.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

Result<QByteArray> page(const Invoice& inv, const QByteArray&) { return QByteArray("%PDF " + inv.Nummer.toUtf8()); }

class BothEngines : public test::DbTest {
protected:
    QString file = app.file(u"datei.mdb"_s);

    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("GD_TEST_PG")) GTEST_SKIP() << "nur mit dem PostgreSQL-Server der Tests";
        DbTest::SetUp();  // `db` is the server's
        if (IsSkipped()) return;
        ASSERT_TRUE(QFile::copy(test::emptyDatabaseTemplate(), file));
        QFile(file).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    void TearDown() override {
        gsDataSource = db;
        DbTest::TearDown();
    }
    // The same trades, in the same order, by the program's own saves.
    void fill(const QString& source) {
        gsDataSource = source;
        const struct {
            const char *nr, *member, *name, *end;
        } trades[] = {
            {"101", "mueller_shop", "Hans Müller", "01.12.2026 10:00:00"},
            {"102", "MÜLLER-HANDEL", "Grete MÜLLER", "01.12.2026 10:00:00"},  // the same end as 101
            {"103", "zoe_orsted", "Zoë Ørsted", "01.12.2026 10:00:00"},
            {"104", "lukasz", "Łukasz Wróbel", "20.11.2026 18:30:00"},
            {"105", "athina", "Αθηνά Παπαδοπούλου", "02.10.2026 09:15:00"},
            {"106", "olga", "Ольга Смирнова", "28.02.2026 23:59:59"},
            {"107", "ilker", "İlker Öztürk", "07.12.2026 08:00:00"},
            {"108", "strasse", "Jürgen Straße", "03.12.2026 12:00:00"},
        };
        for (const auto& t : trades) {
            tAuktion a = auktion(QString::fromUtf8(t.nr), QString::fromUtf8(t.member), QString::fromUtf8(t.end));
            store(a, kunde(a.ebayName, QString::fromUtf8(t.name)));
        }
        Database d = Database::open(source);
        d.execute(u"update Auktionen set Bezahlt = 1, \"Bestätigung\" = 1 where AuktionsNr = '103'"_s);
        d.execute(u"update Auktionen set Abgeschlossen = 1, Versendet = 1 where AuktionsNr = '104'"_s);
        const InvoiceProfile seller;
        for (const char* nr : {"101", "102", "103", "106", "108"})
            ASSERT_TRUE(issueInvoice(currentStore(), seller, QString::fromLatin1(nr), QString(),
                                     QDateTime(QDate(2026, 12, 8), QTime(10, 0)), page)
                            .ok())
                << nr;
        // A platform said twice: the second stays.
        ASSERT_TRUE(savePlatform(currentStore(), u"105"_s, u"Kleinanzeigen"_s).ok());
        ASSERT_TRUE(savePlatform(currentStore(), u"105"_s, u"Hood"_s).ok());
        // Money: a part payment, an overpayment, an exact one and a rest written off.
        const struct {
            const char* nr;
            qint64 cent;
            bool part;
        } credits[] = {{"101", 1000, true}, {"107", 2500, false}, {"103", 1740, false}, {"108", 1500, false}};
        for (const auto& c : credits) {
            const QString nr = QString::fromLatin1(c.nr);
            Proposal p;
            p.Gutschrift =
                Credit{QDate(2026, 12, 5), c.cent, u"Käufer "_s + nr, u"Kauf "_s + nr, {}, u"REF-"_s + nr, {}, 0};
            p.Einstufung = Grade::Sicher;
            p.AuktionsIDs = {auktionsIdOf(currentStore(), nr).value()};
            p.AuktionsNrn = {nr};
            p.Teilzahlung = c.part;
            ASSERT_TRUE(applyProposals(currentStore(), {p}).ok()) << c.nr;
        }
    }
};

QStringList rows(const Result<QList<ListRow>>& r) {
    QStringList out;
    if (!r.ok()) return {u"Fehler: "_s + r.error().sentence};
    for (const ListRow& x : r.value())
        out << QStringList{x.AuktionsNr, x.Name, x.EndeDatum, QString::number(x.Meilensteine), QString::number(x.Tage)}
                   .join(u'|');
    return out;
}

QStringList invoices(const Result<QList<IssuedInvoice>>& r) {
    QStringList out;
    if (!r.ok()) return {u"Fehler: "_s + r.error().sentence};
    for (const IssuedInvoice& i : r.value()) out << i.Nummer + u'|' + i.Kaeufer;
    return out;
}

QStringList account(const Result<TradeAccount>& r) {
    if (!r.ok()) return {u"Fehler: "_s + r.error().sentence};
    QStringList out{u"Saldo "_s + QString::number(r.value().Saldo)};
    for (const JournalEntry& e : r.value().Buchungen)
        out << QStringList{e.Tag.toString(Qt::ISODate),
                           QString::number(e.Cent),
                           e.Art,
                           e.Konto,
                           e.Quelle,
                           e.Referenz,
                           e.Text}
                   .join(u'|');
    return out;
}

QStringList lines(const QByteArray& bytes) { return QString::fromLatin1(bytes).split(u"\r\n"_s); }

TEST_F(BothEngines, EveryQueryAnswersAlike) {
    fill(file);
    fill(db);
    using Ask = std::function<QStringList(const Store&)>;
    const auto search = [](const char* typed) -> Ask {
        return [typed](const Store& s) { return rows(searchAuktionsListe(s, QString::fromUtf8(typed))); };
    };
    const auto invoiceSearch = [](const char* typed) -> Ask {
        return [typed](const Store& s) { return invoices(issuedInvoices(s, 0, QString::fromUtf8(typed))); };
    };
    const auto list = [](ListFilter f) -> Ask {
        return [f](const Store& s) { return rows(loadAuktionsListe(s, ListChoice(f, 7))); };
    };
    const struct {
        const char* what;
        Ask ask;
        int rowsAtLeast;
    } queries[] = {
        {"Liste: alle (gleiches Ende: Reihenfolge)", list(ListFilter::Alle), 7},
        {"Liste: Verkäufe", list(ListFilter::Verkauf), 7},
        {"Liste: abgeschlossen", list(ListFilter::Abgeschlossen), 1},
        {"Liste: überfällig, mit Tagen", list(ListFilter::Ueberfaellig), 2},
        {"Suche: müller", search("müller"), 2},
        {"Suche: MUELLER", search("MUELLER"), 2},
        {"Suche: ørsted", search("ørsted"), 1},
        {"Suche: łukasz", search("łukasz"), 1},
        {"Suche: ΑΘΗΝΑ", search("ΑΘΗΝΑ"), 1},
        {"Suche: ольга", search("ольга"), 1},
        {"Suche: strasse", search("strasse"), 1},
        {"Rechnungen: alle", invoiceSearch(""), 5},
        {"Rechnungen: MÜLLER", invoiceSearch("MÜLLER"), 2},
        {"Rechnungen: mueller", invoiceSearch("mueller"), 2},
        {"Rechnungen: Mueller_Shop", invoiceSearch("Mueller_Shop"), 1},
        {"Rechnungen: Zoe_ (LIKE-Zeichen wörtlich)", invoiceSearch("zoe_"), 1},
        {"Rechnungen: 100 %", invoiceSearch("100 %"), 0},
        {"Rechnungen: re-2026-000", invoiceSearch("re-2026-000"), 5},
        {"Konto 101: Teilzahlung", [](const Store& s) { return account(loadAccountByNr(s, u"101"_s)); }, 3},
        {"Konto 107: zu viel gezahlt", [](const Store& s) { return account(loadAccountByNr(s, u"107"_s)); }, 3},
        {"Konto 108: Rest abgeschrieben", [](const Store& s) { return account(loadAccountByNr(s, u"108"_s)); }, 4},
        {"Statusleiste",
         [](const Store& s) {
             const Result<ListSummary> r = loadListSummary(s, 7);
             if (!r.ok()) return QStringList{r.error().sentence};
             const ListSummary& x = r.value();
             return QStringList{QString::number(x.Offen), QString::number(x.Unbezahlt),
                                QString::number(x.UnbezahltSumme), QString::number(x.Ueberfaellig),
                                QString::number(x.UeberfaelligSumme)};
         },
         5},
        {"Abgleich: offene Verkäufe",
         [](const Store& s) {
             QStringList out;
             for (const OpenSale& o : loadSalesForMatching(s, true).value()) {
                 QStringList parts;
                 for (const auto& [day, cent] : o.Teilzahlungen)
                     parts << day.toString(Qt::ISODate) + u'=' + QString::number(cent);
                 out << QStringList{o.AuktionsNr,
                                    o.ebayName,
                                    o.Name,
                                    o.Betrag,
                                    QString::number(o.Cent.value_or(-1)),
                                    o.Email,
                                    QString::number(o.Bezahlt),
                                    parts.join(u',')}
                            .join(u'|');
             }
             return out;
         },
         4},
        {"Abgleich: Gutschrift von GRETE MÜLLER",
         [](const Store& s) {
             const Credit c{
                 QDate(2026, 12, 6), 1740, u"GRETE MÜLLER"_s, u"Kauf 102 müller-handel"_s, {}, u"REF-X"_s, {}, 0};
             QStringList out;
             for (const Proposal& p : proposalsFor(s, {c}).value())
                 out << gradeText(p.Einstufung) + u'|' + p.AuktionsNrn.join(u',') + u'|' + p.Kaeufer + u'|' +
                            QString::number(p.Erwartet) + u'|' + p.Grund;
             return out;
         },
         1},
        {"DATEV 2026",
         [](const Store& s) {
             DatevSetup setup;
             setup.berater = u"1001"_s;
             setup.mandant = u"10001"_s;
             setup.accounts = datevAccounts(u"03"_s, QString());  // the chart the options default to
             const Result<DatevExport> r = datevExport(s, setup, QDate(2026, 1, 1), QDate(2026, 12, 31),
                                                       QDateTime(QDate(2026, 12, 9), QTime(12, 0)));
             if (!r.ok()) return QStringList{r.error().sentence};
             // What each engine wrote holds DATEV's published rules too.
             QTemporaryDir dir;
             QFile csv(dir.filePath(u"EXTF_Buchungsstapel.csv"_s));
             EXPECT_TRUE(csv.open(QIODevice::WriteOnly) && csv.write(r.value().bytes) == r.value().bytes.size());
             csv.close();
             test::expectValidDatev(csv.fileName());
             return lines(r.value().bytes);
         },
         8},
        {"Jahreszahlen 2026",
         [](const Store& s) {
             QStringList out;
             for (const QStringList& row : yearTable(yearFigures(s, 2026, u"Auktionshaus"_s).value()))
                 out << row.join(u'|');
             return out;
         },
         3},
        {"CSV-Export: alle",
         [](const Store& s) {
             const Result<QByteArray> r = exportCsv(s, ListChoice(ListFilter::Alle, 7));
             return r.ok() ? lines(r.value()) : QStringList{r.error().sentence};
         },
         8},
        {"Kommandozeile: überfällig",
         [](const Store& s) {
             QByteArray all;
             const Status st = writeListTsv(s, ListChoice(ListFilter::Ueberfaellig, 7), [&all](const QByteArray& b) {
                 all += b;
                 return true;
             });
             return st.ok() ? QString::fromUtf8(all).split(u'\n') : QStringList{st.error().sentence};
         },
         3},
        {"Herkunft zweimal gesagt",
         [](const Store& s) {
             Database d = Database::open(s.file);
             return test::columnOf(d, u"select AuktionsNr || ' ' || Plattform from Herkunft order by AuktionsNr"_s);
         },
         1},
    };
    for (const auto& q : queries) {
        SCOPED_TRACE(q.what);
        gsDataSource = file;
        const QStringList inFile = q.ask(Store{file, gSettings.StandardUser});
        gsDataSource = db;
        const QStringList onServer = q.ask(Store{db, gSettings.StandardUser});
        EXPECT_EQ(inFile, onServer) << "Datei:\n"
                                    << inFile.join(u'\n').toStdString() << "\nServer:\n"
                                    << onServer.join(u'\n').toStdString();
        EXPECT_GE(inFile.size(), q.rowsAtLeast) << inFile.join(u'\n').toStdString();
        std::cout << q.what << ": " << inFile.size() << " Zeilen in der Datei, " << onServer.size() << " auf dem Server"
                  << (inFile == onServer ? ", gleich" : ", VERSCHIEDEN") << '\n';
    }
}

}  // namespace
}  // namespace gd
