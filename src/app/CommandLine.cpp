#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTextStream>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>

#include "app/AccountCommands.h"
#include "app/BooksCommands.h"
#include "app/CliCommon.h"
#include "app/InvoiceCommands.h"
#include "app/MailCommands.h"
#include "app/ReturnCommands.h"
#include "app/ServerCommands.h"
#include "app/ShippingCommands.h"
#include "base/AppPath.h"
#include "base/Clock.h"
#include "base/Product.h"
#include "base/SafeWrite.h"
#include "base/Terminal.h"
#include "domain/bank/Matching.h"
#include "domain/db/Backup.h"
#include "domain/db/Database.h"
#include "domain/import/BatchImport.h"
#include "domain/import/MailFile.h"
#include "domain/invoice/Invoice.h"
#include "domain/settings/modGlobal.h"
#include "domain/trade/AuktionsListe.h"
#include "domain/trade/CsvExport.h"

namespace gd {
namespace cli {

QTextStream& out() {
    static QTextStream s(&standardStream(1));
    return s;
}
QTextStream& err() {
    static QTextStream s(&standardStream(2));
    return s;
}

int fail(const QString& message) {
    err() << "gaveldesk: " << message << "\n";
    err().flush();
    return 1;
}

// The settings, with the faults of the keyword file on stderr.
// A message box's text on one line.
QString oneLine(QString text) {
    return text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
}
QString oneLine(const Error& e) { return oneLine(e.message()); }

// False when the database keeps a password of its own and none given opens it: said once here,
// and the command that needs the file ends instead of failing on it again.
bool initApp() {
    QStringList notes = tidyDataFolder(AppPath());
    notes << subInitApp();
    if (!databaseOverride().isEmpty()) gsDataSource = databaseOverride();
    if (const Status share = refuseNetworkShare(gsDataSource); !share.ok()) {
        err() << "gaveldesk: " << oneLine(share.error()) << "\n";
        err().flush();
        return false;
    }
    notes << tidyDatabaseFile(gsDataSource, AppPath());
    for (const QString& m : notes) err() << "gaveldesk: " << oneLine(m) << "\n";
    err().flush();
    // An own password comes from the environment, or from the user at the terminal. Tried
    // whatever the settings say, so a change cut short never locks the user out.
    QString given = qEnvironmentVariable("GAVELDESK_KENNWORT");
    Result<bool> unlocked = unlockDatabase(gsDataSource, given, configIniPath());
    if (unlocked.ok() && !unlocked.value() && given.isEmpty()) {
        if (const std::optional<QString> typed = askHidden(QStringLiteral("Kennwort der Datenbank: "))) {
            given = *typed;
            unlocked = unlockDatabase(gsDataSource, given, configIniPath());
        }
    }
    if (!unlocked.ok()) {
        err() << "gaveldesk: " << oneLine(unlocked.error()) << "\n";
        err().flush();
        // An empty or cut-off file: every step after would only speak of passwords.
        const QFileInfo file(gsDataSource);
        if (file.isFile() && file.size() < kSmallestDatabase) return false;
    } else if (!unlocked.value())
        err() << (given.isEmpty()
                      ? "gaveldesk: Die Datenbank hat ein eigenes Kennwort; bitte in GAVELDESK_KENNWORT angeben.\n"
                      : "gaveldesk: Das angegebene Kennwort passt nicht zur Datenbank.\n");
    err().flush();
    return !unlocked.ok() || unlocked.value();
}

// Nothing is written into a damaged file: every writing command asks first.
// Commands that read the file once: a small page cache (a page is read once; the indexes'
// upper pages fit), so their memory is that of their work.
void readOnce(int cacheKiB) { Database::setPageCacheKiB(cacheKiB); }

// Where the last whole check of the file is noted: it reads every page, a second at 100,000 trades.
QString checkRecord() { return AppPath() + QStringLiteral("/bin/pruefung.dat"); }

std::optional<int> refuseWithoutMemberName() {
    if (!gSettings.Username.trimmed().isEmpty()) return std::nullopt;
    return fail(
        QStringLiteral("Es ist kein Mitgliedsname eingestellt (Einstellungen, Seite \u201EAllgemein\u201C, "
                       "oder bin/config.ini, [User] Username); ohne ihn wird keine E-Mail eingelesen."));
}

std::optional<int> refuseDamaged() {
    if (gsDataSource.isEmpty()) return std::nullopt;
    const Status intact = checkDatabaseDaily(gsDataSource, checkRecord(), today());
    if (intact.ok()) return std::nullopt;
    return fail(intact.error().sentence + QLatin1Char(' ') + intact.error().description);
}

// A reading command goes on with a damaged file, but says so: what it shows may be incomplete.
void warnIfDamaged() {
    if (gsDataSource.isEmpty()) return;
    const Status intact = checkDatabaseDaily(gsDataSource, checkRecord(), today());
    if (intact.ok()) return;
    err() << "gaveldesk: Warnung: " << oneLine(intact.error().sentence + QLatin1Char(' ') + intact.error().description)
          << "\n";
    err().flush();
}

QString tsvField(QString s) {
    s.replace(QLatin1Char('\t'), QLatin1Char(' '))
        .replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s;
}

}  // namespace cli

namespace {

using namespace cli;

// The new password from GAVELDESK_NEUES_KENNWORT (empty or unset: the program's own again).
int changePasswordCommand() {
    if (!initApp()) return 1;
    if (gsDataSource.isEmpty()) return fail(QStringLiteral("Es gibt keine Datenbank."));
    if (const auto refused = refuseDamaged()) return *refused;
    const QString next = qEnvironmentVariable("GAVELDESK_NEUES_KENNWORT");
    const Status changed = changeDatabasePassphrase(gsDataSource, next);
    if (!changed.ok()) return fail(oneLine(changed.error()));
    if (!rememberPassphraseKind(configIniPath()))
        return fail(QStringLiteral("Das Kennwort ist geändert, aber '%1' ließ sich nicht schreiben.")
                        .arg(QDir::toNativeSeparators(configIniPath())));
    err() << (next.isEmpty() ? "Die Datenbank hat wieder das Kennwort des Programms.\n"
                             : "Die Datenbank hat jetzt ein eigenes Kennwort.\n");
    if (const QStringList older = backupsIn(backupFolder()); !older.isEmpty())
        err() << "Die " << older.size() << " älteren Datensicherungen in " << backupFolder()
              << " bleiben mit dem bisherigen Kennwort lesbar; löschen Sie sie, wenn das nicht sein soll.\n";
    err().flush();
    return 0;
}

int createDatabaseCommand(const QStringList& positional) {
    if (positional.size() > 1) return fail(QStringLiteral("--create-database nimmt höchstens einen Pfad."));
    initApp();
    QString path = positional.value(0);
    if (path.isEmpty()) {
        // The path the settings name, else the default next to the program.
        path = gsDataSource;
        if (path.isEmpty()) path = defaultDatabasePath();
    }
    const Status created = createDatabase(path);
    if (!created.ok()) return fail(created.error().sentence + QLatin1Char(' ') + created.error().description);
    out() << "Datenbank angelegt: " << path << "\n";
    out().flush();
    return 0;
}

std::optional<ListFilter> parseFilter(const QString& name) {
    const QString n = name.toLower();
    if (n.isEmpty() || n == QStringLiteral("alle")) return ListFilter::Alle;
    if (n == QStringLiteral("verkauf")) return ListFilter::Verkauf;
    if (n == QStringLiteral("kauf") || n == QStringLiteral("einkauf")) return ListFilter::Einkauf;
    if (n == QStringLiteral("abgeschlossen")) return ListFilter::Abgeschlossen;
    if (n == QStringLiteral("ueberfaellig") || n == QStringLiteral("überfällig")) return ListFilter::Ueberfaellig;
    if (n == QStringLiteral("versandbereit")) return ListFilter::Versandbereit;
    return std::nullopt;
}

int unknownFilter(const QString& name) {
    err() << "gaveldesk: unbekannter Filter '" << name
          << "' (verkauf, kauf, alle, abgeschlossen, ueberfaellig, versandbereit)\n";
    err().flush();
    return 2;
}

int importFiles(const QStringList& files) {
    if (files.isEmpty()) {
        err() << "gaveldesk: --import braucht mindestens eine Datei.\n";
        err().flush();
        return 2;
    }
    if (!initApp()) return 1;
    if (const auto refused = refuseWithoutMemberName()) return *refused;
    if (const auto refused = refuseDamaged()) return *refused;
    // One transaction for the batch and a savepoint per file: a refused or failing file rolls
    // back alone, and the batch pays for one commit instead of one per file. Holding the write
    // lock from here on, no file can meet another program's lock.
    const Store store = currentStore();
    std::optional<Transaction> batch;
    try {
        batch.emplace(store);
    } catch (const RunError& e) {
        if (e.number() == kDatabaseLocked)
            return fail(QStringLiteral("Die Datenbank ist gesperrt; der Import wurde abgebrochen. %1 nicht eingelesen.")
                            .arg(files.size() == 1 ? QStringLiteral("1 Datei wurde")
                                                   : QStringLiteral("%1 Dateien wurden").arg(files.size())));
        batch.reset();  // each file then says what is wrong
    }
    int refused = 0;
    // Inside the batch a stored sale is said only once the batch is committed: before, it is not stored.
    QStringList said;
    const auto say = [&](const QString& line) {
        if (batch) {
            said << line;
            return;
        }
        out() << line << "\n";
        out().flush();
    };
    const ParserRules rules = rulesInForce();
    for (const QString& file : files) {
        const QString name = QFileInfo(file).fileName();
        const Result<QList<MailText>> mails = readMails(file);
        if (!mails.ok()) {
            ++refused;
            say(name + QStringLiteral(": abgelehnt: ") + oneLine(mails.error().sentence));
            continue;
        }
        // Each mail of a mailbox is one import, named by its place in the box.
        for (const MailText& mail : mails.value()) {
            const QString shown =
                mail.label.isEmpty() ? name : name + QStringLiteral(" (") + mail.label + QLatin1Char(')');
            FileImport r;
            // Inside the batch, when there is one; each file a savepoint of it.
            const Store into = batch ? store.within(*batch) : store;
            if (mail.error.isEmpty())
                r = importMailText(rules, &into, mail.text);
            else
                r.refusal = oneLine(mail.error);
            if (r.stored) {
                say(shown + QStringLiteral(": ") + mailKindName(r.kind) + QLatin1Char(' ') + r.auktionsNr);
            } else {
                ++refused;
                say(shown + QStringLiteral(": abgelehnt: ") + r.refusal);
            }
        }
    }
    if (batch && batch->active()) {
        try {
            batch->commit();
        } catch (const RunError& e) {
            return fail(QStringLiteral("Die eingelesenen Auktionen können nicht gespeichert werden (%1); keine der "
                                       "Dateien wurde übernommen.")
                            .arg(e.description()));
        }
    }
    for (const QString& line : said) out() << line << "\n";
    out().flush();
    return refused ? 1 : 0;
}

int parseFile(const QStringList& files) {
    if (files.size() != 1) {
        err() << "gaveldesk: --parse nimmt genau eine Datei.\n";
        err().flush();
        return 2;
    }
    initApp();
    ImportRecords r;
    QStringList messages;
    const FileImport result = importMailFile(rulesInForce(), files.first(), nullptr, &r, &messages);
    out() << QJsonDocument(recordsToJson(result.kind, r, messages)).toJson(QJsonDocument::Indented);
    out().flush();
    return r.acceptable ? 0 : 1;
}

int exportFile(const QString& file, const QString& filterName) {
    const auto filter = parseFilter(filterName);
    if (!filter) return unknownFilter(filterName);
    readOnce(1024);  // every row looks up its buyer: their pages are read again
    if (!initApp()) return 1;
    warnIfDamaged();
    int rows = 0;
    Status read;
    const Status written = writeFileSafely(file, [&](const ByteSink& sink) {
        return read = exportCsv(currentStore(), ListChoice(*filter, gSettings.MahnTage), sink, &rows);
    });
    if (!read.ok()) return fail(QStringLiteral("Die Auktionen können nicht gelesen werden: ") + read.error().text());
    if (!written.ok())
        return fail(QStringLiteral("Die Datei '%1' kann nicht geschrieben werden: %2")
                        .arg(QDir::toNativeSeparators(file), written.error().description));
    err() << rows << " Auktionen nach " << file << " geschrieben.\n";
    err().flush();
    return 0;
}

WindowProgramParts& windowParts() {
    static WindowProgramParts parts;
    return parts;
}

int listAuctions(const QString& filterName) {
    const auto filter = parseFilter(filterName);
    if (!filter) return unknownFilter(filterName);
    readOnce();
    if (!initApp()) return 1;
    warnIfDamaged();
    out().flush();
    const Status read =
        writeListTsv(currentStore(), ListChoice(*filter, gSettings.MahnTage),
                     [](const QByteArray& lines) { return standardStream(1).write(lines) == lines.size(); });
    if (!read.ok()) return fail(QStringLiteral("Die Auktionen können nicht gelesen werden: ") + read.error().text());
    return 0;
}

int searchAuctions(const QString& text) {
    readOnce();
    if (!initApp()) return 1;
    warnIfDamaged();
    const Result<QList<ListRow>> found = searchAuktionsListe(currentStore(), text);
    if (!found.ok()) return fail(QStringLiteral("Die Auktionen können nicht gelesen werden: ") + found.error().text());
    // The layout of --list.
    out() << "AuktionsID\tAuktionsNr\tebayName\tName\tTitel\tAuktionsende\tStatus\tGruppenID\tBetrag\n";
    for (const ListRow& r : found.value())
        out() << tsvField(r.AuktionsID) << '\t' << tsvField(r.AuktionsNr) << '\t' << tsvField(r.ebayName) << '\t'
              << tsvField(r.Name) << '\t' << tsvField(r.Titel) << '\t' << r.EndeDatum << '\t' << tsvField(r.Status)
              << '\t' << tsvField(r.GruppenID) << '\t' << tsvField(r.Betrag) << '\n';
    out().flush();
    return 0;
}

int backupCommand(const QString& file) {
    readOnce();
    if (!initApp()) return 1;
    if (gsDataSource.isEmpty()) return fail(QStringLiteral("Es gibt keine Datenbank, die gesichert werden könnte."));
    // A damaged file is named as such; its pages cannot be copied one by one.
    if (const auto refused = refuseDamaged()) return *refused;
    const Status written = writeBackup(gsDataSource, AppPath() + QStringLiteral("/bin"), file);
    if (!written.ok()) return fail(oneLine(written.error()));
    err() << "Datensicherung geschrieben: " << file << "\n";
    err().flush();
    return 0;
}

// Without --force only where no database is yet: a fresh installation.
int restoreCommand(const QString& file, bool force) {
    initApp();
    const QString db = gsDataSource.isEmpty() ? defaultDatabasePath() : gsDataSource;
    if (QFileInfo::exists(db) && !force)
        return fail(
            QStringLiteral("Es gibt schon eine Datenbank ('%1'). --force ersetzt sie; ihr jetziger Stand wird vorher "
                           "in '%2' gesichert.")
                .arg(QDir::toNativeSeparators(db), QDir::toNativeSeparators(backupFolder())));
    // A backup made under another password names it in GAVELDESK_SICHERUNG_KENNWORT.
    QStringList notes;
    const Result<QString> kept = restoreBackup(file, db, AppPath() + QStringLiteral("/bin"), backupFolder(),
                                               qEnvironmentVariable("GAVELDESK_SICHERUNG_KENNWORT"), nullptr, &notes);
    if (!kept.ok()) return fail(oneLine(kept.error()));
    err() << "Datensicherung eingespielt: " << db << "\n";
    subInitApp();
    if (smtpPasswordMissing()) err() << kSmtpPasswordNotInBackup << "\n";
    if (!kept.value().isEmpty()) err() << "Der vorige Stand liegt in " << kept.value() << "\n";
    for (const QString& n : notes) err() << n << "\n";
    err().flush();
    return 0;
}

}  // namespace

std::optional<int> runCommandLine(const QStringList& arguments) {
    if (arguments.size() <= 1) return std::nullopt;
    QCommandLineParser parser;
    parser.setApplicationDescription(productName() +
                                     QStringLiteral(" – Verwaltung der E-Mails nach dem Ende einer Auktion."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Zeigt diese Hilfe an."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Zeigt Programmname und Version an."));
    const QCommandLineOption create(QStringLiteral("create-database"),
                                    QStringLiteral("Legt eine neue, leere Datenbank an (Pfad als Argument, sonst der "
                                                   "eingestellte). Eine vorhandene Datei wird nicht überschrieben."));
    const QCommandLineOption search(
        QStringLiteral("search"),
        QStringLiteral("Sucht Auktionen jedes Status (auch abgeschlossene) nach jedem Text: "
                       "Mitgliedsname, Name, Adresse, Titel, Artikelnummer, Notizen, "
                       "Sendungsnummer und E-Mail-Text; Groß- und Kleinschreibung und die "
                       "Schreibweise der Umlaute zählen nicht. Ausgabe wie --list."),
        QStringLiteral("text"));
    const QCommandLineOption list(QStringLiteral("list"),
                                  QStringLiteral("Listet die Auktionen des eingestellten Benutzers, neuestes "
                                                 "Auktionsende zuerst, als Tabulator-getrennten Text."));
    const QCommandLineOption filter(
        QStringLiteral("filter"),
        QStringLiteral("Auswahl für --list, --export-csv und --labels: verkauf, kauf, alle, abgeschlossen, "
                       "ueberfaellig (Verkäufe ohne Zahlung, älteste zuerst) oder versandbereit (bezahlt, nicht "
                       "versendet)."),
        QStringLiteral("auswahl"), QStringLiteral("alle"));
    const QCommandLineOption import(
        QStringLiteral("import"), QStringLiteral("Liest gespeicherte Auktions-E-Mails (.txt, .eml, .html oder "
                                                 "mbox-Postfächer) ein und speichert sie wie der Einlese-Dialog; alle "
                                                 "Rückfragen werden mit \"Nein\" beantwortet. Eine Zeile je E-Mail."));
    const QCommandLineOption parse(QStringLiteral("parse"),
                                   QStringLiteral("Zeigt als JSON, was aus einer E-Mail-Datei erkannt wird, ohne "
                                                  "zu speichern."));
    const QCommandLineOption exportCsvOption(
        QStringLiteral("export-csv"),
        QStringLiteral("Schreibt die Auktionen mit den Kontaktdaten als CSV "
                       "(Semikolon, UTF-8) für Tabellenkalkulation und Buchhaltung."),
        QStringLiteral("datei"));
    const QCommandLineOption bank(
        QStringLiteral("bank-import"),
        QStringLiteral("Liest einen Kontoauszug (CAMT.053-XML oder CSV-Export der Bank) und "
                       "zeigt für jede Gutschrift den passenden offenen Verkauf. Ändert nichts "
                       "ohne --apply."),
        QStringLiteral("datei"));
    const QCommandLineOption apply(
        QStringLiteral("apply"), QStringLiteral("Mit --bank-import: setzt „Bezahlt“ mit dem Buchungstag für die sicher "
                                                "zugeordneten Gutschriften. Mit --tracking: trägt die zugeordneten "
                                                "Sendungsnummern ein."));
    const QCommandLineOption invoice(
        QStringLiteral("invoice"),
        QStringLiteral("Stellt die Rechnung des Verkaufs (mit seiner Gruppe) aus und schreibt sie als PDF; eine schon "
                       "ausgestellte wird unverändert geschrieben: --invoice AUKTIONSNR DATEI.pdf."));
    const QCommandLineOption cancelInvoice(
        QStringLiteral("cancel-invoice"),
        QStringLiteral("Storniert eine ausgestellte Rechnung mit einer Stornorechnung und schreibt diese als PDF: "
                       "--cancel-invoice RECHNUNGSNR DATEI.pdf."),
        QStringLiteral("rechnungsnr"));
    const QCommandLineOption invoiceXml(
        QStringLiteral("invoice-xml"),
        QStringLiteral("Schreibt die ausgestellte Rechnung als E-Rechnung (XML nach EN 16931): --invoice-xml "
                       "AUKTIONSNR|RECHNUNGSNR DATEI.xml."));
    const QCommandLineOption invoices(
        QStringLiteral("invoices"),
        QStringLiteral("Listet die ausgestellten Rechnungen (mit --year nur eines Jahres)."));
    const QCommandLineOption year(QStringLiteral("year"), QStringLiteral("Mit --invoices: das Jahr."),
                                  QStringLiteral("jahr"));
    const QCommandLineOption datev(
        QStringLiteral("datev"),
        QStringLiteral("Schreibt Rechnungen, Stornos und Zahlungen eines Zeitraums als DATEV-Buchungsstapel für den "
                       "Steuerberater: --datev JJJJ-MM-TT JJJJ-MM-TT DATEI.csv."));
    const QCommandLineOption jahr(QStringLiteral("jahr"),
                                  QStringLiteral("Zeigt die Verkäufe eines Jahres je Plattform und Monat und die "
                                                 "Grenzen, die sie erreichen."),
                                  QStringLiteral("jahr"));
    const QCommandLineOption konto(QStringLiteral("konto"),
                                   QStringLiteral("Zeigt die Buchungen eines Verkaufs (mit seiner Gruppe), eine je "
                                                  "Zeile, und zuletzt, was offen ist: --konto AUKTIONSNR."),
                                   QStringLiteral("auktionsnr"));
    const QCommandLineOption refund(QStringLiteral("erstatten"),
                                    QStringLiteral("Bucht die Erstattung des Guthabens eines Käufers, der zu viel "
                                                   "gezahlt hat (Überweisung von heute): --erstatten AUKTIONSNR."),
                                    QStringLiteral("auktionsnr"));
    const QCommandLineOption mail(
        QStringLiteral("mail"),
        QStringLiteral("Schreibt die E-Mail einer Vorlage für eine Auktion, wie das Fenster sie schreibt (Betreff, "
                       "Text, GiroCode), ohne sie zu senden: --mail VORLAGE AUKTIONSNR. Die Vorlage ist ihr Name "
                       "(„Zahlungserinnerung“), ihr Schlüssel (x4) oder ihre Nummer in der Liste."));
    const QCommandLineOption payouts(
        QStringLiteral("payouts"),
        QStringLiteral("Liest den Auszahlungsbericht einer Plattform (CSV, nach bin/Dateiformate.ini): setzt die "
                       "genannten Verkäufe auf „Bezahlt“ und hält die Gebühren fest."),
        QStringLiteral("datei"));
    const QCommandLineOption orders(QStringLiteral("orders"),
                                    QStringLiteral("Liest den Bestellbericht einer Plattform (CSV): ergänzt fehlende "
                                                   "Anschriften, legt fehlende Geschäfte an."),
                                    QStringLiteral("datei"));
    const QCommandLineOption backup(QStringLiteral("backup"),
                                    QStringLiteral("Schreibt eine Datensicherung (Datenbank und Einstellungen in einer "
                                                   "Datei), auch während das Programm läuft."),
                                    QStringLiteral("datei"));
    const QCommandLineOption restore(
        QStringLiteral("restore"),
        QStringLiteral("Spielt eine Datensicherung ein, wenn es noch keine Datenbank gibt; "
                       "mit --force auch sonst (der jetzige Stand wird vorher gesichert)."),
        QStringLiteral("datei"));
    const QCommandLineOption force(QStringLiteral("force"),
                                   QStringLiteral("Mit --restore: ersetzt die vorhandene Datenbank."));
    const QCommandLineOption password(
        QStringLiteral("change-password"),
        QStringLiteral("Gibt der Datenbank das Kennwort aus GAVELDESK_NEUES_KENNWORT (leer: wieder "
                       "das des Programms); ein eigenes erwartet Gaveldesk danach in "
                       "GAVELDESK_KENNWORT."));
    parser.addOption(password);
    addMailOptions(parser);
    addReturnOptions(parser);
    addShippingOptions(parser);
    addServerOptions(parser);
    addDocumentOptions(parser);
    parser.addOption(backup);
    parser.addOption(restore);
    parser.addOption(force);
    parser.addOption(bank);
    parser.addOption(apply);
    parser.addOption(invoice);
    parser.addOption(cancelInvoice);
    parser.addOption(invoices);
    parser.addOption(invoiceXml);
    parser.addOption(year);
    parser.addOption(datev);
    parser.addOption(jahr);
    parser.addOption(payouts);
    parser.addOption(konto);
    parser.addOption(refund);
    parser.addOption(mail);
    parser.addOption(orders);
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(exportCsvOption);
    parser.addOption(import);
    parser.addOption(parse);
    parser.addOption(create);
    parser.addOption(list);
    parser.addOption(search);
    parser.addOption(filter);
    parser.addPositionalArgument(
        QStringLiteral("pfad"),
        QStringLiteral("Dateien für --import und --parse, oder der Pfad der neuen Datenbank (--create-database)."),
        QStringLiteral("[pfad]"));
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        const QString what = unknown.isEmpty() ? QStringLiteral("Einer Option fehlt ihr Wert.")
                                               : QStringLiteral("Unbekannte Option: ") + unknown.first();
        err() << "gaveldesk: " << what << "\n"
              << "Aufruf ohne Optionen startet das Programmfenster; --help zeigt die Optionen.\n";
        err().flush();
        return 2;
    }
    if (parser.isSet(help)) {
        QString text = parser.helpText();
        text.replace(QStringLiteral("Usage:"), QStringLiteral("Aufruf:"))
            .replace(QStringLiteral("[options]"), QStringLiteral("[Optionen]"))
            .replace(QStringLiteral("Options:"), QStringLiteral("Optionen:"))
            .replace(QStringLiteral("Arguments:"), QStringLiteral("Argumente:"));
        out() << text;
        out().flush();
        return 0;
    }
    if (parser.isSet(version)) {
        out() << productName() << " " << productVersion() << "\n"
              << "Daten: " << AppPath() << "\n";
        out().flush();
        return 0;
    }
    // A word no command takes is refused, not silently left aside ("--list verkauf").
    const bool takesFiles = parser.isSet(import) || parser.isSet(parse) || parser.isSet(create) ||
                            parser.isSet(invoice) || parser.isSet(cancelInvoice) || parser.isSet(invoiceXml) ||
                            parser.isSet(datev) || parser.isSet(mail) || returnOptionTakesWords(parser) ||
                            shippingOptionTakesWords(parser);
    if (!takesFiles && !parser.positionalArguments().isEmpty()) {
        err() << "gaveldesk: unbekanntes Argument: " << parser.positionalArguments().first() << "\n";
        err().flush();
        return 2;
    }
    if (const std::optional<int> done = serverOptions(parser)) return done;
    if (parser.isSet(exportCsvOption)) return exportFile(parser.value(exportCsvOption), parser.value(filter));
    if (const std::optional<int> done = mailOptions(parser, windowParts())) return done;
    if (const std::optional<int> done = returnOptions(parser, windowParts())) return done;
    if (const std::optional<int> done = shippingOptions(parser)) return done;
    if (parser.isSet(import)) return importFiles(parser.positionalArguments());
    if (parser.isSet(parse)) return parseFile(parser.positionalArguments());
    if (parser.isSet(create)) return createDatabaseCommand(parser.positionalArguments());
    if (parser.isSet(list)) return listAuctions(parser.value(filter));
    if (parser.isSet(password)) return changePasswordCommand();
    if (parser.isSet(backup)) return backupCommand(parser.value(backup));
    if (parser.isSet(restore)) return restoreCommand(parser.value(restore), parser.isSet(force));
    if (parser.isSet(bank)) return bankImport(parser.value(bank), parser.isSet(apply), windowParts().invoicePage);
    if (parser.isSet(invoice)) return invoiceCommand(parser.positionalArguments(), windowParts().invoicePage);
    if (parser.isSet(cancelInvoice))
        return cancelInvoiceCommand(parser.value(cancelInvoice), parser.positionalArguments(),
                                    windowParts().invoicePage);
    if (parser.isSet(invoices)) return invoicesCommand(parser.value(year));
    if (const std::optional<int> done = documentOptions(parser)) return done;
    if (parser.isSet(invoiceXml)) return invoiceXmlCommand(parser.positionalArguments());
    if (parser.isSet(datev)) return datevCommand(parser.positionalArguments());
    if (parser.isSet(jahr)) return yearCommand(parser.value(jahr));
    if (parser.isSet(payouts)) return payoutsCommand(parser.value(payouts));
    if (parser.isSet(konto)) return kontoCommand(parser.value(konto));
    if (parser.isSet(refund)) return refundCommand(parser.value(refund));
    if (parser.isSet(mail)) return mailCommand(parser.positionalArguments());
    if (parser.isSet(orders)) return ordersCommand(parser.value(orders));
    if (parser.isSet(search)) return searchAuctions(parser.value(search));
    return std::nullopt;
}

