#include "domain/db/PgSchema.h"

#include <libpq-fe.h>

#include <QRegularExpression>
#include <QStringList>

#include "domain/db/Documents.h"
#include "domain/db/Journal.h"
#include "domain/db/PgEngine.h"
#include "domain/db/Schema.h"
#include "domain/db/SearchFold.h"

namespace gd {

namespace {

// A trade deleted takes its rows along; the journal's entries are never changed. Made anew by the
// steps from versions 7 and 11.
constexpr const char* kTradeRules = R"SQL(
CREATE OR REPLACE FUNCTION gd_auktion_weg() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  DELETE FROM versand WHERE auktionsid = old.auktionsid;
  DELETE FROM mahnungen WHERE auktionsid = old.auktionsid;
  DELETE FROM teilzahlungen WHERE auktionsid = old.auktionsid;
  DELETE FROM gesendet WHERE auktionsid = old.auktionsid;
  DELETE FROM stand WHERE auktionsid = old.auktionsid;
  DELETE FROM buchungen WHERE auktionsid = old.auktionsid;
  DELETE FROM rueckgaben WHERE auktionsid = old.auktionsid;
  DELETE FROM pakete WHERE auktionsid = old.auktionsid;
  DELETE FROM suche WHERE docid = old.rowid;
  RETURN NULL;
END $$;
CREATE OR REPLACE TRIGGER auktionen_geloescht AFTER DELETE ON auktionen FOR EACH ROW EXECUTE FUNCTION
  gd_auktion_weg();
CREATE OR REPLACE TRIGGER buchungen_unveraenderlich BEFORE UPDATE ON buchungen FOR EACH ROW EXECUTE FUNCTION
  gd_unveraenderlich('Eine Buchung wird nicht geändert; sie wird durch eine Gegenbuchung berichtigt.');
CREATE OR REPLACE TRIGGER buchungen_melden AFTER INSERT OR UPDATE OR DELETE ON buchungen FOR EACH STATEMENT
  EXECUTE FUNCTION gd_melden();
)SQL";

// Issued documents: never changed, removed or emptied, the chain's links included. Made anew by a
// step from version 8.
constexpr const char* kDocumentRules = R"SQL(
CREATE OR REPLACE FUNCTION gd_sha256(bytea) RETURNS text LANGUAGE sql IMMUTABLE AS
  'SELECT encode(sha256($1), ''hex'')';
CREATE OR REPLACE FUNCTION gd_sha256(text) RETURNS text LANGUAGE sql IMMUTABLE AS
  'SELECT encode(sha256(convert_to($1, ''UTF8'')), ''hex'')';
CREATE OR REPLACE TRIGGER belegkette_unveraenderlich BEFORE UPDATE ON belegkette FOR EACH ROW EXECUTE FUNCTION
  gd_unveraenderlich('Eine ausgestellte Rechnung wird nicht geändert; sie kann nur storniert werden.');
CREATE OR REPLACE TRIGGER belegkette_unloeschbar BEFORE DELETE ON belegkette FOR EACH ROW EXECUTE FUNCTION
  gd_unveraenderlich('Eine ausgestellte Rechnung wird nicht gelöscht; sie kann nur storniert werden.');
CREATE OR REPLACE TRIGGER rechnungen_nicht_leeren BEFORE TRUNCATE ON rechnungen FOR EACH STATEMENT EXECUTE
  FUNCTION gd_unveraenderlich('Ausgestellte Rechnungen werden nicht gelöscht; sie können nur storniert werden.');
CREATE OR REPLACE TRIGGER rechnungenxml_nicht_leeren BEFORE TRUNCATE ON rechnungenxml FOR EACH STATEMENT EXECUTE
  FUNCTION gd_unveraenderlich('Ausgestellte Rechnungen werden nicht gelöscht; sie können nur storniert werden.');
CREATE OR REPLACE TRIGGER belegkette_nicht_leeren BEFORE TRUNCATE ON belegkette FOR EACH STATEMENT EXECUTE
  FUNCTION gd_unveraenderlich('Ausgestellte Rechnungen werden nicht gelöscht; sie können nur storniert werden.');
)SQL";

