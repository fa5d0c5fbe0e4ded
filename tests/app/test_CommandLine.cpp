#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>

#include "RunCli.h"
#include "domain/db/Database.h"
#include "support/TestApp.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

TEST(CommandLine, CreateListAndRefuse) {
    test::TestApp app(true);
    app.write(u"bin/config.ini"_s, "[User]\r\nUsername=haendler\r\n");
    Outcome r = run(app, {u"--list"_s});
    EXPECT_EQ(r.code, 1);  // no database yet, said in German
    EXPECT_TRUE(r.err.contains(u"keine Datenbankdatei"_s)) << r.err.toStdString();
    r = run(app, {u"--create-database"_s});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(app.file(u"gaveldesk.mdb"_s)));
    r = run(app, {u"--create-database"_s});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(u"existiert bereits"_s)) << r.err.toStdString();
    r = run(app, {u"--list"_s, u"--filter"_s, u"verkauf"_s});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, u"AuktionsID\tAuktionsNr\tebayName\tName\tTitel\tAuktionsende\tStatus\tGruppenID\n"_s);
    r = run(app, {u"--list"_s, u"--filter"_s, u"irgendwas"_s});
    EXPECT_EQ(r.code, 2);
}

TEST(CommandLine, VersionHelpAndNoDisplay) {
    test::TestApp app(true);
    Outcome r = run(app, {u"--version"_s});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, u"Orvo Gaveldesk 2005 1.0.0\nDaten: "_s + app.path() + QLatin1Char('\n'));
    r = run(app, {u"--help"_s});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.contains(u"--create-database"_s));
    EXPECT_TRUE(r.out.startsWith(u"Aufruf:"_s)) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains(u"Options:"_s));
    r = run(app, {u"--unsinn"_s});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(u"Unbekannte Option: unsinn"_s)) << r.err.toStdString();
    r = run(app, {});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1);  // one clear line, no crash
    EXPECT_TRUE(r.err.contains(u"Kein Bildschirm"_s));
}

