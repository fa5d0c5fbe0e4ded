// The menus of frmMain: one command table, the menu bar and the pop-up menu
// built from it, and the 10 ms deferral of every menu command.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <array>

#include "base/AppPath.h"
#include "base/CallStack.h"
#include "base/Clock.h"
#include "base/ReadFile.h"
#include "base/SafeWrite.h"
#include "domain/bank/Csv.h"
#include "domain/bank/Matching.h"
#include "domain/bank/Payouts.h"
#include "domain/db/Backup.h"
#include "domain/import/OrderReport.h"
#include "domain/invoice/IssuedInvoices.h"
#include "domain/settings/modGlobal.h"
#include "render/InvoicePdf.h"
#include "ui/AddressPrompt.h"
#include "ui/FlexGrid.h"
#include "ui/Platform.h"
#include "ui/frmAbout.h"
#include "ui/frmAuszahlungen.h"
#include "ui/frmERechnung.h"
#include "ui/frmEtiketten.h"
#include "ui/frmHilfe.h"
#include "ui/frmJahr.h"
#include "ui/frmKennwort.h"
#include "ui/frmKontoauszug.h"
#include "ui/frmMain.h"
#include "ui/frmOptionen.h"
#include "ui/frmRechnungen.h"
#include "ui/frmRueckgabe.h"
#include "ui/frmRueckgaben.h"
#include "ui/frmVerpackung.h"
#include "ui/modLinks.h"

#define CALLSTACK_MENU() CALLSTACK_MODULE("frmMain")