// A contact's row version, as the trades' (the file's version 10); and the keys the lists join and
// order by, folded once into indexes rather than compared through citext row by row (see
// Dialect::caseless). Made anew by a step from version 9.
constexpr const char* kContactRules = R"SQL(
CREATE OR REPLACE FUNCTION gd_kunde_stand() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  IF old.standarduser IS DISTINCT FROM new.standarduser OR old.kundennr IS DISTINCT FROM new.kundennr THEN
    DELETE FROM kundenstand WHERE standarduser = old.standarduser AND kundennr = old.kundennr;
  END IF;
  INSERT INTO kundenstand (standarduser, kundennr, version, platz, benutzer, zeit)
    VALUES (new.standarduser, new.kundennr, 1, coalesce(current_setting('gaveldesk.platz', true), ''),
            coalesce(current_setting('gaveldesk.benutzer', true), ''),
            to_char(localtimestamp, 'YYYY-MM-DD HH24:MI:SS'))
    ON CONFLICT (standarduser, kundennr) DO UPDATE SET version = kundenstand.version + 1,
      platz = excluded.platz, benutzer = excluded.benutzer, zeit = excluded.zeit;
  RETURN NULL;
END $$;
CREATE OR REPLACE TRIGGER kunden_stand AFTER UPDATE ON kunden FOR EACH ROW EXECUTE FUNCTION gd_kunde_stand();
CREATE OR REPLACE FUNCTION gd_kunde_weg() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  DELETE FROM kundenstand WHERE standarduser = old.standarduser AND kundennr = old.kundennr;
  RETURN NULL;
END $$;
CREATE OR REPLACE TRIGGER kunden_geloescht AFTER DELETE ON kunden FOR EACH ROW EXECUTE FUNCTION gd_kunde_weg();
CREATE INDEX IF NOT EXISTS auktionen_liste_schluessel ON auktionen ((lower(cast(standarduser as text)) COLLATE ucs_basic),
  abgeschlossen, endedatum, (lower(cast(ebayname as text)) COLLATE ucs_basic), (lower(cast(titel as text)) COLLATE ucs_basic),
  (lower(cast(status as text)) COLLATE ucs_basic), (lower(cast(auktionsnr as text)) COLLATE ucs_basic),
  (lower(cast(gruppenid as text)) COLLATE ucs_basic), (lower(cast(auktionsid as text)) COLLATE ucs_basic));
CREATE INDEX IF NOT EXISTS kunden_schluessel ON kunden ((lower(cast(standarduser as text)) COLLATE ucs_basic),
  (lower(cast(ebayname as text)) COLLATE ucs_basic));
)SQL";

// What the file does in its triggers and the server in its own language.
constexpr const char* kServerRules = R"SQL(
CREATE TABLE suche (
  docid bigint PRIMARY KEY,
  text text NOT NULL DEFAULT '',
  -- the file's tokenizer cuts at every sign that is no letter or digit: so here
  vektor tsvector GENERATED ALWAYS AS (to_tsvector('simple'::regconfig,
      regexp_replace(text, '[^[:alnum:]]+', ' ', 'g'))) STORED
);
CREATE INDEX suche_vektor ON suche USING gin (vektor);
-- "mull* meier*" as the file's index reads it: every word a prefix, all of them required
CREATE FUNCTION gd_suche(q text) RETURNS tsquery LANGUAGE sql IMMUTABLE AS $$
  SELECT coalesce(string_agg(quote_literal(w) || ':*', ' & '), '')::tsquery
  FROM unnest(string_to_array(btrim(replace(q, '*', '')), ' ')) AS w WHERE w <> ''
$$;
CREATE FUNCTION gd_suche_neu(ids bigint[]) RETURNS void LANGUAGE sql AS $$
  DELETE FROM suche WHERE docid = ANY (ids);
  INSERT INTO suche (docid, text) SELECT docid, text FROM suchquelle WHERE docid = ANY (ids);