// A mail program's folder file: each message one trade, as plain text or an HTML-only part.
TEST(CommandLine, AMailboxOfThreeMailsImportsThreeTrades) {
    test::TestApp app(true);
    app.write(u"bin/config.ini"_s, "[User]\r\nUsername=gavel_haendler\r\n");
    ASSERT_EQ(run(app, {u"--create-database"_s}).code, 0);
    const QString dir = QStringLiteral(GD_TEST_DATA_DIR "/mails/");
    QByteArray html = "<html><body><p>";
    for (const QByteArray& line : test::fileBytes(dir + u"sofortkauf_verkauf.txt"_s).split('\n'))
        html += QString::fromUtf8(line).toHtmlEscaped().toUtf8() + "<br>\n";
    const QByteArray box =
        "From kiste@example.net Sat Dec  5 14:03:00 2026\n"
        "Subject: verkauft\nContent-Type: text/plain; charset=utf-8\n\n" +
        test::fileBytes(dir + u"verkauf.txt"_s) + "\nFrom shop@example.de Sat Dec  5 15:00:00 2026\n" +
        test::fileBytes(dir + u"kauf.eml"_s) +
        "\nFrom lampen@example.de Sat Dec  5 16:00:00 2026\n"
        "Subject: Sofort-Kaufen\nContent-Type: text/html; charset=utf-8\n\n" +
        html + "</p></body></html>\n";
    app.write(u"Posteingang"_s, box);
    Outcome r = run(app, {u"--import"_s, app.file(u"Posteingang"_s)});
    EXPECT_EQ(r.code, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(r.out,
              u"Posteingang (E-Mail 1 von 3): Verkauf 1234567890\n"
              "Posteingang (E-Mail 2 von 3): Kauf 3456789012\n"
              "Posteingang (E-Mail 3 von 3): Sofortkauf 2345678901\n"_s)
        << r.out.toStdString();
    EXPECT_EQ(run(app, {u"--list"_s}).out.count(QLatin1Char('\n')), 4);  // header + three
}

// A batch is one transaction with a savepoint per file: the refused files in the
// middle take nothing of the others with it.
TEST(CommandLine, ImportAFolderOfSavedMailsAndParse) {
    test::TestApp app(true);
    app.write(u"bin/config.ini"_s, "[User]\r\nUsername=gavel_haendler\r\n");
    ASSERT_EQ(run(app, {u"--create-database"_s}).code, 0);
    const QString dir = QStringLiteral(GD_TEST_DATA_DIR "/mails/");
    Outcome r = run(app, {u"--import"_s, dir + u"verkauf.eml"_s, dir + u"keine_ebay_email.txt"_s,
                          dir + u"verkauf.txt"_s, dir + u"kauf.eml"_s, dir + u"sofortkauf_verkauf.txt"_s});
    EXPECT_EQ(r.code, 1);  // one refused, one duplicate
    EXPECT_EQ(r.out,
              u"verkauf.eml: Verkauf 1234567890\n"
              "keine_ebay_email.txt: abgelehnt: Die Zwischenablage enthält keine ebay Email\n"
              "verkauf.txt: abgelehnt: Diese Auktionsnummer existiert schon in der Datenbank, "
              "soll diese Email trotzdem gespeichert werden?\n"
              "kauf.eml: Kauf 3456789012\n"
              "sofortkauf_verkauf.txt: Sofortkauf 2345678901\n"_s)
        << r.out.toStdString() << r.err.toStdString();
    r = run(app, {u"--list"_s});
    EXPECT_EQ(r.out.count(QLatin1Char('\n')), 4);    // header + three auctions
    EXPECT_EQ(r.out.count(u"\t1234567890\t"_s), 1);  // the repeated sale stored once
    // Nothing is overdue a day after the end of these sales (the clock of the program is today's).
    r = run(app, {u"--list"_s, u"--filter"_s, u"ueberfaellig"_s});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(
        r.out.startsWith(u"AuktionsID\tAuktionsNr\tebayName\tName\tTitel\tAuktionsende\tStatus\t"
                         "GruppenID\tTage\tErinnerung\n"_s))
        << r.out.toStdString();
    // The search prints what --list prints, for the matches only, spelt as the user likes.
    for (const char* typed : {"oztürk", "OEZTUERK", "Naehmaschine"}) {
        r = run(app, {u"--search"_s, QString::fromUtf8(typed)});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.out.count(QLatin1Char('\n')), 2) << typed << " " << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(u"\t3456789012\t"_s)) << r.out.toStdString();
    }
    r = run(app, {u"--parse"_s, dir + u"kauf.txt"_s});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.contains(u"\"kind\": \"Kauf\""_s)) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(u"\"Name\": \"Bärbel Öztürk-D'Amico\""_s));
    r = run(app, {u"--import"_s});
    EXPECT_EQ(r.code, 2);
}

// The rows of an exported file, the header first, as Python's csv module reads them.
QList<QStringList> csvRows(const QString& file) {
    QProcess py;
    py.start(u"/usr/bin/python3"_s, {u"-c"_s,
                                     u"import csv, json, sys\n"
                                     "with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
                                     "    json.dump(list(csv.reader(f, delimiter=';')), sys.stdout)\n"_s,
                                     file});
    EXPECT_TRUE(py.waitForFinished(20000));
    QList<QStringList> rows;
    for (const QJsonValue& row : QJsonDocument::fromJson(py.readAllStandardOutput()).array()) {
        QStringList fields;
        for (const QJsonValue& field : row.toArray()) fields << field.toString();
        rows << fields;
    }
    return rows;
}

