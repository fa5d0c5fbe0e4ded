#include "ui/frmRueckgaben.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/CallStack.h"
#include "base/Clock.h"
#include "domain/trade/LoadSave.h"
#include "ui/Platform.h"
#include "ui/frmHilfe.h"
#include "ui/frmRueckgabe.h"

namespace gd {
namespace {

// Three days before the refund's day it turns amber, after it red.
constexpr int kSoonDays = 3;

}  // namespace

frmRueckgaben::frmRueckgaben(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmRueckgaben"));
    setWindowTitle(QStringLiteral("Offene Rückgaben"));
    auto* v = new QVBoxLayout(this);
    lblSumme = new QLabel(this);
    lblSumme->setObjectName(QStringLiteral("lblSumme"));
    lblSumme->setWordWrap(true);
    v->addWidget(lblSumme);
    grdRueckgaben = new QTableWidget(0, 7, this);
    grdRueckgaben->setObjectName(QStringLiteral("grdRueckgaben"));
    grdRueckgaben->setAccessibleName(QStringLiteral("Offene Rückgaben"));
    grdRueckgaben->setHorizontalHeaderLabels(
        {QStringLiteral("Artikelnummer"), QStringLiteral("Käufer"), QStringLiteral("Art"), QStringLiteral("Eingang"),
         QStringLiteral("Erstattung bis"), QStringLiteral("Stand"), QStringLiteral("Artikel")});
    grdRueckgaben->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdRueckgaben->setSelectionMode(QAbstractItemView::SingleSelection);
    grdRueckgaben->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdRueckgaben->verticalHeader()->hide();
    grdRueckgaben->horizontalHeader()->setStretchLastSection(true);
    connect(grdRueckgaben, &QTableWidget::cellActivated, this, &frmRueckgaben::openChosen);
    v->addWidget(grdRueckgaben);
    auto* buttons = new QDialogButtonBox(this);
    auto* open = buttons->addButton(QStringLiteral("&Öffnen…"), QDialogButtonBox::ActionRole);
    open->setObjectName(QStringLiteral("cmdOeffnen"));
    connect(open, &QPushButton::clicked, this, &frmRueckgaben::openChosen);
    auto* close = buttons->addButton(QStringLiteral("Schließen"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("cmdSchliessen"));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    addHelp(this, QStringLiteral("rueckgabe"), buttons);
    v->addWidget(buttons);
    resize(860, 360);
    fill();
}

void frmRueckgaben::fill() {
    CALLSTACK_MODULE("frmRueckgaben");
    const Result<QList<OpenReturn>> open = openReturns(currentStore());
    if (!open.ok()) {
        showError(open.error());
        return;
    }
    returns_ = open.value();
    // The most urgent first: the refund's day decides.
    std::stable_sort(returns_.begin(), returns_.end(),
                     [](const OpenReturn& a, const OpenReturn& b) { return a.faellig() < b.faellig(); });
    grdRueckgaben->setRowCount(int(returns_.size()));
    int late = 0, soon = 0, unconfirmed = 0;
    for (int i = 0; i < returns_.size(); ++i) {
        const OpenReturn& r = returns_[i];
        QStringList state;
        const bool isLate = r.faellig() < today();
        const bool isSoon = !isLate && r.faellig() <= today().addDays(kSoonDays);
        if (isLate) state << QStringLiteral("überfällig");
        if (r.unbestaetigt()) state << QStringLiteral("Eingang unbestätigt");
        if (r.wareZurueck.isValid())
            state << QStringLiteral("Ware zurück am %1").arg(r.wareZurueck.toString(QStringLiteral("dd.MM.yyyy")));
        late += isLate;
        soon += isSoon;
        unconfirmed += r.unbestaetigt();
        const QStringList cells{r.AuktionsNr,
                                r.ebayName,
                                returnKindText(r.art),
                                r.eingang.toString(QStringLiteral("dd.MM.yyyy HH:mm")),
                                r.faellig().toString(QStringLiteral("dd.MM.yyyy")),
                                state.isEmpty() ? QStringLiteral("offen") : state.join(QStringLiteral(", ")),
                                r.Titel};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (isLate) item->setForeground(QColor(0xb0, 0x1c, 0x1c));
            if (isSoon) item->setForeground(QColor(0x9a, 0x5b, 0x00));
            grdRueckgaben->setItem(i, c, item);
        }
    }
    grdRueckgaben->resizeColumnsToContents();
    if (!returns_.isEmpty()) grdRueckgaben->selectRow(0);
    lblSumme->setText(returns_.isEmpty()
                          ? QStringLiteral("Keine Rückgabe ist offen.")
                          : QStringLiteral("%1 offen: %2 überfällig, %3 in den nächsten %4 Tagen fällig, %5 mit "
                                           "unbestätigtem Eingang. Die Erstattung ist 14 Tage nach dem Eingang der "
                                           "Erklärung fällig.")
                                .arg(returns_.size() == 1 ? QStringLiteral("1 Rückgabe")
                                                          : QStringLiteral("%1 Rückgaben").arg(returns_.size()))
                                .arg(late)
                                .arg(soon)
                                .arg(kSoonDays)
                                .arg(unconfirmed));
}

void frmRueckgaben::openChosen() {
    CALLSTACK_MODULE("frmRueckgaben");
    const int row = grdRueckgaben->currentRow();
    if (row < 0 || row >= returns_.size()) return;
    const Result<std::optional<tAuktion>> a = funLoadAuktion(currentStore(), returns_[row].AuktionsID);
    if (!a.ok() || !a.value()) {
        if (!a.ok()) showError(a.error());
        return;
    }
    const Result<std::optional<tKunde>> k = funLoadKunde(currentStore(), a.value()->ebayName);
    frmRueckgabe dlg(*a.value(), k.ok() && k.value() ? *k.value() : tKunde(), this);
    dlg.exec();
    if (!dlg.changed()) return;
    changed_ = true;
    fill();
}

}  // namespace gd
