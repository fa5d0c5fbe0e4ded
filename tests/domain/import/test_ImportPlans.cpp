#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSet>
#include <algorithm>

#include "domain/import/Accept.h"
#include "domain/import/BatchImport.h"
#include "domain/import/MailFile.h"
#include "support/DbTestShared.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace gd {
namespace {

// The texts in one column of a query's rows.
QStringList textsOf(sqlite3* db, const QByteArray& sql, int column, const QByteArray& bound = QByteArray()) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) != SQLITE_OK) return {QStringLiteral("(kein Plan)")};
    if (!bound.isNull()) sqlite3_bind_text(st, 1, bound.constData(), int(bound.size()), SQLITE_TRANSIENT);
    QStringList out;
    while (sqlite3_step(st) == SQLITE_ROW)
        out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, column)));
    sqlite3_finalize(st);
    return out;
}

// Every statement an import runs, triggers' bodies included, as SQLite prepared it.
QStringList statementsOf(sqlite3* db, const std::function<void()>& work) {
    QSet<QString> seen;
    sqlite3_trace_v2(
        db, SQLITE_TRACE_STMT,
        [](unsigned, void* set, void* stmt, void*) {
            static_cast<QSet<QString>*>(set)->insert(QString::fromUtf8(sqlite3_sql(static_cast<sqlite3_stmt*>(stmt))));
            return 0;
        },
        &seen);
    work();
    sqlite3_trace_v2(db, 0, nullptr, nullptr);
    QStringList out;
    for (const QString& sql : seen) {
        if (!sql.startsWith(QStringLiteral("-- TRIGGER"))) {
            out << sql;
            continue;
        }
        // A trigger's statements, with its row's columns as parameters.
        QString body = textsOf(db, "SELECT sql FROM sqlite_master WHERE type = 'trigger' AND name = ?", 0,
                               sql.mid(11).trimmed().toUtf8())
                           .value(0);
        body = body.mid(body.indexOf(QStringLiteral("BEGIN")) + 5).chopped(4);
        body.replace(QRegularExpression(QStringLiteral("\\b(new|old)\\.\\w+")), QStringLiteral("?"));
        for (const QString& part : body.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            if (!part.trimmed().isEmpty()) out << part.trimmed();
    }
    return out;
}

class ImportPlans : public test::DbTest {};

// Each question an import asks of a file of 100,000 trades must be answered by the index made
// for it: a statement that scans, or uses another index than the one named here, makes an
// import grow with the file. A new statement needs its line here.
TEST_F(ImportPlans, EveryStatementUsesTheIndexMeantForIt) {
    app.write(QStringLiteral("bin/gaveldesk.ini"), shippedKeywords());
    subInitApp();
    gsDataSource = db;
    gSettings.StandardUser = gSettings.Username = QStringLiteral("gavel_haendler");
    const QString mails = test::dataFile(QStringLiteral("mails/"));
    const Store store = currentStore();
    ASSERT_TRUE(importMailFile(rulesInForce(), mails + QStringLiteral("verkauf.txt"), &store).stored);
    sqlite3* handle = Database::open(db).handle();
    const QStringList run = statementsOf(handle, [&] {
        for (const char* file : {"verkauf.txt", "kauf.txt", "sofortkauf_verkauf.txt"}) {
            QString text = *readMailFile(mails + QString::fromUtf8(file));
            text.replace(QStringLiteral("1234567890"), QStringLiteral("777"));
            ImportRecords r;
            parseMail(rulesInForce(), r, normalizeMailText(text));
            ASSERT_TRUE(checkImport(currentStore(), r).ok());
            ASSERT_TRUE(acceptImport(currentStore(), r, ImportChoices{false, true, {}}).ok())
                << file;  // grouped with the open sale
        }
    });
    // What the statement starts with (lower case, spaces as one), and the index its plan must name.
    const struct {
        const char* begins;
        const char* index;
    } meant[] = {
        {"select 1 from auktionen where auktionsnr = ?", "Auktionen_User_AuktionsNr"},
        {"select 1 from auktionen indexed by auktionen_user_ebayname", "Auktionen_User_ebayName"},
        {"select 1 from auktionen where auktionsid = ?", "Auktionen_AuktionsID"},
        {"select kundennr, name, strasse, ort, land, email, ebayname, kunde, lieferant, coalesce((select s.version "
         "from kundenstand s where s.standarduser = kunden.standarduser and s.kundennr = kunden.kundennr), 0) from "
         "kunden where ebayname = ?",
         "Kunden_User_ebayName"},
        {"select kundennr from kunden where standarduser = ? and ebayname = ?", "Kunden_User_ebayName"},
        // Or the list's covering index, which SQLite 3.46 prefers in a file too small to be measured.
        {"select rowid from auktionen where ebayname = ? and bezahlt = 0", "Auktionen_User_ebayName|Auktionen_Liste"},
        // What an update finds stored before it writes the columns that differ.
        {"select gruppenid,kundennr from auktionen where rowid=?", "INTEGER PRIMARY KEY"},
        {"select name,strasse,ort,land,email,ebayname,kunde,lieferant,standarduser from kunden where rowid=?",
         "INTEGER PRIMARY KEY"},
        {"update auktionen set", "INTEGER PRIMARY KEY"},
        {"update kunden set", "INTEGER PRIMARY KEY"},
        {"insert into suche (docid, text) select docid, text from suchquelle where docid = ?", "INTEGER PRIMARY KEY"},
        {"delete from suche where docid in (select rowid from auktionen where standarduser", "Auktionen_User_ebayName"},
        {"insert into suche (docid, text) select docid, text from suchquelle where docid in (select rowid from "
         "auktionen where standarduser",
         "Auktionen_User_ebayName"},
        // The sale's claim in the journal, and payout lines that named it before it came.
        {"select 1 from auktionen a join kunden k on k.ebayname = a.ebayname", "Auktionen_AuktionsID"},
        {"select betrag, (select coalesce(sum(cent), 0) from buchungen b", "Buchungen_AuktionsID"},
        {"select auktionsnr from auktionen where auktionsid = ?", "Auktionen_AuktionsID"},
        {"select auszahlungsid, zahlungsdatum, brutto, gebuehren from auszahlungsposten",
         "AuszahlungsPosten_AuktionsNr"},
    };
    int checked = 0;
    for (const QString& sql : run) {
        const QString plan = textsOf(handle, "EXPLAIN QUERY PLAN " + sql.toUtf8(), 3).join(QLatin1Char('\n'));
        // A statement that reads the row numbers too reads them first.
        const QString shape = sql.simplified()
                                  .toLower()
                                  .remove(QLatin1Char('"'))
                                  .replace(QStringLiteral("select rowid, "), QStringLiteral("select "));
        // Writes a new row, or a transaction; or the search index's own upkeep inside SQLite.
        const bool readsRows = plan.contains(QStringLiteral("SEARCH ")) || plan.contains(QStringLiteral("SCAN "));
        if (!readsRows || sql.contains(QStringLiteral("'main'.'Suche_"))) continue;
        SCOPED_TRACE(sql.toStdString() + "\n" + plan.toStdString());
        const auto* m = std::find_if(std::begin(meant), std::end(meant),
                                     [&](const auto& e) { return shape.startsWith(QString::fromUtf8(e.begins)); });
        if (m == std::end(meant)) {
            ADD_FAILURE() << "a statement without its index in this table";
            continue;
        }
        const QStringList indexes = QString::fromUtf8(m->index).split(QLatin1Char('|'));
        EXPECT_TRUE(std::any_of(indexes.begin(), indexes.end(), [&](const QString& i) { return plan.contains(i); }))
            << m->index;
        for (const QString& line : plan.split(QLatin1Char('\n'))) {
            const bool scansRows = line.trimmed().startsWith(QStringLiteral("SCAN ")) &&
                                   !line.contains(u"VIRTUAL TABLE") && !line.contains(u"CONSTANT ROW");
            EXPECT_FALSE(scansRows) << line.toStdString();
        }
        ++checked;
    }
    EXPECT_GE(checked, 6);
}

}  // namespace
}  // namespace gd