$$;
CREATE FUNCTION gd_auktion_neu() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  PERFORM gd_suche_neu(ARRAY[new.rowid]);
  RETURN NULL;
END $$;
CREATE TRIGGER auktionen_neu AFTER INSERT ON auktionen FOR EACH ROW EXECUTE FUNCTION gd_auktion_neu();
CREATE TRIGGER auktionen_geaendert AFTER UPDATE OF auktionsid, auktionsnr, titel, hinweise, versandinfos,
    zahlungshinweise, bemerkungen, mitteilungen, ebayname, standarduser, emailtext ON auktionen
    FOR EACH ROW EXECUTE FUNCTION gd_auktion_neu();
CREATE FUNCTION gd_auktion_stand() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  INSERT INTO stand (auktionsid, version, platz, benutzer, zeit)
    VALUES (new.auktionsid, 1, coalesce(current_setting('gaveldesk.platz', true), ''),
            coalesce(current_setting('gaveldesk.benutzer', true), ''),
            to_char(localtimestamp, 'YYYY-MM-DD HH24:MI:SS'))
    ON CONFLICT (auktionsid) DO UPDATE SET version = stand.version + 1, platz = excluded.platz,
      benutzer = excluded.benutzer, zeit = excluded.zeit;
  RETURN NULL;
END $$;
CREATE TRIGGER auktionen_stand AFTER UPDATE ON auktionen FOR EACH ROW EXECUTE FUNCTION gd_auktion_stand();
CREATE FUNCTION gd_kunde_geaendert() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  IF old.name IS DISTINCT FROM new.name OR old.strasse IS DISTINCT FROM new.strasse OR old.ort IS DISTINCT FROM
     new.ort OR old.email IS DISTINCT FROM new.email OR old.ebayname IS DISTINCT FROM new.ebayname THEN
    PERFORM gd_suche_neu(ARRAY(SELECT rowid FROM auktionen WHERE standarduser = new.standarduser
                                 AND ebayname IN (old.ebayname, new.ebayname)));
  END IF;
  RETURN NULL;
END $$;
CREATE TRIGGER kunden_geaendert AFTER UPDATE ON kunden FOR EACH ROW EXECUTE FUNCTION gd_kunde_geaendert();
CREATE FUNCTION gd_versand() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  PERFORM gd_suche_neu(ARRAY(SELECT rowid FROM auktionen WHERE auktionsid IN (
    CASE WHEN tg_op = 'DELETE' THEN old.auktionsid ELSE new.auktionsid END)));
  RETURN NULL;
END $$;
CREATE TRIGGER versand_suche AFTER INSERT OR DELETE ON versand FOR EACH ROW EXECUTE FUNCTION gd_versand();
CREATE FUNCTION gd_unveraenderlich() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  RAISE EXCEPTION '%', tg_argv[0];
END $$;
CREATE TRIGGER rechnungen_unveraenderlich BEFORE UPDATE ON rechnungen FOR EACH ROW EXECUTE FUNCTION
  gd_unveraenderlich('Eine ausgestellte Rechnung wird nicht geändert; sie kann nur storniert werden.');
CREATE TRIGGER rechnungen_unloeschbar BEFORE DELETE ON rechnungen FOR EACH ROW EXECUTE FUNCTION
  gd_unveraenderlich('Eine ausgestellte Rechnung wird nicht gelöscht; sie kann nur storniert werden.');
CREATE TRIGGER rechnungenxml_unveraenderlich BEFORE UPDATE ON rechnungenxml FOR EACH ROW EXECUTE FUNCTION
  gd_unveraenderlich('Eine ausgestellte Rechnung wird nicht geändert; sie kann nur storniert werden.');
CREATE TRIGGER rechnungenxml_unloeschbar BEFORE DELETE ON rechnungenxml FOR EACH ROW EXECUTE FUNCTION
  gd_unveraenderlich('Eine ausgestellte Rechnung wird nicht gelöscht; sie kann nur storniert werden.');