TEST(CommandLine, CsvExportForAGermanSpreadsheet) {
    test::TestApp app(true);
    app.write(u"bin/config.ini"_s, "[User]\r\nUsername=gavel_haendler\r\n");
    ASSERT_EQ(run(app, {u"--create-database"_s}).code, 0);
    const QString dir = QStringLiteral(GD_TEST_DATA_DIR "/mails/");
    ASSERT_EQ(
        run(app, {u"--import"_s, dir + u"verkauf.txt"_s, dir + u"kauf.txt"_s, dir + u"sofortkauf_verkauf.txt"_s}).code,
        0);
    {
        Database db = Database::open(app.file(u"gaveldesk.mdb"_s));
        db.execute(u"update Auktionen set Bemerkungen = ? where AuktionsNr = '1234567890'"_s,
                   {u"Kunde sagt: \"bitte; schnell\"\r\nzweite Zeile"_s});
    }
    const QString csv = app.file(u"export.csv"_s);
    Outcome r = run(app, {u"--export-csv"_s, csv, u"--filter"_s, u"verkauf"_s});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(u"2 Auktionen"_s));
    const QByteArray bytes = app.read(u"export.csv"_s);
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QString text = QString::fromUtf8(bytes.mid(3));
    const QStringList lines = text.split(u"\r\n"_s);
    EXPECT_TRUE(lines[0].startsWith(u"\"AuktionsID\";\"AuktionsNr\";\"Titel\";\"EndeDatum\""_s));
    EXPECT_TRUE(lines[0].endsWith(u"\"Kunde_Kunde\";\"Kunde_Lieferant\""_s));
    // newest end date first: the instant purchase of 05.12. before the sale of 04.12.
    const int sofort = int(text.indexOf(u"\"2345678901\""_s));
    const int sale = int(text.indexOf(u"\"1234567890\""_s));
    EXPECT_GT(sofort, 0);
    EXPECT_GT(sale, sofort);
    EXPECT_TRUE(text.contains(u"\"04.12.2026\""_s));
    EXPECT_TRUE(text.contains(u"\"Seán O'Neill\""_s));
    EXPECT_TRUE(text.contains(u"\"24,50\""_s));    // amounts as stored
    EXPECT_FALSE(text.contains(u"3456789012"_s));  // the purchase is not a sale
    const QList<QStringList> rows = csvRows(csv);
    ASSERT_EQ(rows.size(), 3);
    const int bem = int(rows[0].indexOf(u"Bemerkungen"_s));
    const int name = int(rows[0].indexOf(u"Kunde_Name"_s));
    ASSERT_GE(bem, 0);
    for (const QStringList& row : rows) EXPECT_EQ(row.size(), rows[0].size());
    EXPECT_EQ(rows[2][bem], u"Kunde sagt: \"bitte; schnell\"\r\nzweite Zeile"_s);
    EXPECT_EQ(rows[2][name], u"Hans Müller"_s);
    r = run(app, {u"--export-csv"_s, app.file(u"kein/ordner/x.csv"_s)});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(u"kann nicht geschrieben werden"_s));
}

