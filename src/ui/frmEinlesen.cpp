#include "ui/frmEinlesen.h"

#include <QCollator>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "base/CallStack.h"
#include "domain/import/Accept.h"
#include "domain/import/Html.h"
#include "domain/import/MailFile.h"
#include "domain/settings/Keywords.h"
#include "domain/settings/modGlobal.h"
#include "ui/Platform.h"
#include "ui/RuleTester.h"
#include "ui/frmHilfe.h"

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
    txtEmail->setAcceptDrops(false);  // a dropped mail is read, not pasted into the view
    tester_ = new RuleTester(fraEmailText);
    tester_->hide();
    auto* mailLayout = new QVBoxLayout(fraEmailText);
    mailLayout->addWidget(txtEmail);
    mailLayout->addWidget(tester_);

    fraKunde = new QGroupBox(partnerCaption(PartnerKind::Neutral), this);
    fraKunde->setObjectName(QStringLiteral("fraKunde"));
    auto* kunde = new QFormLayout(fraKunde);
    kunde->addRow(QStringLiteral("ebay-Name:"), txtebayName = field("txtebayName", &tKunde::ebayName));
    kunde->addRow(QStringLiteral("Email Adresse:"), txtEmailAdresse = field("txtEmailAdresse", &tKunde::Email));
    kunde->addRow(QStringLiteral("Name:"), txtName = field("txtName", &tKunde::Name));
    kunde->addRow(QStringLiteral("Straße:"), txtStrasse = field("txtStrasse", &tKunde::Strasse));
    kunde->addRow(QStringLiteral("Ort:"), txtOrt = field("txtOrt", &tKunde::Ort));
    kunde->addRow(QStringLiteral("Land:"), txtLand = field("txtLand", &tKunde::Land));
    kunde->addRow(QStringLiteral("Firma:"), txtFirma = field("txtFirma", &tKunde::Firma));
    kunde->addRow(QStringLiteral("USt-IdNr.:"), txtUStIdNr = field("txtUStIdNr", &tKunde::UStIdNr));
    txtFirma->setPlaceholderText(QStringLiteral("nur bei Geschäftskunden"));

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
    auktion->addRow(QStringLiteral("Artikelnummer:"),
                    txtArtikelNr = field("txtArtikelNr", &tAuktion::AuktionsNr, false));
    auktion->addRow(QStringLiteral("Bezeichnung:"), txtTitel = field("txtTitel", &tAuktion::Titel, true));
    auktion->addRow(QStringLiteral("Preis:"), withEur(txtPreis = field("txtPreis", &tAuktion::Preis, false)));
    auktion->addRow(QStringLiteral("Menge:"), txtMenge = field("txtMenge", &tAuktion::Menge, false));
    auktion->addRow(QStringLiteral("Betrag:"), withEur(txtBetrag = field("txtBetrag", &tAuktion::Betrag, false)));
    auktion->addRow(QStringLiteral("Angebotsende:"), txtEndeDatum = field("txtEndeDatum", &tAuktion::EndeDatum, false));
    auktion->addRow(QStringLiteral("Mitteilung:"),
                    txtMitteilung = field("txtMitteilung", &tAuktion::Mitteilungen, true));
    auktion->addRow(QStringLiteral("Hinweise:"), txtHinweise = field("txtHinweise", &tAuktion::Hinweise, true));
    auktion->addRow(QStringLiteral("Versandinfos:"),
                    txtVersandinfos = field("txtVersandinfos", &tAuktion::Versandinfos, true));
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
    cmdDatei = button("cmdDatei", QStringLiteral("Aus Datei einlesen…"));
    cmdWeiter = button("cmdWeiter", QStringLiteral("Nächste E-Mail"));
    cmdRegeln = button("cmdRegeln", QStringLiteral("Regeln prüfen"));
    cmdRegeln->setCheckable(true);
    cmdWeiter->hide();
    connect(cmdDatei, &QPushButton::clicked, this, &frmEinlesen::cmdDatei_Click);
    connect(cmdWeiter, &QPushButton::clicked, this, &frmEinlesen::cmdWeiter_Click);
    connect(cmdRegeln, &QPushButton::clicked, this, &frmEinlesen::cmdRegeln_Click);
    lblWarteschlange = new QLabel(this);
    lblWarteschlange->setObjectName(QStringLiteral("lblWarteschlange"));
    lblWarteschlange->hide();

    auto* fields = new QVBoxLayout;
    fields->addWidget(fraKunde);
    fields->addWidget(fraAuktion);
    fields->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(fraEmailText, 3);
    top->addLayout(fields, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdEinlesen);
    buttons->addWidget(cmdDatei);
    buttons->addWidget(cmdRegeln);
    buttons->addStretch();
    buttons->addWidget(cmdLoeschen);
    buttons->addWidget(cmdUebernehmen);
    buttons->addWidget(cmdAbbrechen);
    // Several mails: where the dialog stands, on a row of its own so the buttons fit a small screen.
    auto* queue = new QHBoxLayout;
    queue->addWidget(lblWarteschlange);
    queue->addWidget(cmdWeiter);
    queue->addStretch();
    addHelp(this, QStringLiteral("einlesen"), queue);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addLayout(queue);
    outer->addLayout(buttons);
    // Room to read the mail, but never wider or taller than the screen (1024x768 included).
    const QRect room = screen()->availableGeometry();
    resize(qMin(1100, room.width() - 24), qMin(640, room.height() - 48));
    Form_Load();
}

