#include "ui/frmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>

#include "base/AppPath.h"
#include "base/CallStack.h"
#include "base/profile.h"
#include "domain/db/ChangeWatch.h"
#include "domain/db/Database.h"
#include "domain/settings/modGlobal.h"
#include "domain/settings/modIni.h"
#include "domain/trade/LoadSave.h"
#include "ui/ElidingLabel.h"
#include "ui/FlexGrid.h"
#include "ui/MailboxFetcher.h"
#include "ui/Platform.h"
#include "ui/frmEinlesen.h"
#include "ui/frmKennwort.h"

namespace gd {

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setAcceptDrops(true);
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Orvo Gaveldesk 2005"));
    // 14000 x 6000 twips at 15 twips a pixel
    setMinimumSize(14000 / 15, 6000 / 15);

    auto* split = new QSplitter(this);
    list_ = new TradeList(split);
    pane_ = new DetailPane(split);
    split->addWidget(list_);
    split->addWidget(pane_);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setCollapsible(1, false);
    setCentralWidget(split);
    // Permanent: the count stays when a menu entry's hint takes the status bar.
    lblGrenze_ = new ElidingLabel(this);
    lblGrenze_->setObjectName(QStringLiteral("lblGrenze"));
    lblGrenze_->setVisible(false);
    statusBar()->addPermanentWidget(lblGrenze_);  // "Bereit" and other messages stay beside it
    statusBar()->addPermanentWidget(list_->summaryLabel());
    statusBar()->addPermanentWidget(list_->countLabel());
    statusBar()->showMessage(QStringLiteral("Bereit"));
    statusBar()->installEventFilter(this);
    connect(statusBar(), &QStatusBar::messageChanged, this, &frmMain::fitStatusLine);
    connect(list_, &TradeList::summaryShown, this, &frmMain::fitStatusLine);

    connect(list_, &TradeList::returnsWanted, this, &frmMain::showReturns);
    connect(list_, &TradeList::rowChosen, pane_, [this](const QString& id) {
        const QString shown = pane_->trade().AuktionsID;
        // What was typed is not thrown away by loading the trade anew, nor by another one
        // taking the pane unasked; "Abbrechen" keeps the trade shown and marks its row again.
        if (pane_->edited() && id == shown) return;
        const bool wasEdited = pane_->edited();
        if (!pane_->saveBeforeLeaving(QStringLiteral("Änderungen speichern?"))) {
            list_->selectTrade(shown);
            return;
        }
        pane_->subListeClick(id);
        if (wasEdited && !pane_->edited()) list_->subRefreshListe();  // saved: the list shows it
    });
    connect(list_, &TradeList::nothingChosen, pane_, [this] {
        pane_->subClearFelder();
        pane_->clearTypes();
    });
    connect(list_, &TradeList::rowOpened, pane_, &DetailPane::cmdAuktion_Click);
    connect(list_, &TradeList::changed, this, &frmMain::updateActions);
    connect(list_, &TradeList::listComplete, this, &frmMain::listComplete);
    connect(list_, &TradeList::summaryShown, this, &frmMain::summaryShown);
    connect(pane_, &DetailPane::tradeShown, list_, &TradeList::setShownTrade);
    connect(pane_, &DetailPane::tradeShown, this, &frmMain::updateActions);
    connect(pane_, &DetailPane::milestoneSaved, list_, &TradeList::subRefreshListe);
    connect(pane_, &DetailPane::saved, list_, &TradeList::subRefreshListe);
    connect(pane_, &DetailPane::saved, this, [this] {
        statusBar()->showMessage(QStringLiteral("Gespeichert: %1").arg(pane_->trade().AuktionsNr), 8000);
    });
    watchDataSource();
    connect(pane_, &DetailPane::importRequested, this, &frmMain::cmdEinlesen_Click);
    connect(pane_, &DetailPane::fetchRequested, this, &frmMain::fetchMailbox);
    fetcher_ = new MailboxFetcher(this);
    connect(fetcher_, &MailboxFetcher::progress, this, [this](int done, int total) {
        statusBar()->showMessage(QStringLiteral("Posteingang wird abgerufen … %1 von %2 E-Mails").arg(done).arg(total));
    });
    connect(fetcher_, &MailboxFetcher::finished, this, &frmMain::mailboxFetched);
    connect(fetcher_, &MailboxFetcher::refused, this, [](const QString& why) {
        platform().msgBox(why, Platform::Buttons::Ok, Platform::Icon::Exclamation, QStringLiteral("Posteingang"));
    });
    connect(pane_, &DetailPane::closeRequested, this, &frmMain::close);
    connect(grid(), &FlexGrid::deletePressed, this, &frmMain::deleteEntry);

