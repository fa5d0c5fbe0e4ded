#include "ui/FlexGrid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

namespace gd {
namespace {
const char* const kHeadings[FlexModel::kCols] = {"", "", "ebay", "Name", "Auktion", "Auktionsende", "Status", ""};

QString field(const ListRow& r, int col) {
    switch (col) {
        case 0: return r.AuktionsID;
        case 2: return r.ebayName;
        case 3: return r.Name;
        case 4: return r.Titel;
        case 5: return r.EndeDatum;
        case 6: return r.Status;
        case 7: return r.AuktionsNr;
        default: return QString();
    }
}
}  // namespace

QVariant FlexModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const ListRow& r = rows_[std::size_t(index.row())];
    if (role == Qt::DisplayRole) return field(r, index.column());
    if (role == Qt::DecorationRole && index.column() == 1 && !r.GruppenID.isEmpty()) return groupIcon_;
    if (role == Qt::ToolTipRole && index.column() == 1 && !r.GruppenID.isEmpty())
        return QStringLiteral("Gruppiert (%1)").arg(r.GruppenID);
    if (role == Qt::ToolTipRole && index.column() == 4) return r.Titel;
    return {};
}

QVariant FlexModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || section < 0 || section >= kCols) return {};
    if (role == Qt::DisplayRole) return QString::fromLatin1(kHeadings[section]);
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

void FlexModel::setRows(QList<ListRow> rows) {
    beginResetModel();
    rows_.assign(std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    endResetModel();
}

QString FlexModel::text(int dataRow, int col) const {
    if (dataRow < 0 || dataRow >= rowCount()) return QString();
    return field(rows_[std::size_t(dataRow)], col);
}

void FlexModel::sortByColumn(int col, bool ascending) {
    beginResetModel();
    // The grid's generic sort: by the cell text, without regard to case; equal texts keep their order.
    std::stable_sort(rows_.begin(), rows_.end(), [col, ascending](const ListRow& a, const ListRow& b) {
        const int c = field(a, col).compare(field(b, col), Qt::CaseInsensitive);
        return ascending ? c < 0 : c > 0;
    });
    endResetModel();
}

FlexGrid::FlexGrid(QWidget* parent) : QTableView(parent), model_(new FlexModel(this)) {
    setModel(model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setAlternatingRowColors(true);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    QFont bold = horizontalHeader()->font();
    bold.setBold(true);
    horizontalHeader()->setFont(bold);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStretchLastSection(false);
    // A row the user moves to (click or keys) is loaded; rows the program selects are not announced.
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        if (!programmatic_ && current.isValid()) emit rowClicked();
    });
    connect(this, &QTableView::doubleClicked, this, [this] { emit rowActivated(); });
}

int FlexGrid::Row() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() + 1 : 0;
}

void FlexGrid::setRow(int row) {
    if (row < 1 || row >= Rows()) return;
    // The current cell sits in the first visible column: the key column 0 is hidden,
    // and the keyboard cannot move from a hidden cell.
    const QModelIndex i = model_->index(row - 1, 2);
    programmatic_ = true;
    selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    programmatic_ = false;
    scrollTo(i);
}

QString FlexGrid::TextMatrix(int row, int col) const {
    if (row == 0) return model_->headerData(col, Qt::Horizontal, Qt::DisplayRole).toString();
    return model_->text(row - 1, col);
}

void FlexGrid::selectAllRows() {
    if (Rows() <= 1) return;
    const QModelIndex current = model_->index(0, 2);
    programmatic_ = true;
    selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    programmatic_ = false;
    selectionModel()->select(QItemSelection(model_->index(0, 0), model_->index(model_->rowCount() - 1, FlexModel::kCols - 1)),
                             QItemSelectionModel::ClearAndSelect);
}

void FlexGrid::setColWidthTwips(int col, int twips) {
    // 15 twips a pixel
    if (twips == 0)
        setColumnHidden(col, true);
    else
        setColumnWidth(col, twips / 15);
}

void FlexGrid::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Delete) {
        emit deletePressed();
        return;
    }
    QTableView::keyPressEvent(e);
}

void FlexGrid::mouseReleaseEvent(QMouseEvent* e) {
    QTableView::mouseReleaseEvent(e);
    if (e->button() == Qt::RightButton) emit rightClicked(e->globalPosition().toPoint());
}

}  // namespace gd