void frmEinlesen::Form_Load() {
    CALLSTACK();
    if (parentWidget()) setWindowIcon(parentWidget()->window()->windowIcon());
    cmdUebernehmen->setEnabled(false);
    setAcceptDrops(true);
    // A keyword file mended while the dialog is open takes effect at once.
    watcher_ = new QFileSystemWatcher(this);
    if (!gsKeywordIni.isEmpty() && QFileInfo::exists(gsKeywordIni)) watcher_->addPath(gsKeywordIni);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, [this] {
        // Editors save by replacing the file, which ends the watch; saving comes in bursts.
        QTimer::singleShot(150, this, &frmEinlesen::keywordFileChanged);
    });
}

void frmEinlesen::keywordFileChanged() {
    CALLSTACK();
    if (!watcher_->files().contains(gsKeywordIni) && QFileInfo::exists(gsKeywordIni)) watcher_->addPath(gsKeywordIni);
    keywordMessages_ = subGetFelder();
    // The mail is cut again only while the rules are being checked: otherwise fields the
    // user corrected stay. The text as read, since the view has turned its line ends into LF.
    const QString text = r_.oAuktion.EmailText;
    if (!cmdRegeln->isChecked() || text.isEmpty()) return;
    parseMail(rulesInForce(), r_, text);
    showRecords();
    showRules();
}

void frmEinlesen::showRules() { tester_->show(r_, r_.oAuktion.EmailText, keywordMessages_); }

void frmEinlesen::cmdRegeln_Click() {
    CALLSTACK();
    const bool on = cmdRegeln->isChecked();
    tester_->setVisible(on);
    txtEmail->setVisible(!on);
    fraEmailText->setTitle(on ? QStringLiteral("Regeln prüfen") : QStringLiteral("Email-Text"));
    if (on) showRules();
}

void frmEinlesen::cmdDatei_Click() {
    CALLSTACK();
    QStringList files = platform().openFileNames(
        QStringLiteral("Gespeicherte E-Mails einlesen"), QString(),
        // Mail programs keep their folders as mbox files without an extension.
        QStringLiteral("E-Mails und Postfächer (*);;E-Mails (*.eml *.txt *.mbox *.htm *.html)"));
    if (files.isEmpty()) return;
    // The dialog gives the files in the order they were clicked; a seller saves them
    // numbered or dated, so they are read as the folder lists them ("2" before "10").
    QCollator byName(QLocale(QLocale::German, QLocale::Germany));
    byName.setNumericMode(true);
    byName.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(files.begin(), files.end(), [&](const QString& a, const QString& b) {
        return byName.compare(QFileInfo(a).fileName(), QFileInfo(b).fileName()) < 0;
    });
    readQueued(queuedMailsFromFiles(files));
}