namespace gd {

std::span<const frmMain::Command> frmMain::commands() {
    using B = BarMenu;
    const QKeyCombination none;
    static const std::array<Command, 37> table = {{
        {"keyOptionen", "&Optionen", Qt::CTRL | Qt::Key_O, B::Einstellungen, false, false, false, nullptr,
         [](frmMain& w) { w.showOptions(); }},
        {"keyInfo", "&Info", Qt::CTRL | Qt::Key_I, B::Einstellungen, false, false, false, nullptr,
         [](frmMain& w) { w.showAbout(); }},
        {"keyHelp", "&Hilfe", QKeyCombination(Qt::Key_F1), B::Einstellungen, false, false, false, nullptr,
         [](frmMain& w) { w.showHelp(); }},
        {"keyBackup", "Datensicherung…", none, B::Einstellungen, true, false, false, nullptr,
         [](frmMain& w) { w.saveBackup(); }},
        {"keyRestore", "Wiederherstellen…", none, B::Einstellungen, false, false, false, nullptr,
         [](frmMain& w) { w.restoreFromBackup(); }},
        {"keyNeueDatenbank", "Neue Datenbank anlegen…", none, B::Einstellungen, false, false, false, nullptr,
         [](frmMain& w) { w.ensureDatabase(true); }},
        {"keyKennwort", "Datenbank-Kennwort ändern…", none, B::Einstellungen, false, false, false, nullptr,
         [](frmMain& w) { w.changePassphrase(); }},
        {"keyExit", "Beenden", Qt::CTRL | Qt::Key_B, B::Einstellungen, true, false, false, nullptr,
         [](frmMain& w) { w.close(); }},
        {"keyEmaileinlesen", "Email einlesen", Qt::CTRL | Qt::Key_E, B::Aktionen, false, false, false, nullptr,
         [](frmMain& w) { w.cmdEinlesen_Click(); }},
        {"keyPosteingang", "Posteingang abrufen", Qt::CTRL | Qt::Key_P, B::Aktionen, false, false, false, nullptr,
         [](frmMain& w) { w.fetchMailbox(); }},
        {"keyEmailversenden", "Email versenden", Qt::CTRL | Qt::Key_S, B::Aktionen, false, false, false, nullptr,
         [](frmMain& w) { w.pane_->cmdSenden_Click(); }},
        {"keyRechnung", "Rechnung als PDF…", none, B::Aktionen, false, true, true, nullptr,
         [](frmMain& w) { w.saveInvoice(); }, Need::Selection},
        {"keyRueckgabe", "Widerruf / Rückgabe…", none, B::Aktionen, false, true, false, nullptr,
         [](frmMain& w) { w.askForReturn(); }, Need::Selection},
        {"keyRueckgaben", "Offene Rückgaben…", none, B::Aktionen, false, false, false, nullptr,
         [](frmMain& w) { w.showReturns(); }},
        {"keyEtiketten", "Versandetiketten…", none, B::Aktionen, false, false, false, nullptr,
         [](frmMain& w) { w.writeLabels(); }},
        {"keyVerpackung", "Verpackungsmengen…", none, B::Aktionen, false, false, false, nullptr,
         [](frmMain& w) { w.showPackaging(); }},
        {"keyRechnungen", "Rechnungen…", none, B::Aktionen, false, false, false, nullptr,
         [](frmMain& w) { w.showInvoices(); }},
        {"keyERechnung", "E-Rechnung ansehen…", none, B::Aktionen, false, false, false, nullptr,
         [](frmMain& w) { w.showEInvoice(); }},
        {"keyJahr", "Jahresübersicht…", none, B::Aktionen, true, false, false, nullptr,
         [](frmMain& w) { w.showYear(); }},
        {"keyDatev", "Export für Steuerberater (DATEV)…", none, B::Aktionen, false, false, false, nullptr,
         [](frmMain& w) { w.showDatev(); }},
        {"keyAuszahlungen", "Auszahlungen…", none, B::Aktionen, false, false, false, nullptr,
         [](frmMain& w) { w.showPayouts(); }},
        {"keyDateiformat", "Dateiformat prüfen…", none, B::Aktionen, false, false, false, nullptr,
         [](frmMain& w) { w.showFileFormat(); }},
        {"keyBestellungen", "Bestellbericht einlesen…", none, B::Aktionen, false, false, false, nullptr,
         [](frmMain& w) { w.readOrderReport(); }},
        {"keyKontoauszug", "Kontoauszug einlesen…", none, B::Aktionen, true, false, false, nullptr,
         [](frmMain& w) { w.importStatement(); }},
        {"keyrefresh", "Liste aktualisieren", QKeyCombination(Qt::Key_F5), B::Aktionen, true, false, false, nullptr,
         [](frmMain& w) { w.list_->subRefreshListe(); }},
        {"keyBewertungen", "Bewertungen abgeben", none, B::Aktionen, true, false, false, nullptr,
         [](frmMain& w) { w.openFeedback(); }},
        {"keyzurauktion", "Zur Auktion", none, B::None, false, true, false, nullptr,
         [](frmMain& w) { w.pane_->cmdAuktion_Click(); }},
        {"keysort2", "nach ebayname (aufsteigend)", none, B::Sortieren, false, true, true, nullptr,
         [](frmMain& w) { w.list_->sortList(2, true); }},
        {"keysort21", "nach ebayname (absteigend)", none, B::Sortieren, false, true, false, nullptr,
         [](frmMain& w) { w.list_->sortList(2, false); }},
        {"keysort3", "nach Bezeichnung (aufsteigend)", none, B::Sortieren, true, true, false, nullptr,
         [](frmMain& w) { w.list_->sortList(4, true); }},
        {"keysort31", "nach Bezeichnung (absteigend)", none, B::Sortieren, false, true, false, nullptr,
         [](frmMain& w) { w.list_->sortList(4, false); }},
        {"keysort1", "nach Status (aufsteigend)", none, B::Sortieren, true, true, false, nullptr,
         [](frmMain& w) { w.list_->sortList(6, true); }},
        {"keysort11", "nach Status (absteigend)", none, B::Sortieren, false, true, false, nullptr,
         [](frmMain& w) { w.list_->sortList(6, false); }},
        {"keysort0", "nach Auktionsende", none, B::Sortieren, true, true, false, nullptr,
         [](frmMain& w) { w.list_->databaseOrder(); }},
        {"keyallemark", "Alle markieren", none, B::Markierung, false, true, false, nullptr,
         [](frmMain& w) { w.list_->demarkcheck(1); }},
        {"keyalledemark", "Markierungen aufheben", none, B::Markierung, false, true, false, nullptr,
         [](frmMain& w) { w.list_->demarkcheck(2); }},
        {"keydelete", "Markierte(n) Emaileintrag/Einträge löschen", none, B::Aktionen, true, true, true,
         "Markierte(n) Emaileinträge löschen", [](frmMain& w) { w.deleteEntry(); }},
    }};
    return table;
}

void frmMain::pBuildMenus() {
    CALLSTACK();
    struct Bar {
        BarMenu which;
        const char* title;
        const char* key;
    };
    static const Bar bars[] = {{BarMenu::Einstellungen, "Einstellungen", "keyEinstellungen"},
                               {BarMenu::Aktionen, "Aktionen", "keyAktion"},
                               {BarMenu::Sortieren, "Ansicht", "keyAnsicht"},
                               {BarMenu::Markierung, "Markierung", "keyMarkierung"}};
    QHash<int, QMenu*> menus;
    QMenu* popupSort = nullptr;
    // The list's pop-up menu is also the menu bar's "Auswahl": so it is found by keyboard and
    // by screen readers, which do not see a pop-up menu that belongs to no menu.
    smartpopmdi = new QMenu(QStringLiteral("Auswahl"), this);
    smartpopmdi->setObjectName(QStringLiteral("keypop2"));
    smartpopmdi->setAccessibleName(QStringLiteral("Auswahl"));  // what a screen reader says when it opens
    const auto addTo = [this](QMenu* m, const Command& c, const char* caption, bool separator, bool popup) {
        if (separator) m->addSeparator();
        QAction* a = m->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromLatin1(c.key));
        if (c.shortcut != QKeyCombination()) a->setShortcut(QKeySequence(c.shortcut));
        const QString key = QString::fromLatin1(c.key);
        connect(a, &QAction::triggered, this,
                [this, key, popup] { popup ? smartpopmdi_Click(key) : SmartMenuXP1_Click(key); });
        actions_[key] << a;
    };
    for (const Command& c : commands()) {
        if (c.bar != BarMenu::None) {
            QMenu*& m = menus[int(c.bar)];
            if (!m) {
                const Bar& b =
                    *std::find_if(std::begin(bars), std::end(bars), [&c](const Bar& x) { return x.which == c.bar; });
                m = menuBar()->addMenu(QString::fromUtf8(b.title));
                m->setObjectName(QString::fromLatin1(b.key));
                if (c.bar == BarMenu::Sortieren) {  // "Ansicht" holds the sort menu
                    m = m->addMenu(QStringLiteral("Liste sortieren"));
                    m->setObjectName(QStringLiteral("keysortmenue"));
                }
            }
            addTo(m, c, c.caption, c.barSeparator, false);
        }
        if (!c.popup) continue;
        QMenu* target = smartpopmdi;
        bool separator = c.popupSeparator;
        if (c.bar == BarMenu::Sortieren) {
            if (!popupSort) {
                if (c.popupSeparator) smartpopmdi->addSeparator();
                popupSort = smartpopmdi->addMenu(QStringLiteral("Liste sortieren"));
                popupSort->setObjectName(QStringLiteral("keysort"));
                separator = false;
            } else {
                separator = c.barSeparator;
            }
            target = popupSort;
        }
        addTo(target, c, c.popupCaption ? c.popupCaption : c.caption, separator, true);
    }
    menuBar()->addMenu(smartpopmdi);
}

