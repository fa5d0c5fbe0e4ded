#include "ui/TradeList.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPen>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>

#include "base/AppPath.h"
#include "base/CallStack.h"
#include "base/Clock.h"
#include "base/Money.h"
#include "base/modFunktions.h"
#include "domain/settings/modGlobal.h"
#include "domain/trade/AuktionsListe.h"
#include "ui/ElidingLabel.h"
#include "ui/FlexGrid.h"
#include "ui/Platform.h"

// In error protocols the list is part of the main window's form.
#define CALLSTACK_LIST() CALLSTACK_MODULE("frmMain")

namespace gd {
namespace {

// The grid's widths in twips; the member name gets more room than the 1125 it had,
// so that today's longer member names stay readable.
const int kWidths[FlexModel::kCols] = {0, 270, 1700, 2070, 1000, 2100, 2100, 0, 1100, 1100};

// The "group" picture of the image list: two stacked parcels, drawn here.
QIcon groupIcon() {
    const QString file = pGetPicture(QStringLiteral("group"));
    if (!file.isEmpty() && QFileInfo::exists(file)) return QIcon(file);
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(0x6d, 0x42, 0x21));
    p.setBrush(QColor(0xe0, 0xb0, 0x70));
    p.drawRect(1, 7, 8, 7);
    p.drawRect(6, 2, 8, 7);
    return QIcon(pm);
}

}  // namespace

TradeList::TradeList(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* filters = new QHBoxLayout;
    const char* captions[kFilters] = {"Verkauf", "Einkauf", "Alle", "Abgeschlossen", "Überfällig", "Versandbereit"};
    for (int i = 0; i < kFilters; ++i) {
        auto* b = new QPushButton(QString::fromUtf8(captions[i]), this);
        b->setObjectName(QStringLiteral("cmdListe_%1").arg(i));
        b->setCheckable(true);
        b->setAutoDefault(false);
        // Six of them: each keeps its whole word, the row is as wide as they need.
        b->setMinimumWidth(b->fontMetrics().horizontalAdvance(b->text()) + 14);
        connect(b, &QPushButton::clicked, this, [this, i] { cmdListe_Click(i); });
        cmdListe[std::size_t(i)] = b;
        if (i == int(ListFilter::Ueberfaellig))
            b->setToolTip(
                QStringLiteral("Verkäufe ohne „Bezahlt“, deren Ende länger zurückliegt als in den Einstellungen "
                               "angegeben; die ältesten zuerst"));
        if (i == int(ListFilter::Versandbereit))
            b->setToolTip(QStringLiteral("Bezahlte Verkäufe, die noch nicht versendet sind"));
        filters->addWidget(b);
    }
    filters->addStretch();
    // Trades of every state by any text; the filter view comes back when it is cleared.
    txtSuche = new QLineEdit(this);
    txtSuche->setAccessibleName(QStringLiteral("Suchen"));
    txtSuche->setObjectName(QStringLiteral("txtSuche"));
    txtSuche->setPlaceholderText(QStringLiteral("Suchen (Strg+F) …"));
    txtSuche->setClearButtonEnabled(true);
    txtSuche->setMaxLength(200);

    tmrSuche = new QTimer(this);
    tmrSuche->setObjectName(QStringLiteral("tmrSuche"));
    tmrSuche->setSingleShot(true);
    tmrSuche->setInterval(120);  // a pause in typing, not every key
    connect(txtSuche, &QLineEdit::textChanged, tmrSuche, qOverload<>(&QTimer::start));
    connect(tmrSuche, &QTimer::timeout, this, &TradeList::searchChanged);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        txtSuche->setFocus(Qt::ShortcutFocusReason);
        txtSuche->selectAll();
    });
    auto* leave = new QShortcut(QKeySequence(Qt::Key_Escape), txtSuche, nullptr, nullptr, Qt::WidgetShortcut);
    connect(leave, &QShortcut::activated, txtSuche, &QLineEdit::clear);
    layout->addLayout(filters);
    layout->addWidget(txtSuche);  // a row of its own: wide enough on a small screen too
    lblRueckgaben = new QLabel(this);
    lblRueckgaben->setObjectName(QStringLiteral("lblRueckgaben"));
    lblRueckgaben->setWordWrap(true);
    lblRueckgaben->setTextFormat(Qt::RichText);
    lblRueckgaben->setVisible(false);
    connect(lblRueckgaben, &QLabel::linkActivated, this, &TradeList::returnsWanted);
    layout->addWidget(lblRueckgaben);
    Flex1 = new FlexGrid(this);
    Flex1->setAccessibleName(QStringLiteral("Auktionsliste"));
    Flex1->setObjectName(QStringLiteral("Flex1"));
    Flex1->model()->setGroupIcon(groupIcon());
    layout->addWidget(Flex1);
    connect(Flex1, &FlexGrid::rowClicked, this, &TradeList::Flex1_Click);
    connect(Flex1, &FlexGrid::rowActivated, this, &TradeList::Flex1_DblClick);
    connect(Flex1->horizontalHeader(), &QHeaderView::sectionClicked, this, &TradeList::headingClicked);

    lblAnzahl = new QLabel(this);
    lblAnzahl->setObjectName(QStringLiteral("lblAnzahl"));
    lblUebersicht = new ElidingLabel(this);
    lblUebersicht->setObjectName(QStringLiteral("lblUebersicht"));
}

