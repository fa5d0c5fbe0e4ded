#include "ui/frmEinlesen.h"

#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/CallStack.h"
#include "domain/import/Accept.h"
#include "domain/import/MailFile.h"
#include "ui/Platform.h"

namespace gd {

frmEinlesen::frmEinlesen(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmEinlesen"));
    setWindowTitle(QStringLiteral("Auktionsemail einlesen"));
    setModal(true);

    fraEmailText = new QGroupBox(QStringLiteral("Email-Text"), this);
    fraEmailText->setObjectName(QStringLiteral("fraEmailText"));
    txtEmail = new QPlainTextEdit(fraEmailText);
    txtEmail->setObjectName(QStringLiteral("txtEmail"));
    txtEmail->setReadOnly(true);
    txtEmail->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono(QStringLiteral("Courier New"));
    mono.setStyleHint(QFont::TypeWriter);
    mono.setFixedPitch(true);
    txtEmail->setFont(mono);
    (new QVBoxLayout(fraEmailText))->addWidget(txtEmail);

    fraKunde = new QGroupBox(kCaptionNeutral, this);
    fraKunde->setObjectName(QStringLiteral("fraKunde"));
    auto* kunde = new QFormLayout(fraKunde);
    kunde->addRow(QStringLiteral("ebay-Name:"), txtebayName = field("txtebayName", &tKunde::ebayName));
    kunde->addRow(QStringLiteral("Email Adresse:"), txtEmailAdresse = field("txtEmailAdresse", &tKunde::Email));
    kunde->addRow(QStringLiteral("Name:"), txtName = field("txtName", &tKunde::Name));
    kunde->addRow(QStringLiteral("Strasse:"), txtStrasse = field("txtStrasse", &tKunde::Strasse));
    kunde->addRow(QStringLiteral("Ort:"), txtOrt = field("txtOrt", &tKunde::Ort));
    kunde->addRow(QStringLiteral("Land:"), txtLand = field("txtLand", &tKunde::Land));

    fraAuktion = new QGroupBox(QStringLiteral("Auktionsdaten"), this);
    fraAuktion->setObjectName(QStringLiteral("fraAuktion"));
    auto* auktion = new QFormLayout(fraAuktion);
    const auto withEur = [this](QLineEdit* e) {
        auto* row = new QWidget(fraAuktion);
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        h->addWidget(e);
        h->addWidget(new QLabel(QStringLiteral("EUR"), row));
        return row;
    };
    auktion->addRow(QStringLiteral("Artikelnummer:"), txtArtikelNr = field("txtArtikelNr", &tAuktion::AuktionsNr, false));
    auktion->addRow(QStringLiteral("Bezeichnung:"), txtTitel = field("txtTitel", &tAuktion::Titel, true));
    auktion->addRow(QStringLiteral("Preis:"), withEur(txtPreis = field("txtPreis", &tAuktion::Preis, false)));
    auktion->addRow(QStringLiteral("Menge:"), txtMenge = field("txtMenge", &tAuktion::Menge, false));
    auktion->addRow(QStringLiteral("Betrag:"), withEur(txtBetrag = field("txtBetrag", &tAuktion::Betrag, false)));
    auktion->addRow(QStringLiteral("Angebotsende:"), txtEndeDatum = field("txtEndeDatum", &tAuktion::EndeDatum, false));
    auktion->addRow(QStringLiteral("Mitteilung:"), txtMitteilung = field("txtMitteilung", &tAuktion::Mitteilungen, true));
    auktion->addRow(QStringLiteral("Hinweise:"), txtHinweise = field("txtHinweise", &tAuktion::Hinweise, true));
    auktion->addRow(QStringLiteral("Versandinfos:"), txtVersandinfos = field("txtVersandinfos", &tAuktion::Versandinfos, true));
    auktion->addRow(QStringLiteral("Bezahlung:"), txtBezahlung = field("txtBezahlung", &tAuktion::Bezahlung, true));

    const auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    cmdEinlesen = button("cmdEinlesen", QStringLiteral("Email aus Zwischenablage einlesen"));
    cmdUebernehmen = button("cmdUebernehmen", QStringLiteral("Übernehmen"));
    cmdLoeschen = button("cmdLoeschen", QStringLiteral("Felder Löschen"));
    cmdAbbrechen = button("cmdAbbrechen", QStringLiteral("Abbrechen"));
    connect(cmdEinlesen, &QPushButton::clicked, this, &frmEinlesen::cmdEinlesen_Click);
    connect(cmdUebernehmen, &QPushButton::clicked, this, &frmEinlesen::cmdUebernehmen_Click);
    connect(cmdLoeschen, &QPushButton::clicked, this, &frmEinlesen::cmdLoeschen_Click);
    connect(cmdAbbrechen, &QPushButton::clicked, this, &frmEinlesen::cmdAbbrechen_Click);

    auto* fields = new QVBoxLayout;
    fields->addWidget(fraKunde);
    fields->addWidget(fraAuktion);
    fields->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(fraEmailText, 3);
    top->addLayout(fields, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdEinlesen);
    buttons->addStretch();
    buttons->addWidget(cmdLoeschen);
    buttons->addWidget(cmdUebernehmen);
    buttons->addWidget(cmdAbbrechen);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addLayout(buttons);
    resize(1100, 640);
    Form_Load();
}

void frmEinlesen::Form_Load() {
    CALLSTACK();
    if (parentWidget()) setWindowIcon(parentWidget()->window()->windowIcon());
    cmdUebernehmen->setEnabled(false);
}

QLineEdit* frmEinlesen::field(const char* name, QString tKunde::*contact) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(name));
    // The change handler: the shown party's record takes the text without outer blanks.
    connect(e, &QLineEdit::textChanged, this, [this, contact](const QString& t) { r_.partner().*contact = t.trimmed(); });
    return e;
}

