#pragma once
// The main window: the auction list with its filters, and the pane of the
// selected auction and partner.

#include <QHash>
#include <QKeyCombination>
#include <QList>
#include <QMainWindow>
#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "base/Result.h"
#include "domain/db/Records.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QTimer;
class QPushButton;
class QThreadPool;

namespace gd {

struct ListRow;
class DatePicker;
struct QueuedMail;
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

    const tAuktion& selectedAuktion() const { return mAuktion; }
    const tKunde& selectedKunde() const { return mKunde; }
    FlexGrid* grid() const { return Flex1; }
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
    static constexpr int kFirstRows = 200;
    // Whether the list still waits for the rest of its rows.
    bool listLoading() const { return listLoading_; }

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

private:
    // The list.
    void makeUeberschrift(bool first = false);
    void subInitListe();
    void subRefreshListe();
    void subListeClick(const QString& sTag);
    void selectfirst();
    void selectflex(int Index);
    void demarkcheck(int flag);
    void clearTypes();
    void cmdListe_Click(int Index);
    void Flex1_Click();
    void Flex1_DblClick();
    void sortList(int col, bool ascending);
    void databaseOrder();
    void headingClicked(int col);
    void deleteEntry();
    // Selects the row of the auction when the list shows it, else the row at the
    // position of the last click (or the first); loads it into the pane.
    void selectAfterRefresh(const QString& auktionsID);
    // The whole list read on the loading thread and sorted there; the window
    // only swaps it in.
    void loadRestInBackground(int filter, const QString& search, const QString& wantedID);
    // The search field after a pause in typing: matches of every state, or back to the filter.
    void searchChanged();
    void restArrived(quint64 generation, std::shared_ptr<std::vector<ListRow>> rows, const std::optional<Error>& error,
                     const QString& wantedID);
    void showCount();
    // The status bar's figures of all open trades, read on the loading thread.
    void refreshSummary();
    void freeRows(std::vector<ListRow>&& rows);
    QThreadPool& pool();  // the loading thread

    // The pane.
    void buildPane(QWidget* pane, QWidget* fixed);
    void subSetAuktion(const tAuktion& oAuktion);
    void subSetKunde(const tKunde& oKunde);
    void subSetLieferant(const tKunde& oLiefer);
    void subClearFelder();
    void chkStatus_Click(int Index);
    // After "Versendet": carrier and tracking number, both optional.
    void askForParcel();
    void showParcel();
    void dtpStatus_Change(int Index);
    void cmdEinlesen_Click();
    void importMails(const QList<QueuedMail>& mails);
    void cmdSenden_Click();
    void cmdSpeichern_Click();
    void subGetAuktion(tAuktion& oAuktion);
    void subGetLieferantKunde(tKunde& oLiefer);
    void berechneVersand();
    void cmdAuktion_Click();
    void cmdAbbrechen_Click();
    // The pane's texts into contact and auction; false (the message shown) when
    // either could not be stored.
    bool savePane();

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
    // Every button's and menu entry's enabled state, from the list and the selection.
    void updateActions();

    void saveWindowState();
    void restoreWindowState();
    int pressedFilter() const;
    bool ensureDatabase();

    tAuktion mAuktion;
    tKunde mKunde;
    qint32 glListRow = 0;
    bool gbLoading = false;
    QString lastListError_;
    std::atomic<quint64> listGeneration_{0};  // a newer refresh makes older loads void
    bool listLoading_ = false;
    bool selectFirstOnArrival_ = false;
    QString searchText_;          // the list shows matches of this, when not empty
    int filterBeforeSearch_ = 2;  // the filter the search replaced
    QLineEdit* txtSuche = nullptr;
    QTimer* tmrSuche = nullptr;       // a sort of a long list shows its first row when done
    bool paneEdited_ = false;         // typed into the pane since it was filled or saved
    bool totalInputsEdited_ = false;  // price, quantity or shipping typed since the last total

    FlexGrid* Flex1 = nullptr;
    static constexpr int kFilters = 5;  // Verkauf, Einkauf, Alle, Abgeschlossen, Überfällig
    std::array<QPushButton*, kFilters> cmdListe{};
    QGroupBox* fraKunde = nullptr;
    QGroupBox* fraAuktion = nullptr;
    QLineEdit *txtebayName = nullptr, *txtEmailAdresse = nullptr, *txtName = nullptr, *txtStrasse = nullptr,
              *txtOrt = nullptr, *txtLand = nullptr;
    QComboBox* cboAuktion = nullptr;
    DatePicker* dtpEndeDatum = nullptr;
    QLineEdit *txtPreis = nullptr, *txtMenge = nullptr, *txtVersand = nullptr, *txtBetrag = nullptr,
              *txtVersandinfos = nullptr, *txtHinweise = nullptr, *txtMitteilung = nullptr, *txtBezahlung = nullptr;
    std::array<QCheckBox*, kMilestones> chkStatus{};
    std::array<DatePicker*, kMilestones> dtpStatus{};
    QLabel* lblAnzahl = nullptr;      // "N Auktionen", beside whatever the status bar says
    QLabel* lblUebersicht = nullptr;  // open, unpaid and overdue trades with their sums
    bool summaryPending_ = false, summaryAgain_ = false;
    QLabel* lblSendung = nullptr;      // carrier and tracking number, a link to the carrier's page
    QLabel* lblTeilzahlung = nullptr;  // part payments of the sale or its group
    QMenu* smartpopmdi = nullptr;
    QHash<QString, QList<QAction*>> actions_;  // by key: the entries of the menus and the pop-up
    QTimer* tmrMenue = nullptr;
    QTimer* tmPopup = nullptr;
    QString gsMenuKey, gsPopupKey;
    QPushButton *cmdSpeichern = nullptr, *cmdSenden = nullptr, *cmdEinlesen = nullptr, *cmdAuktion = nullptr,
                *cmdAbbrechen = nullptr;
    // Last, so it goes first: the window waits for a load still running.
    std::unique_ptr<QThreadPool> listPool_;
};

}  // namespace gd