TradeList::~TradeList() = default;

void TradeList::makeUeberschrift(bool first) {
    CALLSTACK_LIST();
    if (first)
        for (int c = 0; c < FlexModel::kCols; ++c) Flex1->setColWidthTwips(c, kWidths[c]);
    freeRows(Flex1->model()->takeRows());
    // The title takes the room the other columns leave.
    Flex1->horizontalHeader()->setSectionResizeMode(4, QHeaderView::Stretch);
}

void TradeList::subInitListe() {
    CALLSTACK_LIST();
    makeUeberschrift(false);
}

int TradeList::pressedFilter() const {
    for (int i = 0; i < kFilters; ++i)
        if (cmdListe[std::size_t(i)]->isChecked()) return i;
    return -1;
}

void TradeList::selectfirst() {
    CALLSTACK_LIST();
    if (Flex1->Rows() == 1) return;
    Flex1->setRow(1);
    emit rowChosen(Flex1->TextMatrix(1, 0));
}

void TradeList::selectflex(int Index) {
    CALLSTACK_LIST();
    if (Index == 0) Index = chosenRow_ = 1;
    if (Index > Flex1->Rows() - 1) Index = 1;
    Flex1->setRow(Index);
    emit rowChosen(Flex1->TextMatrix(Index, 0));
}

void TradeList::demarkcheck(int flag) {
    CALLSTACK_LIST();
    if (flag == 1)
        Flex1->selectAllRows();
    else
        selectfirst();
}

void TradeList::cmdListe_Click(int Index) {
    CALLSTACK_LIST();
    // A filter ends the search.
    if (!searchText_.isEmpty()) {
        searchText_.clear();
        const QSignalBlocker quiet(txtSuche);
        txtSuche->clear();
        tmrSuche->stop();
    }
    for (QPushButton* b : cmdListe) b->setChecked(false);
    cmdListe[std::size_t(Index)]->setChecked(true);
    showReturns();
    // Another filter starts at its first row: the refresh selects it, and the pane loads it once.
    chosenRow_ = 0;
    selectAfterRefresh(QString());
    if (Flex1->Rows() < 2) emit nothingChosen();
    chosenRow_ = 0;
}

void TradeList::Flex1_Click() {
    CALLSTACK_LIST();
    emit rowChosen(Flex1->TextMatrix(Flex1->Row(), 0));
    chosenRow_ = Flex1->Row();
}

void TradeList::Flex1_DblClick() {
    CALLSTACK_LIST();
    if (Flex1->Rows() != 1) emit rowOpened();
}

void TradeList::sortList(int col, bool ascending) {
    CALLSTACK_LIST();
    FlexModel* m = Flex1->model();
    // The trade the pane shows stays chosen wherever the sort puts it: the row number would
    // name another buyer.
    if (m->rowCount() <= kFirstRows && !listLoading_) {
        m->sortByColumn(col, ascending);
        Flex1->showSort();
        if (const int r = m->rowOf(shownID_); r >= 0)
            Flex1->setRow(r + 1);
        else
            selectfirst();
        return;
    }
    // A long list is sorted on the loading thread; the window only swaps it in.
    m->setSort(col, ascending);
    Flex1->showSort();
    if (listLoading_) {  // what is still loading comes in the new order
        selectAfterRefresh(shownID_);
        return;
    }
    const quint64 generation = ++listGeneration_;
    listLoading_ = true;
    pool().start([this, generation, rows = std::make_shared<std::vector<ListRow>>(m->rows()), col, ascending] {
        if (generation == listGeneration_) FlexModel::sortRows(*rows, col, ascending);
        QMetaObject::invokeMethod(
            this, [this, generation, rows] { restArrived(generation, rows, std::nullopt, QString(), std::nullopt); },
            Qt::QueuedConnection);
    });
}