    tmrMenue = new QTimer(this);
    tmrMenue->setObjectName(QStringLiteral("tmrMenue"));
    tmPopup = new QTimer(this);
    tmPopup->setObjectName(QStringLiteral("tmPopup"));
    for (QTimer* t : {tmrMenue, tmPopup}) {
        t->setInterval(10);
        t->setSingleShot(true);
    }
    connect(tmrMenue, &QTimer::timeout, this, &frmMain::tmrMenue_Timer);
    connect(tmPopup, &QTimer::timeout, this, &frmMain::tmPopup_Timer);
    pBuildMenus();
    connect(grid(), &FlexGrid::rightClicked, this, [this](const QPoint& at) {
        if (grid()->Rows() > 1 && !pane_->filling()) smartpopmdi->popup(at + QPoint(0, 10));
    });
    resize(1180, 740);  // the first start; later the window keeps the size it was given
    updateActions();
}

bool frmMain::ensureDatabase(bool asked) {
    // A file named in the settings but gone (moved, deleted) is offered anew at its place.
    // A server's database is there or the first operation says why not; its tables make themselves.
    const bool gone = !gsDataSource.isEmpty() && !isServerAddress(gsDataSource) && !QFileInfo::exists(gsDataSource);
    if (!gsDataSource.isEmpty() && !gone) {
        if (asked)
            platform().msgBox(QStringLiteral("Es ist bereits eine Datenbank eingestellt:") + QLatin1Char('\r') +
                                  gsDataSource + QLatin1Char('\r') +
                                  QStringLiteral("Eine ältere Sicherung holt \u201EWiederherstellen…\u201C zurück."),
                              Platform::Buttons::Ok, Platform::Icon::Information, QString());
        return true;
    }
    const QString path = gone ? gsDataSource : defaultDatabasePath();
    const QString shown = QDir::toNativeSeparators(path);
    const QString question =
        gone ? QString(QStringLiteral("Die Datenbankdatei wurde nicht gefunden:") + QLatin1Char('\r') + shown +
                       QLatin1Char('\r') +
                       QStringLiteral("Soll dort eine neue, leere Datenbank angelegt werden? Liegt die Datei auf einem "
                                      "Laufwerk, das gerade nicht verbunden ist, antworten Sie \u201ENein\u201C."))
             : QString(QStringLiteral("Es ist noch keine Datenbank vorhanden.") + QLatin1Char('\r') +
                       QStringLiteral("Soll eine neue, leere Datenbank angelegt werden?") + QLatin1Char('\r') + shown);
    if (!asked &&
        platform().msgBox(question + QLatin1Char('\r') +
                              QStringLiteral("(Später: Einstellungen, \u201ENeue Datenbank anlegen…\u201C.)"),
                          Platform::Buttons::YesNo, Platform::Icon::Question, QString()) != Platform::Answer::Yes)
        return false;
    const Status created = createDatabase(path);
    if (!created.ok()) {
        showError(created.error());
        return false;
    }
    reloadDataSource();
    list_->subRefreshListe();
    // The program's own password is the same in every copy: one offer, then never again.
    if (platform().msgBox(
            QStringLiteral("Die neue Datenbank ist mit dem Kennwort des Programms verschlüsselt, das in jeder "
                           "Kopie von Gaveldesk gleich ist.") +
                QLatin1Char('\r') +
                QStringLiteral("Möchten Sie die Daten Ihrer Kunden mit einem eigenen Kennwort schützen? (Das geht "
                               "auch später unter Einstellungen, \u201EDatenbank-Kennwort ändern…\u201C.)"),
            Platform::Buttons::YesNo, Platform::Icon::Question, QString()) == Platform::Answer::Yes) {
        frmKennwort dlg(this);
        dlg.exec();
    }
    return true;
}

