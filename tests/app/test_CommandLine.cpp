#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>
#include <csignal>

#include "RunCli.h"
#include "domain/db/Database.h"
#include "support/SmtpServer.h"
#include "support/TestApp.h"

namespace gd {
namespace {

TEST(CommandLine, CreateListAndRefuse) {
    test::TestApp app(true);
    app.write(QStringLiteral("bin/config.ini"), "[User]\r\nUsername=haendler\r\n");
    Outcome r = run(app, {QStringLiteral("--create-database")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(app.file(QStringLiteral("gaveldesk.mdb"))));
    r = run(app, {QStringLiteral("--create-database")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("existiert bereits"))) << r.err.toStdString();
    r = run(app, {QStringLiteral("--list"), QStringLiteral("--filter"), QStringLiteral("verkauf")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out,
              QStringLiteral("AuktionsID\tAuktionsNr\tebayName\tName\tTitel\tAuktionsende\tStatus\tGruppenID\n"));
    r = run(app, {QStringLiteral("--list"), QStringLiteral("--filter"), QStringLiteral("irgendwas")});
    EXPECT_EQ(r.code, 2);
}

TEST(CommandLine, ListWithoutDatabaseFailsInGerman) {
    test::TestApp app(true);
    const Outcome r = run(app, {QStringLiteral("--list")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("keine Datenbankdatei"))) << r.err.toStdString();
}

TEST(CommandLine, VersionHelpAndNoDisplay) {
    test::TestApp app(true);
    Outcome r = run(app, {QStringLiteral("--version")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, QStringLiteral("Orvo Gaveldesk 2005 1.0.0\nDaten: ") + app.path() + QLatin1Char('\n'));
    r = run(app, {QStringLiteral("--help")});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("--create-database")));
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Aufruf:"))) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains(QStringLiteral("Options:")));
    r = run(app, {QStringLiteral("--unsinn")});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Unbekannte Option: unsinn"))) << r.err.toStdString();
    r = run(app, {});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1);  // one clear line, no crash
    EXPECT_TRUE(r.err.contains(QStringLiteral("Kein Bildschirm")));
}

}  // namespace
}  // namespace gd