CREATE TRIGGER eingangsrechnungen_unveraenderlich BEFORE UPDATE ON eingangsrechnungen FOR EACH ROW EXECUTE
  FUNCTION gd_unveraenderlich('Eine abgelegte Rechnung wird nicht geändert.');
CREATE TRIGGER eingangsrechnungen_unloeschbar BEFORE DELETE ON eingangsrechnungen FOR EACH ROW EXECUTE
  FUNCTION gd_unveraenderlich('Eine abgelegte Rechnung wird aufbewahrt und nicht gelöscht.');
-- every seat's list follows the others' changes: one notice per transaction and table
CREATE FUNCTION gd_melden() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  PERFORM pg_notify('gaveldesk', tg_table_name);
  RETURN NULL;
END $$;
)SQL";

// The tables whose change a seat's list shows.
constexpr const char* kWatched[] = {"auktionen", "kunden", "versand", "teilzahlungen", "mahnungen", "rechnungen"};

// A statement of the file's schema in the server's dialect; empty for what the server does
// its own way (the file's triggers and its full-text table).
QString serverStatement(const QString& fileSql) {
    const QString t = fileSql.trimmed();
    if (t.startsWith(QLatin1String("CREATE TRIGGER")) || t.startsWith(QLatin1String("CREATE VIRTUAL"))) return {};
    QString s = pgSql(t);
    // The search's folding is one expression here (see searchSource), not the file's chain of views.
    if (s.startsWith(QLatin1String("CREATE VIEW IF NOT EXISTS"))) return {};
    if (!s.startsWith(QLatin1String("CREATE TABLE"))) return s;
    QStringList lines = s.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (line.contains(QLatin1String("COLLATE NOCASE"))) {
            line.replace(QLatin1String("COLLATE NOCASE"), QString());
            line.replace(QRegularExpression(QStringLiteral("\\bTEXT\\b")), QStringLiteral("citext"));
        }
        line.replace(QLatin1String("INTEGER PRIMARY KEY"),
                     QLatin1String("bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"));
        line.replace(QRegularExpression(QStringLiteral("\\bINTEGER\\b")), QStringLiteral("bigint"));
        line.replace(QRegularExpression(QStringLiteral("\\bBLOB\\b")), QStringLiteral("bytea"));
    }
    // The file's row number, which the program orders by and updates through.
    lines.insert(1, QStringLiteral("  rowid bigint GENERATED BY DEFAULT AS IDENTITY UNIQUE,"));
    s = lines.join(QLatin1Char('\n'));
    return s.replace(QLatin1String("CREATE TABLE IF NOT EXISTS"), QLatin1String("CREATE TABLE"));
}

// Every trade's search text folded as the program folds what is typed.
QString searchSource() {
    return foldFunctionSql(QStringLiteral("gd_fold")) + QLatin1Char('\n') +
           pgSql(
               QStringLiteral("CREATE VIEW SuchQuelle AS SELECT a.rowid AS docid, gd_fold(%1) AS text FROM Auktionen a")
                   .arg(searchTextSql()));
}

int readVersion(PgConnection& c) {
    PgResult has = pgExec(c,
                          "SELECT to_regclass('gd_schema') IS NOT NULL, (SELECT count(*) FROM pg_class k JOIN "
                          "pg_namespace n ON n.oid = k.relnamespace WHERE n.nspname = current_schema() AND "
                          "k.relkind = 'r')");
    if (QByteArray(PQgetvalue(has.get(), 0, 0)) != "t") return QByteArray(PQgetvalue(has.get(), 0, 1)).toInt() ? -1 : 0;
    PgResult v = pgExec(c, "SELECT max(version) FROM gd_schema");
    return QByteArray(PQgetvalue(v.get(), 0, 0)).toInt();
}

}  // namespace

