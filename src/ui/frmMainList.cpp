// The main window's list: loading it beside the window, the status bar's figures,
// the search and the count.
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>

#include "base/AppPath.h"
#include "base/CallStack.h"
#include "base/Money.h"
#include "base/profile.h"
#include "domain/db/AuktionsListe.h"
#include "domain/db/Database.h"
#include "domain/db/LoadSave.h"
#include "domain/db/StatusGruppen.h"
#include "domain/settings/modGlobal.h"
#include "domain/settings/modIni.h"
#include "ui/DatePicker.h"
#include "ui/FlexGrid.h"
#include "ui/Platform.h"
#include "ui/frmKennwort.h"
#include "ui/frmMain.h"

namespace gd {

void frmMain::subRefreshListe() {
    CALLSTACK();
    selectAfterRefresh(mAuktion.AuktionsID);  // the trade shown stays shown
}

void frmMain::selectAfterRefresh(const QString& auktionsID) {
    CALLSTACK_MODULE("frmMain");
    ++listGeneration_;
    listLoading_ = false;
    selectFirstOnArrival_ = false;
    subInitListe();
    const int filter = pressedFilter();
    const QString search = searchText_;
    if (filter < 0 && search.isEmpty()) {  // no button pressed: an empty grid
        showCount();
        updateActions();
        emit listComplete();
        return;
    }
    // A screenful at once; a longer list follows without holding the window.
    const Result<QList<ListRow>> rows =
        search.isEmpty() ? loadAuktionsListe(gsDataSource, gsStandardUser, ListFilter(filter), kFirstRows)
                         : searchAuktionsListe(gsDataSource, gsStandardUser, search, kFirstRows);
    if (rows.ok()) {
        Flex1->model()->setRows(rows.value());
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
        subListeClick(auktionsID);
    } else if (listLoading_ && (!auktionsID.isEmpty() || glListRow > Flex1->Rows() - 1)) {
        // Further down: the pane keeps what it shows until the row has arrived.
    } else if (Flex1->Rows() > 1) {
        selectflex(glListRow);
    } else {
        subClearFelder();
        clearTypes();
    }
    updateActions();
    if (listLoading_)
        loadRestInBackground(filter, search, auktionsID);
    else
        emit listComplete();
    if (search.isEmpty()) refreshSummary();  // typing changes no figure
}

void frmMain::refreshSummary() {
    const QString source = gsDataSource, user = gsStandardUser;
    if (source.isEmpty()) return;
    // One at a time; a change meanwhile reads again once that one is in.
    if (summaryPending_) {
        summaryAgain_ = true;
        return;
    }
    summaryPending_ = true;
    pool().start([this, source, user] {
        const Result<ListSummary> sum = loadListSummary(source, user);
        QMetaObject::invokeMethod(
            this,
            [this, sum] {
                summaryPending_ = false;
                if (summaryAgain_) {
                    summaryAgain_ = false;
                    refreshSummary();
                    return;
                }
                if (!sum.ok()) return;  // the list itself reports a file it cannot read
                const ListSummary& s = sum.value();
                const QLocale de = germanLocale();
                const auto money = [](qint64 cents) -> QString { return centsText(cents) + QStringLiteral(" €"); };
                lblUebersicht->setText(QStringLiteral("Offen: %1 · Unbezahlt: %2 (%3) · Überfällig: %4 (%5)")
                                           .arg(de.toString(s.Offen), de.toString(s.Unbezahlt), money(s.UnbezahltSumme),
                                                de.toString(s.Ueberfaellig), money(s.UeberfaelligSumme)));
                lblUebersicht->setToolTip(
                    QStringLiteral("Offen: alle nicht abgeschlossenen Auktionen. Unbezahlt: Verkäufe "
                                   "ohne „Bezahlt“. Überfällig: davon die, deren Ende länger als %1 "
                                   "Tage zurückliegt.")
                        .arg(glMahnTage));
                emit summaryShown();
            },
            Qt::QueuedConnection);
    });
}

void frmMain::searchChanged() {
    CALLSTACK_MODULE("frmMain");
    const QString typed = txtSuche->text().trimmed();
    if (typed == searchText_) return;
    if (searchText_.isEmpty() && !typed.isEmpty()) filterBeforeSearch_ = pressedFilter();
    searchText_ = typed;
    for (QPushButton* b : cmdListe) b->setChecked(false);
    // Cleared: the filter the user had before the search.
    if (typed.isEmpty() && filterBeforeSearch_ >= 0) cmdListe[std::size_t(filterBeforeSearch_)]->setChecked(true);
    glListRow = 0;
    selectAfterRefresh(QString());
}

void frmMain::showCount() {
    const int n = Flex1->Rows() - 1;
    if (!searchText_.isEmpty() && !listLoading_) {
        lblAnzahl->setText(n == 0 ? QStringLiteral("Nichts gefunden")
                                  : (n == 1 ? QStringLiteral("1 Treffer") : QStringLiteral("%1 Treffer").arg(n)));
        return;
    }
    if (listLoading_)
        lblAnzahl->setText(QStringLiteral("%1 Auktionen, weitere werden geladen …").arg(n));
    else
        lblAnzahl->setText(n == 1 ? QStringLiteral("1 Auktion") : QStringLiteral("%1 Auktionen").arg(n));
}

void frmMain::loadRestInBackground(int filter, const QString& search, const QString& wantedID) {
    const quint64 generation = listGeneration_;
    const QString source = gsDataSource, user = gsStandardUser;
    const int sortColumn = Flex1->model()->sortColumn();
    const bool ascending = Flex1->model()->sortAscending();
    pool().start([this, generation, source, user, filter, search, sortColumn, ascending, wantedID] {
        auto rows = std::make_shared<std::vector<ListRow>>();
        std::optional<Error> error;
        // A newer refresh may already wait: then this one is not worth reading.
        if (generation == listGeneration_) {
            Result<QList<ListRow>> all = search.isEmpty() ? loadAuktionsListe(source, user, ListFilter(filter))
                                                          : searchAuktionsListe(source, user, search);
            if (all.ok()) {
                rows->assign(std::make_move_iterator(all.value().begin()), std::make_move_iterator(all.value().end()));
                FlexModel::sortRows(*rows, sortColumn, ascending);
            } else {
                error = all.error();
            }
        }
        QMetaObject::invokeMethod(
            this, [this, generation, rows, error, wantedID] { restArrived(generation, rows, error, wantedID); },
            Qt::QueuedConnection);
    });
}

void frmMain::freeRows(std::vector<ListRow>&& rows) {
    if (rows.size() <= std::size_t(kFirstRows)) return;
    // 100,000 rows take a while to free: not on the window's thread.
    pool().start([old = std::make_shared<std::vector<ListRow>>(std::move(rows))] { old->clear(); });
}

QThreadPool& frmMain::pool() {
    if (!listPool_) {
        listPool_ = std::make_unique<QThreadPool>();
        listPool_->setMaxThreadCount(1);
        listPool_->setExpiryTimeout(-1);  // the thread keeps its connection and page cache
    }
    return *listPool_;
}

void frmMain::restArrived(quint64 generation, std::shared_ptr<std::vector<ListRow>> rows,
                          const std::optional<Error>& error, const QString& wantedID) {
    CALLSTACK_MODULE("frmMain");
    if (generation != listGeneration_) return;  // a newer refresh is on its way
    listLoading_ = false;
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
            if (mAuktion.AuktionsID != wantedID) subListeClick(wantedID);
        } else if (Flex1->Rows() > 1) {
            selectflex(glListRow);
        }
    }
    selectFirstOnArrival_ = false;
    updateActions();
    emit listComplete();
}

}  // namespace gd