void frmMain::saveWindowState() {
    const QString ini = configIniPath();
    QStringList widths;
    for (int c = 0; c < FlexModel::kCols; ++c)
        widths << QString::number(grid()->isColumnHidden(c) ? 0 : grid()->userWidth(c));  // 0: the program's
    // All in one replacement of the file.
    win::WritePrivateProfileStrings(
        {{QStringLiteral("Fenster"), QStringLiteral("Geometrie"), QString::fromLatin1(saveGeometry().toBase64())},
         {QStringLiteral("Fenster"), QStringLiteral("Spalten"), widths.join(QLatin1Char(','))},
         {QStringLiteral("Fenster"), QStringLiteral("Sortierung"),
          QStringLiteral("%1,%2").arg(grid()->model()->sortColumn()).arg(grid()->model()->sortAscending() ? 1 : 0)}},
        ini);
}

void frmMain::restoreWindowState() {
    // The geometry text is longer than a profile read returns; read the section raw.
    const auto lines = funIni_GetAllKeys(configIniPath(), QStringLiteral("Fenster"), false);
    if (!lines) return;
    for (const QString& l : *lines) {
        const qsizetype eq = l.indexOf(QLatin1Char('='));
        const QString key = l.left(eq).trimmed(), value = l.mid(eq + 1).trimmed();
        if (key.compare(QStringLiteral("Geometrie"), Qt::CaseInsensitive) == 0)
            restoreGeometry(QByteArray::fromBase64(value.toLatin1()));
        if (key.compare(QStringLiteral("Spalten"), Qt::CaseInsensitive) == 0) {
            const QStringList w = value.split(QLatin1Char(','));
            for (int c = 0; c < FlexModel::kCols && c < w.size(); ++c)
                if (!grid()->isColumnHidden(c) && w[c].toInt() > 0 && c != 4)
                    grid()->setPreferredWidth(c, w[c].toInt(), true);
        }
        // The order the user chose last; the list comes in it from the first screenful on.
        if (key.compare(QStringLiteral("Sortierung"), Qt::CaseInsensitive) == 0) {
            const QStringList s = value.split(QLatin1Char(','));
            const int col = s.value(0).toInt();
            if (s.size() == 2 && col > 1 && col < FlexModel::kCols && col != 7) {
                grid()->model()->setSort(col, s[1] != QStringLiteral("0"));
                grid()->showSort();
            }
        }
    }
}

// On a team's server the list follows the other seats' changes; the pane keeps what is typed.
void frmMain::watchDataSource() {
    delete watch_;
    watch_ = new ChangeWatch(gsDataSource, this);
    connect(watch_, &ChangeWatch::changed, list_, &TradeList::subRefreshListe);
}

void frmMain::followDataSource(const QString& chosen) {
    if (!pane_->saveBeforeLeaving(
            QStringLiteral("Gaveldesk wechselt die Datenbank. Sollen die Änderungen an der Auktion %1 vorher "
                           "gespeichert werden?")
                .arg(pane_->trade().AuktionsNr))) {
        platform().msgBox(QStringLiteral("Gaveldesk verwendet die neue Datenbank ab dem nächsten Start."),
                          Platform::Buttons::Ok, Platform::Icon::Information, QString());
        return;
    }
    gsDataSource = chosen;
    pane_->subClearFelder();
    watchDataSource();
    list_->subRefreshListe();
    statusBar()->showMessage(
        QStringLiteral("Gaveldesk verwendet jetzt die Datenbank %1.").arg(shownAddress(gsDataSource)), 15000);
}