void frmMain::SmartMenuXP1_Click(const QString& key) {
    CALLSTACK();
    if (tmrMenue->isActive()) return;  // a command is still pending
    gsMenuKey = key;
    tmrMenue->start();
}

void frmMain::smartpopmdi_Click(const QString& key) {
    CALLSTACK();
    if (tmPopup->isActive()) return;
    gsPopupKey = key;
    tmPopup->start();
}

void frmMain::tmrMenue_Timer() {
    CALLSTACK();
    tmrMenue->stop();
    const QString key = gsMenuKey;
    gsMenuKey.clear();
    runMenuCommand(key);
}

void frmMain::tmPopup_Timer() {
    CALLSTACK();
    tmPopup->stop();
    const QString key = gsPopupKey;
    gsPopupKey.clear();
    for (const Command& c : commands())
        if (c.popup && key == QLatin1String(c.key)) runMenuCommand(key);
}

void frmMain::runMenuCommand(const QString& key) {
    CALLSTACK();
    for (const Command& c : commands())
        if (key == QLatin1String(c.key)) {
            c.run(*this);
            return;
        }
}

void frmMain::showOptions(bool memberName) {
    frmOptionen dlg(this);
    if (memberName) dlg.focusMemberName();
    // The member name owns the rows: a new one may show other trades.
    const bool accepted = dlg.exec() == QDialog::Accepted;
    // The database is saved by its own dialog, whether or not the options are.
    if (const QString chosen = dlg.chosenDataSource(); !chosen.isEmpty() && chosen != gsDataSource)
        followDataSource(chosen);
    else if (accepted)
        list_->subRefreshListe();
}

void frmMain::showAbout() {
    frmAbout dlg(this);
    dlg.exec();
}

void frmMain::showHelp() { frmHilfe::showHelp(this); }

void frmMain::openFeedback() { OpenLink(gsFeedbackLink, false); }

