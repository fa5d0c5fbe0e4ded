#include "ui/frmRechnungen.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/AppPath.h"
#include "base/CallStack.h"
#include "base/Clock.h"
#include "base/SafeWrite.h"
#include "domain/bank/Statement.h"
#include "domain/invoice/EInvoice.h"
#include "domain/settings/modGlobal.h"
#include "render/InvoicePdf.h"
#include "ui/Platform.h"
#include "ui/frmHilfe.h"

namespace gd {

frmRechnungen::frmRechnungen(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmRechnungen"));
    setWindowTitle(QStringLiteral("Rechnungen"));
    txtSuche = new QLineEdit(this);
    txtSuche->setObjectName(QStringLiteral("txtSuche"));
    txtSuche->setPlaceholderText(QStringLiteral("Suchen: Rechnungsnummer, Mitgliedsname, Artikelnummer …"));
    txtSuche->setAccessibleName(QStringLiteral("Rechnungen suchen"));
    txtSuche->setClearButtonEnabled(true);
    grdRechnungen = new QTableWidget(0, 6, this);
    grdRechnungen->setObjectName(QStringLiteral("grdRechnungen"));
    grdRechnungen->setHorizontalHeaderLabels({QStringLiteral("Nummer"), QStringLiteral("Datum"),
                                              QStringLiteral("Käufer"), QStringLiteral("Betrag"),
                                              QStringLiteral("Stand"), QStringLiteral("Artikel")});
    grdRechnungen->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdRechnungen->setSelectionMode(QAbstractItemView::SingleSelection);
    grdRechnungen->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdRechnungen->verticalHeader()->hide();
    grdRechnungen->horizontalHeader()->setStretchLastSection(true);
    const auto button = [this](const char* name, const char* caption) {
        auto* b = new QPushButton(QString::fromUtf8(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    cmdSpeichern = button("cmdSpeichern", "Als PDF speichern…");
    cmdXml = button("cmdXml", "E-Rechnung (XML)…");
    cmdStornieren = button("cmdStornieren", "Stornieren…");
    QPushButton* close = button("cmdSchliessen", "Schließen");
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdSpeichern, cmdXml, cmdStornieren}) buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(close);
    addHelp(this, QStringLiteral("rechnung"), buttons);
    auto* v = new QVBoxLayout(this);
    v->addWidget(txtSuche);
    v->addWidget(grdRechnungen);
    v->addLayout(buttons);
    connect(txtSuche, &QLineEdit::textChanged, this, &frmRechnungen::load);
    connect(cmdSpeichern, &QPushButton::clicked, this, &frmRechnungen::saveSelected);
    connect(grdRechnungen, &QTableWidget::cellDoubleClicked, this, &frmRechnungen::saveSelected);
    connect(cmdXml, &QPushButton::clicked, this, &frmRechnungen::saveXml);
    connect(cmdStornieren, &QPushButton::clicked, this, &frmRechnungen::cancelSelected);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(grdRechnungen, &QTableWidget::itemSelectionChanged, this, [this] {
        const IssuedInvoice* i = selected();
        for (QPushButton* b : {cmdSpeichern, cmdXml}) b->setEnabled(i != nullptr);
        cmdStornieren->setEnabled(i && i->valid());
    });
    resize(760, 420);
    load();
}

void frmRechnungen::load() {
    CALLSTACK_MODULE("frmRechnungen");
    const QString keep = selected() ? selected()->Nummer : QString();
    const Result<QList<IssuedInvoice>> all = issuedInvoices(currentStore(), 0, txtSuche->text());
    if (!all.ok()) showError(all.error());
    shown_ = all.valueOr({});
    grdRechnungen->setRowCount(int(shown_.size()));
    for (int r = 0; r < shown_.size(); ++r) {
        const IssuedInvoice& i = shown_[r];
        const QString state = stateText(i);
        const QStringList cells = {i.Nummer,  i.Ausgestellt.toString(QStringLiteral("dd.MM.yyyy")),
                                   i.Kaeufer, euroText(i.Cent),
                                   state,     i.Artikel.join(QStringLiteral(", "))};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == 3) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grdRechnungen->setItem(r, c, item);
        }
        if (i.Nummer == keep) grdRechnungen->selectRow(r);
    }
    grdRechnungen->resizeColumnsToContents();
    if (!selected() && !shown_.isEmpty()) grdRechnungen->selectRow(0);
    emit grdRechnungen->itemSelectionChanged();
}

const IssuedInvoice* frmRechnungen::selected() const {
    const QList<QTableWidgetSelectionRange> ranges = grdRechnungen->selectedRanges();
    if (ranges.isEmpty()) return nullptr;
    const int row = ranges.first().topRow();
    return row >= 0 && row < shown_.size() ? &shown_[row] : nullptr;
}

void frmRechnungen::saveSelected() {
    CALLSTACK_MODULE("frmRechnungen");
    const IssuedInvoice* i = selected();
    if (!i) return;
    const QString file = platform().saveFileName(
        QStringLiteral("Rechnung als PDF speichern"),
        documentsFolder() + QLatin1Char('/') + invoiceFileName(i->Nummer, QStringLiteral(".pdf")),
        QStringLiteral("PDF-Dateien (*.pdf)"));
    if (file.isEmpty()) return;
    // The bytes as issued: the same file every time.
    const auto issued = issuedInvoice(currentStore(), i->Nummer);
    const Status w = issued.ok() ? writeFileSafely(file, issued.value().first.Pdf) : Status(issued.error());
    if (!w.ok()) showError(w.error());
}

void frmRechnungen::saveXml() {
    CALLSTACK_MODULE("frmRechnungen");
    const IssuedInvoice* i = selected();
    if (!i) return;
    const auto issued = issuedInvoice(currentStore(), i->Nummer);
    const Result<QByteArray> xml =
        issued.ok() ? invoiceXml(issued.value().first, issued.value().second) : Result<QByteArray>(issued.error());
    if (!xml.ok()) {
        showError(xml.error());
        return;
    }
    const QString file = platform().saveFileName(
        QStringLiteral("E-Rechnung speichern"),
        documentsFolder() + QLatin1Char('/') + invoiceFileName(i->Nummer, QStringLiteral(".xml")),
        QStringLiteral("E-Rechnungen (*.xml)"));
    if (file.isEmpty()) return;
    if (const Status w = writeFileSafely(file, xml.value()); !w.ok()) showError(w.error());
}

void frmRechnungen::cancelSelected() {
    CALLSTACK_MODULE("frmRechnungen");
    const IssuedInvoice* i = selected();
    if (!i || !i->valid()) return;
    if (platform().msgBox(QStringLiteral("Die Rechnung %1 über %2 stornieren?").arg(i->Nummer, euroText(i->Cent)) +
                              QLatin1Char('\r') +
                              QStringLiteral("Eine Stornorechnung mit eigener Nummer hebt sie auf; die Rechnung "
                                             "selbst bleibt unverändert aufbewahrt. Danach kann der Verkauf neu "
                                             "berechnet werden."),
                          Platform::Buttons::YesNo, Platform::Icon::Question, windowTitle(),
                          Platform::Answer::No) != Platform::Answer::Yes)
        return;
    const Result<IssuedInvoice> storno =
        cancelInvoice(currentStore(), i->Nummer, gSettings.Nummernkreis, now(), invoicePdf);
    if (!storno.ok()) {
        showError(storno.error());
        return;
    }
    txtSuche->clear();
    load();
}

}  // namespace gd