// Text from pasted emails cannot become a spreadsheet formula; numbers stay numbers.
TEST(CommandLine, CsvExportGuardsAgainstFormulas) {
    test::TestApp app(true);
    app.write(u"bin/config.ini"_s, "[User]\r\nUsername=gavel_haendler\r\n");
    ASSERT_EQ(run(app, {u"--create-database"_s}).code, 0);
    ASSERT_EQ(run(app, {u"--import"_s, QStringLiteral(GD_TEST_DATA_DIR "/mails/verkauf.txt")}).code, 0);
    struct Field {
        const char* table;
        const char* column;
        const char* stored;
        const char* exported;  // as Python's csv module reads it back
    };
    const Field fields[] = {
        {"Auktionen", "Titel", "=HYPERLINK(\"http://evil.example\";\"Klick\")",
         "'=HYPERLINK(\"http://evil.example\";\"Klick\")"},
        {"Kunden", "Name", "@SUMME(1+1)*cmd|' /C calc'!A0", "'@SUMME(1+1)*cmd|' /C calc'!A0"},
        {"Auktionen", "Bemerkungen", "-2+3+cmd|' /C calc'!A0", "'-2+3+cmd|' /C calc'!A0"},
        {"Auktionen", "Hinweise", "+49 170 1234567", "'+49 170 1234567"},
        {"Auktionen", "Versandinfos", "\tTabulator", "'\tTabulator"},
        {"Auktionen", "Zahlungshinweise", "\r\nZeile", "'\r\nZeile"},
        {"Auktionen", "Preis", "-5", "-5"},
        {"Auktionen", "Versandkosten", "+4,90", "+4,90"},
        {"Auktionen", "Betrag", "1.234,56", "1.234,56"},
        {"Auktionen", "Mitteilungen", "Summe = 5 €", "Summe = 5 €"},
    };
    {
        Database db = Database::open(app.file(u"gaveldesk.mdb"_s));
        for (const Field& f : fields)
            db.execute(u"update %1 set %2 = ?"_s.arg(QString::fromLatin1(f.table), QString::fromUtf8(f.column)),
                       {QString::fromUtf8(f.stored)});
    }
    const QString csv = app.file(u"export.csv"_s);
    const Outcome r = run(app, {u"--export-csv"_s, csv});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QList<QStringList> rows = csvRows(csv);
    ASSERT_EQ(rows.size(), 2);
    for (const Field& f : fields) {
        const QString column =
            (QString::fromLatin1(f.table) == u"Kunden"_s ? u"Kunde_"_s : QString()) + QString::fromUtf8(f.column);
        const qsizetype at = rows[0].indexOf(column);
        ASSERT_GE(at, 0) << f.column;
        EXPECT_EQ(rows[1][at], QString::fromUtf8(f.exported)) << f.column;
    }
}

// Another program holds the write lock: a batch of 300 files stops at the first
// lock instead of waiting on each file, and says how many were not read.
TEST(CommandLine, ALockedDatabaseStopsTheBatchAtOnce) {
    test::TestApp app(true);
    app.write(u"bin/config.ini"_s, "[User]\r\nUsername=gavel_haendler\r\n");
    ASSERT_EQ(run(app, {u"--create-database"_s}).code, 0);
    QStringList files;
    for (int i = 0; i < 300; ++i) files << QStringLiteral(GD_TEST_DATA_DIR "/mails/verkauf.txt");
    Database holder = Database::open(app.file(u"gaveldesk.mdb"_s));
    holder.execute(u"BEGIN IMMEDIATE"_s);
    QElapsedTimer t;
    t.start();
    const Outcome r = run(app, QStringList{u"--import"_s} + files);
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(u"gesperrt"_s)) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(u"300 Dateien wurden nicht eingelesen"_s)) << r.err.toStdString();
    holder.execute(u"ROLLBACK"_s);
    EXPECT_EQ(run(app, {u"--import"_s, files.first()}).code, 0);  // free again: it goes in
}

// Bytes changed in a page of a copy: the import refuses to write, with the
// message; the undamaged file goes on as before.
TEST(CommandLine, ADamagedDatabaseIsNamedAndNotWritten) {
    test::TestApp app(true);
    app.write(u"bin/config.ini"_s, "[User]\r\nUsername=gavel_haendler\r\n");
    ASSERT_EQ(run(app, {u"--create-database"_s}).code, 0);
    const QString mails = QStringLiteral(GD_TEST_DATA_DIR "/mails/");
    ASSERT_EQ(run(app, {u"--import"_s, mails + u"verkauf.txt"_s, mails + u"kauf.txt"_s}).code, 0);
    const QString good = app.file(u"gaveldesk.mdb"_s);
    const QString bad = app.file(u"kaputt.mdb"_s);
    ASSERT_TRUE(QFile::copy(good, bad));
    const qint64 pages = QFileInfo(bad).size() / 1024;
    ASSERT_GE(pages, 4);
    {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        for (qint64 page = 2; page < pages; ++page) {  // every page but the first: the damage a bad sector does
            f.seek(page * 1024 + 300);
            f.write(QByteArray(64, '\x5A'));
        }
    }
    const QByteArray before = app.read(u"kaputt.mdb"_s);
    app.write(u"bin/config.ini"_s,
              (u"[User]\r\nUsername=gavel_haendler\r\n[Main]\r\nDatabase="_s + bad + u"\r\n"_s).toUtf8());
    const Outcome r = run(app, {u"--import"_s, mails + u"sofortkauf_verkauf.txt"_s});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(u"ist beschädigt"_s)) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(u"letzte Sicherung"_s)) << r.err.toStdString();
    EXPECT_EQ(app.read(u"kaputt.mdb"_s), before);  // not a byte written
    app.write(u"bin/config.ini"_s,
              (u"[User]\r\nUsername=gavel_haendler\r\n[Main]\r\nDatabase="_s + good + u"\r\n"_s).toUtf8());
    EXPECT_EQ(run(app, {u"--import"_s, mails + u"sofortkauf_verkauf.txt"_s}).code, 0);
}