int pgPrepareSchema(PgConnection& c) {
    int version = readVersion(c);
    if (version < 0)
        throw DbError(3078, QStringLiteral("Die Datenbank auf dem Server enthält Tabellen, aber nicht die von "
                                           "Gaveldesk. Geben Sie eine leere Datenbank an."));
    if (version > kSchemaVersion)
        throw DbError(3197, QStringLiteral("Die Datenbank stammt von einer neueren Programmversion (Version %1); diese "
                                           "Version von Gaveldesk kennt nur Version %2. Sie bleibt unverändert.")
                                .arg(version)
                                .arg(kSchemaVersion));
    if (version == kSchemaVersion) return version;
    // All of it or nothing; a second seat starting at the same moment waits for the first.
    pgExec(c, "BEGIN");
    try {
        pgExec(c, "SELECT pg_advisory_xact_lock(7346002)");
        version = readVersion(c);
        if (version == 0) {
            pgExec(c, "CREATE EXTENSION IF NOT EXISTS citext");
            for (const QString& statement : schemaStatements()) {
                const QString s = serverStatement(statement);
                if (!s.isEmpty()) pgExec(c, s.toUtf8().constData());
            }
            pgExec(c, searchSource().toUtf8().constData());
            pgExec(c, kServerRules);
            pgExec(c, kTradeRules);
            pgExec(c, kDocumentRules);
            pgExec(c, kContactRules);
            for (const char* table : kWatched)
                pgExec(c, QStringLiteral("CREATE TRIGGER %1_melden AFTER INSERT OR UPDATE OR DELETE ON %1 FOR EACH "
                                         "STATEMENT EXECUTE FUNCTION gd_melden()")
                              .arg(QLatin1String(table))
                              .toUtf8()
                              .constData());
            pgExec(c, "CREATE TABLE gd_schema (version integer NOT NULL)");
            pgExec(c,
                   QByteArray("INSERT INTO gd_schema VALUES (" + QByteArray::number(kSchemaVersion) + ")").constData());
        }
        // The steps from one version to the next, as the file's.
        const OpeningRows rows = [&c](const QString& sql, const std::function<void(const QVariantList&)>& row) {
            PgResult r = pgRun(c, sql, {});
            const int n = PQntuples(r.get()), cols = PQnfields(r.get());
            for (int i = 0; i < n; ++i) {
                QVariantList v;
                for (int k = 0; k < cols; ++k) v << pgValue(r.get(), i, k);
                row(v);
            }
        };
        const OpeningExec exec = [&c](const QString& sql, const QVariantList& params) { pgRun(c, sql, params); };
        const auto tablesOf = [&c](const char* table) {
            for (const QString& statement : schemaStatements())
                if (statement.contains(QLatin1String(table)) && !statement.startsWith(QLatin1String("CREATE TRIGGER")))
                    pgExec(c, serverStatement(statement).toUtf8().constData());
        };
        if (version == 7) {
            tablesOf("Buchungen");
            pgExec(c, kTradeRules);
            fillOpeningJournal(rows, exec);
        }
        if (version >= 7 && version < 9) {
            tablesOf("Belegkette");
            tablesOf("Rechnungen_Artikel");
            pgExec(c, kDocumentRules);
            fillDocumentChain(rows, exec);
        }
        if (version >= 7 && version < 10) {
            tablesOf("KundenStand");
            pgExec(c, kContactRules);
        }
        if (version >= 7 && version < 11) tablesOf("Posteingang");
        if (version >= 7 && version < 12) tablesOf("Rueckgaben");
        if (version >= 7 && version < 13) {
            tablesOf("Pakete");
            pgExec(c, kTradeRules);
        }
        if (version > 0)
            pgExec(c, QByteArray("UPDATE gd_schema SET version = " + QByteArray::number(kSchemaVersion)).constData());
        pgExec(c, "COMMIT");
        // The steps filled new tables: the planner's statistics for them, before the first list.
        if (version > 0) pgExec(c, "ANALYZE");
    } catch (...) {
        PQclear(PQexec(c.conn, "ROLLBACK"));
        throw;
    }
    return kSchemaVersion;
}

}  // namespace gd
