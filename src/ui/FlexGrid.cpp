#include "ui/FlexGrid.h"

#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <algorithm>
#include <bit>

#include "base/Money.h"
#include "domain/db/Records.h"
#include "domain/trade/Reminders.h"
#include "domain/trade/Trade.h"

namespace gd {
namespace {
const char* const kHeadings[FlexModel::kCols] = {"",       "", "ebay",   "Name",    "Auktion", "Auktionsende",
                                                 "Status", "", "Betrag", "Schritte"};

// One mark per milestone, in their order: filled when reached.
QString progressMarks(quint8 reached) {
    QString marks;
    for (int i = 0; i < kMilestones; ++i) marks += (reached >> i) & 1 ? QChar(0x25CF) : QChar(0x25CB);
    return marks;
}

QString field(const ListRow& r, int col) {
    switch (col) {
        case 0:
            return r.AuktionsID;
        case 2:
            return r.ebayName;
        case 3:
            return r.Name;
        case 4:
            return r.Titel;
        case 5:
            return r.EndeDatum;
        case 6: {  // the overdue list heads this column "Überfällig"
            if (r.Tage < 0) return r.Status;
            const QString days = r.Tage == 1 ? QStringLiteral("1 Tag") : QStringLiteral("%1 Tage").arg(r.Tage);
            return r.Mahnstufe > 0 ? days + QStringLiteral(", ") + reminderText(r.Mahnstufe) : days;
        }
        case 7:
            return r.AuktionsNr;
        case 8:
            return r.Betrag;
        case 9:
            return progressMarks(r.Meilensteine);
        default:
            return QString();
    }
}
// The milestones as seven small dots: the text's circles are too wide for a list column.
class ProgressDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem o = option;
        initStyleOption(&o, index);
        o.text.clear();
        o.widget->style()->drawControl(QStyle::CE_ItemViewItem, &o, p, o.widget);
        const auto reached = quint8(index.data(Qt::UserRole).toUInt());
        const bool selected = option.state & QStyle::State_Selected;
        const QColor ink = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        const qreal ratio = p->device() ? p->device()->devicePixelRatioF() : 1.0;
        const QPixmap& dots = dotsFor(reached, ink, ratio);
        p->drawPixmap(QPointF(option.rect.left() + 3, option.rect.center().y() - kDot / 2 - 1), dots);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {8 + kMilestones * kStep, QStyledItemDelegate::sizeHint(option, index).height()};
    }

private:
    static constexpr int kDot = 6, kStep = 9;
    // Antialiased circles cost a visible row a millisecond; each of the 128 patterns is drawn once per colour.
    const QPixmap& dotsFor(quint8 reached, const QColor& ink, qreal ratio) const {
        const quint64 key = quint64(reached) | quint64(ink.rgba()) << 8 | quint64(qRound(ratio * 100)) << 40;
        auto it = dots_.find(key);
        if (it != dots_.end()) return *it;
        QPixmap pm(QSize(kMilestones * kStep + 2, kDot + 2) * ratio);  // a pixel of room for the pen
        pm.setDevicePixelRatio(ratio);
        pm.fill(Qt::transparent);
        QPainter q(&pm);
        q.setRenderHint(QPainter::Antialiasing);
        for (int i = 0; i < kMilestones; ++i) {
            q.setPen(QPen(ink, 1));
            q.setBrush((reached >> i) & 1 ? QBrush(ink) : Qt::NoBrush);
            q.drawEllipse(QRectF(1 + i * kStep, 1, kDot, kDot));
        }
        return *dots_.insert(key, pm);
    }
    mutable QHash<quint64, QPixmap> dots_;
};

}  // namespace

QVariant FlexModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const ListRow& r = rows_[std::size_t(index.row())];
    if (index.column() == 6 && !returns_.isEmpty() &&
        (role == Qt::DecorationRole || role == Qt::ToolTipRole || (role == Qt::DisplayRole && r.Status.isEmpty())))
        if (const auto it = returns_.constFind(r.AuktionsID); it != returns_.constEnd()) {
            if (role == Qt::DecorationRole) return returnIcon_;
            if (role == Qt::DisplayRole) return QStringLiteral("Rückgabe offen");
            return r.Status.isEmpty() ? *it : r.Status + QLatin1Char('\n') + *it;
        }
    if (role == Qt::DisplayRole && index.column() == 5 && shortDates_) return field(r, 5).left(10);
    if (role == Qt::DisplayRole) return field(r, index.column());
    if (role == Qt::DecorationRole && index.column() == 1 && !r.GruppenID.isEmpty()) return groupIcon_;
    if (role == Qt::ToolTipRole && index.column() == 1 && !r.GruppenID.isEmpty())
        return QStringLiteral("Gruppiert (%1)").arg(r.GruppenID);
    if (role == Qt::ToolTipRole && (index.column() == 4 || index.column() == 6 || (index.column() == 5 && shortDates_)))
        return field(r, index.column());
    if (role == Qt::UserRole && index.column() == 9) return uint(r.Meilensteine);
    if (role == Qt::ToolTipRole && index.column() == 9) {
        QStringList reached;
        for (int i = 0; i < kMilestones; ++i)
            if ((r.Meilensteine >> i) & 1) reached << milestoneName(i);
        return reached.isEmpty() ? QStringLiteral("Noch kein Schritt erledigt") : reached.join(QStringLiteral(", "));
    }
    if (role == Qt::TextAlignmentRole && index.column() == 8) return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

