#pragma once
// The auction grid: the flex-grid operations the list uses (rows, text matrix,
// current row, selection, sorting), backed by a model so 100,000 rows stay smooth.
// Row 0 is the heading row, data rows are 1..Rows()-1, as in the grid the list was
// written for.

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QTableView>
#include <array>
#include <vector>

#include "domain/trade/AuktionsListe.h"

namespace gd {

class FlexModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    // 0 AuktionsID (hidden), 1 group icon, 2 ebay, 3 Name, 4 Auktion, 5 Auktionsende,
    // 6 Status, 7 AuktionsNr (hidden), 8 Betrag, 9 Schritte (the milestones reached).
    static constexpr int kCols = 10;
    using QAbstractTableModel::QAbstractTableModel;
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(rows_.size()); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : kCols; }
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    // The rows in the database's order; a sort chosen before is applied again. The rows
    // shown before come back, for the caller to free away from the window's thread.
    [[nodiscard]] std::vector<ListRow> setRows(QList<ListRow> rows);
    // Rows already in the model's order (sorted elsewhere); the old ones come back
    // in rows, so the caller can free them away from the window's thread.
    void swapRows(std::vector<ListRow>& rows);
    // Rows that begin with the ones shown (see continuedBy): selection and scroll
    // stay. The rows shown before come back in rows.
    void continueWith(std::vector<ListRow>& rows);
    // Whether rows begins with exactly the rows shown, so the rest can be appended.
    bool continuedBy(const std::vector<ListRow>& rows) const;
    // The model's sort applied to rows outside the model (on a loading thread).
    static void sortRows(std::vector<ListRow>& rows, int col, bool ascending);
    // Empties the model; the old rows come back for the caller to free.
    std::vector<ListRow> takeRows() {
        std::vector<ListRow> none;
        swapRows(none);
        return none;
    }
    QString text(int dataRow, int col) const;
    const ListRow& row(int dataRow) const { return rows_[std::size_t(dataRow)]; }
    // The data row of an auction key, or -1.
    int rowOf(const QString& auktionsID) const;
    // Dates sort by time and totals by amount; other columns by their text,
    // without regard to case. Equal keys keep their order.
    void sortByColumn(int col, bool ascending);
    void clearSort() { sortColumn_ = -1; }  // the next setRows keeps the database order
    // The sort to show, for rows sorted elsewhere (sortRows) and put in by swapRows.
    void setSort(int col, bool ascending) {
        sortColumn_ = col;
        ascending_ = ascending;
    }
    const std::vector<ListRow>& rows() const { return rows_; }
    int sortColumn() const { return sortColumn_; }
    bool sortAscending() const { return ascending_; }
    void setGroupIcon(const QIcon& icon) { groupIcon_ = icon; }
    // Trades with a return still open (AuktionsID: what to say): a mark beside their status.
    void setReturns(const QHash<QString, QString>& notes, const QIcon& icon);
    // A narrow list shows the end without its time (the whole in the tooltip).
    void setShortDates(bool on);
    bool shortDates() const { return shortDates_; }

private:
    void applySort();
    std::vector<ListRow> rows_;
    QIcon groupIcon_;
    QHash<QString, QString> returns_;
    QIcon returnIcon_;
    bool shortDates_ = false;
    int sortColumn_ = -1;
    bool ascending_ = true;
};

class FlexGrid final : public QTableView {
    Q_OBJECT
public:
    explicit FlexGrid(QWidget* parent = nullptr);
    FlexModel* model() const { return model_; }

    int Rows() const { return model_->rowCount() + 1; }  // with the heading row
    int Row() const;                                     // current row, 0 when none
    void setRow(int row);                                // selects that whole row
    QString TextMatrix(int row, int col) const;
    void selectAllRows();
    void setColWidthTwips(int col, int twips);
    // Shows the model's sort in the heading (or none).
    void showSort();
    // A width for a column: the program's default, or one the user chose (kept as chosen).
    void setPreferredWidth(int col, int width, bool byUser = false);
    // The width the user gave the column, 0 when the program decides it.
    int userWidth(int col) const { return byUser_[std::size_t(col)] ? preferred_[std::size_t(col)] : 0; }

signals:
    void rowClicked();
    void rowActivated();
    void rightClicked(const QPoint& globalPos);
    void deletePressed();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    // In a narrow window the columns give up width in proportion, so the title
    // keeps room and no column is pushed out on the right.
    void fitColumns();
    FlexModel* model_;
    bool programmatic_ = false;
    bool fitting_ = false;
    // Columns hidden while the list is narrow, to leave member name and title their room.
    std::array<bool, FlexModel::kCols> yields_{};
    // Names and the status widen their columns to what the first rows show, up to a limit.
    void measureContent();
    std::array<int, FlexModel::kCols> preferred_{};
    std::array<int, FlexModel::kCols> content_{};
    std::array<bool, FlexModel::kCols> byUser_{};
};

}  // namespace gd
