// Files built to wear a reader down: bombs that unpack to gigabytes, nesting a million deep,
// counts beyond any real file. Each reader says no in German and holds less than 100 MB
// while it does, whatever the file.
#include <gtest/gtest.h>
#include <zlib.h>

#include <QFileInfo>
#include <QProcess>
#include <functional>

#include "RunCli.h"
#include "base/profile.h"
#include "domain/bank/Payouts.h"
#include "domain/bank/Profiles.h"
#include "domain/bank/Statement.h"
#include "domain/import/MailFile.h"
#include "domain/import/OrderReport.h"
#include "domain/invoice/ReceivedInvoices.h"
#include "domain/settings/modGlobal.h"
#include "support/PeakHeap.h"
#include "support/TestApp.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

constexpr long long kMostHeap = 100ll << 20;

// `zeros` NUL bytes deflated, made without holding them: a bomb of a few hundred KB.
QByteArray bomb(qint64 zeros, bool zlibHeader = true) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, zlibHeader ? 15 : -15, 9, Z_DEFAULT_STRATEGY);
    const QByteArray chunk(1 << 20, '\0');
    QByteArray out;
    char buffer[65536];
    for (qint64 left = zeros; left >= 0; left -= chunk.size()) {
        const bool last = left <= chunk.size();
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(chunk.constData()));
        z.avail_in = uInt(last ? left : chunk.size());
        do {
            z.next_out = reinterpret_cast<Bytef*>(buffer);
            z.avail_out = sizeof buffer;
            deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            out.append(buffer, qsizetype(sizeof buffer - z.avail_out));
        } while (z.avail_out == 0);
        if (last) break;
    }
    deflateEnd(&z);
    return out;
}

QByteArray stream(const QByteArray& dict, const QByteArray& data) {
    return "<< " + dict + " /Length " + QByteArray::number(data.size()) + " >>\nstream\n" + data + "\nendstream";
}

// A PDF of the given objects (1, 2, …) with cross-references as a table.
QByteArray pdf(const QList<QByteArray>& objects, const QByteArray& trailer = "/Root 1 0 R") {
    QByteArray out = "%PDF-1.7\n";
    QList<qsizetype> at;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        at << out.size();
        out += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = out.size();
    out += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const qsizetype a : at) out += QByteArray::number(a).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " " + trailer + " >>\nstartxref\n" +
           QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

// An invoice attached under its usual name: catalog, names, file entry (/Filespec), then `file`.
QList<QByteArray> attached(const QByteArray& file) {
    return {"<< /Type /Catalog /Names << /EmbeddedFiles 2 0 R >> >>", "<< /Names [(factur-x.xml) 3 0 R] >>",
            "<< /Type /Filespec /F (factur-x.xml) /EF << /F 4 0 R >> >>", file};
}

// A PDF whose cross-references are a stream: object 1 (the catalog) lives in object stream 2,
// whose data is `objStm`; the cross-reference stream is `xrefData` under `xrefFilter`.
QByteArray compressedPdf(const QByteArray& objStm, const QByteArray& xrefFilter = {}, QByteArray xrefData = {}) {
    QByteArray out = "%PDF-1.7\n";
    const qsizetype at2 = out.size();
    out += "2 0 obj\n" + stream("/Type /ObjStm /N 1 /First 4 /Filter /FlateDecode", objStm) + "\nendobj\n";
    const qsizetype at3 = out.size();
    if (xrefData.isEmpty()) {
        const auto entry = [](int type, qint64 a, int b) {
            QByteArray e;
            e += char(type);
            for (int s = 24; s >= 0; s -= 8) e += char(a >> s);
            e += char(b >> 8);
            e += char(b);
            return e;
        };
        xrefData = entry(0, 0, 0) + entry(2, 2, 0) + entry(1, at2, 0) + entry(1, at3, 0);
    }
    out += "3 0 obj\n" + stream("/Type /XRef /Size 4 /W [1 4 2] /Root 1 0 R " + xrefFilter, xrefData) + "\nendobj\n";
    out += "startxref\n" + QByteArray::number(at3) + "\n%%EOF\n";
    return out;
}

QByteArray repeated(const QByteArray& piece, qsizetype times) {
    QByteArray out;
    out.reserve(piece.size() * times);
    for (qsizetype i = 0; i < times; ++i) out += piece;
    return out;
}

