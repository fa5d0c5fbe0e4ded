#pragma once
// The auction grid: the flex-grid operations the list uses (rows, text matrix,
// current row, selection, sorting), backed by a model so 100,000 rows stay smooth.
// Row 0 is the heading row, data rows are 1..Rows()-1, as in the grid the list was
// written for.

#include <QAbstractTableModel>
#include <QIcon>
#include <QTableView>
#include <vector>

#include "domain/db/AuktionsListe.h"

namespace gd {

class FlexModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kCols = 8;
    using QAbstractTableModel::QAbstractTableModel;
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(rows_.size()); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : kCols; }
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    void setRows(QList<ListRow> rows);
    void clear() { setRows({}); }
    QString text(int dataRow, int col) const;
    const ListRow& row(int dataRow) const { return rows_[std::size_t(dataRow)]; }
    void sortByColumn(int col, bool ascending);
    void setGroupIcon(const QIcon& icon) { groupIcon_ = icon; }

private:
    std::vector<ListRow> rows_;
    QIcon groupIcon_;
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

signals:
    void rowClicked();
    void rowActivated();
    void rightClicked(const QPoint& globalPos);
    void deletePressed();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    FlexModel* model_;
    bool programmatic_ = false;
};

}  // namespace gd
