#pragma once
// Databases of many trades for the benchmarks, made once and kept in the temp
// folder: building 100,000 trades takes longer than measuring them.

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <tuple>
#include <vector>

#include "domain/db/Database.h"
#include "domain/db/Schema.h"
#include "domain/settings/modGlobal.h"

namespace bench {

// The list's columns with its mark of the milestones reached, as the program reads them.
#define LIST_COLUMNS                                                                                               \
    "select Kunden.ebayName, Kunden.Name, Auktionen.Titel, Auktionen.EndeDatum, Auktionen.Status, "                \
    "Auktionen.AuktionsNr, Auktionen.GruppenID, Auktionen.AuktionsID, Auktionen.Betrag, "                          \
    "(Auktionen.Antwort <> 0) + 2 * (Auktionen.\"Bestätigung\" <> 0) + 4 * (Auktionen.Bezahlt <> 0) + "           \
    "8 * (Auktionen.Versendet <> 0) + 16 * (Auktionen.Bewertet <> 0) + 32 * (Auktionen.Bewerungabgegeben <> 0) + " \
    "64 * (Auktionen.Abgeschlossen <> 0) "

// An application folder with the shipped keyword file and the member name gavel_haendler,
// and an empty database when asked for.
struct Home {
    QTemporaryDir dir;
    explicit Home(bool withDatabase = true) {
        QDir().mkpath(dir.filePath(QStringLiteral("bin")));
        QFile::copy(QStringLiteral(GD_RESOURCES_DIR "/bin/gaveldesk.ini"),
                    dir.filePath(QStringLiteral("bin/gaveldesk.ini")));
        QFile cfg(dir.filePath(QStringLiteral("bin/config.ini")));
        cfg.open(QIODevice::WriteOnly);
        cfg.write("[User]\r\nUsername=gavel_haendler\r\n");
        cfg.close();
        qputenv("GAVELDESK_HOME", dir.path().toLocal8Bit());
        if (withDatabase) gd::Database::create(dir.filePath(QStringLiteral("gaveldesk.mdb")));
        gd::subInitApp();
    }
};

// A file with `auctions` trades among `contacts` partners, every tenth closed,
// each with a mail text of mailBytes.
inline QString tradesFile(int auctions, int contacts, int mailBytes = 2000) {
    const QString path = QDir::temp().filePath(QStringLiteral("gaveldesk-bench-sqlcipher4-v%4-%1-%2-%3.mdb")
                                                   .arg(auctions)
                                                   .arg(contacts)
                                                   .arg(mailBytes)
                                                   .arg(gd::kSchemaVersion));
    if (QFile::exists(path)) return path;
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    gd::Database::create(part);
    {
        gd::Transaction tx(part);
        gd::Database db = gd::Database::open(part);
        for (int c = 0; c < contacts; ++c)
            db.execute(
                QStringLiteral("insert into Kunden (KundenNr, Name, Strasse, Ort, Email, ebayName, Kunde, Lieferant, "
                               "Standarduser) values (?, ?, 'Hauptstraße 1', '12345 Berlin', ?, ?, ?, ?, 'haendler')"),
                {QString::number(c), QStringLiteral("Kunde Müller %1").arg(c), QStringLiteral("k%1@example.de").arg(c),
                 QStringLiteral("mitglied_%1").arg(c), c % 3 != 0, c % 3 == 0});
        const QString email(mailBytes, QLatin1Char('e'));
        for (int a = 0; a < auctions; ++a)
            db.execute(QStringLiteral(
                           "insert into Auktionen (AuktionsID, AuktionsNr, Titel, EndeDatum, Status, Betrag, ebayName, "
                           "EmailText, GruppenID, Abgeschlossen, Standarduser) "
                           "values (?, ?, ?, ?, 'Bezahlt', ?, ?, ?, ?, ?, 'haendler')"),
                       {QStringLiteral("id%1").arg(a), QString::number(1000000 + a),
                        QStringLiteral("Artikel Nummer %1 in gutem Zustand").arg(a),
                        QStringLiteral("20%1-%2-%3 12:%4:00")
                            .arg(20 + a % 7)
                            .arg(1 + a % 12, 2, 10, QLatin1Char('0'))
                            .arg(1 + a % 28, 2, 10, QLatin1Char('0'))
                            .arg(a % 60, 2, 10, QLatin1Char('0')),
                        QStringLiteral("%1,90").arg(5 + a % 200), QStringLiteral("mitglied_%1").arg(a % contacts),
                        email, a % 7 ? QString() : QStringLiteral("g%1").arg(a % contacts), a % 10 == 0 ? 1 : 0});
        tx.commit();
    }
    QFile::rename(part, path);
    return path;
}

// The trades of tradesFile(trades, trades / 5), every one ended in `year`, with what the books
// read: prices and shipping; a claim for every sale; payments by bank, PayPal and a platform
// whose fees and weekly payouts are kept; part payments and write-offs; rates of 7 % and
// sales of other platforms; and invoices for about one sale in eight, some cancelled and
// refunded. The invoices' pages are small: neither the books nor the hand-over read them.
inline QString booksFile(int trades, int year) {
    const QString base = tradesFile(trades, trades / 5);
    const QString path = QDir::temp().filePath(QStringLiteral("gaveldesk-bench-sqlcipher4-v%1-%2-buecher-%3.mdb")
                                                   .arg(gd::kSchemaVersion)
                                                   .arg(trades)
                                                   .arg(year));
    if (QFile::exists(path)) return path;
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    QFile::copy(base, part);
    {
        gd::Transaction tx(part);
        gd::Database db = tx.database();
        db.execute(QStringLiteral("update Auktionen set EndeDatum = ? || substr(EndeDatum, 5), Preis = Betrag, "
                                  "Menge = case when rowid % 10 = 5 then '2' else '1' end, "
                                  "Versandkosten = case when rowid % 6 = 0 then '' else '4,95' end, "
                                  "Versandversicherung = case when rowid % 20 = 1 then '1,50' else '' end, "
                                  "Bezahlt = (rowid % 10 < 8 or rowid % 50 = 9)"),
                   {QString::number(year)});
        db.execute(QStringLiteral(
            "create temp table v as select a.rowid as r, a.AuktionsID as id, a.AuktionsNr as nr, "
            "substr(a.EndeDatum, 1, 10) as tag, date(a.EndeDatum, '+3 days') as bezahlt, "
            "cast(replace(a.Preis, ',', '') as integer) * a.Menge + cast(replace(a.Versandkosten, ',', '') as "
            "integer) + cast(replace(a.Versandversicherung, ',', '') as integer) as cent from Auktionen a join Kunden "
            "k on k.ebayName = a.ebayName and k.Standarduser = a.Standarduser where k.Kunde <> 0"));
        const auto book = [&db](const char* columns, const char* where) {
            db.execute(QStringLiteral("insert into Buchungen (Standarduser, AuktionsID, Tag, Cent, Art, Konto, Quelle, "
                                      "Referenz, Erfasst) select 'haendler', id, %1, tag from v where %2")
                           .arg(QLatin1String(columns), QLatin1String(where)));
        };
        const char* const payout = "'AZ-' || strftime('%Y-%W', bezahlt)";
        book("tag, cent, 'Forderung', '', 'Mail', ''", "1");
        book(qPrintable(QStringLiteral("bezahlt, -cent, 'Zahlung', case r % 3 when 0 then 'Bank' when 1 then 'PayPal' "
                                       "else 'Plattform' end, case r % 3 when 0 then 'Kontoauszug' when 1 then "
                                       "'PayPal' else 'Auszahlung' end, case r % 3 when 0 then 'KA-' || nr when 1 "
                                       "then 'PP-' || (9000000000 + r) else %1 end")
                            .arg(QLatin1String(payout))),
             "r % 10 < 8");
        book(qPrintable(QStringLiteral("bezahlt, cent * 11 / 100, 'Gebuehr', 'Plattform', 'Auszahlung', %1")
                            .arg(QLatin1String(payout))),
             "r % 10 < 8 and r % 3 = 2");
        book("date(tag, '+5 days'), -500, 'Zahlung', 'Bank', 'Kontoauszug', 'KA-' || nr", "r % 10 = 8");
        book("date(tag, '+30 days'), -cent, 'Abschreibung', '', 'Hand', ''", "r % 50 = 9");
        // Cancelled: the part paid back and the claim taken back.
        book("date(tag, '+12 days'), 500, 'Erstattung', 'Bank', 'Hand', ''", "r % 100 = 8");
        book("date(tag, '+12 days'), -cent, 'Forderung', '', 'Hand', ''", "r % 100 = 8");
        db.execute(QStringLiteral("insert into AuszahlungsPosten (Standarduser, AuszahlungsID, AuktionsNr, Brutto, "
                                  "Gebuehren, Zahlungsdatum) select 'haendler', %1, nr, cent, cent * 11 / 100, "
                                  "bezahlt from v where r % 10 < 8 and r % 3 = 2")
                       .arg(QLatin1String(payout)));
        db.execute(QStringLiteral(
            "insert into Auszahlungen (Standarduser, ID, Datum, Gutschrift) select 'haendler', AuszahlungsID, "
            "max(Zahlungsdatum), date(max(Zahlungsdatum), '+2 days') from AuszahlungsPosten group by AuszahlungsID"));
        db.execute(
            QStringLiteral("insert into Steuersaetze (Standarduser, AuktionsNr, Satz) select 'haendler', nr, 7 "
                           "from v where r % 9 = 0"));
        db.execute(
            QStringLiteral("insert into Herkunft (Standarduser, AuktionsNr, Plattform) select 'haendler', nr, "
                           "case when r % 5 = 1 then 'Kiezmarkt' else 'direkt' end from v where r % 5 = 1 or "
                           "r % 25 = 3"));

        struct Sale {
            QString nr, id, titel, who, name, strasse, ort;
            QDate tag;
            qint64 preis = 0, menge = 1, versand = 0, versicherung = 0;
        };
        QHash<int, Sale> sales;
        QStringList names;
        db.forEachRow(QStringLiteral("select v.r, v.nr, v.id, v.tag, cast(replace(a.Preis, ',', '') as integer), "
                                     "a.Menge, cast(replace(a.Versandkosten, ',', '') as integer), "
                                     "cast(replace(a.Versandversicherung, ',', '') as integer), a.Titel, a.ebayName, "
                                     "k.Name, k.Strasse, k.Ort from v join Auktionen a on a.rowid = v.r join Kunden k "
                                     "on k.ebayName = a.ebayName and k.Standarduser = a.Standarduser where v.r % 10 = "
                                     "3 or v.r % 50 = 8 or v.r % 40 = 4"),
                      {}, names, [&sales](const gd::DbRow& row) {
                          sales.insert(row.integer(0),
                                       Sale{row.text(1), row.text(2), row.text(8), row.text(9), row.text(10),
                                            row.text(11), row.text(12), QDate::fromString(row.text(3), Qt::ISODate),
                                            row.int64(4), row.int64(5), row.int64(6), row.int64(7)});
                      });
        // Issued on the day after the sale, or after its payment for one in two of the paid; numbered
        // in the order issued.
        std::vector<std::tuple<QDateTime, int, bool>> documents;
        for (auto s = sales.cbegin(); s != sales.cend(); ++s) {
            const int r = s.key();
            if (r % 10 != 3 && r % 50 != 8) continue;
            documents.emplace_back(QDateTime(s->tag.addDays(r % 20 == 13 ? 5 : 1), QTime(10, 0).addSecs(r % 3600)), r,
                                   false);
            if (r % 100 == 8) documents.emplace_back(QDateTime(s->tag.addDays(12), QTime(16, 0)), r, true);
        }
        std::sort(documents.begin(), documents.end());
        QHash<int, std::pair<QString, QDate>> invoiceOf;
        QHash<int, int> running;
        const QByteArray page(4000, 'p');
        for (const auto& [at, r, storno] : documents) {
            const Sale& s = sales[r];
            const int lfd = ++running[at.date().year()];
            const QString nummer = QStringLiteral("RE-%1-%2").arg(at.date().year()).arg(lfd, 5, 10, QLatin1Char('0'));
            const qint64 sign = storno ? -1 : 1;
            QList<int> items{r};
            if (r % 40 == 3 && sales.contains(r + 1)) items << r + 1;
            QJsonArray posten;
            QStringList artikel;
            qint64 total = 0, versand = 0, versicherung = 0;
            for (const int i : items) {
                const Sale& it = sales[i];
                posten.append(QJsonObject{{QStringLiteral("AuktionsNr"), it.nr},
                                          {QStringLiteral("Titel"), it.titel},
                                          {QStringLiteral("Menge"), int(it.menge)},
                                          {QStringLiteral("Einzelpreis"), sign * it.preis},
                                          {QStringLiteral("Steuersatz"), i % 9 == 0 ? 7 : 0},
                                          {QStringLiteral("AuktionsID"), it.id}});
                artikel << it.nr;
                versand += sign * it.versand;
                versicherung += sign * it.versicherung;
                total += sign * (it.preis * it.menge + it.versand + it.versicherung);
            }
            const bool paidBefore = !storno && r % 20 == 13;
            const QString firma = r % 50 == 3 ? QStringLiteral("Müller Handels GmbH") : QString();
            const auto date = [](const QDate& d) { return d.toString(Qt::ISODate); };
            const QJsonObject data{
                {QStringLiteral("Nummer"), nummer},
                {QStringLiteral("Datum"), date(at.date())},
                {QStringLiteral("Bezug"), storno ? invoiceOf[r].first : QString()},
                {QStringLiteral("BezugDatum"), storno ? date(invoiceOf[r].second) : QString()},
                {QStringLiteral("Verkaeufer"), QStringLiteral("Heike Händler")},
                {QStringLiteral("VerkaeuferAnschrift"),
                 QJsonArray{QStringLiteral("Marktweg 3"), QStringLiteral("04109 Leipzig")}},
                {QStringLiteral("VerkaeuferEmail"), QStringLiteral("heike@example.de")},
                {QStringLiteral("Mitgliedsname"), s.who},
                {QStringLiteral("Kaeufer"), QJsonArray{s.name, s.strasse, s.ort, QStringLiteral("Deutschland")}},
                {QStringLiteral("KaeuferFirma"), firma},
                {QStringLiteral("KaeuferUstId"), firma.isEmpty() ? QString() : QStringLiteral("DE123456789")},
                {QStringLiteral("ERechnung"), !firma.isEmpty()},
                {QStringLiteral("Posten"), posten},
                {QStringLiteral("Versand"), versand},
                {QStringLiteral("Versicherung"), versicherung},
                {QStringLiteral("Kleinunternehmer"), false},
                {QStringLiteral("Steuerart"), QStringLiteral("19")},
                {QStringLiteral("Lieferdatum"), date(s.tag)},
                {QStringLiteral("Steuernummer"), QStringLiteral("231/123/45678")},
                {QStringLiteral("UstId"), QString()},
                {QStringLiteral("Iban"), QStringLiteral("DE02 1203 0000 0000 2020 51")},
                {QStringLiteral("Bic"), QStringLiteral("BYLADEM1001")},
                {QStringLiteral("Bank"), QStringLiteral("Testbank")},
                {QStringLiteral("Verwendungszweck"), QString(artikel.join(QStringLiteral(", ")) + u' ' + s.who)},
                {QStringLiteral("Bezahlt"), paidBefore ? total : 0},
                {QStringLiteral("BezahltAm"), paidBefore ? date(s.tag.addDays(3)) : QString()}};
            db.execute(QStringLiteral("insert into Rechnungen (Nummer, Jahr, Lfd, Art, Bezug, Artikel, Ausgestellt, "
                                      "Kaeufer, Cent, Daten, Pdf, Sha256, Standarduser) values (?, ?, ?, ?, ?, ?, ?, "
                                      "?, ?, ?, ?, ?, 'haendler')"),
                       {nummer, at.date().year(), lfd, storno ? QStringLiteral("Storno") : QStringLiteral("Rechnung"),
                        data.value(QStringLiteral("Bezug")).toString(), QString(u' ' + artikel.join(u' ') + u' '), at,
                        s.who, total, QString::fromUtf8(QJsonDocument(data).toJson(QJsonDocument::Compact)), page,
                        QString(64, QLatin1Char('0'))});
            if (!storno) invoiceOf.insert(r, {nummer, at.date()});
        }
        db.execute(QStringLiteral("drop table v"));
        tx.commit();
    }
    QFile::rename(part, path);
    return path;
}

}  // namespace bench