void frmMain::closeEvent(QCloseEvent* e) {
    if (!pane_->saveBeforeClose()) {
        e->ignore();
        return;
    }
    if (fetcher_->running()) statusBar()->showMessage(QStringLiteral("Der Abruf des Posteingangs wird beendet …"));
    saveWindowState();
    // Closing the main window ends the program with every other window.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this) w->close();
    QMainWindow::closeEvent(e);
}

frmMain::~frmMain() = default;

void frmMain::Form_Load() {
    CALLSTACK();
    list_->makeUeberschrift(true);
    restoreWindowState();
    list_->subInitListe();
    ensureDatabase();
    list_->subRefreshListe();
}

void frmMain::finishStart() {
    CALLSTACK();
    list_->cmdListe_Click(2);
    // A file of an earlier version was brought to the new encryption by the list's first read.
    for (const QString& notice : Database::takeUpgradeNotices())
        platform().msgBox(notice, Platform::Buttons::Ok, Platform::Icon::Information, QString());
    // After the list is painted: at 100,000 trades the year's figures take a moment.
    QTimer::singleShot(0, this, [this] { showLimitNote(); });
    // Before anything is imported the program knows whose trades they are.
    if (gSettings.Username.trimmed().isEmpty()) askForMemberName();
}

bool frmMain::askForMemberName() {
    CALLSTACK_MODULE("frmMain");
    if (platform().msgBox(QStringLiteral("Es ist noch kein Mitgliedsname eingestellt.") + QLatin1Char('\r') +
                              QStringLiteral("Unter ihm werden die Auktionen gespeichert, und er steht in den "
                                             "E-Mails an Ihre Handelspartner. Jetzt in den Einstellungen eintragen?"),
                          Platform::Buttons::YesNo, Platform::Icon::Question, QString()) == Platform::Answer::Yes)
        showOptions(true);
    return !gSettings.Username.trimmed().isEmpty();
}

void frmMain::deleteEntry() {
    CALLSTACK_MODULE("frmMain");
    if (grid()->Rows() <= 1) {
        platform().msgBox(QStringLiteral("Keine Einträge in der Liste enthalten!"), Platform::Buttons::Ok,
                          Platform::Icon::Critical, windowTitle());
        return;
    }
    const QString question = QStringLiteral("Aus Sicherheitsgründen kann nur immer ein Eintrag gelöscht werden.") +
                             QLatin1Char('\r') + QStringLiteral("Sind Sie sicher, dass der Emaileintrag: ") +
                             selectedAuktion().AuktionsNr + QStringLiteral(" - ") + selectedAuktion().Titel +
                             QStringLiteral(" - von dem ebayuser - ") + selectedAuktion().ebayName +
                             QStringLiteral(" gelöscht werden soll?");
    if (platform().msgBox(question, Platform::Buttons::YesNo, Platform::Icon::Critical,
                          QStringLiteral("Emaileintrag wird unwiderruflich gelöscht."),
                          Platform::Answer::No) != Platform::Answer::Yes) {
        platform().msgBox(QStringLiteral("Löschvorgang abgebrochen!"), Platform::Buttons::Ok,
                          Platform::Icon::Exclamation, windowTitle());
        return;
    }
    const Status deleted = subDeleteAuktion(currentStore(), selectedAuktion());
    if (!deleted.ok()) showError(deleted.error());
    list_->subRefreshListe();
}

void frmMain::cmdEinlesen_Click() {
    CALLSTACK();
    importMails({});
}