// A bank's export read twice: the first time proposes, --apply marks the sure ones
// paid with their booking day, the second time finds them known and changes nothing.
// The invoice of one of them, read back as text.
TEST(CommandLine, BankStatementAndInvoice) {
    test::TestApp app(true);
    app.write(u"bin/config.ini"_s,
              test::ansi(u"[User]\r\nUsername=gavel_haendler\r\n[Konto]\r\nIBAN=DE89370400440532013000\r\n"
                         "BIC=COBADEFFXXX\r\nStandardkontoinhaber=Jörg Händler\r\n[Rechnung]\r\n"
                         "Anschrift=Lindenweg 3, 24103 Kiel\r\nKleinunternehmer=Wahr\r\n"_s));
    ASSERT_EQ(run(app, {u"--create-database"_s}).code, 0);
    const QString mails = QStringLiteral(GD_TEST_DATA_DIR "/mails/");
    ASSERT_EQ(run(app, {u"--import"_s, mails + u"verkauf.eml"_s, mails + u"sofortkauf_verkauf.txt"_s}).code, 0);
    const QString statement = test::dataFile(u"bank/sparkasse.csv"_s);
    const auto statuses = [&app] {
        QStringList out;
        for (const QString& line : run(app, {u"--list"_s}).out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1))
            out << line.section(QLatin1Char('\t'), 1, 1) + QLatin1Char('=') + line.section(QLatin1Char('\t'), 6, 6);
        return out.join(QLatin1Char(' '));
    };
    Outcome r = run(app, {u"--bank-import"_s, statement});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << r.out.toStdString();
    EXPECT_TRUE(lines[1].startsWith(u"sicher\t05.12.2026\t30,90 €\tHans Müller\t"_s)) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(u"\t1234567890\tmueller_hans\tArtikelnummer und Betrag"_s));
    EXPECT_TRUE(lines[2].startsWith(u"sicher\t06.12.2026\t185,90 €\tSeán O'Neill"_s)) << lines[2].toStdString();
    EXPECT_TRUE(lines[3].startsWith(u"keine\t07.12.2026\t1.250,00 €"_s));
    EXPECT_EQ(statuses(), u"2345678901= 1234567890="_s);  // nothing set without --apply
    r = run(app, {u"--bank-import"_s, statement, u"--apply"_s});
    EXPECT_TRUE(r.err.contains(u"2 Verkäufe als bezahlt markiert."_s)) << r.err.toStdString();
    EXPECT_EQ(statuses(), u"2345678901=Bezahlt 1234567890=Bezahlt"_s);
    r = run(app, {u"--bank-import"_s, statement, u"--apply"_s});
    EXPECT_EQ(r.out.count(u"bereits erfasst"_s), 2) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains(u"0 Verkäufe als bezahlt markiert."_s)) << r.err.toStdString();

    const QString pdf = app.file(u"Rechnung.pdf"_s);
    r = run(app, {u"--invoice"_s, u"1234567890"_s, pdf});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    const QString page = QString::fromUtf8(test::tool(u"pdftotext"_s, {u"-layout"_s, pdf, u"-"_s}));
    for (const char* want :
         {"Jörg Händler", "Lindenweg 3", "Hans Müller", "Hauptstraße 12", "10115 Berlin", "Rechnungsnummer: 1234567890",
          "Kaffeemühle Zassenhaus Santiago", "24,50 €", "4,90 €", "Versandversicherung", "1,50 €", "30,90 €",
          "Gemäß § 19 UStG", "DE89 3704 0044 0532 0130 00"})
        EXPECT_TRUE(page.contains(QString::fromUtf8(want))) << want << "\n" << page.toStdString();
    // The README's picture of the page.
    if (const QString dir = qEnvironmentVariable("GD_SCREENSHOT_DIR"); !dir.isEmpty())
        test::tool(u"pdftoppm"_s, {u"-r"_s, u"70"_s, u"-png"_s, u"-singlefile"_s, pdf, dir + u"/invoice"_s});
    r = run(app, {u"--invoice"_s, u"999"_s, pdf});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(u"Eine Auktion mit der Nummer '999' gibt es nicht."_s)) << r.err.toStdString();
}