QLineEdit* frmEinlesen::field(const char* name, QString tAuktion::*auktion, bool tooltip) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(name));
    connect(e, &QLineEdit::textChanged, this, [this, e, auktion, tooltip](const QString& t) {
        r_.oAuktion.*auktion = t.trimmed();
        if (tooltip) e->setToolTip(t);
    });
    return e;
}

void frmEinlesen::setText(QLineEdit* e, const QString& t) {
    e->setText(t);
    e->setCursorPosition(0);
}

void frmEinlesen::showRecords() {
    fraKunde->setTitle(r_.caption);
    // Copies: setting a field writes back into the record it shows.
    const tKunde k = r_.partner();
    const tAuktion a = r_.oAuktion;
    setText(txtName, k.Name);
    setText(txtebayName, k.ebayName);
    setText(txtEmailAdresse, k.Email);
    setText(txtStrasse, k.Strasse);
    setText(txtOrt, k.Ort);
    setText(txtLand, k.Land);
    setText(txtArtikelNr, a.AuktionsNr);
    setText(txtTitel, a.Titel);
    setText(txtPreis, a.Preis);
    setText(txtMenge, a.Menge);
    setText(txtBetrag, a.Betrag);
    setText(txtEndeDatum, a.EndeDatum);
    setText(txtMitteilung, a.Mitteilungen);
    setText(txtHinweise, a.Hinweise);
    setText(txtVersandinfos, a.Versandinfos);
    setText(txtBezahlung, a.Bezahlung);
    cmdUebernehmen->setEnabled(r_.acceptable);
}

