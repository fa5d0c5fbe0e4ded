#pragma once
// The main window: the list of trades (TradeList) beside the pane of the chosen
// one (DetailPane), the menus, and what concerns the whole window: its size and
// columns, dropped mails, the first start and closing.

#include <QHash>
#include <QKeyCombination>
#include <QList>
#include <QMainWindow>
#include <span>

#include "domain/db/Records.h"
#include "ui/DetailPane.h"
#include "ui/TradeList.h"

class QAction;
class QLabel;
class QMenu;
class QTimer;

namespace gd {

struct QueuedMail;
struct FetchReport;
class MailboxFetcher;
class ChangeWatch;
class FlexGrid;

class frmMain final : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Form_Load lays out the list, restores the window's size and columns, offers a new
    // database when none is set and fills the list; the caller then shows the window and
    // calls finishStart, which presses "Alle" and asks for the member name when none is set.
    void Form_Load();
    void finishStart();

    const tAuktion& selectedAuktion() const { return pane_->trade(); }
    const tKunde& selectedKunde() const { return pane_->partner(); }
    FlexGrid* grid() const { return list_->grid(); }
    QMenu* popupMenu() const { return smartpopmdi; }

    // One command of the menus, the pop-up menu and the headings: the only list
    // of menu keys. Menus are built from it in its order.
    enum class BarMenu { None, Einstellungen, Aktionen, Sortieren, Markierung };
    enum class Need { Always, Rows, Selection };
    struct Command {
        const char* key;
        const char* caption;
        QKeyCombination shortcut;
        BarMenu bar;
        bool barSeparator;  // a separator before it in its menu
        bool popup;         // offered in the list's pop-up menu too
        bool popupSeparator;
        const char* popupCaption;  // nullptr: the caption
        void (*run)(frmMain&);
        Need need = Need::Always;
    };
    static std::span<const Command> commands();

    // Rows shown at once on a refresh; a longer list follows from a loading thread.
    static constexpr int kFirstRows = TradeList::kFirstRows;
    // Whether the list still waits for the rest of its rows.
    bool listLoading() const { return list_->listLoading(); }

signals:
    // The list shows every row of its filter.
    void listComplete();
    // The status bar's figures are up to date.
    void summaryShown();

protected:
    void closeEvent(QCloseEvent* e) override;
    // Mail files or text dropped on the window are read as the import dialog reads them.
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void deleteEntry();
    void cmdEinlesen_Click();
    void importMails(const QList<QueuedMail>& mails);
    // "Posteingang abrufen": by hand, or from the timer of the options.
    void fetchMailbox();
    void mailboxFetched(const FetchReport& report, bool byHand);

    // Menus: a click records its key; a 10 ms timer runs the command after the menu closed.
    void pBuildMenus();
    void SmartMenuXP1_Click(const QString& key);
    void smartpopmdi_Click(const QString& key);
    void tmrMenue_Timer();
    void tmPopup_Timer();
    void runMenuCommand(const QString& key);
    void showOptions(bool memberName = false);
    // At the first start and before an import: the member name is asked for.
    // True when one is set afterwards.
    bool askForMemberName();
    void showAbout();
    void showHelp();
    void openFeedback();
    void importStatement();    // "Kontoauszug einlesen…"
    void saveBackup();         // "Datensicherung…"
    void changePassphrase();   // "Datenbank-Kennwort ändern…"
    void restoreFromBackup();  // "Wiederherstellen…"
    void saveInvoice();        // "Rechnung als PDF…" for the selected sale
    void showInvoices();
    void askForReturn();   // "Widerruf / Rückgabe…" for the selected sale
    void showReturns();    // "Offene Rückgaben…"
    void writeLabels();    // "Versandetiketten…"
    void showPackaging();  // "Verpackungsmengen…"
    void showEInvoice();
    void showYear();
    void showDatev();
    void showPayouts();
    void showFileFormat();
    void readOrderReport();  // "Bestellbericht einlesen…"
    // The note of a limit of law the year comes near, in the status bar.
    void showLimitNote();
    // The status line's message keeps its room; the note and the summary share the rest.
    void fitStatusLine();  // "Rechnungen…": the issued ones
    // Every button's and menu entry's enabled state, from the list and the selection.
    void updateActions();

    void saveWindowState();
    void restoreWindowState();
    // A database where none is: offered at start, or made at once when the user asked for it.
    bool ensureDatabase(bool asked = false);
    // The data source saved in the options taken at once: what the pane holds saved to the old one
    // (as the user answers), then the list, the pane and the other seats' notices from the new one.
    void followDataSource(const QString& chosen);
    void watchDataSource();

    TradeList* list_ = nullptr;

    QLabel* lblGrenze_ = nullptr;  // a limit of law the year comes near
    DetailPane* pane_ = nullptr;
    ChangeWatch* watch_ = nullptr;  // the other seats' changes on a team's server
    MailboxFetcher* fetcher_ = nullptr;
    QMenu* smartpopmdi = nullptr;
    QHash<QString, QList<QAction*>> actions_;  // by key: the entries of the menus and the pop-up
    QTimer* tmrMenue = nullptr;
    QTimer* tmPopup = nullptr;
    QString gsMenuKey, gsPopupKey;
};

}  // namespace gd