namespace gd {
namespace {

// A mail program's folder file: each message one trade, as plain text or an HTML-only part.
TEST(CommandLine, AMailboxOfThreeMailsImportsThreeTrades) {
    test::TestApp app(true);
    app.write(QStringLiteral("bin/config.ini"), "[User]\r\nUsername=gavel_haendler\r\n");
    ASSERT_EQ(run(app, {QStringLiteral("--create-database")}).code, 0);
    const QString dir = QStringLiteral(GD_TEST_DATA_DIR "/mails/");
    QByteArray html = "<html><body><p>";
    for (const QByteArray& line : test::fileBytes(dir + QStringLiteral("sofortkauf_verkauf.txt")).split('\n'))
        html += QString::fromUtf8(line).toHtmlEscaped().toUtf8() + "<br>\n";
    const QByteArray box =
        "From kiste@example.net Sat Dec  5 14:03:00 2026\n"
        "Subject: verkauft\nContent-Type: text/plain; charset=utf-8\n\n" +
        test::fileBytes(dir + QStringLiteral("verkauf.txt")) + "\nFrom shop@example.de Sat Dec  5 15:00:00 2026\n" +
        test::fileBytes(dir + QStringLiteral("kauf.eml")) +
        "\nFrom lampen@example.de Sat Dec  5 16:00:00 2026\n"
        "Subject: Sofort-Kaufen\nContent-Type: text/html; charset=utf-8\n\n" +
        html + "</p></body></html>\n";
    app.write(QStringLiteral("Posteingang"), box);
    Outcome r = run(app, {QStringLiteral("--import"), app.file(QStringLiteral("Posteingang"))});
    EXPECT_EQ(r.code, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("Posteingang (E-Mail 1 von 3): Verkauf 1234567890\n"
                                    "Posteingang (E-Mail 2 von 3): Kauf 3456789012\n"
                                    "Posteingang (E-Mail 3 von 3): Sofortkauf 2345678901\n"))
        << r.out.toStdString();
    EXPECT_EQ(run(app, {QStringLiteral("--list")}).out.count(QLatin1Char('\n')), 4);  // header + three
}

TEST(CommandLine, ImportAFolderOfSavedMailsAndParse) {
    test::TestApp app(true);
    app.write(QStringLiteral("bin/config.ini"), "[User]\r\nUsername=gavel_haendler\r\n");
    ASSERT_EQ(run(app, {QStringLiteral("--create-database")}).code, 0);
    const QString dir = QStringLiteral(GD_TEST_DATA_DIR "/mails/");
    Outcome r = run(app, {QStringLiteral("--import"), dir + QStringLiteral("verkauf.eml"),
                          dir + QStringLiteral("kauf.eml"), dir + QStringLiteral("sofortkauf_verkauf.txt"),
                          dir + QStringLiteral("keine_ebay_email.txt"), dir + QStringLiteral("verkauf.txt")});
    EXPECT_EQ(r.code, 1);  // one refused, one duplicate
    EXPECT_EQ(r.out, QStringLiteral("verkauf.eml: Verkauf 1234567890\n"
                                    "kauf.eml: Kauf 3456789012\n"
                                    "sofortkauf_verkauf.txt: Sofortkauf 2345678901\n"
                                    "keine_ebay_email.txt: abgelehnt: Die Zwischenablage enthält keine ebay Email\n"
                                    "verkauf.txt: abgelehnt: Diese Auktionsnummer existiert schon in der Datenbank, "
                                    "soll diese Email trotzdem gespeichert werden?\n"))
        << r.out.toStdString() << r.err.toStdString();
    r = run(app, {QStringLiteral("--list")});
    EXPECT_EQ(r.out.count(QLatin1Char('\n')), 4);  // header + three auctions
    // Nothing is overdue a day after the end of these sales (the clock of the program is today's).
    r = run(app, {QStringLiteral("--list"), QStringLiteral("--filter"), QStringLiteral("ueberfaellig")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(
        r.out.startsWith(QStringLiteral("AuktionsID\tAuktionsNr\tebayName\tName\tTitel\tAuktionsende\tStatus\t"
                                        "GruppenID\tTage\tErinnerung\n")))
        << r.out.toStdString();
    // The search prints what --list prints, for the matches only, spelt as the user likes.
    for (const char* typed : {"oztürk", "OEZTUERK", "Naehmaschine"}) {
        r = run(app, {QStringLiteral("--search"), QString::fromUtf8(typed)});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.out.count(QLatin1Char('\n')), 2) << typed << " " << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral("\t3456789012\t"))) << r.out.toStdString();
    }
    r = run(app, {QStringLiteral("--parse"), dir + QStringLiteral("kauf.txt")});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("\"kind\": \"Kauf\""))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\"Name\": \"Bärbel Öztürk-D'Amico\"")));
    r = run(app, {QStringLiteral("--import")});
    EXPECT_EQ(r.code, 2);
}

}  // namespace
}  // namespace gd

#include <QTcpServer>
#include <QTemporaryDir>

namespace gd {
namespace {

// RFC 4180 with ";" as the separator.
QList<QStringList> parseCsv(const QString& text) {
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(';')) {
            row << field;
            field.clear();
        } else if (c == QLatin1Char('\r')) {
        } else if (c == QLatin1Char('\n')) {
            row << field;
            rows << row;
            row.clear();
            field.clear();
        } else {
            field += c;
        }
    }
    return rows;
}

