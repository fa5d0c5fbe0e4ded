#pragma once
// The checkers of e-invoices and DATEV files beside the project in ../shared. The European Commission's EN 16931
// checker for e-invoice XML, beside the project in
// ../shared/einvoice. Where it is not (a clone elsewhere) or its tools are missing, the check is
// skipped and the test says so.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>

namespace gd::test {

inline void expectValidEInvoice(const QString& xml) {
    const QString checker = QStringLiteral(GD_EINVOICE_CHECKER);
    if (!QFileInfo(checker).isExecutable()) {
        std::printf("[ SKIPPED ] E-Rechnungs-Prüfung: %s fehlt\n", qPrintable(checker));
        return;
    }
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(checker, {xml});
    ASSERT_TRUE(p.waitForFinished(180000));
    const QString said = QString::fromUtf8(p.readAll());
    if (p.exitCode() == 2) {
        std::printf("[ SKIPPED ] E-Rechnungs-Prüfung: %s\n", qPrintable(said.trimmed()));
        return;
    }
    EXPECT_EQ(p.exitCode(), 0) << xml.toStdString() << "\n" << said.toStdString();
}

// DATEV's published field rules for a Buchungsstapel, by the checker beside the project.
inline void expectValidDatev(const QString& csv) {
    const QString checker = QStringLiteral(GD_DATEV_CHECKER);
    if (!QFileInfo(checker).isExecutable()) {
        std::printf("[ SKIPPED ] DATEV-Prüfung: %s fehlt\n", qPrintable(checker));
        return;
    }
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(checker, {csv});
    ASSERT_TRUE(p.waitForFinished(120000));
    const QString said = QString::fromUtf8(p.readAll());
    if (p.exitCode() == 2) {
        std::printf("[ SKIPPED ] DATEV-Prüfung: %s\n", qPrintable(said.trimmed()));
        return;
    }
    EXPECT_EQ(p.exitCode(), 0) << csv.toStdString() << "\n" << said.toStdString();
}

}  // namespace gd::test