// Installed as a package, the program's folder holds no bin/: the data live in the
// user's data folder, which gets the shipped defaults on first start.
TEST(CommandLine, InstalledProgramKeepsItsDataInTheHomeFolder) {
    QTemporaryDir root;
    const QString prefix = root.filePath(u"usr"_s), home = root.filePath(u"home"_s);
    ASSERT_TRUE(QDir().mkpath(prefix + u"/bin"_s) && QDir().mkpath(home));
    ASSERT_TRUE(QFile::copy(QStringLiteral(GD_EXECUTABLE), prefix + u"/bin/gaveldesk"_s));
    for (const char* sub : {"bin", "Help"}) {
        const QString from = QStringLiteral(GD_RESOURCES_DIR "/") + QString::fromLatin1(sub);
        const QString to = prefix + u"/share/gaveldesk/"_s + QString::fromLatin1(sub);
        QDir().mkpath(to);
        for (const QString& f : QDir(from).entryList(QDir::Files))
            QFile::copy(from + QLatin1Char('/') + f, to + QLatin1Char('/') + f);
    }
    const auto start = [&](const QStringList& args, const QString& xdg = QString()) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* v : {"GAVELDESK_HOME", "DISPLAY", "QT_QPA_PLATFORM", "XDG_DATA_HOME"})
            env.remove(QString::fromLatin1(v));
        env.insert(u"HOME"_s, home);
        if (!xdg.isEmpty()) env.insert(u"XDG_DATA_HOME"_s, xdg);
        p.setProcessEnvironment(env);
        p.start(prefix + u"/bin/gaveldesk"_s, args);
        EXPECT_TRUE(p.waitForFinished(60000));
        return Outcome{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                       QString::fromUtf8(p.readAllStandardError())};
    };
    const QString data = home + u"/.local/share/gaveldesk"_s;
    Outcome r = start({u"--version"_s});
    EXPECT_TRUE(r.out.endsWith(u"Daten: "_s + data + QLatin1Char('\n'))) << r.out.toStdString();
    EXPECT_TRUE(QFile::exists(data + u"/bin/config.ini"_s));
    EXPECT_TRUE(QFile::exists(data + u"/Help/hilfe.htm"_s));
    // A setting of the user's survives the next start: defaults only fill what is missing.
    QFile ini(data + u"/bin/config.ini"_s);
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write("[User]\r\nUsername=kiel_antik\r\n");
    ini.close();
    r = start({u"--create-database"_s});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(data + u"/gaveldesk.mdb"_s));
    EXPECT_EQ(test::fileBytes(data + u"/bin/config.ini"_s), QByteArray("[User]\r\nUsername=kiel_antik\r\n"));
    EXPECT_FALSE(QFileInfo::exists(prefix + u"/bin/bin"_s));  // nothing written beside the program
    const QString xdg = root.filePath(u"xdg"_s);
    r = start({u"--version"_s}, xdg);
    EXPECT_TRUE(r.out.endsWith(u"Daten: "_s + xdg + u"/gaveldesk\n"_s)) << r.out.toStdString();
}