TEST(CommandLine, CsvExportForAGermanSpreadsheet) {
    test::TestApp app(true);
    app.write(QStringLiteral("bin/config.ini"), "[User]\r\nUsername=gavel_haendler\r\n");
    ASSERT_EQ(run(app, {QStringLiteral("--create-database")}).code, 0);
    const QString dir = QStringLiteral(GD_TEST_DATA_DIR "/mails/");
    ASSERT_EQ(run(app, {QStringLiteral("--import"), dir + QStringLiteral("verkauf.txt"),
                        dir + QStringLiteral("kauf.txt"), dir + QStringLiteral("sofortkauf_verkauf.txt")})
                  .code,
              0);
    {
        Database db = Database::open(app.file(QStringLiteral("gaveldesk.mdb")));
        db.execute(QStringLiteral("update Auktionen set Bemerkungen = ? where AuktionsNr = '1234567890'"),
                   {QStringLiteral("Kunde sagt: \"bitte; schnell\"\r\nzweite Zeile")});
    }
    const QString csv = app.file(QStringLiteral("export.csv"));
    Outcome r = run(app, {QStringLiteral("--export-csv"), csv, QStringLiteral("--filter"), QStringLiteral("verkauf")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("2 Auktionen")));
    const QByteArray bytes = app.read(QStringLiteral("export.csv"));
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QString text = QString::fromUtf8(bytes.mid(3));
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("\"AuktionsID\";\"AuktionsNr\";\"Titel\";\"EndeDatum\"")));
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("\"Kunde_Kunde\";\"Kunde_Lieferant\"")));
    // newest end date first: the instant purchase of 05.12. before the sale of 04.12.
    const int sofort = int(text.indexOf(QStringLiteral("\"2345678901\"")));
    const int sale = int(text.indexOf(QStringLiteral("\"1234567890\"")));
    EXPECT_GT(sofort, 0);
    EXPECT_GT(sale, sofort);
    EXPECT_TRUE(text.contains(QStringLiteral("\"04.12.2026\"")));
    EXPECT_TRUE(text.contains(QStringLiteral("\"Seán O'Neill\"")));
    EXPECT_TRUE(text.contains(QStringLiteral("\"24,50\"")));    // amounts as stored
    EXPECT_FALSE(text.contains(QStringLiteral("3456789012")));  // the purchase is not a sale
    const QList<QStringList> rows = parseCsv(text);
    ASSERT_EQ(rows.size(), 3);
    const int bem = int(rows[0].indexOf(QStringLiteral("Bemerkungen")));
    const int name = int(rows[0].indexOf(QStringLiteral("Kunde_Name")));
    ASSERT_GE(bem, 0);
    for (const QStringList& row : rows) EXPECT_EQ(row.size(), rows[0].size());
    EXPECT_EQ(rows[2][bem], QStringLiteral("Kunde sagt: \"bitte; schnell\"\r\nzweite Zeile"));
    EXPECT_EQ(rows[2][name], QStringLiteral("Hans Müller"));
    r = run(app, {QStringLiteral("--export-csv"), app.file(QStringLiteral("kein/ordner/x.csv"))});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("kann nicht geschrieben werden")));
}

// Text from pasted emails cannot become a spreadsheet formula; numbers stay numbers.
TEST(CommandLine, CsvExportGuardsAgainstFormulas) {
    test::TestApp app(true);
    app.write(QStringLiteral("bin/config.ini"), "[User]\r\nUsername=gavel_haendler\r\n");
    ASSERT_EQ(run(app, {QStringLiteral("--create-database")}).code, 0);
    ASSERT_EQ(run(app, {QStringLiteral("--import"), QStringLiteral(GD_TEST_DATA_DIR "/mails/verkauf.txt")}).code, 0);
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
        Database db = Database::open(app.file(QStringLiteral("gaveldesk.mdb")));
        for (const Field& f : fields)
            db.execute(
                QStringLiteral("update %1 set %2 = ?").arg(QString::fromLatin1(f.table), QString::fromUtf8(f.column)),
                {QString::fromUtf8(f.stored)});
    }
    const QString csv = app.file(QStringLiteral("export.csv"));
    const Outcome r = run(app, {QStringLiteral("--export-csv"), csv});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QProcess py;
    py.start(QStringLiteral("/usr/bin/python3"),
             {QStringLiteral("-c"),
              QStringLiteral("import csv, json, sys\n"
                             "with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
                             "    rows = list(csv.reader(f, delimiter=';'))\n"
                             "json.dump([dict(zip(rows[0], r)) for r in rows[1:]], sys.stdout)\n"),
              csv});
    ASSERT_TRUE(py.waitForFinished(20000));
    const QJsonArray rows = QJsonDocument::fromJson(py.readAllStandardOutput()).array();
    ASSERT_EQ(rows.size(), 1) << py.readAllStandardError().toStdString();
    const QJsonObject row = rows[0].toObject();
    for (const Field& f : fields) {
        const QString column =
            (QString::fromLatin1(f.table) == QStringLiteral("Kunden") ? QStringLiteral("Kunde_") : QString()) +
            QString::fromUtf8(f.column);
        EXPECT_EQ(row.value(column).toString(), QString::fromUtf8(f.exported)) << f.column;
    }
}

