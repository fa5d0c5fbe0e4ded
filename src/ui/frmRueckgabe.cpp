#include "ui/frmRueckgabe.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "base/CallStack.h"
#include "base/Clock.h"
#include "base/Money.h"
#include "domain/mail/MailComposer.h"
#include "domain/settings/modGlobal.h"
#include "render/InvoicePdf.h"
#include "ui/Platform.h"
#include "ui/frmHilfe.h"
#include "ui/frmMail.h"

namespace gd {
namespace {

QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

}  // namespace

frmRueckgabe::frmRueckgabe(const tAuktion& a, const tKunde& k, QWidget* parent)
    : QDialog(parent), auktion_(a), kunde_(k) {
    setObjectName(QStringLiteral("frmRueckgabe"));
    setWindowTitle(QStringLiteral("Widerruf / Rückgabe"));
    auto* v = new QVBoxLayout(this);
    auto* what = new QLabel(QStringLiteral("<b>%1</b> · %2 · %3")
                                .arg(a.AuktionsNr.toHtmlEscaped(), a.Titel.toHtmlEscaped(),
                                     (k.Name.isEmpty() ? a.ebayName : k.Name).toHtmlEscaped()),
                            this);
    what->setWordWrap(true);
    v->addWidget(what);
    pages_ = new QStackedWidget(this);
    v->addWidget(pages_);

    // The notice.
    auto* notice = new QWidget(pages_);
    auto* form = new QFormLayout(notice);
    cboArt = new QComboBox(notice);
    cboArt->setObjectName(QStringLiteral("cboArt"));
    for (const ReturnKind kind : kReturnKinds) cboArt->addItem(returnKindText(kind), int(kind));
    dtpEingang = new QDateTimeEdit(now(), notice);
    dtpEingang->setObjectName(QStringLiteral("dtpEingang"));
    dtpEingang->setDisplayFormat(QStringLiteral("dd.MM.yyyy HH:mm"));
    dtpEingang->setCalendarPopup(true);
    dtpEingang->setMaximumDateTime(now());
    txtGrund = new QLineEdit(notice);
    txtGrund->setObjectName(QStringLiteral("txtGrund"));
    txtGrund->setMaxLength(200);
    form->addRow(QStringLiteral("&Art:"), cboArt);
    form->addRow(QStringLiteral("&Eingang der Erklärung:"), dtpEingang);
    form->addRow(QStringLiteral("&Grund:"), txtGrund);
    auto* save = button(notice, "cmdSpeichern", QStringLiteral("Erfassen"));
    save->setDefault(true);
    form->addRow(QString(), save);
    connect(save, &QPushButton::clicked, this, &frmRueckgabe::record);
    pages_->addWidget(notice);

    // The open return.
    auto* state = new QWidget(pages_);
    auto* column = new QVBoxLayout(state);
    lblStand = new QLabel(state);
    lblStand->setObjectName(QStringLiteral("lblStand"));
    lblStand->setWordWrap(true);
    // Four lines at most: room for them, whatever the page was sized for.
    lblStand->setMinimumHeight(lblStand->fontMetrics().lineSpacing() * 4 + 4);
    lblStand->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    column->addWidget(lblStand);
    auto* grid = new QFormLayout;
    column->addLayout(grid);
    auto* confirm = button(state, "cmdBestaetigen", QStringLiteral("&Bestätigung senden…"));
    grid->addRow(QStringLiteral("Eingang bestätigen:"), confirm);
    connect(confirm, &QPushButton::clicked, this, &frmRueckgabe::sendConfirmation);
    auto* back = new QHBoxLayout;
    dtpWare = new QDateEdit(today(), state);
    dtpWare->setObjectName(QStringLiteral("dtpWare"));
    dtpWare->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    dtpWare->setCalendarPopup(true);
    auto* goods = button(state, "cmdWareZurueck", QStringLiteral("&Ware zurück"));
    back->addWidget(dtpWare);
    back->addWidget(goods);
    grid->addRow(QStringLiteral("Ware oder Nachweis der Absendung:"), back);
    connect(goods, &QPushButton::clicked, this, &frmRueckgabe::markGoodsBack);
    auto* money = new QHBoxLayout;
    txtBetrag = new QLineEdit(state);
    txtBetrag->setObjectName(QStringLiteral("txtBetrag"));
    auto* pay = button(state, "cmdErstatten", QStringLiteral("&Erstatten"));
    money->addWidget(txtBetrag);
    money->addWidget(pay);
    grid->addRow(QStringLiteral("Zurücknehmen (mit Versand):"), money);
    connect(pay, &QPushButton::clicked, this, &frmRueckgabe::refund);
    pages_->addWidget(state);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Schließen"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("cmdSchliessen"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    addHelp(this, QStringLiteral("rueckgabe"), buttons);
    v->addWidget(buttons);
    setMinimumWidth(520);
    show();
}

void frmRueckgabe::show() {
    const Result<std::optional<OpenReturn>> open = openReturnOf(currentStore(), auktion_.AuktionsNr);
    if (!open.ok()) return showError(open.error());
    open_ = open.value();
    pages_->setCurrentIndex(open_ ? 1 : 0);
    if (!open_) return;
    const OpenReturn& r = *open_;
    QStringList lines{
        QStringLiteral("%1, eingegangen am %2.")
            .arg(returnKindText(r.art), r.eingang.toString(QStringLiteral("dd.MM.yyyy 'um' HH:mm 'Uhr'"))),
        QStringLiteral("Erstattung fällig bis %1%2.")
            .arg(r.faellig().toString(QStringLiteral("dd.MM.yyyy")),
                 r.faellig() < today() ? QStringLiteral(" – überfällig") : QString())};
    lines << (r.unbestaetigt() ? QStringLiteral("Der Eingang ist noch nicht bestätigt: Bitte bestätigen Sie ihn heute.")
                               : QStringLiteral("Eingang bestätigt am %1.")
                                     .arg(r.bestaetigt.toString(QStringLiteral("dd.MM.yyyy 'um' HH:mm 'Uhr'"))));
    if (r.wareZurueck.isValid())
        lines << QStringLiteral("Ware zurück am %1.").arg(r.wareZurueck.toString(QStringLiteral("dd.MM.yyyy")));
    lblStand->setText(lines.join(QLatin1Char('\n')));
    // What the sale still costs, all of it unless the seller keeps a part; of a group's invoice its
    // line, and with the last one the rest.
    const Result<RefundDue> due = refundDue(currentStore(), r.AuktionsNr);
    txtBetrag->setText(due.ok() ? centsText(due.value().zurueck) : QString());
}

void frmRueckgabe::record() {
    CALLSTACK_MODULE("frmRueckgabe");
    const Result<qint64> id = recordReturn(currentStore(),
                                           ReturnNotice{auktion_.AuktionsNr, ReturnKind(cboArt->currentData().toInt()),
                                                        dtpEingang->dateTime(), txtGrund->text()},
                                           now());
    if (!id.ok()) return showError(id.error());
    changed_ = true;
    show();
}

void frmRueckgabe::sendConfirmation() {
    CALLSTACK_MODULE("frmRueckgabe");
    if (!open_) return;
    const Result<MailInputs> in = mailInputsFor(currentStore(), mailProfile(currentSettings()), auktion_, kunde_,
                                                auktion_.Preis, auktion_.Versandkosten, auktion_.Betrag);
    if (!in.ok()) return showError(in.error());
    frmMail mail(in.value(), this);  // it fills in the return's placeholders
    mail.chooseTemplate(kConfirmationTemplate, confirmationSubject(), confirmationBody());
    const qint64 id = open_->id;
    bool sent = false;
    mail.onSent = [&sent] { sent = true; };
    mail.exec();
    if (!sent) return;
    // When it went out is what counts: recorded as the send ended.
    const Status kept = confirmReturn(currentStore(), id, now());
    if (!kept.ok()) return showError(kept.error());
    changed_ = true;
    show();
}

void frmRueckgabe::markGoodsBack() {
    CALLSTACK_MODULE("frmRueckgabe");
    const Status kept = goodsBack(currentStore(), auktion_.AuktionsNr, dtpWare->date());
    if (!kept.ok()) return showError(kept.error());
    changed_ = true;
    show();
}

void frmRueckgabe::refund() {
    CALLSTACK_MODULE("frmRueckgabe");
    const std::optional<qint64> cents = parseCents(txtBetrag->text());
    if (!cents || *cents < 0) {
        platform().msgBox(QStringLiteral("Bitte tragen Sie einen Betrag ein, etwa 29,40."), Platform::Buttons::Ok,
                          Platform::Icon::Exclamation, windowTitle());
        return;
    }
    if (platform().msgBox(QStringLiteral("%1 vom Verkauf %2 zurücknehmen und erstatten, was der Käufer gezahlt hat?")
                                  .arg(euroText(*cents), auktion_.AuktionsNr) +
                              QLatin1Char('\r') +
                              QStringLiteral("Eine Rechnung nur dieses Verkaufs wird dabei storniert."),
                          Platform::Buttons::YesNo, Platform::Icon::Question, windowTitle(),
                          Platform::Answer::No) != Platform::Answer::Yes)
        return;
    const Result<RefundDone> done =
        refundReturn(currentStore(), auktion_.AuktionsNr, *cents, today(), now(), gSettings.Nummernkreis, invoicePdf);
    if (!done.ok()) return showError(done.error());
    changed_ = true;
    const RefundDone& d = done.value();
    QString said = QStringLiteral("%1 zurückgenommen").arg(euroText(d.zurueckgenommen));
    if (d.erstattet > 0) said += QStringLiteral(", %1 erstattet (%2)").arg(euroText(d.erstattet), d.konto);
    if (!d.storno.isEmpty()) said += QStringLiteral(", Stornorechnung %1").arg(d.storno);
    platform().msgBox(said + QLatin1Char('.'), Platform::Buttons::Ok, Platform::Icon::Information, windowTitle());
    accept();
}

}  // namespace gd