// --restore puts a backup in place where there is no database yet; over one only with --force.
TEST(CommandLine, BackupAndRestore) {
    test::TestApp app(true);
    app.write(u"bin/config.ini"_s, "[User]\r\nUsername=gavel_haendler\r\n");
    ASSERT_EQ(run(app, {u"--create-database"_s}).code, 0);
    ASSERT_EQ(run(app, {u"--import"_s, QStringLiteral(GD_TEST_DATA_DIR "/mails/verkauf.eml")}).code, 0);
    const QString file = app.file(u"stand.gdsicherung"_s);
    Outcome r = run(app, {u"--backup"_s, file});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QFile::remove(app.file(u"gaveldesk.mdb"_s));
    r = run(app, {u"--restore"_s, file});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(run(app, {u"--list"_s}).out.count(QLatin1Char('\n')), 2);
    r = run(app, {u"--restore"_s, file});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(u"--force"_s)) << r.err.toStdString();
    r = run(app, {u"--restore"_s, file, u"--force"_s});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(u"Der vorige Stand liegt in"_s)) << r.err.toStdString();
}

// A kill in the middle of re-keying leaves the file under the old password or the new
// one, whole: it opens with one of them and holds every trade.
TEST(CommandLine, AKillWhileReKeyingLosesNothing) {
    test::TestApp app(true);
    app.write(u"bin/config.ini"_s, "[User]\r\nUsername=gavel_haendler\r\n");
    ASSERT_EQ(run(app, {u"--create-database"_s}).code, 0);
    const QString db = app.file(u"gaveldesk.mdb"_s);
    // Enough pages that re-keying takes a while: 3,000 trades with a long mail each.
    QByteArray script = "PRAGMA key='kaltwind'; BEGIN;\n";
    for (int i = 0; i < 3000; ++i)
        script += "INSERT INTO Auktionen (AuktionsID, AuktionsNr, EmailText, Standarduser) VALUES ('k" +
                  QByteArray::number(i) + "', '" + QByteArray::number(7000 + i) +
                  "', printf('%.2000c', 'x'), 'gavel_haendler');\n";
    script += "COMMIT;\n";
    QProcess fill;
    fill.start(u"sqlcipher"_s, {db});
    ASSERT_TRUE(fill.waitForStarted(5000));
    fill.write(script);
    fill.closeWriteChannel();
    ASSERT_TRUE(fill.waitForFinished(60000));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"GAVELDESK_HOME"_s, app.path());
    env.insert(u"GAVELDESK_NEUES_KENNWORT"_s, u"neu"_s);
    // How long a whole change takes here (start included), then kills spread over it.
    QElapsedTimer clock;
    clock.start();
    {
        QProcess whole;
        whole.setProcessEnvironment(env);
        whole.start(QStringLiteral(GD_EXECUTABLE), {u"--change-password"_s});
        ASSERT_TRUE(whole.waitForFinished(60000));
        ASSERT_EQ(whole.exitCode(), 0) << whole.readAllStandardError().toStdString();
    }
    const qint64 full = clock.elapsed();
    QProcessEnvironment undo = env;
    undo.insert(u"GAVELDESK_KENNWORT"_s, u"neu"_s);
    undo.insert(u"GAVELDESK_NEUES_KENNWORT"_s, QString());
    {
        QProcess back;
        back.setProcessEnvironment(undo);
        back.start(QStringLiteral(GD_EXECUTABLE), {u"--change-password"_s});
        ASSERT_TRUE(back.waitForFinished(60000));
        ASSERT_EQ(back.exitCode(), 0) << back.readAllStandardError().toStdString();
        app.write(u"bin/config.ini"_s, "[User]\r\nUsername=gavel_haendler\r\n");
    }
    int midWrite = 0;  // kills that left a journal: the change was under way
    for (int tenth = 3; tenth <= 9; tenth += 2) {
        const int delay = int(full * tenth / 10);
        QProcess rekey;
        rekey.setProcessEnvironment(env);
        rekey.start(QStringLiteral(GD_EXECUTABLE), {u"--change-password"_s});
        ASSERT_TRUE(rekey.waitForStarted(5000));
        QThread::msleep(delay);
        if (rekey.state() == QProcess::Running) ::kill(pid_t(rekey.processId()), SIGKILL);
        rekey.waitForFinished(10000);
        if (QFileInfo::exists(db + u"-journal"_s)) ++midWrite;
        // Whichever password it is under now, the whole file opens with it.
        const auto trades = [&db](const QByteArray& password) {
            QProcess p;
            p.setProcessChannelMode(QProcess::MergedChannels);
            p.start(u"sqlcipher"_s, {db});
            p.waitForStarted(5000);
            p.write("PRAGMA key='" + password + "';\nselect count(*) from Auktionen where AuktionsID like 'k%';\n");
            p.closeWriteChannel();
            p.waitForFinished(30000);
            return QString::fromUtf8(p.readAll()).trimmed();
        };
        const QString underOld = trades("kaltwind"), underNew = trades("neu");
        EXPECT_TRUE((underOld == u"3000"_s) != (underNew == u"3000"_s))
            << delay << ": " << underOld.toStdString() << " / " << underNew.toStdString();
        QProcessEnvironment withNew = env;
        if (underNew == u"3000"_s)
            app.write(u"bin/config.ini"_s,
                      "[User]\r\nUsername=gavel_haendler\r\n[Datenbank]\r\nEigenesKennwort=Wahr\r\n");
        // Back to the program's password for the next round.
        QProcess back;
        QProcessEnvironment b = withNew;
        b.insert(u"GAVELDESK_KENNWORT"_s, u"neu"_s);
        b.insert(u"GAVELDESK_NEUES_KENNWORT"_s, QString());
        back.setProcessEnvironment(b);
        back.start(QStringLiteral(GD_EXECUTABLE), {u"--change-password"_s});
        back.waitForFinished(30000);
        app.write(u"bin/config.ini"_s, "[User]\r\nUsername=gavel_haendler\r\n");
        ASSERT_EQ(run(app, {u"--search"_s, u"7999"_s}).code, 0) << delay;
    }
    EXPECT_GT(midWrite, 0);
}

