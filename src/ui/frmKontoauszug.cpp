#include "ui/frmKontoauszug.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/CallStack.h"
#include "base/Clock.h"
#include "base/Money.h"
#include "base/Words.h"
#include "domain/settings/modGlobal.h"
#include "render/InvoicePdf.h"
#include "ui/Platform.h"
#include "ui/frmHilfe.h"

namespace gd {

frmKontoauszug::frmKontoauszug(const QString& file, const QList<Proposal>& proposals, const BankStatement& statement,
                               QWidget* parent)
    : QDialog(parent), proposals_(proposals) {
    setObjectName(QStringLiteral("frmKontoauszug"));
    setWindowTitle(QStringLiteral("Kontoauszug einlesen – %1").arg(QFileInfo(file).fileName()));
    setModal(true);
    int counts[4] = {};
    for (const Proposal& p : proposals_) ++counts[int(p.Einstufung)];
    lblSumme =
        new QLabel(QStringLiteral("%1: %2 sicher, %3 wahrscheinlich, %4 ohne passenden Verkauf, %5 bereits erfasst. "
                                  "Angehakte Zahlungen setzen „Bezahlt“ mit dem Buchungstag.")
                       .arg(counted(proposals_.size(), QStringLiteral("Gutschrift"), QStringLiteral("Gutschriften")))
                       .arg(counts[int(Grade::Sicher)])
                       .arg(counts[int(Grade::Wahrscheinlich)])
                       .arg(counts[int(Grade::Keine)])
                       .arg(counts[int(Grade::Erfasst)]),
                   this);
    lblSumme->setObjectName(QStringLiteral("lblSumme"));
    lblSumme->setWordWrap(true);
    // Nothing is passed over in silence: what could not be read is named with its reason.
    txtNichtGelesen = new QPlainTextEdit(this);
    txtNichtGelesen->setObjectName(QStringLiteral("txtNichtGelesen"));
    txtNichtGelesen->setReadOnly(true);
    txtNichtGelesen->setMaximumHeight(110);
    txtNichtGelesen->setPlainText(unreadLines(statement).join(QLatin1Char('\n')));
    txtNichtGelesen->setVisible(!statement.NichtGelesen.isEmpty());
    if (!statement.NichtGelesen.isEmpty() || statement.Lastschriften > 0 || statement.Vorgemerkt > 0)
        lblSumme->setText(lblSumme->text() + QLatin1Char(' ') + statementCounts(statement));
    returns_ = statement.Rueckbuchungen;
    if (!returns_.isEmpty())
        lblSumme->setText(lblSumme->text() +
                          (returns_.size() == 1
                               ? QStringLiteral(" 1 Rücklastschrift: der Verkauf, den sie bezahlt hatte, wird mit "
                                                "„Bezahlt setzen“ wieder offen.")
                               : QStringLiteral(" %1 Rücklastschriften: die Verkäufe, die sie bezahlt hatten, werden "
                                                "mit „Bezahlt setzen“ wieder offen.")
                                     .arg(returns_.size())));
    // A refund found fails no import: without the list it is booked by hand, as before.
    const Result<QList<RefundProposal>> refunds = refundsFor(currentStore(), statement.Ausgaenge);
    for (const RefundProposal& r : refunds.valueOr({}))
        if (r.Zurueck > 0) refunds_ << r;
    if (!refunds_.isEmpty())
        lblSumme->setText(lblSumme->text() + QLatin1Char(' ') +
                          (refunds_.size() == 1
                               ? QStringLiteral("1 Überweisung erstattet eine offene Rückgabe (%1); sie wird mit "
                                                "„Bezahlt setzen“ gebucht.")
                                     .arg(refunds_.front().AuktionsNr)
                               : QStringLiteral("%1 Überweisungen erstatten offene Rückgaben; sie werden mit „Bezahlt "
                                                "setzen“ gebucht.")
                                     .arg(refunds_.size())));
    grdZahlungen = new QTableWidget(int(proposals_.size()), 10, this);
    grdZahlungen->setObjectName(QStringLiteral("grdZahlungen"));
    grdZahlungen->setHorizontalHeaderLabels(
        {QString(), QStringLiteral("Buchungstag"), QStringLiteral("Betrag"), QStringLiteral("Auftraggeber"),
         QStringLiteral("Verwendungszweck"), QStringLiteral("Auktion"), QStringLiteral("Erwartet"),
         QStringLiteral("Differenz"), QStringLiteral("Zuordnung"), QStringLiteral("Grund")});
    grdZahlungen->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdZahlungen->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdZahlungen->verticalHeader()->hide();
    for (int r = 0; r < proposals_.size(); ++r) {
        const Proposal& p = proposals_[r];
        const bool choosable = p.Einstufung == Grade::Sicher || p.Einstufung == Grade::Wahrscheinlich;
        auto* tick = new QTableWidgetItem;
        // Sure ones are ticked; a probable one waits for the user; the rest cannot be ticked.
        tick->setFlags(choosable ? Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable
                                 : Qt::ItemIsSelectable);
        // A short credit is never ticked ahead: it may be a part payment.
        tick->setCheckState(p.Einstufung == Grade::Sicher && p.fehlt() <= 0 ? Qt::Checked : Qt::Unchecked);
        grdZahlungen->setItem(r, 0, tick);
        const QString sales = p.AuktionsNrn.isEmpty() ? QString()
                                                      : p.AuktionsNrn.join(QStringLiteral(", ")) +
                                                            QStringLiteral(" (") + p.Kaeufer + QLatin1Char(')');
        const bool matched = !p.AuktionsIDs.isEmpty() && p.Einstufung != Grade::Erfasst;
        const QString texts[9] = {p.Gutschrift.Buchungstag.toString(QStringLiteral("dd.MM.yyyy")),
                                  euroText(p.Gutschrift.Cent),
                                  p.Gutschrift.Name,
                                  p.Gutschrift.Zweck,
                                  sales,
                                  matched ? euroText(p.Erwartet) : QString(),
                                  matched && p.fehlt() != 0 ? euroText(-p.fehlt()) : QString(),
                                  gradeText(p.Einstufung),
                                  p.Grund};
        for (int c = 0; c < 9; ++c) {
            auto* item = new QTableWidgetItem(texts[c]);
            if (c == 1 || c == 5 || c == 6) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (c == 6 && p.fehlt() > 0) item->setForeground(Qt::red);
            if (c == 3 || c == 4) item->setToolTip(texts[c]);
            grdZahlungen->setItem(r, c + 1, item);
        }
    }
    grdZahlungen->resizeColumnsToContents();
    // What decides comes first and is in view on a small screen: amount, sale, expected,
    // difference, grade and reason; day, payer and reference follow and may scroll. The
    // columns keep their numbers; only the view's order changes.
    QHeaderView* header = grdZahlungen->horizontalHeader();
    const int order[] = {0, 2, 5, 6, 7, 8, 9, 1, 3, 4};
    for (int visual = 0; visual < 10; ++visual) header->moveSection(header->visualIndex(order[visual]), visual);
    const std::pair<int, int> widest[] = {{5, 200}, {9, 340}, {3, 180}, {4, 260}};
    for (const auto& [column, most] : widest)
        grdZahlungen->setColumnWidth(column, std::min(grdZahlungen->columnWidth(column), most));
    header->setStretchLastSection(true);
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
    addHelp(this, QStringLiteral("kontoauszug"), buttons);
    auto* v = new QVBoxLayout(this);
    v->addWidget(lblSumme);
    v->addWidget(grdZahlungen, 1);
    auto* lblNichtGelesen = new QLabel(QStringLiteral("Nicht gelesen (bitte im Online-Banking prüfen):"), this);
    lblNichtGelesen->setVisible(!statement.NichtGelesen.isEmpty());
    v->addWidget(lblNichtGelesen);
    v->addWidget(txtNichtGelesen);
    v->addLayout(buttons);
    // Within a screen of 1024 pixels, frame included.
    const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect(0, 0, 1024, 768);
    resize(std::min(1000, screen.width() - 24), std::min(460, screen.height() - 60));
}

QList<Proposal> frmKontoauszug::confirmed() const {
    QList<Proposal> out;
    for (int r = 0; r < proposals_.size(); ++r)
        if (grdZahlungen->item(r, 0)->checkState() == Qt::Checked) out << proposals_[r];
    return out;
}

void frmKontoauszug::cmdUebernehmen_Click() {
    CALLSTACK();
    QList<Proposal> chosen = confirmed();
    if (chosen.isEmpty() && returns_.isEmpty() && refunds_.isEmpty()) {
        platform().msgBox(QStringLiteral("Es ist keine Zahlung angehakt."), Platform::Buttons::Ok,
                          Platform::Icon::Information, QString());
        return;
    }
    // Less than asked: a part payment unless the user says the sale is settled.
    for (Proposal& p : chosen) {
        if (p.fehlt() <= 0) continue;
        const auto a = platform().msgBox(
            QStringLiteral("Die Gutschrift von %1 über %2 ist %3 weniger als erwartet (%4 für %5).")
                    .arg(p.Gutschrift.Name, euroText(p.Gutschrift.Cent), euroText(p.fehlt()), euroText(p.Erwartet),
                         p.AuktionsNrn.join(QStringLiteral(", "))) +
                QLatin1Char('\r') +
                QStringLiteral(
                    "Ja: als Teilzahlung erfassen (der Verkauf bleibt unbezahlt, der Rest offen). Nein: trotzdem "
                    "als bezahlt markieren. Abbrechen: nichts erfassen."),
            Platform::Buttons::YesNoCancel, Platform::Icon::Question, QString());
        if (a == Platform::Answer::Cancel) return;
        p.Teilzahlung = a == Platform::Answer::Yes;
    }
    int parts = 0;
    QStringList notes;
    const Result<int> set = applyProposals(currentStore(), chosen, &parts, &notes);
    if (!set.ok()) {
        showError(set.error());
        return;
    }
    // Returned payments: each reopens its sale, named to the user.
    if (!returns_.isEmpty()) {
        const Result<QList<ReturnProposal>> found = returnsFor(currentStore(), returns_);
        const Result<int> back = found.ok() ? applyReturns(currentStore(), found.value(), &notes) : found.error();
        if (!back.ok()) {
            showError(back.error());
            return;
        }
        returns_.clear();
    }
    // Refunds last: each cancels its invoice and is booked on its own.
    if (!refunds_.isEmpty()) {
        const Result<int> refunded =
            applyRefunds(currentStore(), refunds_, now(), gSettings.Nummernkreis, invoicePdf, &notes);
        if (!refunded.ok()) {
            showError(refunded.error());
            return;
        }
        refunds_.clear();
    }
    applied_ = set.value() + parts;
    QString done = set.value() == 1 ? QStringLiteral("1 Verkauf ist jetzt als bezahlt markiert.")
                                    : QStringLiteral("%1 Verkäufe sind jetzt als bezahlt markiert.").arg(set.value());
    if (parts > 0)
        done += QLatin1Char('\r') +
                QStringLiteral("%1 erfasst.")
                    .arg(counted(parts, QStringLiteral("Teilzahlung"), QStringLiteral("Teilzahlungen")));
    for (const QString& note : notes)
        if (!note.contains(QStringLiteral("Teilzahlung"))) done += QLatin1Char('\r') + note;
    platform().msgBox(done, Platform::Buttons::Ok, Platform::Icon::Information, QString());
    accept();
}

}  // namespace gd