void TradeList::selectTrade(const QString& auktionsID) {
    if (const int r = Flex1->model()->rowOf(auktionsID); r >= 0) Flex1->setRow(r + 1);
}

void TradeList::databaseOrder() {
    CALLSTACK_LIST();
    Flex1->model()->clearSort();
    subRefreshListe();
    selectfirst();
}

void TradeList::headingClicked(int col) {
    // A heading sorts by its column; a second click turns the order.
    if (col == 0 || col == 1 || col == 7) return;
    FlexModel* m = Flex1->model();
    sortList(col, m->sortColumn() == col ? !m->sortAscending() : true);
}

void TradeList::subRefreshListe() {
    CALLSTACK_LIST();
    const QString shown = shownID_;  // the trade shown stays shown
    selectAfterRefresh(shown);
    // A change (a delete, a save, a tick) moves the figures during a search too.
    if (!searchText_.isEmpty()) refreshSummary();
}

void TradeList::selectAfterRefresh(const QString& auktionsID) {
    CALLSTACK_LIST();
    ++listGeneration_;
    listLoading_ = false;
    selectFirstOnArrival_ = false;
    subInitListe();
    const int filter = pressedFilter();
    const QString search = searchText_;
    // No button pressed, or no database yet (the start offered one): an empty grid.
    if ((filter < 0 && search.isEmpty()) || gsDataSource.isEmpty()) {
        showCount();
        emit changed();
        emit listComplete();
        return;
    }
    // A screenful at once; a longer list follows without holding the window.
    const Result<QList<ListRow>> rows =
        search.isEmpty()
            ? loadAuktionsListe(currentStore(), ListChoice(ListFilter(filter), gSettings.MahnTage), kFirstRows)
            : searchAuktionsListe(currentStore(), search, kFirstRows);
    if (rows.ok()) {
        freeRows(Flex1->model()->setRows(rows.value()));
        lastListError_.clear();
    } else {
        // Once per fault, not at every refresh.
        if (rows.error().text() != lastListError_) showError(rows.error());
        lastListError_ = rows.error().text();
    }
    listLoading_ = rows.ok() && rows.value().size() >= kFirstRows;
    showCount();
    Flex1->showSort();
    const int row = Flex1->model()->rowOf(auktionsID);
    if (row >= 0) {
        Flex1->setRow(row + 1);
        emit rowChosen(auktionsID);
    } else if (listLoading_ && (!auktionsID.isEmpty() || chosenRow_ > Flex1->Rows() - 1)) {
        // Further down: the pane keeps what it shows until the row has arrived.
    } else if (Flex1->Rows() > 1) {
        selectflex(chosenRow_);
    } else {
        emit nothingChosen();
    }
    emit changed();
    if (listLoading_)
        loadRestInBackground(filter, search, auktionsID);
    else
        emit listComplete();
    // Typing changes no figure; the whole list of open trades brings them along.
    if (search.isEmpty() && !(listLoading_ && ListFilter(filter) == ListFilter::Alle)) refreshSummary();
}

void TradeList::refreshSummary() {
    const Store store = currentStore();
    const int mahnTage = gSettings.MahnTage;
    if (store.file.isEmpty()) return;
    // One at a time; a change meanwhile reads again once that one is in.
    if (summaryPending_) {
        summaryAgain_ = true;
        return;
    }
    summaryPending_ = true;
    pool().start([this, store, mahnTage] {
        const Result<ListSummary> sum = loadListSummary(store, mahnTage);
        QMetaObject::invokeMethod(
            this,
            [this, sum] {
                summaryPending_ = false;
                if (summaryAgain_) {
                    summaryAgain_ = false;
                    refreshSummary();
                    return;
                }
                if (sum.ok()) showSummary(sum.value());  // else the list itself reports the file
            },
            Qt::QueuedConnection);
    });
}