void FlexModel::setReturns(const QHash<QString, QString>& notes, const QIcon& icon) {
    returnIcon_ = icon;
    if (notes == returns_) return;
    returns_ = notes;
    if (rowCount() > 0) emit dataChanged(index(0, 6), index(rowCount() - 1, 6));
}

void FlexModel::setShortDates(bool on) {
    if (on == shortDates_) return;
    shortDates_ = on;
    if (rowCount() > 0) emit dataChanged(index(0, 5), index(rowCount() - 1, 5), {Qt::DisplayRole});
}

QVariant FlexModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || section < 0 || section >= kCols) return {};
    if (role == Qt::DisplayRole && section == 6 && !rows_.empty() && rows_.front().Tage >= 0)
        return QStringLiteral("Überfällig");
    if (role == Qt::DisplayRole) return QString::fromLatin1(kHeadings[section]);
    if (role == Qt::TextAlignmentRole) return int((section == 8 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    return {};
}

std::vector<ListRow> FlexModel::setRows(QList<ListRow> rows) {
    std::vector<ListRow> shown(std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    beginResetModel();
    rows_.swap(shown);
    applySort();
    endResetModel();
    return shown;
}

void FlexModel::swapRows(std::vector<ListRow>& rows) {
    beginResetModel();
    rows_.swap(rows);
    endResetModel();
}

void FlexModel::continueWith(std::vector<ListRow>& rows) {
    if (rows.size() <= rows_.size()) return;
    // The rows shown lead the new ones unchanged: a swap, and the views see only the rows added.
    beginInsertRows({}, int(rows_.size()), int(rows.size()) - 1);
    rows_.swap(rows);
    endInsertRows();
}

bool FlexModel::continuedBy(const std::vector<ListRow>& rows) const {
    if (sortColumn_ >= 0 || rows.size() < rows_.size()) return false;
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows[i].AuktionsID != rows_[i].AuktionsID || rows[i].Status != rows_[i].Status ||
            rows[i].Titel != rows_[i].Titel || rows[i].Betrag != rows_[i].Betrag ||
            rows[i].Meilensteine != rows_[i].Meilensteine || rows[i].Mahnstufe != rows_[i].Mahnstufe)
            return false;
    return true;
}

int FlexModel::rowOf(const QString& auktionsID) const {
    if (auktionsID.isEmpty()) return -1;
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].AuktionsID == auktionsID) return int(i);
    return -1;
}

QString FlexModel::text(int dataRow, int col) const {
    if (dataRow < 0 || dataRow >= rowCount()) return QString();
    return field(rows_[std::size_t(dataRow)], col);
}

void FlexModel::sortByColumn(int col, bool ascending) {
    beginResetModel();
    sortColumn_ = col;
    ascending_ = ascending;
    applySort();
    endResetModel();
}

void FlexModel::applySort() {
    if (sortColumn_ >= 0) sortRows(rows_, sortColumn_, ascending_);
}

void FlexModel::sortRows(std::vector<ListRow>& rows, int col, bool ascending) {
    if (col < 0) return;
    // "dd.MM.yyyy HH:mm:ss" sorts as "yyyyMMdd HH:mm:ss"; a total by its amount.
    const auto dateKey = [](const QString& t) {
        return t.size() >= 10 ? t.mid(6, 4) + t.mid(3, 2) + t.left(2) + t.mid(10) : t;
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const ListRow& a, const ListRow& b) {
        int c = 0;
        if (col == 5) {
            c = dateKey(a.EndeDatum).compare(dateKey(b.EndeDatum));
        } else if (col == 8) {
            const qint64 x = centsOr0(a.Betrag), y = centsOr0(b.Betrag);
            c = x < y ? -1 : (x > y ? 1 : 0);
        } else if (col == 9) {  // by how far a trade has come
            const int x = std::popcount(a.Meilensteine), y = std::popcount(b.Meilensteine);
            c = x != y ? (x < y ? -1 : 1) : int(a.Meilensteine) - int(b.Meilensteine);
        } else {
            c = field(a, col).compare(field(b, col), Qt::CaseInsensitive);
        }
        return ascending ? c < 0 : c > 0;
    });
}