void frmMain::changePassphrase() {
    CALLSTACK_MENU();
    if (gsDataSource.isEmpty()) return;
    frmKennwort dlg(this);
    dlg.exec();
}

void frmMain::saveBackup() {
    CALLSTACK_MENU();
    if (gsDataSource.isEmpty()) return;
    QString file = platform().saveFileName(
        QStringLiteral("Datensicherung speichern"),
        // With the time: the daily backup's name, which its rotation removes, stays its own.
        documentsFolder() + QStringLiteral("/gaveldesk-") + now().toString(QStringLiteral("yyyy-MM-dd-HHmm")) +
            QString::fromLatin1(kBackupSuffix),
        QStringLiteral("Datensicherungen (*.gdsicherung)"));
    if (file.isEmpty()) return;
    // "stand1" becomes "stand1.gdsicherung": the restore lists backups by that ending.
    if (!file.endsWith(QString::fromLatin1(kBackupSuffix), Qt::CaseInsensitive))
        file += QString::fromLatin1(kBackupSuffix);
    platform().setBusyCursor(true);
    const Status written = writeBackup(gsDataSource, AppPath() + QStringLiteral("/bin"), file);
    platform().setBusyCursor(false);
    if (!written.ok()) {
        showError(written.error());
        return;
    }
    const QString size =
        QLocale(QLocale::German).formattedDataSize(QFileInfo(file).size(), 1, QLocale::DataSizeTraditionalFormat);
    platform().msgBox(QStringLiteral("Datensicherung gespeichert: %1 (%2)").arg(QDir::toNativeSeparators(file), size),
                      Platform::Buttons::Ok, Platform::Icon::Information);
}

void frmMain::restoreFromBackup() {
    CALLSTACK_MENU();
    const QString file = platform().openFileName(QStringLiteral("Datensicherung wiederherstellen"), backupFolder(),
                                                 QStringLiteral("Datensicherungen (*.gdsicherung);;Alle Dateien (*)"));
    if (file.isEmpty()) return;
    const QString db = gsDataSource.isEmpty() ? defaultDatabasePath() : gsDataSource;
    if (platform().msgBox(QStringLiteral("Die Datensicherung '%1' ersetzt alle Auktionen und Einstellungen.")
                                  .arg(QDir::toNativeSeparators(file)) +
                              QLatin1Char('\r') +
                              QStringLiteral("Der jetzige Stand wird vorher in '%1' gesichert. Fortfahren?")
                                  .arg(QDir::toNativeSeparators(backupFolder())),
                          Platform::Buttons::YesNo, Platform::Icon::Question, QString()) != Platform::Answer::Yes)
        return;
    platform().setBusyCursor(true);
    bool otherPassword = false;
    QStringList notes;
    Result<QString> kept =
        restoreBackup(file, db, AppPath() + QStringLiteral("/bin"), backupFolder(), QString(), &otherPassword, &notes);
    platform().setBusyCursor(false);
    // Made under another password: ask for it, three times at most.
    for (int attempt = 0; !kept.ok() && otherPassword && attempt < 3; ++attempt) {
        bool ok = false;
        const QString typed = QInputDialog::getText(
            this, QStringLiteral("Datensicherung wiederherstellen"),
            QStringLiteral(
                "Die Datensicherung hat ein anderes Kennwort als die Datenbank. Kennwort der Datensicherung:"),
            QLineEdit::Password, QString(), &ok);
        if (!ok) return;
        platform().setBusyCursor(true);
        kept =
            restoreBackup(file, db, AppPath() + QStringLiteral("/bin"), backupFolder(), typed, &otherPassword, &notes);
        platform().setBusyCursor(false);
    }
    if (!kept.ok()) {
        showError(kept.error());
        return;
    }
    subInitApp();
    reloadDataSource();
    list_->subRefreshListe();
    platform().msgBox(
        QStringLiteral("Die Datensicherung ist eingespielt.") +
            (kept.value().isEmpty()
                 ? QString()
                 : QLatin1Char('\r') +
                       QStringLiteral("Der vorige Stand liegt in '%1'.").arg(QDir::toNativeSeparators(kept.value()))) +
            (smtpPasswordMissing() ? QLatin1Char('\r') + kSmtpPasswordNotInBackup : QString()) +
            (notes.isEmpty() ? QString() : QLatin1Char('\r') + notes.join(QLatin1Char('\r'))),
        Platform::Buttons::Ok, notes.isEmpty() ? Platform::Icon::Information : Platform::Icon::Exclamation, QString());
    if (smtpPasswordMissing()) showOptions(false);
}

