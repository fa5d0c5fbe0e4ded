#pragma once
// The European Commission's EN 16931 checker for e-invoice XML, beside the project in
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

}  // namespace gd::test