void frmMain::importMails(const QList<QueuedMail>& mails) {
    CALLSTACK();
    // Rows are stored under the member name: none is imported without one.
    if (gSettings.Username.trimmed().isEmpty() && !askForMemberName()) {
        platform().msgBox(QStringLiteral("Ohne Mitgliedsnamen kann keine E-Mail eingelesen werden."),
                          Platform::Buttons::Ok, Platform::Icon::Exclamation, QString());
        return;
    }
    frmEinlesen dlg(this);
    if (!mails.isEmpty()) QTimer::singleShot(0, &dlg, [&dlg, mails] { dlg.readQueued(mails); });
    if (dlg.exec() == QDialog::Accepted)
        list_->selectAfterRefresh(dlg.records().oAuktion.AuktionsID);  // the new trade is the one to look at
    else if (dlg.storedCount() > 0)
        list_->subRefreshListe();  // some of several were stored before it was closed: the trade shown stays
    if (dlg.storedCount() > 0 || dlg.result() == QDialog::Accepted) showLimitNote();
}

void frmMain::fetchMailbox() {
    CALLSTACK();
    if (fetcher_->fetch(true)) statusBar()->showMessage(QStringLiteral("Posteingang wird abgerufen …"));
}

void frmMain::mailboxFetched(const FetchReport& report, bool byHand) {
    CALLSTACK();
    if (report.stored > 0) list_->subRefreshListe();
    const QString summary = fetchSummary(report);
    statusBar()->showMessage(
        report.ok() ? summary.section(QLatin1Char('\n'), 0, 0) : QStringLiteral("Posteingang: ") + report.failure,
        report.ok() ? 30000 : 0);
    // Unasked, every few minutes, nothing pops up: the status line says it.
    if (!byHand) return;
    if (!report.ok() || !report.notes.isEmpty())
        platform().msgBox(summary, Platform::Buttons::Ok,
                          report.ok() ? Platform::Icon::Information : Platform::Icon::Exclamation,
                          QStringLiteral("Posteingang"));
    if (!report.toAsk.isEmpty()) {
        QList<QueuedMail> mails;
        for (const FetchReport::Asked& a : report.toAsk) mails.append({a.label, a.text, QString()});
        importMails(mails);
    }
}

void frmMain::dragEnterEvent(QDragEnterEvent* e) {
    if (offersMails(e->mimeData())) e->acceptProposedAction();
}

void frmMain::dropEvent(QDropEvent* e) {
    takeMailDrop(e, this, [this](const QList<QueuedMail>& mails) { importMails(mails); });
}

bool frmMain::eventFilter(QObject* watched, QEvent* e) {
    if (watched == statusBar() && e->type() == QEvent::Resize) fitStatusLine();
    return QMainWindow::eventFilter(watched, e);
}

void frmMain::fitStatusLine() {
    QStatusBar* bar = statusBar();
    const QString message = bar->currentMessage().isEmpty() ? QStringLiteral("Bereit") : bar->currentMessage();
    // The size grip, the gaps between the parts and the count, which is short, come off first.
    const int room = bar->width() - bar->fontMetrics().horizontalAdvance(message) - 48 -
                     list_->countLabel()->sizeHint().width() - 3 * 12;
    QLabel* note = lblGrenze_;
    QLabel* summary = list_->summaryLabel();
    int a = note->isVisibleTo(bar) ? note->sizeHint().width() : 0;
    int b = summary->sizeHint().width();
    if (a + b > room) {
        // Each its half; what one does not need goes to the other. Both whole in their tool tips.
        const int half = std::max(0, room / 2);
        if (a <= half)
            b = room - a;
        else if (b <= half)
            a = room - b;
        else
            a = b = half;
    }
    const int least = note->minimumSizeHint().width();
    note->setMaximumWidth(std::max(least, a));
    summary->setMaximumWidth(std::max(least, b));
}

}  // namespace gd
