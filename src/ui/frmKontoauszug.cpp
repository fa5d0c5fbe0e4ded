#include "ui/frmKontoauszug.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/CallStack.h"
#include "ui/Platform.h"

namespace gd {

frmKontoauszug::frmKontoauszug(const QString& file, const QList<Proposal>& proposals, QWidget* parent)
    : QDialog(parent), proposals_(proposals) {
    setObjectName(QStringLiteral("frmKontoauszug"));
    setWindowTitle(QStringLiteral("Kontoauszug einlesen – %1").arg(QFileInfo(file).fileName()));
    setModal(true);
    int counts[4] = {};
    for (const Proposal& p : proposals_) ++counts[int(p.Einstufung)];
    lblSumme = new QLabel(
        QStringLiteral("%1 Gutschriften: %2 sicher, %3 wahrscheinlich, %4 ohne passenden Verkauf, %5 bereits erfasst. "
                       "Angehakte Zahlungen setzen „Bezahlt“ mit dem Buchungstag.")
            .arg(proposals_.size())
            .arg(counts[int(Grade::Sicher)])
            .arg(counts[int(Grade::Wahrscheinlich)])
            .arg(counts[int(Grade::Keine)])
            .arg(counts[int(Grade::Erfasst)]),
        this);
    lblSumme->setObjectName(QStringLiteral("lblSumme"));
    lblSumme->setWordWrap(true);
    grdZahlungen = new QTableWidget(int(proposals_.size()), 8, this);
    grdZahlungen->setObjectName(QStringLiteral("grdZahlungen"));
    grdZahlungen->setHorizontalHeaderLabels({QString(), QStringLiteral("Buchungstag"), QStringLiteral("Betrag"),
                                            QStringLiteral("Auftraggeber"), QStringLiteral("Verwendungszweck"),
                                            QStringLiteral("Auktion"), QStringLiteral("Zuordnung"), QStringLiteral("Grund")});
    grdZahlungen->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdZahlungen->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdZahlungen->verticalHeader()->hide();
    for (int r = 0; r < proposals_.size(); ++r) {
        const Proposal& p = proposals_[r];
        const bool choosable = p.Einstufung == Grade::Sicher || p.Einstufung == Grade::Wahrscheinlich;
        auto* tick = new QTableWidgetItem;
        // Sure ones are ticked; a probable one waits for the user; the rest cannot be ticked.
        tick->setFlags(choosable ? Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::ItemIsSelectable);
        tick->setCheckState(p.Einstufung == Grade::Sicher ? Qt::Checked : Qt::Unchecked);
        grdZahlungen->setItem(r, 0, tick);
        const QString sales = p.AuktionsNrn.isEmpty() ? QString()
                                                      : p.AuktionsNrn.join(QStringLiteral(", ")) + QStringLiteral(" (") +
                                                            p.Kaeufer + QLatin1Char(')');
        const QString texts[7] = {p.Gutschrift.Buchungstag.toString(QStringLiteral("dd.MM.yyyy")), euroText(p.Gutschrift.Cent),
                                  p.Gutschrift.Name, p.Gutschrift.Zweck, sales, gradeText(p.Einstufung), p.Grund};
        for (int c = 0; c < 7; ++c) {
            auto* item = new QTableWidgetItem(texts[c]);
            if (c == 1) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (c == 3 || c == 4) item->setToolTip(texts[c]);
            grdZahlungen->setItem(r, c + 1, item);
        }
    }
    grdZahlungen->resizeColumnsToContents();
    grdZahlungen->setColumnWidth(4, std::min(grdZahlungen->columnWidth(4), 260));
    grdZahlungen->horizontalHeader()->setStretchLastSection(true);
    cmdUebernehmen = new QPushButton(QStringLiteral("Bezahlt setzen"), this);
    cmdUebernehmen->setObjectName(QStringLiteral("cmdUebernehmen"));
    cmdAbbrechen = new QPushButton(QStringLiteral("Abbrechen"), this);
    cmdAbbrechen->setObjectName(QStringLiteral("cmdAbbrechen"));
    cmdUebernehmen->setEnabled(counts[int(Grade::Sicher)] + counts[int(Grade::Wahrscheinlich)] > 0);
    connect(cmdUebernehmen, &QPushButton::clicked, this, &frmKontoauszug::cmdUebernehmen_Click);
    connect(cmdAbbrechen, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdUebernehmen);
    buttons->addWidget(cmdAbbrechen);
    auto* v = new QVBoxLayout(this);
    v->addWidget(lblSumme);
    v->addWidget(grdZahlungen, 1);
    v->addLayout(buttons);
    resize(1000, 460);
}

QList<Proposal> frmKontoauszug::confirmed() const {
    QList<Proposal> out;
    for (int r = 0; r < proposals_.size(); ++r)
        if (grdZahlungen->item(r, 0)->checkState() == Qt::Checked) out << proposals_[r];
    return out;
}

void frmKontoauszug::cmdUebernehmen_Click() {
    CALLSTACK();
    const QList<Proposal> chosen = confirmed();
    if (chosen.isEmpty()) {
        platform().msgBox(QStringLiteral("Es ist keine Zahlung angehakt."), Platform::Buttons::Ok, Platform::Icon::Information,
                          QString());
        return;
    }
    const Result<int> set = applyProposals(chosen);
    if (!set.ok()) {
        showError(set.error());
        return;
    }
    applied_ = set.value();
    platform().msgBox(set.value() == 1 ? QStringLiteral("1 Verkauf ist jetzt als bezahlt markiert.")
                                       : QStringLiteral("%1 Verkäufe sind jetzt als bezahlt markiert.").arg(set.value()),
                      Platform::Buttons::Ok, Platform::Icon::Information, QString());
    accept();
}

}  // namespace gd