void frmMain::importStatement() {
    CALLSTACK_MENU();
    const QString file = platform().openFileName(QStringLiteral("Kontoauszug einlesen"), documentsFolder(),
                                                 QStringLiteral("Kontoauszüge (*.xml *.csv *.txt);;Alle Dateien (*)"));
    if (file.isEmpty()) return;
    const Result<BankStatement> st = readStatement(file);
    if (!st.ok()) {
        showError(st.error());
        return;
    }
    if (st.value().Gutschriften.isEmpty() && st.value().NichtGelesen.isEmpty()) {
        platform().msgBox(
            QStringLiteral("Der Kontoauszug enthält keine gebuchte Gutschrift in Euro. ") + statementCounts(st.value()),
            Platform::Buttons::Ok, Platform::Icon::Information, QString());
        return;
    }
    const Result<QList<Proposal>> proposals = proposalsFor(currentStore(), st.value().Gutschriften);
    if (!proposals.ok()) {
        showError(proposals.error());
        return;
    }
    // A platform's payout among the credits reaches its payout, whatever the sales proposals.
    QStringList unmatched;
    const Result<QList<PayoutSummary>> linked = linkPayouts(currentStore(), st.value().Gutschriften, &unmatched);
    if (!linked.ok()) showError(linked.error());
    QStringList said;
    for (const PayoutSummary& p : linked.valueOr({})) said << payoutText(p);
    for (const QString& u : unmatched) said << QStringLiteral("Gutschrift ohne Auszahlungsbericht: ") + u;
    if (!said.isEmpty())
        platform().msgBox(said.join(QLatin1Char('\n')), Platform::Buttons::Ok, Platform::Icon::Information, QString());
    frmKontoauszug dlg(file, proposals.value(), st.value(), this);
    dlg.exec();
    if (dlg.applied() > 0) list_->subRefreshListe();
}

void frmMain::saveInvoice() {
    CALLSTACK_MENU();
    if (selectedAuktion().AuktionsID.isEmpty()) return;
    // A purchase is said before any file is asked for; the invoice is issued only once the
    // file is chosen, when it is really wanted.
    const QString nr = selectedAuktion().AuktionsNr;
    // The sale itself: another may share its item number.
    const QString sale = selectedAuktion().AuktionsID;
    if (!completeAddressFor(this, sale) || !taxModeReadyFor(this, sale)) return;
    // Named by the number it will carry, as the buyer and the books will name it.
    const Result<QString> expected = expectedInvoiceNumber(currentStore(), sale, gSettings.Nummernkreis, now());
    if (!expected.ok()) {
        showError(expected.error());
        return;
    }
    const QString proposed = invoiceFileName(
        expected.value().isEmpty() ? QStringLiteral("Rechnung-") + nr : expected.value(), QStringLiteral(".pdf"));
    QString file =
        platform().saveFileName(QStringLiteral("Rechnung als PDF speichern"),
                                documentsFolder() + QLatin1Char('/') + proposed, QStringLiteral("PDF-Dateien (*.pdf)"));
    if (file.isEmpty()) return;
    const Result<IssuedInvoice> inv = issueInvoice(currentStore(), invoiceProfile(currentSettings()), sale,
                                                   gSettings.Nummernkreis, now(), invoicePdf);
    if (!inv.ok()) {
        showError(inv.error());
        return;
    }
    // Another seat took the number meanwhile: the proposed name follows the number issued.
    if (QFileInfo(file).fileName() == proposed && inv.value().Nummer != expected.value())
        file = QFileInfo(file).dir().filePath(invoiceFileName(inv.value().Nummer, QStringLiteral(".pdf")));
    if (!inv.value().Hinweis.isEmpty())
        platform().msgBox(inv.value().Hinweis, Platform::Buttons::Ok, Platform::Icon::Exclamation);
    const Status written = writeFileSafely(file, inv.value().Pdf);
    if (!written.ok()) {
        showError(written.error());
        return;
    }
    // Said where it is seen: the number is what the buyer and the books will name.
    platform().msgBox(
        QStringLiteral("Rechnung %1 gespeichert: %2").arg(inv.value().Nummer, QDir::toNativeSeparators(file)),
        Platform::Buttons::Ok, Platform::Icon::Information);
}

void frmMain::askForReturn() {
    CALLSTACK_MENU();
    if (gsDataSource.isEmpty() || pane_->trade().AuktionsID.isEmpty()) return;
    frmRueckgabe dlg(pane_->trade(), pane_->partner(), this);
    dlg.exec();
    if (dlg.changed()) list_->subRefreshListe();
}