bool isCommandLine(int argc, char** argv) { return argc > 1 && argv[1][0] == '-'; }

bool namesOption(const char* arg, const char* option) {
    const std::size_t n = std::strlen(option);
    return std::strncmp(arg, option, n) == 0 && (arg[n] == '\0' || arg[n] == '=');
}

namespace {
bool namesWindowCommand(int argc, char** argv, bool paintingOnly) {
    for (int i = 1; i < argc; ++i)
        for (const WindowCommand& c : kWindowCommands)
            if ((c.paints || !paintingOnly) && namesOption(argv[i], c.option)) return true;
    return false;
}
}  // namespace

bool needsWindowProgram(int argc, char** argv) { return namesWindowCommand(argc, argv, false); }
bool paintsPage(int argc, char** argv) { return namesWindowCommand(argc, argv, true); }

void setWindowProgramParts(WindowProgramParts parts) { windowParts() = std::move(parts); }

int runHeadless() {
    QCoreApplication::setApplicationName(QStringLiteral("gaveldesk"));
    // The installed program's data folder gets its defaults before anything reads them.
    if (const Status ready = prepareAppFolder(); !ready.ok()) {
        return fail(ready.error().message().replace(QLatin1Char('\r'), QLatin1Char(' ')));
    }
    if (auto rc = runCommandLine(QCoreApplication::arguments())) {
        for (const QString& notice : Database::takeUpgradeNotices()) err() << "gaveldesk: " << notice << Qt::endl;
        // As this command left the file: the next one reads every page only when another program changed it.
        noteDatabaseLeft(gsDataSource, cli::checkRecord(), today());
        return *rc;
    }
    std::fprintf(stderr, "gaveldesk: keine Aufgabe angegeben; --help zeigt die Optionen.\n");
    return 2;
}

}  // namespace gd
