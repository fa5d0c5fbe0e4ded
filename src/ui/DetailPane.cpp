#include "ui/DetailPane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "base/CallStack.h"
#include "base/Clock.h"
#include "base/Money.h"
#include "base/Words.h"
#include "domain/bank/Matching.h"
#include "domain/books/Returns.h"
#include "domain/db/Journal.h"
#include "domain/mail/MailComposer.h"
#include "domain/trade/LoadSave.h"
#include "domain/trade/Parcel.h"
#include "domain/trade/SentMails.h"
#include "domain/trade/StatusGruppen.h"
#include "domain/trade/TaxData.h"
#include "domain/trade/Trade.h"
#include "ui/DatePicker.h"
#include "ui/Platform.h"
#include "ui/frmMail.h"
#include "ui/frmVersand.h"
#include "ui/modLinks.h"

// In error protocols the pane is part of the main window's form.
#define CALLSTACK_PANE() CALLSTACK_MODULE("frmMain")

namespace gd {
namespace {

const char* const kStatusCaptions[kMilestones] = {
    "Geantwortet:", "Bestätigt:", "Bezahlt:", "Versendet:", "Bewertet:", "Bew. erhalten:", "Abgeschlossen:"};

QDate parseShownDate(const QString& text) {
    const auto d = tryCDate(text);
    return d ? d->date() : today();
}

// The shipping text once: an import has put cost and insurance into it already.
QString shippingText(const tAuktion& a) {
    QString versand = a.Versandinfos;
    const QString kosten = a.Versandkosten.trimmed();
    if (!kosten.isEmpty() && !versand.contains(kosten)) versand += kosten;
    if (!a.Versandversicherung.isEmpty() && !versand.contains(a.Versandversicherung))
        versand += QStringLiteral(" Versandversicherung: ") + a.Versandversicherung;
    return versand;
}

}  // namespace

DetailPane::DetailPane(QWidget* parent) : QWidget(parent) {
    // The fields scroll in a low window; milestones and buttons stay in view below them.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("paneScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // no field cut off on the right
    auto* pane = new QWidget(scroll);
    auto* fixed = new QWidget(this);
    buildPane(pane, fixed);
    scroll->setWidget(pane);
    scroll->setMinimumWidth(pane->minimumSizeHint().width());
    layout->addWidget(scroll, 1);
    layout->addWidget(fixed);
}

void DetailPane::buildPane(QWidget* pane, QWidget* fixed) {
    auto* v = new QVBoxLayout(pane);
    v->setContentsMargins(0, 0, 0, 0);
    const auto edit = [pane](const char* name) {
        auto* e = new QLineEdit(pane);
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };
    fraKunde = new QGroupBox(QStringLiteral("Käufer- / Verkäuferdaten"), pane);
    fraKunde->setObjectName(QStringLiteral("fraKunde"));
    auto* k = new QFormLayout(fraKunde);
    k->addRow(QStringLiteral("ebay-Name:"), txtebayName = edit("txtebayName"));
    k->addRow(QStringLiteral("Email Adresse:"), txtEmailAdresse = edit("txtEmailAdresse"));
    k->addRow(QStringLiteral("Name:"), txtName = edit("txtName"));
    k->addRow(QStringLiteral("Straße:"), txtStrasse = edit("txtStrasse"));
    k->addRow(QStringLiteral("Ort:"), txtOrt = edit("txtOrt"));
    k->addRow(QStringLiteral("Land:"), txtLand = edit("txtLand"));
    // A company name makes the buyer a business: its invoices carry the e-invoice.
    k->addRow(QStringLiteral("Firma:"), txtFirma = edit("txtFirma"));
    k->addRow(QStringLiteral("USt-IdNr.:"), txtUstIdNr = edit("txtUstIdNr"));
    txtFirma->setPlaceholderText(QStringLiteral("nur bei Geschäftskunden"));
    v->addWidget(fraKunde);

    fraAuktion = new QGroupBox(QStringLiteral("Auktion"), pane);
    fraAuktion->setObjectName(QStringLiteral("fraAuktion"));
    auto* a = new QFormLayout(fraAuktion);
    cboAuktion = new QComboBox(fraAuktion);
    cboAuktion->setAccessibleName(QStringLiteral("Auktion"));
    cboAuktion->setObjectName(QStringLiteral("cboAuktion"));
    a->addRow(cboAuktion);
    dtpEndeDatum = new DatePicker(fraAuktion);
    dtpEndeDatum->setObjectName(QStringLiteral("dtpEndeDatum"));
    a->addRow(QStringLiteral("Auktionsende:"), dtpEndeDatum);
    a->addRow(QStringLiteral("Preis:"), txtPreis = edit("txtPreis"));
    a->addRow(QStringLiteral("Menge:"), txtMenge = edit("txtMenge"));
    a->addRow(QStringLiteral("Versandkosten:"), txtVersand = edit("txtVersand"));
    a->addRow(QStringLiteral("Betrag:"), txtBetrag = edit("txtBetrag"));
    cboSteuersatz = new QComboBox(fraAuktion);
    cboSteuersatz->setObjectName(QStringLiteral("cboSteuersatz"));
    cboSteuersatz->addItem(QStringLiteral("wie in den Einstellungen"), 0);
    cboSteuersatz->addItem(QStringLiteral("19 %"), 19);
    cboSteuersatz->addItem(QStringLiteral("7 % (ermäßigt, etwa Bücher)"), 7);
    connect(cboSteuersatz, &QComboBox::activated, this, [this] { paneEdited_ = true; });
    a->addRow(QStringLiteral("USt-Satz:"), cboSteuersatz);
    a->addRow(QStringLiteral("Versandinfos:"), txtVersandinfos = edit("txtVersandinfos"));
    // Kept as the mail stated them; a save does not write them, so typing there would be lost.
    txtVersandinfos->setReadOnly(true);
    txtVersandinfos->setToolTip(
        QStringLiteral("Aus der Auktions-E-Mail übernommen; hier nicht änderbar. Eigene "
                       "Angaben gehören in \u201EHinweise\u201C."));
    a->addRow(QStringLiteral("Hinweise:"), txtHinweise = edit("txtHinweise"));
    a->addRow(QStringLiteral("Mitteilung:"), txtMitteilung = edit("txtMitteilung"));
    a->addRow(QStringLiteral("Bezahlung:"), txtBezahlung = edit("txtBezahlung"));
    for (QLineEdit* e : {txtHinweise, txtMitteilung, txtBezahlung})
        connect(e, &QLineEdit::textChanged, e, [e](const QString& t) { e->setToolTip(t); });
    for (QLineEdit* e :
         {txtebayName, txtEmailAdresse, txtName, txtStrasse, txtOrt, txtLand, txtFirma, txtUstIdNr, txtPreis, txtMenge,
          txtVersand, txtBetrag, txtVersandinfos, txtHinweise, txtMitteilung, txtBezahlung})
        connect(e, &QLineEdit::textEdited, this, [this] { paneEdited_ = true; });
    // The stored total is what was agreed: computed anew only when one of its parts changed (txtVersand_LostFocus).
    for (QLineEdit* e : {txtPreis, txtMenge, txtVersand}) {
        connect(e, &QLineEdit::textEdited, this, [this] { totalInputsEdited_ = true; });
        connect(e, &QLineEdit::editingFinished, this, [this] {
            if (totalInputsEdited_) berechneVersand();
        });
    }
    v->addWidget(fraAuktion);
    v->addStretch();

    // Milestones and buttons stay in view however low the window is, and so does what the
    // buyer still owes or has paid too much: it decides the next step.
    auto* f = new QVBoxLayout(fixed);
    f->setContentsMargins(0, 0, 0, 0);
    lblTeilzahlung = new QLabel(fixed);
    lblTeilzahlung->setObjectName(QStringLiteral("lblTeilzahlung"));
    lblTeilzahlung->setVisible(false);
    lblTeilzahlung->setWordWrap(true);
    cmdErstatten = new QPushButton(QStringLiteral("Erstattet…"), fixed);
    cmdErstatten->setObjectName(QStringLiteral("cmdErstatten"));
    cmdErstatten->setToolTip(QStringLiteral("Das Guthaben des Käufers als zurücküberwiesen buchen"));
    cmdErstatten->setVisible(false);
    cmdErstatten->setAutoDefault(false);
    connect(cmdErstatten, &QPushButton::clicked, this, &DetailPane::cmdErstatten_Click);
    auto* money = new QHBoxLayout;
    money->setContentsMargins(6, 0, 0, 0);
    money->addWidget(lblTeilzahlung, 1);
    money->addWidget(cmdErstatten);
    f->addLayout(money);
    auto* fraStatus = new QGroupBox(QStringLiteral("Status"), fixed);
    fraStatus->setObjectName(QStringLiteral("fraStatus"));
    auto* g = new QGridLayout(fraStatus);
    for (int i = 0; i < kMilestones; ++i) {
        auto* c = new QCheckBox(QString::fromUtf8(kStatusCaptions[i]), fraStatus);
        c->setObjectName(QStringLiteral("chkStatus_%1").arg(i));
        auto* d = new DatePicker(fraStatus);
        d->setObjectName(QStringLiteral("dtpStatus_%1").arg(i));
        // Its neighbour names it to a screen reader; a check box is no label.
        d->setAccessibleName(QStringLiteral("Datum: ") +
                             QString::fromUtf8(kStatusCaptions[i]).remove(QLatin1Char(':')));
        d->clearDate();
        d->setEnabled(false);
        connect(c, &QCheckBox::clicked, this, [this, i] { chkStatus_Click(i); });
        connect(d, &QDateEdit::dateChanged, this, [this, i] { dtpStatus_Change(i); });
        chkStatus[std::size_t(i)] = c;
        dtpStatus[std::size_t(i)] = d;
        g->addWidget(c, i % 4, (i / 4) * 2);
        g->addWidget(d, i % 4, (i / 4) * 2 + 1);
    }
    lblSendung = new QLabel(fraStatus);
    lblSendung->setObjectName(QStringLiteral("lblSendung"));
    lblSendung->setTextInteractionFlags(Qt::TextBrowserInteraction);
    lblSendung->setOpenExternalLinks(false);
    connect(lblSendung, &QLabel::linkActivated, this,
            [](const QString& url) { platform().shellExecute(QStringLiteral("Open"), url); });
    g->addWidget(lblSendung, 4, 0, 1, 3);
    // A mistyped number is corrected here: unticking "Versendet" would lose its day.
    cmdSendung = new QPushButton(QStringLiteral("Sendung…"), fraStatus);
    cmdSendung->setObjectName(QStringLiteral("cmdSendung"));
    cmdSendung->setVisible(false);
    cmdSendung->setToolTip(QStringLiteral("Versanddienst und Sendungsnummer eintragen oder ändern"));
    connect(cmdSendung, &QPushButton::clicked, this, &DetailPane::askForParcel);
    g->addWidget(cmdSendung, 4, 3);
    f->addWidget(fraStatus);

    const auto button = [fixed](const char* name, const char* caption) {
        auto* b = new QPushButton(QString::fromUtf8(caption), fixed);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    cmdSpeichern = button("cmdSpeichern", "Speichern");
    cmdSenden = button("cmdSenden", "Email Senden");
    cmdEinlesen = button("cmdEinlesen", "Email Einlesen");
    cmdAuktion = button("cmdAuktion", "zur Auktion");
    cmdAbbrechen = button("cmdAbbrechen", "Beenden");
    cmdGesendet = button("cmdGesendet", "Gesendete E-Mails…");
    cmdAbrufen = button("cmdAbrufen", "Posteingang abrufen");
    connect(cmdAbrufen, &QPushButton::clicked, this, &DetailPane::fetchRequested);
    connect(cmdGesendet, &QPushButton::clicked, this, &DetailPane::showSentMails);
    connect(cmdSenden, &QPushButton::clicked, this, &DetailPane::cmdSenden_Click);
    connect(cmdSpeichern, &QPushButton::clicked, this, &DetailPane::cmdSpeichern_Click);
    connect(cmdEinlesen, &QPushButton::clicked, this, &DetailPane::importRequested);
    connect(cmdAuktion, &QPushButton::clicked, this, &DetailPane::cmdAuktion_Click);
    connect(cmdAbbrechen, &QPushButton::clicked, this, &DetailPane::closeRequested);
    auto* buttons = new QGridLayout;
    const QList<QPushButton*> order{cmdEinlesen, cmdSenden,    cmdSpeichern, cmdAuktion,
                                    cmdGesendet, cmdAbbrechen, cmdAbrufen};
    for (qsizetype i = 0; i < order.size(); ++i) buttons->addWidget(order[i], int(i / 3), int(i % 3));  // three a row
    f->addLayout(buttons);
}

void DetailPane::subSetAuktion(const tAuktion& oAuktion) {
    CALLSTACK_PANE();
    filling_ = true;
    cboAuktion->addItem(oAuktion.AuktionsNr + QStringLiteral(": ") + oAuktion.Titel);
    cboAuktion->setCurrentIndex(cboAuktion->count() - 1);
    txtPreis->setText(oAuktion.Preis);
    txtMenge->setText(oAuktion.Menge);
    txtVersand->setText(oAuktion.Versandkosten);
    txtBetrag->setText(oAuktion.Betrag);
    for (int i = 0; i < kMilestones; ++i) {
        const QDateTime& d = oAuktion.Datum[std::size_t(i)];
        const bool reached = !isZeroDate(d);
        chkStatus[std::size_t(i)]->setChecked(reached);
        dtpStatus[std::size_t(i)]->setDate(reached ? d.date() : today());
        dtpStatus[std::size_t(i)]->setEnabled(reached);
    }
    showParcel();
    dtpEndeDatum->setDate(parseShownDate(oAuktion.EndeDatum));
    txtMitteilung->setText(oAuktion.Mitteilungen);
    txtHinweise->setText(oAuktion.Hinweise);
    txtVersandinfos->setText(shippingText(oAuktion));
    txtBezahlung->setText(oAuktion.Bezahlung);
    totalInputsEdited_ = false;  // the stored total stands as agreed
    for (QLineEdit* e :
         {txtPreis, txtMenge, txtVersand, txtBetrag, txtMitteilung, txtHinweise, txtVersandinfos, txtBezahlung})
        e->setCursorPosition(0);
    filling_ = false;
}

void DetailPane::subSetKunde(const tKunde& oKunde) {
    CALLSTACK_PANE();
    fraKunde->setTitle(QStringLiteral("Käuferdaten"));
    txtName->setText(oKunde.Name);
    txtebayName->setText(oKunde.ebayName);
    txtEmailAdresse->setText(oKunde.Email);
    txtStrasse->setText(oKunde.Strasse);
    txtOrt->setText(oKunde.Ort);
    txtLand->setText(oKunde.Land);
}

void DetailPane::subSetLieferant(const tKunde& oLiefer) {
    CALLSTACK_PANE();
    subSetKunde(oLiefer);
    fraKunde->setTitle(QStringLiteral("Verkäuferdaten"));
}

void DetailPane::subClearFelder() {
    CALLSTACK_PANE();
    for (QLineEdit* e :
         {txtebayName, txtEmailAdresse, txtName, txtStrasse, txtOrt, txtLand, txtFirma, txtUstIdNr, txtPreis, txtMenge,
          txtVersand, txtBetrag, txtVersandinfos, txtHinweise, txtMitteilung, txtBezahlung})
        e->clear();
    cboSteuersatz->setCurrentIndex(0);
    cboAuktion->clear();
    lblSendung->clear();
    cmdSendung->setVisible(false);
    lblTeilzahlung->clear();
    lblTeilzahlung->setVisible(false);
    cmdAuktion->setToolTip(QString());
    fraKunde->setTitle(QStringLiteral("Käufer- / Verkäuferdaten"));
    // No date of an auction no longer shown.
    const bool loading = filling_;
    filling_ = true;
    dtpEndeDatum->clearDate();
    for (DatePicker* d : dtpStatus) d->clearDate();
    filling_ = loading;
}

void DetailPane::chkStatus_Click(int Index) {
    CALLSTACK_PANE();
    if (filling_) return;
    QCheckBox* c = chkStatus[std::size_t(Index)];
    if (!listHasRows_ || mAuktion.AuktionsID.isEmpty()) {
        c->setChecked(false);  // nothing to store it for
        return;
    }
    DatePicker* d = dtpStatus[std::size_t(Index)];
    if (c->isChecked() && d->isBlank()) d->setDate(today());
    mAuktion.Datum[std::size_t(Index)] = c->isChecked() ? QDateTime(d->date(), QTime(0, 0)) : zeroDate();
    d->setEnabled(c->isChecked());
    const Status saved = SaveStatus(currentStore(), mAuktion, Index);
    if (!saved.ok()) return reportSaveFailure(saved.error());
    if (saved.ok() && Index == 3 && c->isChecked())
        askForParcel();
    else if (Index == 3)
        showParcel();
    emit milestoneSaved();
}

void DetailPane::askForParcel() {
    CALLSTACK_PANE();
    const Result<Parcel> recorded = loadParcel(currentStore(), mAuktion.AuktionsID);
    frmVersand dlg(recorded.valueOr({}), mAuktion.AuktionsID, this);
    if (dlg.exec() != QDialog::Accepted) return;
    const Status saved = saveParcel(currentStore(), mAuktion.AuktionsID, dlg.parcel());
    if (!saved.ok()) showError(saved.error());
    showParcel();
}

void DetailPane::showSentMails() {
    CALLSTACK_PANE();
    const Result<QList<SentMail>> sent = sentMailsOf(currentStore(), mAuktion.AuktionsID);
    if (!sent.ok()) {
        showError(sent.error());
        return;
    }
    QDialog dlg(this);
    dlg.setObjectName(QStringLiteral("frmGesendet"));
    dlg.setWindowTitle(QStringLiteral("Gesendete E-Mails"));
    auto* table = new QTableWidget(int(sent.value().size()), 4, &dlg);
    table->setObjectName(QStringLiteral("grdGesendet"));
    table->setHorizontalHeaderLabels(
        {QStringLiteral("Zeit"), QStringLiteral("Weg"), QStringLiteral("An"), QStringLiteral("Betreff")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();
    for (int r = 0; r < table->rowCount(); ++r) {
        const SentMail& m = sent.value()[r];
        const QStringList cells{dateToText(m.Zeit), m.Weg, m.An, m.Betreff};
        for (int c = 0; c < 4; ++c) table->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    auto* text = new QPlainTextEdit(&dlg);
    text->setObjectName(QStringLiteral("txtGesendet"));
    text->setReadOnly(true);
    text->setPlaceholderText(sent.value().isEmpty() ? QStringLiteral("Für diese Auktion wurde noch keine E-Mail "
                                                                     "aus Gaveldesk gesendet.")
                                                    : QStringLiteral("Doppelklick auf eine Zeile zeigt die E-Mail."));
    connect(table, &QTableWidget::cellDoubleClicked, &dlg, [&sent, text](int row, int) {
        const SentMail& m = sent.value()[row];
        text->setPlainText(QStringLiteral("An: %1\nBetreff: %2\nGesendet: %3 (%4)%5\n\n%6")
                               .arg(m.An, m.Betreff, dateToText(m.Zeit), m.Weg,
                                    m.MessageID.isEmpty() ? QString() : QStringLiteral("\nMessage-ID: ") + m.MessageID,
                                    QString(m.Text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))) +
                           (m.Antwort.isEmpty() ? QString() : QStringLiteral("\n\nAntwort des Servers: ") + m.Antwort));
    });
    auto* close = new QPushButton(QStringLiteral("Schließen"), &dlg);
    connect(close, &QPushButton::clicked, &dlg, &QDialog::accept);
    auto* v = new QVBoxLayout(&dlg);
    v->addWidget(table, 1);
    v->addWidget(text, 2);
    v->addWidget(close, 0, Qt::AlignRight);
    dlg.resize(760, 520);
    dlg.exec();
}

void DetailPane::showParcel() {
    // What the buyer still owes or has paid too much, from the sale's (or its group's) journal.
    const Result<TradeAccount> account = mAuktion.AuktionsID.isEmpty()
                                             ? Result<TradeAccount>(TradeAccount{})
                                             : loadAccount(currentStore(), mAuktion.AuktionsID);
    QString money;
    if (account.ok()) {
        const qint64 received = receivedOf(account.value().Buchungen);
        const qint64 saldo = account.value().Saldo;
        if (saldo < 0)
            money = balanceShort(saldo) + QStringLiteral(" (zu viel gezahlt, bitte erstatten)");
        else if (saldo > 0 && received > 0)
            money = QStringLiteral("Teilzahlung erhalten: %1 · %2").arg(euroText(received), balanceShort(saldo));
        const Result<QString> back = returnNote(currentStore(), mAuktion.AuktionsID);
        if (back.ok() && !back.value().isEmpty()) money = back.value();
    }
    lblTeilzahlung->setText(money);
    lblTeilzahlung->setVisible(!money.isEmpty());
    cmdErstatten->setVisible(account.ok() && account.value().Saldo < 0);
    cmdSendung->setVisible(!mAuktion.AuktionsID.isEmpty() && !isZeroDate(mAuktion.Datum[3]));
    const Result<Parcel> p =
        mAuktion.AuktionsID.isEmpty() ? Result<Parcel>(Parcel{}) : loadParcel(currentStore(), mAuktion.AuktionsID);
    if (!p.ok() || p.value().Sendungsnummer.isEmpty()) {
        lblSendung->clear();
        return;
    }
    const QString link = trackingLink(p.value());
    const QString number = p.value().Sendungsnummer.toHtmlEscaped();
    lblSendung->setText(
        QStringLiteral("Sendung: ") + p.value().Versanddienst.toHtmlEscaped() + QLatin1Char(' ') +
        (link.isEmpty() ? number : QStringLiteral("<a href=\"%1\">%2</a>").arg(link.toHtmlEscaped(), number)));
}

void DetailPane::cmdErstatten_Click() {
    CALLSTACK_PANE();
    const Result<TradeAccount> account = loadAccount(currentStore(), mAuktion.AuktionsID);
    if (!account.ok()) return showError(account.error());
    if (account.value().Saldo >= 0) return showParcel();
    const QString question =
        QStringLiteral("Haben Sie %1 an %2 zurücküberwiesen? Gaveldesk bucht die Erstattung mit dem heutigen Tag.")
            .arg(euroText(-account.value().Saldo), mAuktion.ebayName);
    if (platform().msgBox(question, Platform::Buttons::YesNo, Platform::Icon::Question, QString()) !=
        Platform::Answer::Yes)
        return;
    const Status done = refundCredit(currentStore(), mAuktion.AuktionsID, today());
    if (!done.ok()) return showError(done.error());
    showParcel();
    emit milestoneSaved();
}

void DetailPane::dtpStatus_Change(int Index) {
    if (filling_ || mAuktion.AuktionsID.isEmpty() || !chkStatus[std::size_t(Index)]->isChecked()) return;
    CALLSTACK_PANE();
    mAuktion.Datum[std::size_t(Index)] = QDateTime(dtpStatus[std::size_t(Index)]->date(), QTime(0, 0));
    const Status saved = SaveStatus(currentStore(), mAuktion, Index);
    if (!saved.ok()) return reportSaveFailure(saved.error());
}

void DetailPane::cmdSenden_Click() {
    CALLSTACK_PANE();
    if (!listHasRows_) {
        platform().msgBox(QStringLiteral("Es sind keine Emails in der Liste vorhanden!"), Platform::Buttons::Ok,
                          Platform::Icon::Critical, QString());
        return;
    }
    if (mAuktion.AuktionsNr.isEmpty()) return;
    const Result<MailInputs> in =
        mailInputsFor(currentStore(), mailProfile(currentSettings()), mAuktion, mKunde, txtPreis->text(),
                      txtVersand->text(), txtBetrag->text(), dtpStatus[2]->date(), txtMenge->text());
    if (!in.ok()) return showError(in.error());
    frmMail dlg(in.value(), this);
    dlg.onStatusRecorded = [this] { emit milestoneSaved(); };
    dlg.exec();
}

void DetailPane::cmdAuktion_Click() {
    CALLSTACK_PANE();
    if (mAuktion.AuktionsNr.isEmpty()) {
        platform().msgBox(QStringLiteral("Es wurde kein Artikel ausgewählt!"), Platform::Buttons::Ok,
                          Platform::Icon::Critical, QString());
        return;
    }
    const qint64 d = daysSinceEnd(mAuktion.EndeDatum, today());
    if (d > kItemPageDays) {
        platform().msgBox(
            QStringLiteral("Diese Auktion ist älter als 90 Tage. Bei ebay sind ausgelaufene Auktionen nur "
                           "90 Tage verfügbar. Diese Auktion kann nicht angezeigt werden."),
            Platform::Buttons::Ok, Platform::Icon::Critical,
            QStringLiteral("Diese Auktion ist seit %1 ausgelaufen!")
                .arg(counted(d, QStringLiteral("Tag"), QStringLiteral("Tagen"))));
        return;
    }
    OpenLink(itemLink(gsItemLink, mAuktion.AuktionsNr), true);
}

tAuktion DetailPane::subGetAuktion() const {
    CALLSTACK_PANE();
    tAuktion oAuktion = mAuktion;
    oAuktion.Preis = txtPreis->text();
    oAuktion.Menge = txtMenge->text();
    oAuktion.Versandkosten = txtVersand->text();
    oAuktion.Betrag = txtBetrag->text();
    // The time of the end stays: only the day is shown in the picker.
    const auto stored = tryCDate(oAuktion.EndeDatum);
    oAuktion.EndeDatum = dateToText(QDateTime(dtpEndeDatum->date(), stored ? stored->time() : QTime(0, 0)));
    oAuktion.Mitteilungen = txtMitteilung->text();
    oAuktion.Hinweise = txtHinweise->text();
    oAuktion.Versandinfos = txtVersandinfos->text();
    oAuktion.Bezahlung = txtBezahlung->text();
    return oAuktion;
}

tKunde DetailPane::subGetLieferantKunde() const {
    CALLSTACK_PANE();
    tKunde oLiefer = mKunde;
    oLiefer.Name = txtName->text();
    oLiefer.ebayName = txtebayName->text();
    oLiefer.Email = txtEmailAdresse->text();
    oLiefer.Strasse = txtStrasse->text();
    oLiefer.Ort = txtOrt->text();
    oLiefer.Land = txtLand->text();
    oLiefer.Kunde = fraKunde->title() != QStringLiteral("Verkäuferdaten");
    oLiefer.Lieferant = !oLiefer.Kunde;
    return oLiefer;
}

void DetailPane::cmdSpeichern_Click() {
    CALLSTACK_PANE();
    if (mAuktion.AuktionsNr.isEmpty()) return;
    // The click is the decision: no question after it.
    if (savePane()) emit saved();
}

bool DetailPane::savePane() {
    mAuktion = subGetAuktion();
    // A contact as it was shown is not written: another seat's change of it stays.
    Result<QString> saved = mKunde.KundenNr;
    if (const tKunde typed = subGetLieferantKunde(); !sameContact(typed, mKunde) || mKunde.KundenNr.isEmpty()) {
        saved = funSaveLieferantupdate(currentStore(), typed, mAuktion.AuktionsNr);
        if (saved.ok()) {
            mKunde = typed;
            mKunde.KundenNr = saved.value();
        }
    }
    if (saved.ok()) saved = funSaveAuktion(currentStore(), mAuktion, mAuktion.KundenNr);
    if (!saved.ok()) {
        reportSaveFailure(saved.error());
        return false;
    }
    const Status business = saveBusiness(currentStore(), mKunde.ebayName, {txtFirma->text(), txtUstIdNr->text()});
    const Status rate = business.ok()
                            ? saveItemRate(currentStore(), mAuktion.AuktionsNr, cboSteuersatz->currentData().toInt())
                            : business;
    if (!rate.ok()) {
        showError(rate.error());
        return false;
    }
    paneEdited_ = false;
    return true;
}

void DetailPane::berechneVersand() {
    CALLSTACK_PANE();
    totalInputsEdited_ = false;
    // From what the user typed, with the mail's insurance; a quantity that is no number keeps the total.
    if (const auto total =
            funBetrag(txtPreis->text(), txtMenge->text(), txtVersand->text(), mAuktion.Versandversicherung)) {
        txtBetrag->setText(*total);
        paneEdited_ = true;
    }
}

void DetailPane::reportSaveFailure(const Error& e) {
    if (e.number != kChangedElsewhere) return showError(e);
    // Another seat's change is kept; what this user typed stays in the pane unless they reload.
    const QString text = e.message() + QStringLiteral(
                                           "\n\nSoll die Auktion jetzt neu geladen werden? Ihre Eingaben "
                                           "gehen dabei verloren; mit „Nein“ bleiben sie stehen.");
    if (platform().msgBox(text, Platform::Buttons::YesNo, Platform::Icon::Exclamation, QString()) ==
        Platform::Answer::Yes) {
        paneEdited_ = false;
        subListeClick(mAuktion.AuktionsID);
    }
}

void DetailPane::subListeClick(const QString& sTag) {
    CALLSTACK_PANE();
    if (sTag.isEmpty()) return;
    // A row that cannot be shown empties the pane: a tick or "Speichern" must not reach another trade.
    const auto cannotShow = [this] {
        subClearFelder();
        clearTypes();
    };
    const Result<std::optional<tAuktion>> auction = funLoadAuktion(currentStore(), sTag);
    if (!auction.ok()) showError(auction.error());
    if (!auction.ok() || !auction.value()) return cannotShow();
    const tAuktion& a = *auction.value();
    const Result<std::optional<tKunde>> partner = funLoadKunde(currentStore(), a.ebayName);
    if (!partner.ok()) showError(partner.error());
    if (!partner.ok() || !partner.value()) return cannotShow();
    const tKunde& k = *partner.value();
    const Result<Business> business = loadBusiness(currentStore(), a.ebayName);
    const Result<int> rate = loadItemRate(currentStore(), a.AuktionsNr);
    if (!business.ok() || !rate.ok()) showError(business.ok() ? rate.error() : business.error());
    if (!business.ok() || !rate.ok()) return cannotShow();
    txtFirma->setText(business.value().Firma);
    txtUstIdNr->setText(business.value().UstId);
    cboSteuersatz->setCurrentIndex(std::max(0, cboSteuersatz->findData(rate.value())));
    mAuktion = a;
    mKunde = k;
    paneEdited_ = false;
    cboAuktion->clear();
    subSetAuktion(mAuktion);
    if (mKunde.Kunde)
        subSetKunde(mKunde);
    else
        subSetLieferant(mKunde);
    emit tradeShown(mAuktion.AuktionsID);
}

void DetailPane::clearTypes() {
    CALLSTACK_PANE();
    mAuktion = tAuktion();
    mKunde = tKunde();
    filling_ = true;
    for (int i = 0; i < kMilestones; ++i) {
        chkStatus[std::size_t(i)]->setChecked(false);
        dtpStatus[std::size_t(i)]->setEnabled(false);
    }
    filling_ = false;
    emit tradeShown(QString());
}

void DetailPane::enableFor(bool listHasRows) {
    listHasRows_ = listHasRows;
    const bool selected = listHasRows && !mAuktion.AuktionsID.isEmpty();
    cmdSenden->setEnabled(selected);
    cmdSpeichern->setEnabled(selected);
    cmdAuktion->setEnabled(selected);
    cmdGesendet->setEnabled(selected);
}

bool DetailPane::saveBeforeClose() {
    return saveBeforeLeaving(QStringLiteral("Sollen die Daten jetzt gespeichert werden?"));
}

bool DetailPane::saveBeforeLeaving(const QString& question) {
    // Typed but not saved: ask before it is lost.
    if (!paneEdited_ || mAuktion.AuktionsNr.isEmpty()) return true;
    const auto a = platform().msgBox(question, Platform::Buttons::YesNoCancel, Platform::Icon::Question, QString());
    // A save that failed keeps the window open with what was typed.
    if (a == Platform::Answer::Cancel || (a == Platform::Answer::Yes && !savePane())) return false;
    paneEdited_ = false;
    return true;
}

}  // namespace gd