// Another program holds the write lock: a batch of 300 files stops at the first
// lock instead of waiting on each file, and says how many were not read.
TEST(CommandLine, ALockedDatabaseStopsTheBatchAtOnce) {
    test::TestApp app(true);
    app.write(QStringLiteral("bin/config.ini"), "[User]\r\nUsername=gavel_haendler\r\n");
    ASSERT_EQ(run(app, {QStringLiteral("--create-database")}).code, 0);
    QStringList files;
    for (int i = 0; i < 300; ++i) files << QStringLiteral(GD_TEST_DATA_DIR "/mails/verkauf.txt");
    Database holder = Database::open(app.file(QStringLiteral("gaveldesk.mdb")));
    holder.execute(QStringLiteral("BEGIN IMMEDIATE"));
    QElapsedTimer t;
    t.start();
    const Outcome r = run(app, QStringList{QStringLiteral("--import")} + files);
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("gesperrt"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("300 Dateien wurden nicht eingelesen"))) << r.err.toStdString();
    holder.execute(QStringLiteral("ROLLBACK"));
    EXPECT_EQ(run(app, {QStringLiteral("--import"), files.first()}).code, 0);  // free again: it goes in
}

// A batch is one transaction with a savepoint per file: a refused file in the
// middle takes nothing of the others with it.
TEST(CommandLine, ARefusedFileInABatchKeepsTheOthers) {
    test::TestApp app(true);
    app.write(QStringLiteral("bin/config.ini"), "[User]\r\nUsername=gavel_haendler\r\n");
    ASSERT_EQ(run(app, {QStringLiteral("--create-database")}).code, 0);
    const QString mails = QStringLiteral(GD_TEST_DATA_DIR "/mails/");
    const Outcome r = run(app, {QStringLiteral("--import"), mails + QStringLiteral("verkauf.txt"),
                                mails + QStringLiteral("keine_ebay_email.txt"), mails + QStringLiteral("verkauf.txt"),
                                mails + QStringLiteral("kauf.txt")});
    EXPECT_EQ(r.code, 1);  // two refused: the newsletter and the repeated sale
    EXPECT_EQ(r.out.count(QStringLiteral("abgelehnt")), 2) << r.out.toStdString();
    const Outcome list = run(app, {QStringLiteral("--list"), QStringLiteral("--filter"), QStringLiteral("alle")});
    EXPECT_TRUE(list.out.contains(QStringLiteral("1234567890"))) << list.out.toStdString();
    EXPECT_TRUE(list.out.contains(QStringLiteral("3456789012"))) << list.out.toStdString();
    EXPECT_EQ(list.out.count(QStringLiteral("\t1234567890\t")), 1);  // the repeated sale stored once
}