void frmEinlesen::readQueued(const QList<QueuedMail>& mails) {
    CALLSTACK();
    queue_ = mails;
    queueTotal_ = int(mails.size());
    showNextQueued();
}

void frmEinlesen::cmdWeiter_Click() {
    CALLSTACK();
    showNextQueued();
}

void frmEinlesen::showNextQueued() {
    while (!queue_.isEmpty()) {
        const QueuedMail mail = queue_.takeFirst();
        const int number = queueTotal_ - int(queue_.size());
        const QString shown = queueTotal_ > 1
                                  ? QStringLiteral("E-Mail %1 von %2: %3").arg(number).arg(queueTotal_).arg(mail.name)
                                  : mail.name;
        // A long file name must not push the buttons off a small screen.
        lblWarteschlange->setText(lblWarteschlange->fontMetrics().elidedText(shown, Qt::ElideMiddle, 600));
        lblWarteschlange->setToolTip(shown);
        lblWarteschlange->setVisible(true);
        cmdWeiter->setVisible(!queue_.isEmpty());
        cmdLoeschen_Click();
        if (mail.error.isEmpty()) {
            readText(mail.text, false);
            return;
        }
        txtEmail->clear();
        r_.oAuktion.EmailText.clear();
        platform().msgBox(mail.name + QStringLiteral(": ") + mail.error, Platform::Buttons::Ok,
                          Platform::Icon::Exclamation, QString());
    }
    cmdWeiter->setVisible(false);
}

void frmEinlesen::dragEnterEvent(QDragEnterEvent* e) {
    if (offersMails(e->mimeData())) e->acceptProposedAction();
}

void frmEinlesen::dropEvent(QDropEvent* e) {
    takeMailDrop(e, this, [this](const QList<QueuedMail>& mails) { readQueued(mails); });
}

void takeMailDrop(QDropEvent* e, QObject* context, const std::function<void(const QList<QueuedMail>&)>& read) {
    const QList<QueuedMail> mails = queuedMailsFrom(e->mimeData());
    if (mails.isEmpty()) return;
    e->acceptProposedAction();
    // Not inside the drop: the drag source waits for it to end, and reading may ask questions.
    QTimer::singleShot(0, context, [read, mails] { read(mails); });
}

QList<QueuedMail> queuedMailsFromFiles(const QStringList& paths) {
    QList<QueuedMail> mails;
    for (const QString& path : paths) {
        const QString name = QFileInfo(path).fileName();
        const Result<QList<MailText>> read = readMails(path);
        if (!read.ok()) {
            mails << QueuedMail{name, QString(), read.error().sentence};
            continue;
        }
        // The dialog counts the mails of a mailbox with the others.
        for (const MailText& m : *read) mails << QueuedMail{name, m.text, m.error};
    }
    return mails;
}

bool offersMails(const QMimeData* mime) {
    if (!mime) return false;
    if (mime->hasUrls())
        for (const QUrl& u : mime->urls())
            if (u.isLocalFile()) return true;
    return mime->hasText() || mime->hasHtml();
}

QList<QueuedMail> queuedMailsFrom(const QMimeData* mime) {
    if (!mime) return {};
    QStringList files;
    if (mime->hasUrls())
        for (const QUrl& u : mime->urls())
            if (u.isLocalFile()) files << u.toLocalFile();
    if (!files.isEmpty()) return queuedMailsFromFiles(files);
    const QString name = QStringLiteral("gezogener Text");
    // Bounded before it is turned into text: the conversion holds several times the page.
    const QString tooLarge =
        QStringLiteral("Der Text ist größer als 16 MB; so groß ist keine Auktions-E-Mail. Er wird nicht eingelesen.");
    if (mime->hasText()) {
        const QString text = mime->text();
        if (text.size() > kMaxMailBytes) return {QueuedMail{name, QString(), tooLarge}};
        if (!text.trimmed().isEmpty()) return {QueuedMail{name, text, QString()}};
    }
    if (mime->hasHtml()) {
        const QString html = mime->html();
        if (html.size() > kMaxMailBytes) return {QueuedMail{name, QString(), tooLarge}};
        return {QueuedMail{name, htmlToText(html), QString()}};
    }
    return {};
}