void TradeList::showSummary(const ListSummary& s) {
    const QLocale de = germanLocale();
    const auto money = [](qint64 cents) -> QString { return centsText(cents) + QStringLiteral(" €"); };
    QString line = QStringLiteral("Offen: %1 · Unbezahlt: %2 (%3) · Überfällig: %4 (%5)")
                       .arg(de.toString(s.Offen), de.toString(s.Unbezahlt), money(s.UnbezahltSumme),
                            de.toString(s.Ueberfaellig), money(s.UeberfaelligSumme));
    // A withdrawal's receipt is to be confirmed on its day, its refund within 14 days: said until done.
    if (s.Rueckgaben > 0) {
        QStringList due;
        if (s.RueckgabenUnbestaetigt > 0) due << QStringLiteral("%1 unbestätigt").arg(s.RueckgabenUnbestaetigt);
        if (s.RueckgabenUeberfaellig > 0) due << QStringLiteral("%1 überfällig").arg(s.RueckgabenUeberfaellig);
        line += QStringLiteral(" · Rückgaben: %1").arg(s.Rueckgaben) +
                (due.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(due.join(QStringLiteral(", "))));
    }
    lblUebersicht->setText(line);
    refreshReturns();
    // The whole line as well: on a small screen the label may end in "…".
    lblUebersicht->setToolTip(lblUebersicht->text() + QLatin1Char('\n') +
                              QStringLiteral("Offen: alle nicht abgeschlossenen Auktionen. Unbezahlt: Verkäufe "
                                             "ohne „Bezahlt“. Überfällig: davon die, deren Ende länger als %1 "
                                             "Tage zurückliegt.")
                                  .arg(gSettings.MahnTage));
    emit summaryShown();
}

void TradeList::refreshReturns() {
    const Store store = currentStore();
    if (store.file.isEmpty() || returnsPending_) return;
    returnsPending_ = true;
    pool().start([this, store] {
        const Result<QList<OpenReturn>> open = openReturns(store);
        QMetaObject::invokeMethod(
            this,
            [this, open] {
                returnsPending_ = false;
                if (!open.ok()) return;  // the list itself reports the file
                returns_ = open.value();
                showReturns();
            },
            Qt::QueuedConnection);
    });
}

namespace {

// A bent arrow: goods on their way back.
QIcon returnIcon() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0xa0, 0x30, 0x20), 2));
    p.drawArc(QRectF(4, 3, 9, 9), 90 * 16, -180 * 16);
    p.drawLine(QPointF(8.5, 12), QPointF(3, 12));
    p.drawLine(QPointF(3, 12), QPointF(6, 9));
    p.drawLine(QPointF(3, 12), QPointF(6, 15));
    return QIcon(pm);
}

}  // namespace

void TradeList::showReturns() {
    QHash<QString, QString> notes;
    QStringList due;
    const QDate soon = today().addDays(3);
    for (const OpenReturn& r : std::as_const(returns_)) {
        notes.insert(r.AuktionsID, returnNoteOf(r));
        if (r.faellig() > soon && !r.unbestaetigt()) continue;
        QStringList what;
        if (r.unbestaetigt()) what << QStringLiteral("Eingang unbestätigt");
        if (r.faellig() <= soon)
            what << (r.faellig() < today() ? QStringLiteral("überfällig, Frist %1") : QStringLiteral("Frist %1"))
                        .arg(r.faellig().toString(QStringLiteral("dd.MM.yyyy")));
        due << QStringLiteral("%1 %2 (%3)")
                   .arg(r.AuktionsNr.toHtmlEscaped(), r.ebayName.toHtmlEscaped(), what.join(QStringLiteral(", ")));
    }
    static const QIcon icon = returnIcon();
    Flex1->model()->setReturns(notes, icon);
    // Money to pay back is as urgent as money to come in: the overdue view names both.
    const bool show = pressedFilter() == int(ListFilter::Ueberfaellig) && !due.isEmpty();
    lblRueckgaben->setVisible(show);
    if (show)
        lblRueckgaben->setText(
            QStringLiteral("<b>Rückgaben zu erledigen:</b> %1 – <a href=\"rueckgaben\">Rückgaben anzeigen…</a>")
                .arg(due.join(QStringLiteral(", "))));
}

void TradeList::searchChanged() {
    CALLSTACK_LIST();
    const QString typed = txtSuche->text().trimmed();
    if (typed == searchText_) return;
    if (searchText_.isEmpty() && !typed.isEmpty()) filterBeforeSearch_ = pressedFilter();
    searchText_ = typed;
    for (QPushButton* b : cmdListe) b->setChecked(false);
    // Cleared: the filter the user had before the search.
    if (typed.isEmpty() && filterBeforeSearch_ >= 0) cmdListe[std::size_t(filterBeforeSearch_)]->setChecked(true);
    chosenRow_ = 0;
    selectAfterRefresh(QString());
}