// Bytes changed in a page of a copy: the import refuses to write, with the
// message; the undamaged file goes on as before.
TEST(CommandLine, ADamagedDatabaseIsNamedAndNotWritten) {
    test::TestApp app(true);
    app.write(QStringLiteral("bin/config.ini"), "[User]\r\nUsername=gavel_haendler\r\n");
    ASSERT_EQ(run(app, {QStringLiteral("--create-database")}).code, 0);
    const QString mails = QStringLiteral(GD_TEST_DATA_DIR "/mails/");
    ASSERT_EQ(run(app, {QStringLiteral("--import"), mails + QStringLiteral("verkauf.txt"),
                        mails + QStringLiteral("kauf.txt")})
                  .code,
              0);
    const QString good = app.file(QStringLiteral("gaveldesk.mdb"));
    const QString bad = app.file(QStringLiteral("kaputt.mdb"));
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
    const QByteArray before = app.read(QStringLiteral("kaputt.mdb"));
    app.write(
        QStringLiteral("bin/config.ini"),
        (QStringLiteral("[User]\r\nUsername=gavel_haendler\r\n[Main]\r\nDatabase=") + bad + QStringLiteral("\r\n"))
            .toUtf8());
    const Outcome r = run(app, {QStringLiteral("--import"), mails + QStringLiteral("sofortkauf_verkauf.txt")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("ist beschädigt"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("letzte Sicherung"))) << r.err.toStdString();
    EXPECT_EQ(app.read(QStringLiteral("kaputt.mdb")), before);  // not a byte written
    app.write(
        QStringLiteral("bin/config.ini"),
        (QStringLiteral("[User]\r\nUsername=gavel_haendler\r\n[Main]\r\nDatabase=") + good + QStringLiteral("\r\n"))
            .toUtf8());
    EXPECT_EQ(run(app, {QStringLiteral("--import"), mails + QStringLiteral("sofortkauf_verkauf.txt")}).code, 0);
}

TEST(CommandLine, TestMailThroughTheConfiguredServer) {
    test::TestApp app(true);
    test::LocalSmtpServer server;
    const quint16 port = server.port;
    app.write(QStringLiteral("bin/config.ini"),
              QStringLiteral("[Konto]\r\nSMTPServer=127.0.0.1\r\nSMTPPort=%1\r\nAbsender=shop@gavel.example\r\n")
                  .arg(port)
                  .toLatin1());
    Outcome r = run(app, {QStringLiteral("--testmail"), QStringLiteral("hans@example.de")});
    EXPECT_EQ(r.code, 1);  // nobody listens yet
    EXPECT_TRUE(r.err.contains(QStringLiteral("Testmail wurde nicht gesendet: Der Server 127.0.0.1 hat die "
                                              "Verbindung auf Port %1 abgelehnt.")
                                   .arg(port)))
        << r.err.toStdString();

    ASSERT_TRUE(server.start());
    r = run(app, {QStringLiteral("--testmail"), QStringLiteral("hans@example.de")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("Testmail gesendet.\n"));
    const auto mails = server.messages();
    ASSERT_EQ(mails.size(), 1);
    const QByteArray json = mails.first();
    EXPECT_TRUE(json.contains("Subject: Testmail von Orvo Gaveldesk 2005\\r\\n"));
    EXPECT_TRUE(json.contains("hans@example.de"));
}

}  // namespace
}  // namespace gd

namespace gd {
namespace {

// A bank's export read twice: the first time proposes, --apply marks the sure ones
// paid with their booking day, the second time finds them known and changes nothing.
// The invoice of one of them, read back as text.
TEST(CommandLine, BankStatementAndInvoice) {
    test::TestApp app(true);
    app.write(
        QStringLiteral("bin/config.ini"),
        test::ansi(QStringLiteral("[User]\r\nUsername=gavel_haendler\r\n[Konto]\r\nIBAN=DE89370400440532013000\r\n"
                                  "BIC=COBADEFFXXX\r\nStandardkontoinhaber=Jörg Händler\r\n[Rechnung]\r\n"
                                  "Anschrift=Lindenweg 3, 24103 Kiel\r\nKleinunternehmer=Wahr\r\n")));
    ASSERT_EQ(run(app, {QStringLiteral("--create-database")}).code, 0);
    const QString mails = QStringLiteral(GD_TEST_DATA_DIR "/mails/");
    ASSERT_EQ(run(app, {QStringLiteral("--import"), mails + QStringLiteral("verkauf.eml"),
                        mails + QStringLiteral("sofortkauf_verkauf.txt")})
                  .code,
              0);
    const QString statement = test::dataFile(QStringLiteral("bank/sparkasse.csv"));
    const auto statuses = [&app] {
        QStringList out;
        for (const QString& line :
             run(app, {QStringLiteral("--list")}).out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1))
            out << line.section(QLatin1Char('\t'), 1, 1) + QLatin1Char('=') + line.section(QLatin1Char('\t'), 6, 6);
        return out.join(QLatin1Char(' '));
    };
    Outcome r = run(app, {QStringLiteral("--bank-import"), statement});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << r.out.toStdString();
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("sicher\t05.12.2026\t30,90 €\tHans Müller\t")))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("\t1234567890\tmueller_hans\tArtikelnummer und Betrag")));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("sicher\t06.12.2026\t185,90 €\tSeán O'Neill")))
        << lines[2].toStdString();
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("keine\t07.12.2026\t1.250,00 €")));
    EXPECT_EQ(statuses(), QStringLiteral("2345678901= 1234567890="));  // nothing set without --apply
    r = run(app, {QStringLiteral("--bank-import"), statement, QStringLiteral("--apply")});
    EXPECT_TRUE(r.err.contains(QStringLiteral("2 Verkäufe als bezahlt markiert."))) << r.err.toStdString();
    EXPECT_EQ(statuses(), QStringLiteral("2345678901=Bezahlt 1234567890=Bezahlt"));
    r = run(app, {QStringLiteral("--bank-import"), statement, QStringLiteral("--apply")});
    EXPECT_EQ(r.out.count(QStringLiteral("bereits erfasst")), 2) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("0 Verkäufe als bezahlt markiert."))) << r.err.toStdString();

    const QString pdf = app.file(QStringLiteral("Rechnung.pdf"));
    r = run(app, {QStringLiteral("--invoice"), QStringLiteral("1234567890"), pdf});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    const QString page = QString::fromUtf8(
        test::tool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")}));
    for (const char* want :
         {"Jörg Händler", "Lindenweg 3", "Hans Müller", "Hauptstraße 12", "10115 Berlin", "Rechnungsnummer: 1234567890",
          "Kaffeemühle Zassenhaus Santiago", "24,50 €", "4,90 €", "Versandversicherung", "1,50 €", "30,90 €",
          "Gemäß § 19 UStG", "DE89 3704 0044 0532 0130 00"})
        EXPECT_TRUE(page.contains(QString::fromUtf8(want))) << want << "\n" << page.toStdString();
    // The README's picture of the page.
    if (const QString dir = qEnvironmentVariable("GD_SCREENSHOT_DIR"); !dir.isEmpty())
        test::tool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("70"), QStringLiteral("-png"),
                                                QStringLiteral("-singlefile"), pdf, dir + QStringLiteral("/invoice")});
    r = run(app, {QStringLiteral("--invoice"), QStringLiteral("999"), pdf});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Eine Auktion mit der Nummer '999' gibt es nicht.")))
        << r.err.toStdString();
}