FlexGrid::FlexGrid(QWidget* parent) : QTableView(parent), model_(new FlexModel(this)) {
    setModel(model_);
    setItemDelegateForColumn(9, new ProgressDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Whole rows are chosen with the arrows; Tab goes on to the pane, so a keyboard is not held here.
    setTabKeyNavigation(false);
    setWordWrap(false);
    setAlternatingRowColors(true);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);  // 100,000 rows cost no per-row work
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
    // A column the user widens or narrows keeps that width as its own.
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int col, int, int width) {
        if (!fitting_ && col >= 0 && col < FlexModel::kCols && col != 4) {
            preferred_[std::size_t(col)] = width;
            byUser_[std::size_t(col)] = true;
        }
    });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        measureContent();
        fitColumns();
    });
}

void FlexGrid::measureContent() {
    constexpr int kLimit = 260, kRows = 200, kPadding = 14;
    const QFontMetrics fm(font());
    const int rows = std::min(model_->rowCount(), kRows);
    for (const int c : {2, 3, 6, 8}) {
        int widest = 0;
        for (int r = 0; r < rows; ++r) widest = std::max(widest, fm.horizontalAdvance(model_->text(r, c)));
        content_[std::size_t(c)] = std::min(kLimit, widest + kPadding);
    }
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
    selectionModel()->select(
        QItemSelection(model_->index(0, 0), model_->index(model_->rowCount() - 1, FlexModel::kCols - 1)),
        QItemSelectionModel::ClearAndSelect);
}

