#pragma once
// The checkers of e-invoices and DATEV files beside the project in ../shared. The European Commission's EN 16931
// checker for e-invoice XML, beside the project in
// ../shared/einvoice. Where it is not (a clone elsewhere) or its tools are missing, the check is
// skipped and the test says so.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QStringList>

namespace gd::test {

// A checker beside the project run on a file: passes, or the test fails with what it said. Where
// the checker or its tools are missing, it is skipped and the test says so.
inline void expectCheckerPasses(const QString& checker, const char* what, const QStringList& files, int timeoutMs) {
    if (!QFileInfo(checker).isExecutable()) {
        std::printf("[ SKIPPED ] %s: %s fehlt\n", what, qPrintable(checker));
        return;
    }
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(checker, files);
    ASSERT_TRUE(p.waitForFinished(timeoutMs));
    const QString said = QString::fromUtf8(p.readAll());
    if (p.exitCode() == 2) {
        std::printf("[ SKIPPED ] %s: %s\n", what, qPrintable(said.trimmed()));
        return;
    }
    EXPECT_EQ(p.exitCode(), 0) << files.join(QLatin1Char(' ')).toStdString() << "\n" << said.toStdString();
}

inline void expectValidEInvoice(const QString& xml) {
    expectCheckerPasses(QStringLiteral(GD_EINVOICE_CHECKER), "E-Rechnungs-Prüfung", {xml}, 180000);
}

// Hybrid invoices: each a PDF/A-3 with its Factur-X attachment, and the XML inside against the
// Factur-X EN 16931 profile (all files in one run of the rules: the engine starts once).
inline void expectValidHybrids(const QStringList& pdfs) {
    for (const QString& pdf : pdfs)
        expectCheckerPasses(QStringLiteral(GD_PDFA3_CHECKER), "PDF/A-3-Prüfung", {pdf}, 180000);
    expectCheckerPasses(QStringLiteral(GD_FACTURX_CHECKER), "Factur-X-Prüfung", pdfs, 300000);
}

// DATEV's published field rules for a Buchungsstapel.
inline void expectValidDatev(const QString& csv) {
    expectCheckerPasses(QStringLiteral(GD_DATEV_CHECKER), "DATEV-Prüfung", {csv}, 120000);
}

}  // namespace gd::test