void frmEinlesen::cmdEinlesen_Click() {
    CALLSTACK();
    cmdLoeschen_Click();
    if (!platform().clipboardHasText()) {
        platform().msgBox(QStringLiteral("Kein Text in der Zwischenablage vorhanden.") + QLatin1Char('\r') +
                              QStringLiteral("Kopieren Sie erst den Inhalt der ebay-Email in die Zwischenablage."),
                          Platform::Buttons::Ok, Platform::Icon::None, QString());
        return;
    }
    platform().setBusyCursor(true);
    const QString raw = platform().clipboardText();
    // A notification is a few kilobytes; megabytes would stall the window.
    if (raw.size() > kMaxMailBytes) {
        platform().setBusyCursor(false);
        platform().msgBox(QStringLiteral("Der Text in der Zwischenablage ist größer als 16 MB; so groß ist keine "
                                         "Auktions-E-Mail. Er wird nicht eingelesen."),
                          Platform::Buttons::Ok, Platform::Icon::Exclamation, QString());
        return;
    }
    const QString text = normalizeMailText(raw);
    txtEmail->setPlainText(text);
    const ParseResult parsed = parseMail(r_, text);
    platform().setBusyCursor(false);
    if (!parsed.message.isEmpty())
        platform().msgBox(parsed.message, Platform::Buttons::Ok, Platform::Icon::None, QString());
    showRecords();
}

namespace {
bool ask(const QString& question, std::optional<Platform::Answer> defaultButton = std::nullopt) {
    return platform().msgBox(question, Platform::Buttons::YesNo, Platform::Icon::Question, QString(),
                             defaultButton) == Platform::Answer::Yes;
}
}  // namespace

void frmEinlesen::cmdUebernehmen_Click() {
    CALLSTACK();
    // Every question comes before the first write, so no lock is held while the user thinks.
    const QStringList implausible = implausibleFields(r_);
    if (!implausible.isEmpty()) {
        if (!ask(QStringLiteral("Bitte prüfen Sie die eingelesenen Daten:") + QLatin1Char('\r') +
                     implausible.join(QLatin1Char('\r')) + QLatin1Char('\r') +
                     QStringLiteral("Sollen sie trotzdem übernommen werden?"),
                 Platform::Answer::No))
            return;
        cutToColumns(r_);
    }
    const Result<ImportFacts> facts = checkImport(r_);
    if (!facts.ok()) {
        showError(facts.error());
        return;
    }
    ImportChoices choices;
    // A stored item number is asked about for sales too: importing the same
    // notification twice would otherwise store the auction twice.
    if (facts->duplicate) {
        if (!ask(kDuplicateQuestion, Platform::Answer::No)) return;
        choices.storeDuplicate = true;
    }
    if (facts->groupable)
        choices.group = ask(r_.sellerShown()
                                ? QStringLiteral("Es wurden noch Auktionen gefunden die von dem gleichen ebayuser sind "
                                                 "und noch nicht bezahlt worden sind. Sollen die Auktionen gruppiert "
                                                 "werden?")
                                : QStringLiteral("Es wurden noch Auktionen gefunden die von dem gleichen ebayuser sind "
                                                 "und noch nicht bezahlt worden sind.. Sollen die Auktionen gruppiert "
                                                 "werden?"));
    for (;;) {
        const Result<Stored> stored = acceptImport(r_, choices);
        if (!stored.ok()) {
            showError(stored.error());
            return;
        }
        if (stored.value() == Stored::Yes) break;
        // Stored by another program while the questions were up.
        if (!ask(kDuplicateQuestion, Platform::Answer::No)) return;
        choices.storeDuplicate = true;
    }
    accept();
}

void frmEinlesen::cmdLoeschen_Click() {
    CALLSTACK();
    r_.clear();
    for (QLineEdit* e : {txtebayName, txtEmailAdresse, txtName, txtStrasse, txtOrt, txtLand, txtArtikelNr, txtTitel,
                         txtPreis, txtMenge, txtBetrag, txtEndeDatum, txtMitteilung, txtHinweise, txtVersandinfos,
                         txtBezahlung})
        e->clear();
    r_.clear();
    cmdUebernehmen->setEnabled(false);
}

void frmEinlesen::cmdAbbrechen_Click() {
    CALLSTACK();
    reject();
}

}  // namespace gd
