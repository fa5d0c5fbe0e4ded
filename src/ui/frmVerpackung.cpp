#include "ui/frmVerpackung.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/AppPath.h"
#include "base/CallStack.h"
#include "base/Clock.h"
#include "base/SafeWrite.h"
#include "ui/Platform.h"
#include "ui/frmHilfe.h"

namespace gd {

frmVerpackung::frmVerpackung(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmVerpackung"));
    setWindowTitle(QStringLiteral("Verpackungsmengen"));
    auto* v = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    spnJahr = new QSpinBox(this);
    spnJahr->setObjectName(QStringLiteral("spnJahr"));
    spnJahr->setRange(2000, 2100);
    spnJahr->setValue(today().year());
    form->addRow(QStringLiteral("&Jahr:"), spnJahr);
    v->addLayout(form);
    grdMengen = new QTableWidget(0, 3, this);
    grdMengen->setObjectName(QStringLiteral("grdMengen"));
    grdMengen->setAccessibleName(QStringLiteral("Verpackungsmengen je Materialart"));
    grdMengen->setHorizontalHeaderLabels(
        {QStringLiteral("Materialart"), QStringLiteral("Sendungen"), QStringLiteral("kg")});
    grdMengen->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdMengen->verticalHeader()->hide();
    grdMengen->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    v->addWidget(grdMengen);
    lblSumme = new QLabel(this);
    lblSumme->setObjectName(QStringLiteral("lblSumme"));
    lblSumme->setWordWrap(true);
    v->addWidget(lblSumme);
    auto* buttons = new QDialogButtonBox(this);
    auto* csv = buttons->addButton(QStringLiteral("Als &CSV speichern…"), QDialogButtonBox::ActionRole);
    csv->setObjectName(QStringLiteral("cmdSpeichern"));
    connect(csv, &QPushButton::clicked, this, &frmVerpackung::save);
    auto* close = buttons->addButton(QStringLiteral("Schließen"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("cmdSchliessen"));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    addHelp(this, QStringLiteral("etiketten"), buttons);
    v->addWidget(buttons);
    connect(spnJahr, &QSpinBox::valueChanged, this, &frmVerpackung::fill);
    resize(520, 400);
    fill();
}

void frmVerpackung::fill() {
    CALLSTACK_MODULE("frmVerpackung");
    const Result<QList<MaterialYear>> figures = packagingYear(currentStore(), spnJahr->value());
    if (!figures.ok()) {
        showError(figures.error());
        return;
    }
    figures_ = figures.value();
    grdMengen->setRowCount(int(figures_.size()));
    int parcels = 0;
    for (int i = 0; i < figures_.size(); ++i) {
        const MaterialYear& m = figures_[i];
        parcels += m.parcels;
        grdMengen->setItem(i, 0, new QTableWidgetItem(m.material));
        for (const auto& [col, text] : {std::pair(1, QString::number(m.parcels)), std::pair(2, kgText(m.gramm))}) {
            auto* item = new QTableWidgetItem(text);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grdMengen->setItem(i, col, item);
        }
    }
    lblSumme->setText(QStringLiteral("%1 versendete Sendungen mit erfasster Verpackung im Jahr %2. Die Verpackung "
                                     "wählen Sie beim Haken „Versendet“; Ihre Liste steht in bin/config.ini unter "
                                     "[Versand] Verpackungen.")
                          .arg(parcels)
                          .arg(spnJahr->value()));
}

void frmVerpackung::save() {
    CALLSTACK_MODULE("frmVerpackung");
    const QString file =
        platform().saveFileName(QStringLiteral("Verpackungsmengen speichern"),
                                documentsFolder() + QStringLiteral("/Verpackungsmengen-%1.csv").arg(spnJahr->value()),
                                QStringLiteral("CSV-Dateien (*.csv)"));
    if (file.isEmpty()) return;
    const Status written = writeFileSafely(file, packagingCsv(figures_));
    if (!written.ok()) showError(written.error());
}

}  // namespace gd
