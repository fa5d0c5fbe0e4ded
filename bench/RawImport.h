#pragma once
// The yardstick of an import: a mail parsed as the program parses it, then the checks and rows
// an import needs, written with the C API on one connection with statements prepared once
// (the open-trade check through the index the program names for it).
#include <QDateTime>
#include <QString>
#include <vector>

#include "base/modFunktions.h"
#include "domain/import/MailFile.h"
#include "domain/import/Parser.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace bench {

class RawImporter {
public:
    RawImporter(sqlite3* db, const QString& user) : rules_(gd::rulesInForce()), user_(user) {
        for (const char* sql : kSql) {
            sqlite3_stmt* s = nullptr;
            sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
            st_.push_back(s);
        }
    }
    ~RawImporter() {
        for (sqlite3_stmt* s : st_) sqlite3_finalize(s);
    }
    RawImporter(const RawImporter&) = delete;
    RawImporter& operator=(const RawImporter&) = delete;

    // False when the trade's row was not stored.
    bool import(const QString& mailText) {
        gd::ImportRecords r;
        gd::parseMail(rules_, r, gd::normalizeMailText(mailText));
        const gd::tKunde& k = r.oKunde;
        const gd::tAuktion& a = r.oAuktion;
        keep_.clear();
        run(st_[6]);
        bind(st_[0], {a.AuktionsNr, user_});
        run(st_[0]);
        bind(st_[1], {k.ebayName, user_});
        run(st_[1]);
        bind(st_[2], {k.ebayName, user_});
        QString nr;
        if (sqlite3_step(st_[2]) == SQLITE_ROW)
            nr = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st_[2], 0)));
        sqlite3_reset(st_[2]);
        if (!nr.isEmpty()) {
            bind(st_[3], {k.Name, k.Strasse, k.Ort, k.Land, k.Email, nr, user_});
            run(st_[3]);
        } else {
            nr = QStringLiteral("20261207") + a.AuktionsNr;
            bind(st_[4], {nr, k.Name, k.Strasse, k.Ort, k.Land, k.Email, k.ebayName, user_});
            run(st_[4]);
        }
        // The program's keys: time of the insert, then the item number; the mail's own end date.
        const QString id = QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) + a.AuktionsNr;
        bind(st_[5],
             {id, nr, a.AuktionsNr, a.Titel, gd::funCDate(a.EndeDatum).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
              a.Preis, a.Menge, a.Betrag, a.Versandkosten, a.Hinweise, a.Versandinfos, a.Zahlungshinweise, a.EmailText,
              k.ebayName, user_});
        const bool stored = run(st_[5]) == SQLITE_DONE;
        run(st_[7]);
        return stored;
    }

private:
    gd::ParserRules rules_;
    static constexpr const char* kSql[] = {
        "SELECT 1 FROM Auktionen WHERE AuktionsNr = ? AND Standarduser = ? LIMIT 1",
        "SELECT 1 FROM Auktionen INDEXED BY Auktionen_User_ebayName WHERE ebayName = ? AND Bezahlt = 0 AND "
        "Bewertet = 0 AND Versendet = 0 AND Bewerungabgegeben = 0 AND Abgeschlossen = 0 AND Standarduser = ? LIMIT 1",
        "SELECT KundenNr FROM Kunden WHERE ebayName = ? AND Standarduser = ?",
        "UPDATE Kunden SET Name = ?, Strasse = ?, Ort = ?, Land = ?, Email = ?, Kunde = 1 WHERE KundenNr = ? AND "
        "Standarduser = ?",
        "INSERT INTO Kunden (KundenNr, Name, Strasse, Ort, Land, Email, ebayName, Kunde, Standarduser) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, 1, ?)",
        "INSERT INTO Auktionen (AuktionsID, KundenNr, AuktionsNr, Titel, EndeDatum, Preis, Menge, Betrag, "
        "Versandkosten, Hinweise, Versandinfos, Zahlungshinweise, EmailText, ebayName, Standarduser) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        "SAVEPOINT f",
        "RELEASE f"};

    // The bound texts live until the next mail.
    void bind(sqlite3_stmt* s, std::initializer_list<QString> values) {
        int i = 0;
        for (const QString& v : values) {
            keep_.push_back(v.toUtf8());
            sqlite3_bind_text(s, ++i, keep_.back().constData(), int(keep_.back().size()), SQLITE_STATIC);
        }
    }
    static int run(sqlite3_stmt* s) {
        const int rc = sqlite3_step(s);
        sqlite3_reset(s);
        return rc;
    }

    QString user_;
    std::vector<sqlite3_stmt*> st_;
    std::vector<QByteArray> keep_;
};

}  // namespace bench