// Installed as a package, the program's folder holds no bin/: the data live in the
// user's data folder, which gets the shipped defaults on first start.
TEST(CommandLine, InstalledProgramKeepsItsDataInTheHomeFolder) {
    QTemporaryDir root;
    const QString prefix = root.filePath(QStringLiteral("usr")), home = root.filePath(QStringLiteral("home"));
    ASSERT_TRUE(QDir().mkpath(prefix + QStringLiteral("/bin")) && QDir().mkpath(home));
    ASSERT_TRUE(QFile::copy(QStringLiteral(GD_EXECUTABLE), prefix + QStringLiteral("/bin/gaveldesk")));
    for (const char* sub : {"bin", "Help"}) {
        const QString from = QStringLiteral(GD_RESOURCES_DIR "/") + QString::fromLatin1(sub);
        const QString to = prefix + QStringLiteral("/share/gaveldesk/") + QString::fromLatin1(sub);
        QDir().mkpath(to);
        for (const QString& f : QDir(from).entryList(QDir::Files))
            QFile::copy(from + QLatin1Char('/') + f, to + QLatin1Char('/') + f);
    }
    const auto start = [&](const QStringList& args, const QString& xdg = QString()) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* v : {"GAVELDESK_HOME", "DISPLAY", "QT_QPA_PLATFORM", "XDG_DATA_HOME"})
            env.remove(QString::fromLatin1(v));
        env.insert(QStringLiteral("HOME"), home);
        if (!xdg.isEmpty()) env.insert(QStringLiteral("XDG_DATA_HOME"), xdg);
        p.setProcessEnvironment(env);
        p.start(prefix + QStringLiteral("/bin/gaveldesk"), args);
        EXPECT_TRUE(p.waitForFinished(60000));
        return Outcome{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                       QString::fromUtf8(p.readAllStandardError())};
    };
    const QString data = home + QStringLiteral("/.local/share/gaveldesk");
    Outcome r = start({QStringLiteral("--version")});
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("Daten: ") + data + QLatin1Char('\n'))) << r.out.toStdString();
    EXPECT_TRUE(QFile::exists(data + QStringLiteral("/bin/config.ini")));
    EXPECT_TRUE(QFile::exists(data + QStringLiteral("/Help/hilfe.htm")));
    // A setting of the user's survives the next start: defaults only fill what is missing.
    QFile ini(data + QStringLiteral("/bin/config.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write("[User]\r\nUsername=kiel_antik\r\n");
    ini.close();
    r = start({QStringLiteral("--create-database")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(data + QStringLiteral("/gaveldesk.mdb")));
    EXPECT_EQ(test::fileBytes(data + QStringLiteral("/bin/config.ini")),
              QByteArray("[User]\r\nUsername=kiel_antik\r\n"));
    EXPECT_FALSE(QFileInfo::exists(prefix + QStringLiteral("/bin/bin")));  // nothing written beside the program
    const QString xdg = root.filePath(QStringLiteral("xdg"));
    r = start({QStringLiteral("--version")}, xdg);
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("Daten: ") + xdg + QStringLiteral("/gaveldesk\n")))
        << r.out.toStdString();
}