void FlexGrid::showSort() {
    const int col = model_->sortColumn();
    horizontalHeader()->setSortIndicatorShown(col >= 0);
    if (col >= 0)
        horizontalHeader()->setSortIndicator(col, model_->sortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void FlexGrid::setColWidthTwips(int col, int twips) {
    // 15 twips a pixel
    if (twips == 0)
        setColumnHidden(col, true);
    else
        setPreferredWidth(col, twips / 15);
}

void FlexGrid::setPreferredWidth(int col, int width, bool byUser) {
    if (col < 0 || col >= FlexModel::kCols) return;
    preferred_[std::size_t(col)] = width;
    byUser_[std::size_t(col)] = byUser;
    fitColumns();
}

void FlexGrid::resizeEvent(QResizeEvent* e) {
    QTableView::resizeEvent(e);
    fitColumns();
}

void FlexGrid::fitColumns() {
    constexpr int kTitle = 4, kDate = 5, kTitleRoom = 140, kTitleAsks = 260, kMemberRoom = 130;
    // Below these a column no longer shows its text: the end with its time, a total of thousands.
    const QFontMetrics fm(font());
    const int fullDate = fm.horizontalAdvance(QStringLiteral("00.00.0000 00:00:00")) + 14;
    const int shortDate = fm.horizontalAdvance(QStringLiteral("00.00.0000")) + 14;
    int narrowest[FlexModel::kCols] = {0, 0, kMemberRoom, 60, 100, fullDate, 60, 0, 72, 64};
    // Texts shorter than these need no more than their heading; the status is read whole
    // ("3 Tage, 1. Erinnerung"), an empty one takes its heading's width. The member name is
    // how a seller knows the buyer: it keeps its width up to a long name's.
    const QFontMetrics heading(horizontalHeader()->font());
    const auto headingWidth = [&](int c) {
        return heading.horizontalAdvance(model_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString()) + 14;
    };
    for (const int c : {2, 3, 6, 8}) {
        const int needs = std::max(content_[std::size_t(c)], headingWidth(c));
        narrowest[c] = c == 6 ? needs : std::min(narrowest[c], needs);
    }
    // What each column asks: the user's width as chosen, else its default widened to its content.
    std::array<int, FlexModel::kCols> asked = preferred_;
    for (int c = 0; c < FlexModel::kCols; ++c)
        if (!byUser_[std::size_t(c)] && preferred_[std::size_t(c)] > 0)
            asked[std::size_t(c)] = std::max(preferred_[std::size_t(c)], content_[std::size_t(c)]);
    if (!byUser_[kDate]) asked[kDate] = std::max(asked[kDate], fullDate);
    asked[kTitle] = kTitleAsks;  // the title takes what is left, but gives up its share like the others
    // Hidden by the user, or given way for the title below.
    std::array<bool, FlexModel::kCols> drop{};
    const auto hidden = [&](int c) { return drop[std::size_t(c)] || (isColumnHidden(c) && !yields_[std::size_t(c)]); };
    const auto shown = [&](int c) { return c != kTitle && !hidden(c) && preferred_[std::size_t(c)] > 0; };
    // The columns give up width in proportion; one that reaches its narrowest stays there and
    // the others share what is still missing.
    const auto solve = [&] {
        std::array<int, FlexModel::kCols> width{};
        std::array<bool, FlexModel::kCols> settled{};
        int room = viewport()->width();
        for (int c = 0; c < FlexModel::kCols; ++c) {
            width[std::size_t(c)] = asked[std::size_t(c)];
            // The icon column keeps its width; hidden columns take no part.
            settled[std::size_t(c)] = hidden(c) || (c != kTitle && (c == 1 || preferred_[std::size_t(c)] <= 0));
            if (settled[std::size_t(c)] && shown(c)) room -= std::max(0, width[std::size_t(c)]);
        }
        for (bool again = true; again;) {
            again = false;
            int wanted = 0;
            for (int c = 0; c < FlexModel::kCols; ++c)
                if (!settled[std::size_t(c)]) wanted += asked[std::size_t(c)];
            const double share = wanted > 0 && room < wanted ? std::max(0.0, double(room) / wanted) : 1.0;
            for (int c = 0; c < FlexModel::kCols; ++c) {
                if (settled[std::size_t(c)]) continue;
                const int least = std::min(narrowest[c], asked[std::size_t(c)]);
                width[std::size_t(c)] = int(asked[std::size_t(c)] * share);
                if (width[std::size_t(c)] < least) {
                    width[std::size_t(c)] = least;
                    settled[std::size_t(c)] = true;
                    room -= least;
                    again = true;
                }
            }
        }
        return width;
    };
    // The title keeps a readable width before the others give up more. When all of them at
    // their narrowest do not fit: the end shows its day alone, then the real name and the
    // milestone dots give way (the pane shows both), and only then the title shrinks.
    narrowest[kTitle] = kTitleRoom;
    const auto fits = [&](const std::array<int, FlexModel::kCols>& width) {
        int sum = 0;
        for (int c = 0; c < FlexModel::kCols; ++c)
            if (c == kTitle || shown(c)) sum += width[std::size_t(c)];
        return sum <= viewport()->width();
    };
    auto width = solve();
    if (!fits(width) && !byUser_[kDate]) {
        // The day alone, but the heading still whole.
        narrowest[kDate] = std::max(shortDate, headingWidth(kDate));
        width = solve();
    }
    for (const int c : {3, 9}) {
        if (fits(width)) break;
        if (byUser_[std::size_t(c)] || hidden(c)) continue;
        drop[std::size_t(c)] = true;
        width = solve();
    }
    if (!fits(width)) {
        narrowest[kTitle] = 60;
        width = solve();
    }
    model_->setShortDates(width[kDate] < fullDate);
    fitting_ = true;
    for (const int c : {3, 9})
        if (drop[std::size_t(c)] != yields_[std::size_t(c)]) {
            yields_[std::size_t(c)] = drop[std::size_t(c)];
            setColumnHidden(c, drop[std::size_t(c)]);
        }
    for (int c = 0; c < FlexModel::kCols; ++c)
        if (shown(c)) setColumnWidth(c, width[std::size_t(c)]);
    fitting_ = false;
}

void FlexGrid::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Delete) {
        emit deletePressed();
        return;
    }
    // The pop-up menu by keyboard, as desktops offer it: the menu key or Shift+F10, at the row.
    if (e->key() == Qt::Key_Menu || (e->key() == Qt::Key_F10 && e->modifiers() == Qt::ShiftModifier)) {
        const QRect row = visualRect(currentIndex().isValid() ? currentIndex() : model_->index(0, 2));
        emit rightClicked(viewport()->mapToGlobal(row.isValid() ? row.bottomLeft() : QPoint(0, 0)));
        return;
    }
    QTableView::keyPressEvent(e);
}

void FlexGrid::mouseReleaseEvent(QMouseEvent* e) {
    QTableView::mouseReleaseEvent(e);
    if (e->button() == Qt::RightButton) emit rightClicked(e->globalPosition().toPoint());
}

}  // namespace gd