void frmMain::showReturns() {
    CALLSTACK_MENU();
    if (gsDataSource.isEmpty()) return;
    frmRueckgaben dlg(this);
    dlg.exec();
    if (dlg.changed()) list_->subRefreshListe();
}

void frmMain::writeLabels() {
    CALLSTACK_MENU();
    if (gsDataSource.isEmpty()) return;
    frmEtiketten dlg(this);
    dlg.exec();
}

void frmMain::showPackaging() {
    CALLSTACK_MENU();
    if (gsDataSource.isEmpty()) return;
    frmVerpackung dlg(this);
    dlg.exec();
}

void frmMain::showInvoices() {
    CALLSTACK_MENU();
    if (gsDataSource.isEmpty()) return;
    frmRechnungen dlg(this);
    dlg.exec();
}

void frmMain::showEInvoice() {
    CALLSTACK_MENU();
    const QString file = platform().openFileName(QStringLiteral("E-Rechnung öffnen"), documentsFolder(),
                                                 QStringLiteral("E-Rechnungen (*.xml *.pdf)"));
    if (file.isEmpty()) return;
    // Kept with the purchase selected in the list, if one is.
    const bool purchase = !selectedAuktion().AuktionsID.isEmpty() && selectedKunde().Lieferant;
    frmERechnung dlg(purchase ? selectedAuktion().AuktionsNr : QString(), this);
    if (dlg.load(file)) dlg.exec();
}

void frmMain::showYear() {
    CALLSTACK_MENU();
    if (gsDataSource.isEmpty()) return;
    frmJahr dlg(this);
    dlg.exec();
}

void frmMain::showDatev() {
    CALLSTACK_MENU();
    if (gsDataSource.isEmpty()) return;
    frmDatev dlg(this);
    dlg.exec();
}

void frmMain::showPayouts() {
    CALLSTACK_MENU();
    if (gsDataSource.isEmpty()) return;
    frmAuszahlungen dlg(this);
    dlg.exec();
    list_->subRefreshListe();  // a report may have marked sales paid
}

void frmMain::showFileFormat() {
    CALLSTACK_MENU();
    const QString file = platform().openFileName(QStringLiteral("Datei prüfen"), documentsFolder(),
                                                 QStringLiteral("Exporte (*.csv *.txt);;Alle Dateien (*)"));
    if (file.isEmpty()) return;
    frmDateiformat dlg(this);
    if (dlg.load(file)) dlg.exec();
}

void frmMain::readOrderReport() {
    CALLSTACK_MENU();
    if (gsDataSource.isEmpty()) return;
    const QString file = platform().openFileName(QStringLiteral("Bestellbericht einlesen"), documentsFolder(),
                                                 QStringLiteral("Berichte (*.csv *.txt)"));
    if (file.isEmpty()) return;
    const Result<QByteArray> bytes = readBoundedFile(file, kMostTableBytes);
    if (!bytes.ok()) return showError(bytes.error());
    const Result<OrderReport> report = parseOrderReport(bytes.value(), loadProfiles(), mainPlatform(currentSettings()));
    if (!report.ok()) return showError(report.error());
    const Result<OrderOutcome> done = applyOrderReport(currentStore(), report.value());
    if (!done.ok()) return showError(done.error());
    platform().msgBox(orderOutcomeLines(report.value(), done.value()).join(QLatin1Char('\n')), Platform::Buttons::Ok,
                      Platform::Icon::Information, QString());
    list_->subRefreshListe();
}

void frmMain::showLimitNote() {
    bool clear = false;
    QString brief;
    const QString note = limitNote(&clear, &brief);
    lblGrenze_->setText(brief);
    lblGrenze_->setToolTip(note);
    lblGrenze_->setVisible(!note.isEmpty());
    lblGrenze_->setStyleSheet(clear ? QStringLiteral("color: #a00000; font-weight: bold;") : QString());
    fitStatusLine();
}

void frmMain::updateActions() {
    const bool rows = grid()->Rows() > 1;
    const bool selected = rows && !selectedAuktion().AuktionsID.isEmpty();
    pane_->enableFor(rows);
    for (const Command& c : commands()) {
        const bool on = c.need == Need::Always || (c.need == Need::Rows ? rows : selected);
        for (QAction* a : actions_.value(QString::fromLatin1(c.key))) a->setEnabled(on);
    }
}

}  // namespace gd
