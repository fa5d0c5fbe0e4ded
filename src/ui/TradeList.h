#pragma once
// The main window's list of trades: the filter buttons, the search field and the
// grid, loaded beside the window, with the count and the figures of all open
// trades for the status bar. Which trade the pane shows it learns by
// setShownTrade; which one to show it says by rowChosen.

#include <QWidget>
#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "base/Result.h"
#include "domain/books/Returns.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QThreadPool;
class QTimer;

namespace gd {

struct ListRow;
struct ListSummary;
class FlexGrid;

class TradeList final : public QWidget {
    Q_OBJECT
public:
    explicit TradeList(QWidget* parent = nullptr);
    ~TradeList() override;

    // Rows shown at once on a refresh; a longer list follows from a loading thread.
    static constexpr int kFirstRows = 200;
    FlexGrid* grid() const { return Flex1; }
    // Whether the list still waits for the rest of its rows.
    bool listLoading() const { return listLoading_; }
    // For the window's status bar: "N Auktionen", and the open, unpaid and overdue trades.
    QLabel* countLabel() const { return lblAnzahl; }
    QLabel* summaryLabel() const { return lblUebersicht; }

    // first: the columns get their default widths.
    void makeUeberschrift(bool first = false);
    void subInitListe();
    void subRefreshListe();
    // Selects the row of the auction when the list shows it, else the row at the
    // position of the last click (or the first).
    void selectAfterRefresh(const QString& auktionsID);
    void cmdListe_Click(int Index);
    void sortList(int col, bool ascending);
    void databaseOrder();
    void demarkcheck(int flag);
    void setShownTrade(const QString& auktionsID) { shownID_ = auktionsID; }
    // Marks the trade's row again, without choosing it anew (the pane keeps what it shows).
    void selectTrade(const QString& auktionsID);

signals:
    void rowChosen(const QString& auktionsID);
    void nothingChosen();  // the list shows no row to choose
    void rowOpened();      // a double click on a row
    // Rows or loading changed: whatever depends on them follows.
    void changed();
    // The list shows every row of its filter.
    void listComplete();
    // The status bar's figures are up to date.
    void summaryShown();
    // "Rückgaben anzeigen…" in the overdue view.
    void returnsWanted();

private:
    void selectfirst();
    void selectflex(int Index);
    void Flex1_Click();
    void Flex1_DblClick();
    void headingClicked(int col);
    int pressedFilter() const;
    // The whole list read on the loading thread and sorted there; the window
    // only swaps it in.
    void loadRestInBackground(int filter, const QString& search, const QString& wantedID);
    // The search field after a pause in typing: matches of every state, or back to the filter.
    void searchChanged();
    void restArrived(quint64 generation, std::shared_ptr<std::vector<ListRow>> rows, const std::optional<Error>& error,
                     const QString& wantedID, const std::optional<ListSummary>& summary);
    void showCount();
    // The status bar's figures of all open trades, read on the loading thread.
    void refreshSummary();
    void showSummary(const ListSummary& s);
    // The open returns: marked in the list, and those due soon named in the overdue view.
    void refreshReturns();
    void showReturns();
    void freeRows(std::vector<ListRow>&& rows);
    QThreadPool& pool();  // the loading thread

    QString shownID_;  // the trade the pane shows
    qint32 chosenRow_ = 0;
    QString lastListError_;
    std::atomic<quint64> listGeneration_{0};  // a newer refresh makes older loads void
    bool listLoading_ = false;
    bool selectFirstOnArrival_ = false;  // a sort of a long list shows its first row when done
    QString searchText_;                 // the list shows matches of this, when not empty
    int filterBeforeSearch_ = 2;         // the filter the search replaced
    bool summaryPending_ = false, summaryAgain_ = false;

    static constexpr int kFilters = 6;  // Verkauf, Einkauf, Alle, Abgeschlossen, Überfällig, Versandbereit
    std::array<QPushButton*, kFilters> cmdListe{};
    QLineEdit* txtSuche = nullptr;
    QTimer* tmrSuche = nullptr;
    FlexGrid* Flex1 = nullptr;
    QLabel* lblAnzahl = nullptr;  // stays when a menu entry's hint takes the status bar
    QLabel* lblUebersicht = nullptr;
    QLabel* lblRueckgaben = nullptr;  // the overdue view: refunds due within days or past
    QList<OpenReturn> returns_;
    bool returnsPending_ = false;
    // Last, so it goes first: the list waits for a load still running.
    std::unique_ptr<QThreadPool> listPool_;
};

}  // namespace gd
