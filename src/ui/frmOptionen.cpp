#include "ui/frmOptionen.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "base/AppPath.h"
#include "base/CallStack.h"
#include "domain/bank/Iban.h"
#include "domain/invoice/IssuedInvoices.h"
#include "domain/mail/MailComposer.h"
#include "domain/mail/ServerCertificate.h"
#include "domain/mail/TokenSignIn.h"
#include "domain/settings/Optionen.h"
#include "domain/settings/Providers.h"
#include "domain/trade/Accounts.h"
#include "ui/GuiApplication.h"
#include "ui/MailboxPage.h"
#include "ui/Platform.h"
#include "ui/frmDatenbank.h"
#include "ui/frmHilfe.h"
#include "ui/frmZertifikat.h"

namespace gd {

frmOptionen::frmOptionen(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmOptionen"));
    setWindowTitle(QStringLiteral("Einstellungen"));
    setModal(true);
    const char* captions[12] = {"Kontoinhaber:",
                                "Kontonummer:",
                                "BLZ:",
                                "Name der Bank:",
                                "Standardpreis versicherter Versand:",
                                "Postausgang (SMTP):",
                                "Benutzerdefinierter Eintrag für [#HTTPLINK1#]:",
                                "Absender (Emailadresse):",
                                "Postausgangsport (SMTP): meist 587 oder 465",
                                "Benutzerdefinierter Eintrag für [#HTTPLINK2#]:",
                                "SMTP-Kontoname:",
                                "SMTP-Kennwort:"};
    for (int i = 0; i < 12; ++i) {
        txtDaten[std::size_t(i)] = new QLineEdit(this);
        txtDaten[std::size_t(i)]->setObjectName(QStringLiteral("txtDaten_%1").arg(i));
        lbldaten[std::size_t(i)] = new QLabel(QString::fromUtf8(captions[i]), this);
        lbldaten[std::size_t(i)]->setObjectName(QStringLiteral("lbldaten_%1").arg(i));
    }
    txt(11)->setEchoMode(QLineEdit::Password);

    Frame1 = new QWidget(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* f1 = new QFormLayout(Frame1);
    auto* hint = new QLabel(
        QStringLiteral("Bitte tragen Sie hier Ihre Daten ein, damit diese automatisch eingefügt werden können."),
        Frame1);
    hint->setWordWrap(true);
    f1->addRow(hint);
    txtUsername = new QLineEdit(Frame1);
    txtUsername->setObjectName(QStringLiteral("txtUsername"));
    txtUsername->setToolTip(
        QStringLiteral("Ihr Mitgliedsname auf der Auktionsplattform. Unter ihm werden die "
                       "Auktionen gespeichert; er steht in Betreff und Signatur der E-Mails."));
    auto* lblUsername = new QLabel(QStringLiteral("Mitgliedsname:"), Frame1);
    lblUsername->setObjectName(QStringLiteral("lblUsername"));
    f1->addRow(lblUsername, txtUsername);
    f1->addRow(lbldaten[0], txt(0));
    txtIBAN = new QLineEdit(Frame1);
    txtIBAN->setObjectName(QStringLiteral("txtIBAN"));
    txtIBAN->setToolTip(
        QStringLiteral("Die IBAN Ihres Kontos; sie steht in den Zahlungsmails, im GiroCode und auf der "
                       "Rechnung."));
    // Shown as banks print it: in groups of four.
    connect(txtIBAN, &QLineEdit::editingFinished, this, [this] {
        if (ibanValid(txtIBAN->text())) txtIBAN->setText(groupedIban(txtIBAN->text()));
    });
    f1->addRow(QStringLiteral("IBAN:"), txtIBAN);
    txtBIC = new QLineEdit(Frame1);
    txtBIC->setObjectName(QStringLiteral("txtBIC"));
    txtBIC->setMaxLength(14);
    f1->addRow(QStringLiteral("BIC:"), txtBIC);
    for (int i : {3, 1, 2, 4, 6, 9}) f1->addRow(lbldaten[std::size_t(i)], txt(i));
    txtAnschrift = new QLineEdit(Frame1);
    txtAnschrift->setObjectName(QStringLiteral("txtAnschrift"));
    txtAnschrift->setPlaceholderText(QStringLiteral("Straße Nr., PLZ Ort"));
    txtAnschrift->setToolTip(QStringLiteral("Ihre Anschrift auf Rechnungen; ein Komma trennt die Zeilen."));
    f1->addRow(QStringLiteral("Anschrift (für Rechnungen):"), txtAnschrift);
    checkKleinunternehmer = new QCheckBox(
        QStringLiteral("Kleinunternehmer: auf Rechnungen „keine Umsatzsteuer nach § 19 UStG“ vermerken"), Frame1);
    checkKleinunternehmer->setObjectName(QStringLiteral("checkKleinunternehmer"));
    f1->addRow(checkKleinunternehmer);
    cboSteuerart = new QComboBox(Frame1);
    cboSteuerart->setObjectName(QStringLiteral("cboSteuerart"));
    cboSteuerart->addItem(QStringLiteral("keine Umsatzsteuer ausweisen (Privatverkauf)"), QString());
    cboSteuerart->addItem(QStringLiteral("Regelbesteuerung 19 % (in den Preisen enthalten)"), QStringLiteral("19"));
    cboSteuerart->addItem(QStringLiteral("Regelbesteuerung 7 % (in den Preisen enthalten)"), QStringLiteral("7"));
    cboSteuerart->addItem(QStringLiteral("Differenzbesteuerung für Gebrauchtes (§ 25a UStG)"), QStringLiteral("25a"));
    f1->addRow(QStringLiteral("Sonst Umsatzsteuer:"), cboSteuerart);
    // With § 19 there is no VAT to choose.
    connect(checkKleinunternehmer, &QCheckBox::toggled, cboSteuerart, &QWidget::setDisabled);
    checkERechnung = new QCheckBox(
        QStringLiteral("E-Rechnung (PDF mit XML) auch für Privatkäufer; Geschäftskunden bekommen sie immer"), Frame1);
    checkERechnung->setObjectName(QStringLiteral("checkERechnung"));
    f1->addRow(checkERechnung);
    txtSteuernummer = new QLineEdit(Frame1);
    txtSteuernummer->setObjectName(QStringLiteral("txtSteuernummer"));
    txtSteuernummer->setPlaceholderText(QStringLiteral("Steuernummer"));
    txtSteuernummer->setAccessibleName(QStringLiteral("Steuernummer"));
    txtUstId = new QLineEdit(Frame1);
    txtUstId->setObjectName(QStringLiteral("txtUstId"));
    txtUstId->setPlaceholderText(QStringLiteral("USt-IdNr. (falls vorhanden)"));
    txtUstId->setAccessibleName(QStringLiteral("USt-IdNr."));
    auto* tax = new QHBoxLayout;
    tax->addWidget(txtSteuernummer);
    tax->addWidget(txtUstId);
    auto* lblSteuer = new QLabel(QStringLiteral("Steuernummer / USt-IdNr.:"), Frame1);
    lblSteuer->setBuddy(txtSteuernummer);
    f1->addRow(lblSteuer, tax);
    txtNummernkreis = new QLineEdit(Frame1);
    txtNummernkreis->setObjectName(QStringLiteral("txtNummernkreis"));
    txtNummernkreis->setToolTip(
        QStringLiteral("{JJJJ} wird das Jahr, {NNNN} die laufende Nummer des Jahres (so viele Stellen wie N)."));
    f1->addRow(QStringLiteral("Rechnungsnummern:"), txtNummernkreis);
    txtMahnTage = new QLineEdit(Frame1);
    txtMahnTage->setObjectName(QStringLiteral("txtMahnTage"));
    txtMahnTage->setMaxLength(3);
    txtMahnTage->setToolTip(
        QStringLiteral("Ein Verkauf ohne „Bezahlt“ steht so viele Tage nach seinem Ende in der "
                       "Liste „Überfällig“."));
    f1->addRow(QStringLiteral("Zahlung überfällig nach (Tagen):"), txtMahnTage);
    checkSicherung = new QCheckBox(
        QStringLiteral("Jeden Tag beim Start eine Datensicherung anlegen (die letzten 7 Tage bleiben)"), Frame1);
    checkSicherung->setObjectName(QStringLiteral("checkSicherung"));
    f1->addRow(checkSicherung);
    auto* cmdDatenbank = new QPushButton(QStringLiteral("Datenbank…"), Frame1);
    cmdDatenbank->setObjectName(QStringLiteral("cmdDatenbank"));
    cmdDatenbank->setToolTip(QStringLiteral("Die Datenbankdatei, oder der PostgreSQL-Server für mehrere Plätze."));
    connect(cmdDatenbank, &QPushButton::clicked, this, [this] {
        frmDatenbank d(this);
        if (d.exec() == QDialog::Accepted) chosenDataSource_ = d.chosen();
    });
    f1->addRow(cmdDatenbank);

    Frame2 = new QWidget(this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    auto* f2 = new QFormLayout(Frame2);
    Option1 = new QRadioButton(QStringLiteral("Standardemailprogramm nutzen (einfache Datenübergabe)"), Frame2);
    Option1->setObjectName(QStringLiteral("Option1"));
    Option2 = new QRadioButton(QStringLiteral("Direkt versenden über einen SMTP-Server"), Frame2);
    Option2->setObjectName(QStringLiteral("Option2"));
    f2->addRow(Option1);
    f2->addRow(Option2);
    for (int i : {5, 8}) f2->addRow(lbldaten[std::size_t(i)], txt(i));
    // The choice sets the usual port; a port typed afterwards stays.
    grpSicherheit = new QGroupBox(QStringLiteral("Verbindungssicherheit"), Frame2);
    grpSicherheit->setObjectName(QStringLiteral("grpSicherheit"));
    auto* security = new QHBoxLayout(grpSicherheit);
    // A group of their own: radio buttons otherwise share exclusivity with the send mode above.
    auto* securityGroup = new QButtonGroup(grpSicherheit);
    const struct {
        const char* name;
        const char* caption;
        int port;
    } choices[3] = {{"optStartTls", "STARTTLS (Port 587)", 587},
                    {"optSslTls", "SSL/TLS (Port 465)", 465},
                    {"optKeine", "Keine Verschlüsselung (Port 25)", 25}};
    for (std::size_t k = 0; k < 3; ++k) {
        optSicherheit[k] = new QRadioButton(QString::fromUtf8(choices[k].caption), grpSicherheit);
        optSicherheit[k]->setObjectName(QString::fromLatin1(choices[k].name));
        security->addWidget(optSicherheit[k]);
        securityGroup->addButton(optSicherheit[k]);
        const int port = choices[k].port;
        connect(optSicherheit[k], &QRadioButton::clicked, this,
                [this, port] { txt(8)->setText(QString::number(port)); });
    }
    security->addStretch();
    f2->addRow(grpSicherheit);
    f2->addRow(lbldaten[7], txt(7));
    lblAnbieter = new QLabel(Frame2);
    lblAnbieter->setObjectName(QStringLiteral("lblAnbieter"));
    lblAnbieter->setWordWrap(true);
    // Room for the hint from the start: one that arrives later must not squeeze the rows above.
    lblAnbieter->setMinimumHeight(4 * lblAnbieter->fontMetrics().lineSpacing() + 4);
    f2->addRow(lblAnbieter);
    connect(txt(7), &QLineEdit::editingFinished, this, &frmOptionen::applyPreset);
    Check1 = new QCheckBox(QStringLiteral("Kopie an Absender schicken (Empfehlenswert)"), Frame2);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check2 = new QCheckBox(QStringLiteral("Server verlangt Anmeldung mit SMTP-Kontoname und -Kennwort"), Frame2);
    Check2->setObjectName(QStringLiteral("Check2"));
    f2->addRow(Check1);
    f2->addRow(Check2);
    cboAnmeldung = new QComboBox(Frame2);
    cboAnmeldung->setObjectName(QStringLiteral("cboAnmeldung"));
    cboAnmeldung->addItem(QStringLiteral("Kennwort"), QString());
    for (const QString& key : tokenProviders()) cboAnmeldung->addItem(tokenSignInLabel(key), key);
    cmdAnmelden = new QPushButton(QStringLiteral("Anmelden…"), Frame2);
    cmdAnmelden->setObjectName(QStringLiteral("cmdAnmelden"));
    cmdAnmelden->setAutoDefault(false);
    auto* signIn = new QHBoxLayout;
    signIn->addWidget(cboAnmeldung, 1);
    signIn->addWidget(cmdAnmelden);
    auto* lblVerfahren = new QLabel(QStringLiteral("Anmeldung:"), Frame2);
    lblVerfahren->setBuddy(cboAnmeldung);
    f2->addRow(lblVerfahren, signIn);
    for (int i : {10, 11}) f2->addRow(lbldaten[std::size_t(i)], txt(i));
    lblAnmeldung = new QLabel(Frame2);
    lblAnmeldung->setObjectName(QStringLiteral("lblAnmeldung"));
    lblAnmeldung->setWordWrap(true);
    f2->addRow(lblAnmeldung);
    connect(cboAnmeldung, &QComboBox::currentIndexChanged, this, &frmOptionen::showSignIn);
    connect(cmdAnmelden, &QPushButton::clicked, this, &frmOptionen::cmdAnmelden_Click);
    checkUnverschluesselt = new QCheckBox(QStringLiteral("Kennwort auch unverschlüsselt senden (unsicher)"), Frame2);
    checkUnverschluesselt->setObjectName(QStringLiteral("checkUnverschluesselt"));
    checkUnverschluesselt->setToolTip(
        QStringLiteral("Ohne Verschlüsselung kann jeder auf dem Weg zum Server das Kennwort mitlesen. Nur ankreuzen, "
                       "wenn der Server keine verschlüsselte Verbindung anbietet."));
    f2->addRow(checkUnverschluesselt);
    checkpro20 =
        new QCheckBox(QStringLiteral("Leerzeichen im Betreff mit %20 ersetzen (für den Email-Client BAT)"), Frame2);
    checkpro20->setObjectName(QStringLiteral("checkpro20"));
    checknobody = new QCheckBox(
        QStringLiteral("Text der E-Mail nicht an das Mailprogramm übergeben (für Mailprogramme, die ihn verdoppeln)"),
        Frame2);
    checknobody->setObjectName(QStringLiteral("checknobody"));
    f2->addRow(checkpro20);
    f2->addRow(checknobody);
    f2->addRow(new QLabel(QStringLiteral("Der Text kann dann mit Strg+V einfacher eingefügt werden"), Frame2));
    checkFusszeile = new QCheckBox(
        QStringLiteral("Hinweiszeile \u201E-INFO- Diese E-Mail wurde mit dem Orvo Gaveldesk 2005 erstellt\u201C "
                       "unter jede E-Mail setzen"),
        Frame2);
    checkFusszeile->setObjectName(QStringLiteral("checkFusszeile"));
    f2->addRow(checkFusszeile);
    cmdTestmail = new QPushButton(QStringLiteral("Testmail senden"), Frame2);
    cmdTestmail->setObjectName(QStringLiteral("cmdTestmail"));
    cmdTestmail->setToolTip(QStringLiteral("Sendet mit den eingetragenen Daten eine Testmail an den Absender."));
    f2->addRow(cmdTestmail);

    mailbox = new MailboxPage(this);
    pages = new QStackedWidget(this);
    pages->addWidget(Frame1);
    pages->addWidget(Frame2);
    pages->addWidget(mailbox);

    const auto button = [this](const char* name, const char* caption) {
        auto* b = new QPushButton(QString::fromUtf8(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    OrvoButton1 = button("OrvoButton1", "Allgemein");
    OrvoButton2 = button("OrvoButton2", "Emailversand");
    cmdPosteingang = button("cmdPosteingang", "Posteingang");
    cmdOK = button("cmdOK", "Übernehmen");
    cmdCancel = button("cmdCancel", "Abbrechen");
    cmdOK->setDefault(true);
    connect(OrvoButton1, &QPushButton::clicked, this, &frmOptionen::OrvoButton1_Click);
    connect(OrvoButton2, &QPushButton::clicked, this, &frmOptionen::OrvoButton2_Click);
    connect(cmdPosteingang, &QPushButton::clicked, this, [this] { showPage(mailbox); });
    connect(Option1, &QRadioButton::toggled, this, &frmOptionen::Option1_Click);
    connect(Check2, &QCheckBox::toggled, this, &frmOptionen::Check2_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmOptionen::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmOptionen::cmdcancel_Click);
    connect(cmdTestmail, &QPushButton::clicked, this, &frmOptionen::cmdTestmail_Click);

    auto* top = new QHBoxLayout;
    top->addWidget(OrvoButton1);
    top->addWidget(OrvoButton2);
    top->addWidget(cmdPosteingang);
    top->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(cmdOK);
    bottom->addWidget(cmdCancel);
    addHelp(this, QStringLiteral("einstellungen"), bottom);
    auto* v = new QVBoxLayout(this);
    v->addLayout(top);
    v->addWidget(pages);
    v->addLayout(bottom);
    resize(640, 520);
    tabInLayoutOrder(this);
    Form_Load();
}

void frmOptionen::Form_Load() {
    CALLSTACK();
    const Settings& o = loaded_ = currentSettings();
    const QString texts[12] = {o.Kontoinhaber,
                               o.Kontonummer,
                               o.BLZ,
                               o.Bank,
                               o.VersicherterVersand,
                               o.SMTPServer,
                               o.HTTPLink1,
                               o.Absender,
                               QString::number(o.SMTPPort),
                               o.HTTPLink2,
                               o.Konto,
                               o.Kennwort};
    for (int i = 0; i < 12; ++i) txt(i)->setText(texts[i]);
    Option1->setChecked(o.Standardversandmail);
    Option2->setChecked(!o.Standardversandmail);
    Check1->setChecked(o.Kopie != 0);
    Check2->setChecked(o.Auth != 0);
    checkpro20->setChecked(o.Prozent20 != 0);
    checknobody->setChecked(o.Nobody != 0);
    txtMahnTage->setText(QString::number(o.MahnTage));
    txtIBAN->setText(ibanValid(o.IBAN) ? groupedIban(o.IBAN) : o.IBAN);
    txtBIC->setText(o.BIC);
    txtAnschrift->setText(o.Anschrift);
    checkKleinunternehmer->setChecked(o.Kleinunternehmer);
    txtSteuernummer->setText(o.Steuernummer);
    cboSteuerart->setCurrentIndex(std::max(0, cboSteuerart->findData(o.Steuerart.trimmed())));
    cboSteuerart->setDisabled(o.Kleinunternehmer);
    checkERechnung->setChecked(o.ERechnungFuerAlle);
    txtUstId->setText(o.UstId);
    txtNummernkreis->setText(o.Nummernkreis);
    checkSicherung->setChecked(o.TaeglicheSicherung);
    txtUsername->setText(o.Username);
    checkFusszeile->setChecked(o.Fusszeile);
    const QString security = connectionSecurity(o);
    optSicherheit[0]->setChecked(security == QStringLiteral("STARTTLS"));
    optSicherheit[1]->setChecked(security == QStringLiteral("SSL/TLS"));
    optSicherheit[2]->setChecked(security == QStringLiteral("Keine"));
    checkUnverschluesselt->setChecked(o.KennwortUnverschluesselt);
    mailbox->load(o);
    cboAnmeldung->setCurrentIndex(std::max(0, cboAnmeldung->findData(o.Anmeldeverfahren.trimmed())));
    Option1_Click();
    Check2_Click();
    OrvoButton1_Click();
}

Result<Settings> frmOptionen::values() const {
    const Result<qint32> port = parsePort(txt(8)->text());
    if (!port.ok()) return port.error();
    bool number = false;
    const int days = txtMahnTage->text().trimmed().toInt(&number);
    if (!number || days < 1 || days > 365)
        return Error::plain(
            QStringLiteral("Bitte geben Sie bei „Zahlung überfällig nach“ eine Zahl von Tagen zwischen 1 "
                           "und 365 ein."));
    const QString iban = compactIban(txtIBAN->text());
    if (!iban.isEmpty() && !ibanValid(iban))
        return Error::plain(
            QStringLiteral("Die IBAN „%1“ ist nicht gültig: Länge oder Prüfziffern stimmen nicht. Bitte "
                           "prüfen Sie sie auf Ihrem Kontoauszug.")
                .arg(txtIBAN->text().trimmed()));
    const QString bic = compactIban(txtBIC->text());
    if (!bic.isEmpty() && !bicValid(bic))
        return Error::plain(QStringLiteral("Die BIC „%1“ ist nicht gültig: sie hat 8 oder 11 Buchstaben und Ziffern.")
                                .arg(txtBIC->text().trimmed()));
    const QString series = txtNummernkreis->text().trimmed();
    if (!series.isEmpty() && !validNumberPattern(series))
        return Error::plain(QStringLiteral("Die Rechnungsnummern \u201E%1\u201C brauchen genau einen Platz für die "
                                           "laufende Nummer, etwa RE-{JJJJ}-{NNNN}, und keine Leerzeichen.")
                                .arg(series));
    Settings v = loaded_;
    v.Steuernummer = txtSteuernummer->text().trimmed();
    v.UstId = txtUstId->text().trimmed().remove(QLatin1Char(' ')).toUpper();
    v.Nummernkreis = series;
    v.Steuerart = cboSteuerart->currentData().toString();
    v.ERechnungFuerAlle = checkERechnung->isChecked();
    v.IBAN = iban;
    v.BIC = bic;
    v.Anschrift = txtAnschrift->text().simplified();
    v.Kleinunternehmer = checkKleinunternehmer->isChecked();
    v.TaeglicheSicherung = checkSicherung->isChecked();
    v.Kontoinhaber = txt(0)->text();
    v.Kontonummer = txt(1)->text();
    v.BLZ = txt(2)->text();
    v.Bank = txt(3)->text();
    v.VersicherterVersand = txt(4)->text();
    v.SMTPServer = txt(5)->text();
    v.HTTPLink1 = txt(6)->text();
    v.Absender = txt(7)->text();
    v.SMTPPort = port.value();
    v.HTTPLink2 = txt(9)->text();
    v.Konto = txt(10)->text();
    v.Kennwort = txt(11)->text();
    v.Standardversandmail = Option1->isChecked();
    v.Kopie = Check1->isChecked() ? 1 : 0;
    v.Auth = Check2->isChecked() ? 1 : 0;
    v.Prozent20 = checkpro20->isChecked() ? 1 : 0;
    v.Nobody = checknobody->isChecked() ? 1 : 0;
    v.MahnTage = days;
    v.Username = txtUsername->text().trimmed();
    v.Fusszeile = checkFusszeile->isChecked();
    v.Verbindungssicherheit = optSicherheit[0]->isChecked()   ? QStringLiteral("STARTTLS")
                              : optSicherheit[1]->isChecked() ? QStringLiteral("SSL/TLS")
                                                              : QStringLiteral("Keine");
    v.KennwortUnverschluesselt = checkUnverschluesselt->isChecked();
    v.Anmeldeverfahren = tokenProvider();
    if (const Status box = mailbox->store(v); !box.ok()) return box.error();
    return v;
}

void frmOptionen::focusMemberName() {
    OrvoButton1_Click();
    txtUsername->setFocus();
}

void frmOptionen::showPage(QWidget* page) {
    pages->setCurrentWidget(page);
    OrvoButton1->setEnabled(page != Frame1);
    OrvoButton2->setEnabled(page != Frame2);
    cmdPosteingang->setEnabled(page != mailbox);
    // The sending account's provider suggests its mailbox's server.
    if (page == mailbox)
        mailbox->offerPreset(txt(10)->text().contains(QLatin1Char('@')) ? txt(10)->text() : txt(7)->text());
}

void frmOptionen::OrvoButton1_Click() {
    CALLSTACK();
    showPage(Frame1);
}

void frmOptionen::OrvoButton2_Click() {
    CALLSTACK();
    showPage(Frame2);
}

void frmOptionen::Option1_Click() {
    CALLSTACK();
    const bool smtp = Option2->isChecked();
    for (int i : {5, 7, 8}) txt(i)->setEnabled(smtp);
    grpSicherheit->setEnabled(smtp);
    cmdTestmail->setEnabled(smtp);
}

void frmOptionen::Check2_Click() {
    CALLSTACK();
    showSignIn();
}

QString frmOptionen::tokenProvider() const { return cboAnmeldung->currentData().toString(); }

void frmOptionen::showSignIn() {
    const bool auth = Check2->isChecked(), token = !tokenProvider().isEmpty();
    cboAnmeldung->setEnabled(auth);
    txt(10)->setEnabled(auth);
    // With a token the password is not asked, nor may it travel in clear.
    txt(11)->setEnabled(auth && !token);
    checkUnverschluesselt->setEnabled(auth && !token);
    cmdAnmelden->setVisible(token);
    const QString unavailable = token ? tokenSignInUnavailable(tokenProvider()) : QString();
    cmdAnmelden->setEnabled(auth && token && unavailable.isEmpty());
    QString said;
    if (auth && token)
        said = !unavailable.isEmpty() ? unavailable
               : tokenSignedIn(tokenProvider(), txt(10)->text())
                   ? QStringLiteral("Angemeldet bei %1 als %2.").arg(tokenProvider(), txt(10)->text().trimmed())
                   : QStringLiteral(
                         "Noch nicht angemeldet: „Anmelden…“ öffnet die Anmeldeseite von %1 "
                         "im Browser.")
                         .arg(tokenProvider());
    lblAnmeldung->setText(said);
    lblAnmeldung->setVisible(!said.isEmpty());
}

void frmOptionen::cmdAnmelden_Click() {
    CALLSTACK();
    const QString user = txt(10)->text().trimmed().isEmpty() ? txt(7)->text().trimmed() : txt(10)->text().trimmed();
    if (txt(10)->text().trimmed().isEmpty()) txt(10)->setText(user);
    lblAnmeldung->setText(
        QStringLiteral("Bitte melden Sie sich im Browser an; Gaveldesk wartet höchstens fünf "
                       "Minuten auf die Antwort."));
    cmdAnmelden->setEnabled(false);
    QCoreApplication::processEvents();
    const Result<QString> done = signInWithToken(tokenProvider(), user, [](const QUrl& url) {
        return platform().shellExecute(QStringLiteral("Open"), url.toString(QUrl::FullyEncoded));
    });
    showSignIn();
    platform().msgBox(done.ok() ? done.value() : done.error().message(), Platform::Buttons::Ok,
                      done.ok() ? Platform::Icon::Information : Platform::Icon::Exclamation, windowTitle());
}

void frmOptionen::cmdOK_Click() {
    CALLSTACK();
    // A refused value or an unwritable file keeps the dialog open with what was typed.
    const Result<Settings> v = values();
    const Status saved = v.ok() ? saveOptions(v.value()) : Status(v.error());
    if (!saved.ok()) {
        platform().msgBox(saved.error().message(), Platform::Buttons::Ok, Platform::Icon::Exclamation, windowTitle());
        return;
    }
    // Every reader sees the new settings at once.
    showMessages(subInitApp());
    if (v.value().Username.compare(loaded_.Username, Qt::CaseInsensitive) != 0)
        offerToMoveTrades(loaded_.Username, v.value().Username);
    accept();
}

void frmOptionen::offerToMoveTrades(const QString& oldName, const QString& newName) {
    CALLSTACK();
    if (gsDataSource.isEmpty() || newName.isEmpty()) return;
    // The old name's rows, and rows stored while no name was set.
    QStringList owners{oldName};
    if (!oldName.isEmpty()) owners << QString();
    for (const QString& owner : owners) {
        const Result<int> n = countTrades(currentStore(), owner);
        if (!n.ok() || n.value() == 0) continue;
        const QString count =
            n.value() == 1 ? QStringLiteral("ist 1 Auktion") : QStringLiteral("sind %1 Auktionen").arg(n.value());
        const QString question =
            owner.isEmpty() ? QStringLiteral("Es %1 ohne Mitgliedsnamen gespeichert.").arg(count)
                            : QStringLiteral("Unter dem bisherigen Mitgliedsnamen \u201E%1\u201C %2 gespeichert.")
                                  .arg(owner, count);
        // Moving is what a renamed member wants: Enter moves; "Nein" is said to hide them.
        if (platform().msgBox(
                question + QLatin1Char('\r') +
                    QStringLiteral("Sollen sie zum Mitgliedsnamen \u201E%1\u201C übernommen werden?").arg(newName) +
                    QLatin1Char('\r') +
                    QStringLiteral("Bei \u201ENein\u201C zeigt die Liste dann nur Geschäfte von \u201E%1\u201C; die "
                                   "übrigen bleiben gespeichert und erscheinen wieder, wenn Sie den bisherigen "
                                   "Namen einstellen.")
                        .arg(newName),
                Platform::Buttons::YesNo, Platform::Icon::Question, windowTitle(),
                Platform::Answer::Yes) != Platform::Answer::Yes)
            continue;
        const Result<int> moved = moveTrades(currentStore(), owner, newName);
        if (!moved.ok()) showError(moved.error());
    }
}

void frmOptionen::cmdcancel_Click() {
    CALLSTACK();
    reject();
}

void frmOptionen::applyPreset() {
    const std::optional<ProviderPreset> p =
        presetForAddress(readProviderPresets(AppPath() + QStringLiteral("/bin/anbieter.ini")), txt(7)->text());
    // Filled once per provider: what the user changes afterwards stays.
    if (!p || p->name == presetApplied_) return;
    presetApplied_ = p->name;
    presetServer_ = p->server;
    Option2->setChecked(true);
    txt(5)->setText(p->server);
    txt(8)->setText(QString::number(p->port));
    const int security = p->security == u"SSL/TLS" ? 1 : p->security == u"Keine" ? 2 : 0;
    optSicherheit[std::size_t(security)]->setChecked(true);
    Check2->setChecked(true);
    if (txt(10)->text().trimmed().isEmpty()) txt(10)->setText(txt(7)->text().trimmed());
    const int token = cboAnmeldung->findData(p->signIn);
    cboAnmeldung->setCurrentIndex(std::max(0, token));
    lblAnbieter->setText(
        QString(QStringLiteral("Voreinstellung \u201E%1\u201C übernommen. ").arg(p->name) + p->hint).trimmed());
    showSignIn();
}

void frmOptionen::cmdTestmail_Click() {
    CALLSTACK();
    const Result<Settings> v = values();
    platform().setBusyCursor(true);
    Status sent = v.ok() ? sendTestMail(v.value(), v.value().Absender) : Status(v.error());
    platform().setBusyCursor(false);
    // A certificate the system does not know: trusted consciously, the test goes out once more.
    if (!sent.ok() && v.ok() && lastRefusedCertificate()) {
        if (!offerCertificateTrust(this)) return;  // the dialog said that nothing was sent
        platform().setBusyCursor(true);
        sent = sendTestMail(v.value(), v.value().Absender);
        platform().setBusyCursor(false);
    }
    if (sent.ok()) {
        // The server it went through, as typed; the preset only while its server is that one.
        const Settings& used = v.value();
        const bool viaPreset =
            !presetApplied_.isEmpty() && used.SMTPServer.trimmed().compare(presetServer_, Qt::CaseInsensitive) == 0;
        platform().msgBox(
            QStringLiteral("Testmail gesendet an %1 über %2 (Port %3)%4.")
                .arg(used.Absender.trimmed(), used.SMTPServer.trimmed(), QString::number(used.SMTPPort),
                     viaPreset ? QStringLiteral(", Voreinstellung \u201E%1\u201C").arg(presetApplied_) : QString()),
            Platform::Buttons::Ok, Platform::Icon::Information, windowTitle());
    } else {
        platform().msgBox(
            QStringLiteral("Die Testmail wurde nicht gesendet:") + QLatin1Char('\r') + sent.error().message(),
            Platform::Buttons::Ok, Platform::Icon::Exclamation, windowTitle());
    }
}

}  // namespace gd
