#include "ui/frmAuszahlungen.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/AppPath.h"
#include "base/CallStack.h"
#include "base/ReadFile.h"
#include "domain/bank/Csv.h"
#include "domain/bank/Payouts.h"
#include "ui/Platform.h"
#include "ui/frmHilfe.h"

namespace gd {
namespace {

QTableWidget* table(QWidget* parent, const char* name, const QStringList& headings) {
    auto* t = new QTableWidget(0, int(headings.size()), parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setHorizontalHeaderLabels(headings);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->verticalHeader()->setVisible(false);
    return t;
}

void fill(QTableWidget* t, const QList<QStringList>& rows) {
    t->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size() && c < t->columnCount(); ++c) {
            auto* item = new QTableWidgetItem(rows[r][c].simplified());
            if (rows[r][c].endsWith(QStringLiteral(" €"))) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            t->setItem(r, c, item);
        }
    t->resizeColumnsToContents();
}

QByteArray readFile(const QString& file, bool* ok) {
    const Result<QByteArray> bytes = readBoundedFile(file, kMostTableBytes);
    *ok = bytes.ok();
    if (!bytes.ok()) showError(bytes.error());
    return bytes.valueOr({});
}

}  // namespace

frmAuszahlungen::frmAuszahlungen(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAuszahlungen"));
    setWindowTitle(QStringLiteral("Auszahlungen der Plattformen"));
    grdAuszahlungen = table(
        this, "grdAuszahlungen",
        {QStringLiteral("Auszahlung"), QStringLiteral("Datum"), QStringLiteral("Verkäufe"), QStringLiteral("Brutto"),
         QStringLiteral("Gebühren"), QStringLiteral("Ausgezahlt"), QStringLiteral("Auf dem Konto")});
    txtHinweise = new QPlainTextEdit(this);
    txtHinweise->setObjectName(QStringLiteral("txtHinweise"));
    txtHinweise->setReadOnly(true);
    txtHinweise->setMaximumHeight(140);
    cmdEinlesen = new QPushButton(QStringLiteral("Auszahlungsbericht einlesen…"), this);
    cmdEinlesen->setObjectName(QStringLiteral("cmdEinlesen"));
    cmdSchliessen = new QPushButton(QStringLiteral("Schließen"), this);
    cmdSchliessen->setObjectName(QStringLiteral("cmdSchliessen"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdEinlesen);
    buttons->addStretch();
    buttons->addWidget(cmdSchliessen);
    addHelp(this, QStringLiteral("auszahlungen"), buttons);
    auto* v = new QVBoxLayout(this);
    v->addWidget(grdAuszahlungen, 1);
    v->addWidget(txtHinweise);
    v->addLayout(buttons);
    connect(cmdEinlesen, &QPushButton::clicked, this, &frmAuszahlungen::readReport);
    connect(cmdSchliessen, &QPushButton::clicked, this, &QDialog::accept);
    resize(820, 480);
    txtHinweise->setPlainText(QStringLiteral(
        "Der Auszahlungsbericht der Plattform (CSV) setzt die Verkäufe, die er nennt, auf „Bezahlt“ (am Tag der "
        "Zahlung des Käufers) und hält die Gebühren fest. Ein Kontoauszug mit der Gutschrift ordnet die Auszahlung "
        "ihrem Eingang auf dem Konto zu."));
    load();
}

void frmAuszahlungen::load() {
    CALLSTACK_MODULE("frmAuszahlungen");
    const Result<QList<PayoutSummary>> all = payoutSummaries(currentStore());
    if (!all.ok()) return showError(all.error());
    QList<QStringList> rows;
    for (const PayoutSummary& p : all.value())
        rows << QStringList{p.id,
                            p.date.toString(QStringLiteral("dd.MM.yyyy")),
                            QString::number(p.sales),
                            euroText(p.gross),
                            euroText(p.fees),
                            euroText(p.net()),
                            p.credited.isValid() ? p.credited.toString(QStringLiteral("dd.MM.yyyy"))
                                                 : QStringLiteral("noch nicht gesehen")};
    fill(grdAuszahlungen, rows);
}

void frmAuszahlungen::readReport() {
    CALLSTACK_MODULE("frmAuszahlungen");
    const QString file = platform().openFileName(QStringLiteral("Auszahlungsbericht öffnen"), documentsFolder(),
                                                 QStringLiteral("Berichte (*.csv *.txt)"));
    if (file.isEmpty()) return;
    bool ok = false;
    const QByteArray bytes = readFile(file, &ok);
    if (!ok) return;
    const Result<PayoutReport> report = parsePayoutReport(bytes, loadProfiles());
    if (!report.ok()) return showError(report.error());
    const Result<PayoutOutcome> done = applyPayoutReport(currentStore(), report.value());
    if (!done.ok()) return showError(done.error());
    QStringList said{QStringLiteral("%1 (Profil „%2“): %3")
                         .arg(QDir::toNativeSeparators(file), report.value().profile, payoutOutcomeText(done.value()))};
    if (!done.value().unknown.isEmpty())
        said << QStringLiteral("Noch nicht als Verkauf bekannt (wird gebucht, sobald der Verkauf eingelesen ist): ") +
                    done.value().unknown.join(QStringLiteral(", "));
    for (const QString& line : done.value().refused) said << QStringLiteral("Nicht gebucht: ") + line;
    for (const BankStatement::Skipped& s : report.value().notRead)
        said << QStringLiteral("Zeile %1 nicht gelesen: %2").arg(s.Zeile).arg(s.Grund);
    txtHinweise->setPlainText(said.join(QLatin1Char('\n')));
    load();
}

frmDateiformat::frmDateiformat(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDateiformat"));
    setWindowTitle(QStringLiteral("Dateiformat prüfen"));
    lblProfil = new QLabel(this);
    lblProfil->setObjectName(QStringLiteral("lblProfil"));
    lblProfil->setWordWrap(true);
    lblProfil->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grdSpalten = table(this, "grdSpalten", {QStringLiteral("Spalte"), QStringLiteral("Bedeutung")});
    grdZeilen = table(this, "grdZeilen", {});
    auto* close = new QPushButton(QStringLiteral("Schließen"), this);
    close->setObjectName(QStringLiteral("cmdSchliessen"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* v = new QVBoxLayout(this);
    v->addWidget(lblProfil);
    v->addWidget(new QLabel(QStringLiteral("Spalten und was Gaveldesk aus ihnen liest:"), this));
    v->addWidget(grdSpalten, 1);
    v->addWidget(new QLabel(QStringLiteral("Die ersten Zeilen der Datei:"), this));
    v->addWidget(grdZeilen, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    addHelp(this, QStringLiteral("dateiformate"), buttons);
    v->addLayout(buttons);
    resize(760, 600);
}

bool frmDateiformat::load(const QString& file) {
    CALLSTACK_MODULE("frmDateiformat");
    bool ok = false;
    const QByteArray bytes = readFile(file, &ok);
    if (!ok) return false;
    QStringList faults;
    const FileInspection seen = inspectFile(bytes, loadProfiles(&faults));
    if (seen.profile.isEmpty()) {
        lblProfil->setText(QStringLiteral("%1: kein Profil erkennt diese Datei. Tragen Sie die Überschriften unten in "
                                          "ein Profil in bin/Dateiformate.ini ein.")
                               .arg(QDir::toNativeSeparators(file)));
    } else {
        lblProfil->setText(QStringLiteral("%1\nerkannt als „%2“ (%3)\nQuelle: %4")
                               .arg(QDir::toNativeSeparators(file), seen.profile, seen.art,
                                    seen.verified || seen.quelle.contains(QStringLiteral("ungeprüft"))
                                        ? seen.quelle
                                        : QStringLiteral("ungeprüft \u2014 ") + seen.quelle));
    }
    // A profile the file of profiles cannot give is said here, where the user looks for it.
    if (!faults.isEmpty()) lblProfil->setText(lblProfil->text() + QLatin1Char('\n') + faults.join(QLatin1Char('\n')));
    QList<QStringList> columns;
    for (qsizetype c = 0; c < seen.headings.size(); ++c)
        columns << QStringList{seen.headings[c], seen.roles.value(c).isEmpty()
                                                     ? QStringLiteral("\u2014 (nicht gelesen)")
                                                     : seen.roles.value(c)};
    fill(grdSpalten, columns);
    int width = 0;
    for (const QStringList& r : seen.rows) width = std::max(width, int(r.size()));
    grdZeilen->setColumnCount(width);
    if (!seen.headings.isEmpty()) grdZeilen->setHorizontalHeaderLabels(seen.headings);
    fill(grdZeilen, seen.rows);
    return true;
}

}  // namespace gd