// --restore puts a backup in place where there is no database yet; over one only with --force.
TEST(CommandLine, BackupAndRestore) {
    test::TestApp app(true);
    app.write(QStringLiteral("bin/config.ini"), "[User]\r\nUsername=gavel_haendler\r\n");
    ASSERT_EQ(run(app, {QStringLiteral("--create-database")}).code, 0);
    ASSERT_EQ(run(app, {QStringLiteral("--import"), QStringLiteral(GD_TEST_DATA_DIR "/mails/verkauf.eml")}).code, 0);
    const QString file = app.file(QStringLiteral("stand.gdsicherung"));
    Outcome r = run(app, {QStringLiteral("--backup"), file});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QFile::remove(app.file(QStringLiteral("gaveldesk.mdb")));
    r = run(app, {QStringLiteral("--restore"), file});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(run(app, {QStringLiteral("--list")}).out.count(QLatin1Char('\n')), 2);
    r = run(app, {QStringLiteral("--restore"), file});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("--force"))) << r.err.toStdString();
    r = run(app, {QStringLiteral("--restore"), file, QStringLiteral("--force")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Der vorige Stand liegt in"))) << r.err.toStdString();
}

// A kill in the middle of re-keying leaves the file under the old password or the new
// one, whole: it opens with one of them and holds every trade.
TEST(CommandLine, AKillWhileReKeyingLosesNothing) {
    test::TestApp app(true);
    app.write(QStringLiteral("bin/config.ini"), "[User]\r\nUsername=gavel_haendler\r\n");
    ASSERT_EQ(run(app, {QStringLiteral("--create-database")}).code, 0);
    const QString db = app.file(QStringLiteral("gaveldesk.mdb"));
    // Enough pages that re-keying takes a while: 3,000 trades with a long mail each.
    QByteArray script = "PRAGMA key='kaltwind'; BEGIN;\n";
    for (int i = 0; i < 3000; ++i)
        script += "INSERT INTO Auktionen (AuktionsID, AuktionsNr, EmailText, Standarduser) VALUES ('k" +
                  QByteArray::number(i) + "', '" + QByteArray::number(7000 + i) +
                  "', printf('%.2000c', 'x'), 'gavel_haendler');\n";
    script += "COMMIT;\n";
    QProcess fill;
    fill.start(QStringLiteral("sqlcipher"), {db});
    ASSERT_TRUE(fill.waitForStarted(5000));
    fill.write(script);
    fill.closeWriteChannel();
    ASSERT_TRUE(fill.waitForFinished(60000));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("GAVELDESK_HOME"), app.path());
    env.insert(QStringLiteral("GAVELDESK_NEUES_KENNWORT"), QStringLiteral("neu"));
    // How long a whole change takes here (start included), then kills spread over it.
    QElapsedTimer clock;
    clock.start();
    {
        QProcess whole;
        whole.setProcessEnvironment(env);
        whole.start(QStringLiteral(GD_EXECUTABLE), {QStringLiteral("--change-password")});
        ASSERT_TRUE(whole.waitForFinished(60000));
        ASSERT_EQ(whole.exitCode(), 0) << whole.readAllStandardError().toStdString();
    }
    const qint64 full = clock.elapsed();
    QProcessEnvironment undo = env;
    undo.insert(QStringLiteral("GAVELDESK_KENNWORT"), QStringLiteral("neu"));
    undo.insert(QStringLiteral("GAVELDESK_NEUES_KENNWORT"), QString());
    {
        QProcess back;
        back.setProcessEnvironment(undo);
        back.start(QStringLiteral(GD_EXECUTABLE), {QStringLiteral("--change-password")});
        ASSERT_TRUE(back.waitForFinished(60000));
        ASSERT_EQ(back.exitCode(), 0) << back.readAllStandardError().toStdString();
        app.write(QStringLiteral("bin/config.ini"), "[User]\r\nUsername=gavel_haendler\r\n");
    }
    int midWrite = 0;  // kills that left a journal: the change was under way
    for (int tenth = 3; tenth <= 9; tenth += 2) {
        const int delay = int(full * tenth / 10);
        QProcess rekey;
        rekey.setProcessEnvironment(env);
        rekey.start(QStringLiteral(GD_EXECUTABLE), {QStringLiteral("--change-password")});
        ASSERT_TRUE(rekey.waitForStarted(5000));
        QThread::msleep(delay);
        if (rekey.state() == QProcess::Running) ::kill(pid_t(rekey.processId()), SIGKILL);
        rekey.waitForFinished(10000);
        if (QFileInfo::exists(db + QStringLiteral("-journal"))) ++midWrite;
        // Whichever password it is under now, the whole file opens with it.
        const auto trades = [&db](const QByteArray& password) {
            QProcess p;
            p.setProcessChannelMode(QProcess::MergedChannels);
            p.start(QStringLiteral("sqlcipher"), {db});
            p.waitForStarted(5000);
            p.write("PRAGMA key='" + password + "';\nselect count(*) from Auktionen where AuktionsID like 'k%';\n");
            p.closeWriteChannel();
            p.waitForFinished(30000);
            return QString::fromUtf8(p.readAll()).trimmed();
        };
        const QString underOld = trades("kaltwind"), underNew = trades("neu");
        EXPECT_TRUE((underOld == QStringLiteral("3000")) != (underNew == QStringLiteral("3000")))
            << delay << ": " << underOld.toStdString() << " / " << underNew.toStdString();
        QProcessEnvironment withNew = env;
        if (underNew == QStringLiteral("3000"))
            app.write(QStringLiteral("bin/config.ini"),
                      "[User]\r\nUsername=gavel_haendler\r\n[Datenbank]\r\nEigenesKennwort=Wahr\r\n");
        // Back to the program's password for the next round.
        QProcess back;
        QProcessEnvironment b = withNew;
        b.insert(QStringLiteral("GAVELDESK_KENNWORT"), QStringLiteral("neu"));
        b.insert(QStringLiteral("GAVELDESK_NEUES_KENNWORT"), QString());
        back.setProcessEnvironment(b);
        back.start(QStringLiteral(GD_EXECUTABLE), {QStringLiteral("--change-password")});
        back.waitForFinished(30000);
        app.write(QStringLiteral("bin/config.ini"), "[User]\r\nUsername=gavel_haendler\r\n");
        ASSERT_EQ(run(app, {QStringLiteral("--search"), QStringLiteral("7999")}).code, 0) << delay;
    }
    EXPECT_GT(midWrite, 0);
}

TEST(Main, SecondInstanceEndsSilentlyWithStatusZero) {
    test::TestApp app(true);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("GAVELDESK_HOME"), app.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(QStringLiteral(GD_EXECUTABLE), {});
    ASSERT_TRUE(first.waitForStarted(10000));
    // the first holds the lock once its window is up
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(app.file(QStringLiteral("gaveldesk.lock"))) && t.elapsed() < 20000) QThread::msleep(50);
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
    app.write(QStringLiteral("bin/config.ini"), "[User]\r\nUsername=gavel_haendler\r\n");
    ASSERT_EQ(run(app, {QStringLiteral("--create-database")}).code, 0);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("GAVELDESK_HOME"), app.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess gui;
    gui.setProcessEnvironment(env);
    gui.start(QStringLiteral(GD_EXECUTABLE), {});
    ASSERT_TRUE(gui.waitForStarted(10000));
    const QString today = app.file(QStringLiteral("Sicherungen/gaveldesk-") +
                                   QDate::currentDate().toString(Qt::ISODate) + QStringLiteral(".gdsicherung"));
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