QByteArray camt(const QByteArray& inside) {
    return "<?xml version=\"1.0\"?>\n<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.02\">"
           "<BkToCstmrStmt><Stmt>" +
           inside + "</Stmt></BkToCstmrStmt></Document>\n";
}

// A ZIP that Python's zipfile writes by `script` (its archive is `z`), as its bytes.
QByteArray zipped(const QString& file, const QString& script) {
    QProcess p;
    p.start(u"python3"_s, {u"-c"_s,
                           u"import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)\n"_s +
                               script + u"\nz.close()"_s,
                           file});
    p.waitForFinished(120000);
    return test::fileBytes(file);
}

class HostileFiles : public ::testing::Test {
protected:
    test::TestApp app;
    QString put(const QString& name, const QByteArray& bytes) {
        app.write(name, bytes);
        return app.file(name);
    }
};

// Each row: a file, the reader that meets it, and what it says. Peak heap is what the whole
// reading held above what was held before; the file's own bytes count.
TEST_F(HostileFiles, EachReaderRefusesInGermanAndStaysSmall) {
    if (!test::PeakHeap::available()) GTEST_SKIP() << "Nur mit dem Address Sanitizer messbar.";
    const QByteArray invoice =
        test::fileBytes(QFileInfo(QStringLiteral(GD_EINVOICE_CHECKER)).path() + u"/examples/CII_example1.xml"_s);
    ASSERT_TRUE(invoice.startsWith("<?xml")) << "Beispielrechnung fehlt";
    const QByteArray zeros = bomb(512ll << 20);
    const QByteArray catalogInStream = "1 0 << /Type /Catalog >>";
    const auto einvoice = [](const QString& f) {
        const Result<EInvoiceFile> r = readEInvoiceFile(f);
        return r.ok() ? u"gelesen"_s : r.error().message();
    };
    const auto statement = [](const QString& f) {
        const Result<BankStatement> r = readStatement(f);
        return r.ok() ? u"gelesen: %1 Gutschriften, %2 nicht gelesen"_s.arg(r->Gutschriften.size())
                            .arg(r->NichtGelesen.size())
                      : r.error().message();
    };
    const auto mails = [](const QString& f) {
        const Result<QList<MailText>> r = readMails(f);
        return r.ok() ? u"gelesen: %1 E-Mails"_s.arg(r->size()) : r.error().message();
    };
    const auto orders = [](const QString& f) {
        const Result<OrderReport> r =
            parseOrderReport(test::fileBytes(f), loadProfiles(), mainPlatform(currentSettings()));
        return r.ok() ? u"gelesen"_s : r.error().message();
    };
    const auto payouts = [](const QString& f) {
        const Result<PayoutReport> r = parsePayoutReport(test::fileBytes(f), loadProfiles());
        return r.ok() ? u"gelesen"_s : r.error().message();
    };
    const struct {
        const char* file;
        std::function<QByteArray()> make;
        std::function<QString(const QString&)> read;
        const char* said;
    } rows[] = {
        // E-invoices as PDF: every place a stream or a value can hide.
        {"anhang-bombe.pdf",
         [&]() -> QByteArray { return pdf(attached(stream("/Type /EmbeddedFile /Filter /FlateDecode", zeros))); },
         einvoice, "entpackt mehr als 2 MB"},
        {"doppelt-gepackt.pdf",
         [&]() -> QByteArray {
             return pdf(
                 attached(stream("/Type /EmbeddedFile /Filter [/FlateDecode /FlateDecode]", qCompress(zeros).mid(4))));
         },
         einvoice, "nicht weiter gelesen"},
        {"objektstrom-bombe.pdf", [&]() -> QByteArray { return compressedPdf(zeros); }, einvoice, "mehr als 8 MB"},
        {"querverweis-bombe.pdf",
         [&]() -> QByteArray {
             return compressedPdf(qCompress(catalogInStream).mid(4), "/Filter /FlateDecode", zeros);
         },
         einvoice, "mehr als 8 MB"},
        {"zehn-millionen-werte.pdf",
         [&]() -> QByteArray {
             QList<QByteArray> o = attached(stream("/Type /EmbeddedFile", invoice));
             o[0] = "<< /Type /Catalog /Namen [" + repeated("0 ", 9'000'000) + "] >>";
             return pdf(o);
         },
         einvoice, "mehr als 200.000 Werte"},
        {"tief.pdf",
         [&]() -> QByteArray {
             QList<QByteArray> o = attached(stream("/Type /EmbeddedFile", invoice));
             o[0] = "<< /Type /Catalog /X " + repeated("[", 1'000'000) + repeated("]", 1'000'000) + " >>";
             return pdf(o);
         },
         einvoice, "tiefer als 32 Ebenen"},
        {"kreis.pdf",
         [&]() -> QByteArray {
             return pdf({"2 0 R", "1 0 R"});
         },
         einvoice, "im Kreis"},
        {"viele-objekte.pdf",
         [&]() -> QByteArray {
             return compressedPdf(qCompress(catalogInStream).mid(4), "/Index [0 4 5 2000000]", QByteArray(7 * 4, '\0'));
         },
         einvoice, "mehr als 1.000.000 Objekte"},
        {"gross.pdf", [&]() -> QByteArray { return "%PDF-1.7\n" + QByteArray(21 << 20, ' '); }, einvoice,
         "größer als 20 MB"},
        // E-invoices as XML.
        {"gross.xml", [&]() -> QByteArray { return invoice + QByteArray(3 << 20, ' '); }, einvoice, "größer als 2 MB"},
        {"lachen.xml",
         [&]() -> QByteArray {
             return QByteArray(
                 "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"hahahahaha\"><!ENTITY b "
                 "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]><r>&b;</r>");
         },
         einvoice, "DOCTYPE"},
        {"tief.xml",
         [&]() -> QByteArray {
             return "<rsm:CrossIndustryInvoice xmlns:rsm=\"urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:"
                    "100\">" +
                    repeated("<a>", 500'000);
         },
         einvoice, "zu tief verschachtelt"},
        {"viele-positionen.xml",
         [&]() -> QByteArray {
             QByteArray x = invoice;
             const qsizetype end = x.indexOf("</rsm:SupplyChainTradeTransaction>");
             x.insert(end, repeated("<ram:IncludedSupplyChainTradeLineItem/>", 50'000));
             return x;
         },
         einvoice, "gelesen"},
        // Statements, reports and what they come in.
        {"umsaetze.csv", [&]() -> QByteArray { return repeated(";", 15 << 20); }, statement, "mehr als 300.000 Felder"},
        {"umsaetze-gross.csv", [&]() -> QByteArray { return QByteArray(17 << 20, 'x'); }, statement,
         "größer als 16 MB"},
        {"umsaetze-an-der-grenze.csv",
         [&]() -> QByteArray { return "Buchungstag;Betrag;Name\n" + repeated("01.12.2026;x;Ärger\n", 99'000); },
         statement, "gelesen: 0 Gutschriften, 99000 nicht gelesen"},
        {"camt-entitaeten.xml",
         [&]() -> QByteArray {
             return "<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY e \"x\">]>" + camt("<Ntry>&e;</Ntry>");
         },
         statement, "DOCTYPE"},
        {"camt-tief.xml", [&]() -> QByteArray { return camt(repeated("<Ntry>", 300'000)); }, statement,
         "zu tief verschachtelt"},
        {"camt-viele.xml", [&]() -> QByteArray { return camt(repeated("<Ntry></Ntry>", 150'000)); }, statement,
         "mehr als 100.000 Buchungen"},
        {"camt-an-der-grenze.xml",
         [&]() -> QByteArray {
             return camt(repeated("<Ntry><NtryRef>" + QByteArray(60, 'R') + "</NtryRef></Ntry>", 80'000));
         },
         statement, "gelesen: 0 Gutschriften, 80000 nicht gelesen"},
        {"auszuege-bombe.zip",
         [&]() -> QByteArray {
             return zipped(app.file(u"auszuege-bombe.zip.tmp"_s),
                           u"z.writestr('a.xml', b'<a/>' + b' ' * (20 << 20))"_s);
         },
         statement, "zu groß für einen Kontoauszug"},
        {"auszuege-viele.zip",
         [&]() -> QByteArray {
             return zipped(app.file(u"auszuege-viele.zip.tmp"_s),
                           u"for i in range(5): z.writestr('%d.xml' % i, b'<a/>' + b' ' * (7 << 20))"_s);
         },
         statement, "zu groß für einen Kontoauszug"},
        {"bestellungen.csv", [&]() -> QByteArray { return repeated(",", 15 << 20); }, orders,
         "mehr als 300.000 Felder"},
        {"auszahlungen.csv", [&]() -> QByteArray { return repeated("\t", 15 << 20); }, payouts,
         "mehr als 300.000 Felder"},
        // Mails.
        {"postfach-viele.mbox",
         [&]() -> QByteArray { return repeated("From a@b Mon Dec  7 10:00:00 2026\n\nx\n\n", 20'000); }, mails,
         "mehr als 10.000 E-Mails"},
        {"postfach-text.mbox",
         [&]() -> QByteArray {
             return repeated("From a@b Mon Dec  7 10:00:00 2026\nSubject: Verkauf\n\n" +
                                 repeated(QByteArray(1023, 'x') + "\n", 1024) + "\n",
                             30);
         },
         mails, "mehr als 16 Millionen Zeichen"},
        {"zeilen.eml",
         [&]() -> QByteArray {
             return "Content-Type: multipart/mixed; boundary=\"g\"\n\n--g\nContent-Type: text/plain\n\n" +
                    QByteArray(6 << 20, '\n') + "--g--\n";
         },
         mails, "gelesen: 1 E-Mails"},
        {"kopfzeilen.eml", [&]() -> QByteArray { return repeated("X-Zeile: a\n", 1'500'000); }, mails,
         "gelesen: 1 E-Mails"},
        {"verschachtelt.html", [&]() -> QByteArray { return repeated("<b>", 5 << 20); }, mails, "gelesen: 1 E-Mails"},
    };
    for (const auto& row : rows) {
        const QString file = put(QString::fromLatin1(row.file), row.make());
        QString said;
        const long long peak = test::PeakHeap::of([&] { said = row.read(file); });
        EXPECT_TRUE(said.contains(QString::fromUtf8(row.said))) << row.file << ": " << said.toStdString();
        EXPECT_LT(peak, kMostHeap) << row.file << ": " << (peak >> 20) << " MB";
        QFile::remove(file);
    }
}

// From a script: the e-invoice as the window shows it, a refusal as its German sentence and exit 1.
TEST_F(HostileFiles, AnEInvoiceIsShownOnTheCommandLine) {
    const QString dir = QFileInfo(QStringLiteral(GD_EINVOICE_CHECKER)).path();
    const Outcome shown = run(app, {u"--einvoice-show"_s, dir + u"/examples/CII_example5.xml"_s});
    EXPECT_EQ(shown.code, 0) << shown.err.toStdString();
    for (const char* want : {"Rechnung TOSL110 vom 10.04.2013", "Verkäufer", "USt-IdNr.: NL16356706"})
        EXPECT_TRUE(shown.out.contains(QString::fromUtf8(want))) << want << "\n" << shown.out.toStdString();
    const QString file =
        put(u"bombe.pdf"_s, pdf(attached(stream("/Type /EmbeddedFile /Filter /FlateDecode", bomb(64 << 20)))));
    const Outcome refused = run(app, {u"--einvoice-show"_s, file});
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(refused.out.isEmpty());
    EXPECT_TRUE(refused.err.contains(u"zum Schutz nicht weiter gelesen"_s)) << refused.err.toStdString();
}

// A settings file of megabytes is read as empty and never written back cut short.
TEST_F(HostileFiles, ASettingsFileOfMegabytesIsNeitherHeldNorCut) {
    const QString ini = put(u"riesig.ini"_s, "[User]\r\nUsername=jana\r\n" + repeated("; Kommentar\r\n", 500'000));
    QString value;
    const long long peak =
        test::PeakHeap::of([&] { win::GetPrivateProfileString(u"User"_s, u"Username"_s, u"-"_s, value, 255, ini); });
    EXPECT_EQ(value, u"-"_s);
    if (test::PeakHeap::available()) {
        EXPECT_LT(peak, 1ll << 20);
    }
    const Status w = win::writeProfileStrings({{u"User"_s, u"Username"_s, u"piotr"_s}}, ini);
    ASSERT_FALSE(w.ok());
    EXPECT_TRUE(w.error().sentence.contains(u"größer als 4 MB"_s)) << w.error().sentence.toStdString();
    EXPECT_EQ(QFileInfo(ini).size(), 23 + 13 * 500'000);
}

}  // namespace
}  // namespace gd