QLineEdit* frmEinlesen::field(const char* name, QString tKunde::*contact) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(name));
    // The change handler: the shown party's record takes the text without outer blanks.
    connect(e, &QLineEdit::textChanged, this,
            [this, contact](const QString& t) { r_.partner().*contact = t.trimmed(); });
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
    fraKunde->setTitle(r_.caption());
    // Copies: setting a field writes back into the record it shows.
    const tKunde k = r_.partner();
    const tAuktion a = r_.oAuktion;
    setText(txtName, k.Name);
    setText(txtebayName, k.ebayName);
    setText(txtEmailAdresse, k.Email);
    setText(txtStrasse, k.Strasse);
    setText(txtOrt, k.Ort);
    setText(txtLand, k.Land);
    setText(txtFirma, k.Firma);
    setText(txtUStIdNr, k.UStIdNr);
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
    // The clipboard's mail replaces what was waiting.
    queue_.clear();
    lblWarteschlange->hide();
    cmdWeiter->hide();
    readText(platform().clipboardText(), true);
}

void frmEinlesen::readText(const QString& raw, bool fromClipboard) {
    platform().setBusyCursor(true);
    // A notification is a few kilobytes; megabytes would stall the window.
    if (raw.size() > kMaxMailBytes) {
        platform().setBusyCursor(false);
        platform().msgBox(QStringLiteral("Der Text ist größer als 16 MB; so groß ist keine Auktions-E-Mail. Er wird "
                                         "nicht eingelesen."),
                          Platform::Buttons::Ok, Platform::Icon::Exclamation, QString());
        return;
    }
    const QString text = normalizeMailText(raw);
    txtEmail->setPlainText(text);
    const ParseResult parsed = parseMail(rulesInForce(), r_, text);
    platform().setBusyCursor(false);
    if (cmdRegeln->isChecked()) showRules();
    // The clipboard's message would name the wrong source for a file.
    const QString message = parsed.kind == MailKind::Keine && !fromClipboard
                                ? QStringLiteral("Diese E-Mail ist keine ebay Email.")
                                : parsed.message;
    if (!message.isEmpty()) platform().msgBox(message, Platform::Buttons::Ok, Platform::Icon::None, QString());
    showRecords();
}

namespace {
bool ask(const QString& question, std::optional<Platform::Answer> defaultButton = std::nullopt) {
    return platform().msgBox(question, Platform::Buttons::YesNo, Platform::Icon::Question, QString(), defaultButton) ==
           Platform::Answer::Yes;
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
    const Result<ImportFacts> facts = checkImport(currentStore(), r_);
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
        choices.group =
            ask(QStringLiteral("Es wurden noch Auktionen gefunden die von dem gleichen ebayuser sind "
                               "und noch nicht bezahlt worden sind. Sollen die Auktionen gruppiert "
                               "werden?"));
    for (;;) {
        const Result<Stored> stored = acceptImport(currentStore(), r_, choices);
        if (!stored.ok()) {
            showError(stored.error());
            return;
        }
        if (stored.value() == Stored::Yes) break;
        // Stored by another program while the questions were up.
        if (!ask(kDuplicateQuestion, Platform::Answer::No)) return;
        choices.storeDuplicate = true;
    }
    ++stored_;
    // More mails waiting: the next one, and the dialog stays.
    if (!queue_.isEmpty()) {
        showNextQueued();
        return;
    }
    accept();
}

void frmEinlesen::cmdLoeschen_Click() {
    CALLSTACK();
    r_.clear();
    for (QLineEdit* e : {txtebayName, txtEmailAdresse, txtName, txtStrasse, txtOrt, txtLand, txtFirma, txtUStIdNr,
                         txtArtikelNr, txtTitel, txtPreis, txtMenge, txtBetrag, txtEndeDatum, txtMitteilung,
                         txtHinweise, txtVersandinfos, txtBezahlung})
        e->clear();
    r_.clear();
    cmdUebernehmen->setEnabled(false);
}

void frmEinlesen::cmdAbbrechen_Click() {
    CALLSTACK();
    reject();
}

}  // namespace gd