TEST(Main, SecondInstanceEndsSilentlyWithStatusZero) {
    test::TestApp app(true);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"GAVELDESK_HOME"_s, app.path());
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(QStringLiteral(GD_EXECUTABLE), {});
    ASSERT_TRUE(first.waitForStarted(10000));
    // the first holds the lock once its window is up
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(app.file(u"gaveldesk.lock"_s)) && t.elapsed() < 20000) QThread::msleep(50);
    QThread::msleep(500);
    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(GD_EXECUTABLE), {});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(second.readAllStandardOutput(), QByteArray());
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished(5000);
}

// The window's start writes today's backup beside it and keeps running.
TEST(Main, StartWritesTheDailyBackup) {
    test::TestApp app(true);
    app.write(u"bin/config.ini"_s, "[User]\r\nUsername=gavel_haendler\r\n");
    ASSERT_EQ(run(app, {u"--create-database"_s}).code, 0);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"GAVELDESK_HOME"_s, app.path());
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    QProcess gui;
    gui.setProcessEnvironment(env);
    gui.start(QStringLiteral(GD_EXECUTABLE), {});
    ASSERT_TRUE(gui.waitForStarted(10000));
    const QString today =
        app.file(u"Sicherungen/gaveldesk-"_s + QDate::currentDate().toString(Qt::ISODate) + u".gdsicherung"_s);
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(today) && gui.state() == QProcess::Running && t.elapsed() < 30000) QThread::msleep(50);
    QThread::msleep(300);
    EXPECT_TRUE(QFile::exists(today));
    EXPECT_EQ(gui.state(), QProcess::Running) << gui.readAllStandardError().toStdString();
    gui.kill();
    gui.waitForFinished(5000);
}

}  // namespace
}  // namespace gd