void TradeList::showCount() {
    const int n = Flex1->Rows() - 1;
    if (!searchText_.isEmpty() && !listLoading_) {
        lblAnzahl->setText(n == 0 ? QStringLiteral("Nichts gefunden")
                                  : (n == 1 ? QStringLiteral("1 Treffer") : QStringLiteral("%1 Treffer").arg(n)));
        return;
    }
    if (gsDataSource.isEmpty())
        lblAnzahl->setText(QStringLiteral("Keine Datenbank"));
    else if (listLoading_)
        lblAnzahl->setText(QStringLiteral("%1 Auktionen, weitere werden geladen …").arg(n));
    else
        lblAnzahl->setText(n == 1 ? QStringLiteral("1 Auktion") : QStringLiteral("%1 Auktionen").arg(n));
}

void TradeList::loadRestInBackground(int filter, const QString& search, const QString& wantedID) {
    const quint64 generation = listGeneration_;
    const Store store = currentStore();
    const ListChoice choice(ListFilter(filter), gSettings.MahnTage);
    const int sortColumn = Flex1->model()->sortColumn();
    const bool ascending = Flex1->model()->sortAscending();
    pool().start([this, generation, store, choice, search, sortColumn, ascending, wantedID] {
        auto rows = std::make_shared<std::vector<ListRow>>();
        std::optional<Error> error;
        std::optional<ListSummary> summary;
        // A newer refresh may already wait: then this one is not worth reading.
        if (generation == listGeneration_) {
            if (search.isEmpty()) {
                ListSummary sum;
                const Status read = forEachListRow(
                    store, choice, [&rows](ListRow& r) { rows->push_back(std::move(r)); }, -1, &sum);
                if (!read.ok()) error = read.error();
                if (read.ok() && choice.filter == ListFilter::Alle) summary = sum;
            } else {
                Result<QList<ListRow>> all = searchAuktionsListe(store, search);
                if (all.ok())
                    rows->assign(std::make_move_iterator(all.value().begin()),
                                 std::make_move_iterator(all.value().end()));
                else
                    error = all.error();
            }
            if (!error) FlexModel::sortRows(*rows, sortColumn, ascending);
        }
        QMetaObject::invokeMethod(
            this,
            [this, generation, rows, error, wantedID, summary] {
                restArrived(generation, rows, error, wantedID, summary);
            },
            Qt::QueuedConnection);
    });
}

void TradeList::freeRows(std::vector<ListRow>&& rows) {
    if (rows.size() <= std::size_t(kFirstRows)) return;
    // 100,000 rows take a while to free: not on the window's thread.
    pool().start([old = std::make_shared<std::vector<ListRow>>(std::move(rows))] { old->clear(); });
}

QThreadPool& TradeList::pool() {
    if (!listPool_) {
        listPool_ = std::make_unique<QThreadPool>();
        listPool_->setMaxThreadCount(1);
        listPool_->setExpiryTimeout(-1);  // the thread keeps its connection and page cache
    }
    return *listPool_;
}

void TradeList::restArrived(quint64 generation, std::shared_ptr<std::vector<ListRow>> rows,
                            const std::optional<Error>& error, const QString& wantedID,
                            const std::optional<ListSummary>& summary) {
    CALLSTACK_LIST();
    if (generation != listGeneration_) return;  // a newer refresh is on its way
    listLoading_ = false;
    if (summary) showSummary(*summary);
    if (error) {
        if (error->text() != lastListError_) showError(*error);
        lastListError_ = error->text();
        showCount();
        emit listComplete();
        return;
    }
    FlexModel* model = Flex1->model();
    const QString current = Flex1->Row() > 0 ? Flex1->TextMatrix(Flex1->Row(), 0) : QString();
    if (model->continuedBy(*rows)) {
        // The rows shown stay where they are, with selection and scroll position.
        model->continueWith(*rows);
    } else {
        model->swapRows(*rows);
        if (const int r = model->rowOf(current); r >= 0) Flex1->setRow(r + 1);
    }
    freeRows(std::move(*rows));
    showCount();
    if (selectFirstOnArrival_) {
        selectfirst();
    } else if (Flex1->Row() == 0) {
        // The row wanted lay beyond the first screenful; a row the user chose meanwhile stays.
        const int r = model->rowOf(wantedID);
        if (r >= 0) {
            Flex1->setRow(r + 1);
            if (shownID_ != wantedID) emit rowChosen(wantedID);
        } else if (Flex1->Rows() > 1) {
            selectflex(chosenRow_);
        }
    }
    selectFirstOnArrival_ = false;
    emit changed();
    emit listComplete();
}

}  // namespace gd
