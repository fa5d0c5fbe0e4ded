#include "ui/frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include "base/AppPath.h"
#include "base/CallStack.h"
#include "domain/db/AuktionsListe.h"
#include "domain/db/Database.h"
#include "domain/db/LoadSave.h"
#include "domain/db/StatusGruppen.h"
#include "domain/settings/modGlobal.h"
#include "domain/settings/modIni.h"
#include "ui/FlexGrid.h"
#include "ui/Platform.h"

namespace gd {
namespace {

// The grid's widths in twips; the member name gets more room than the 1125 it had,
// so that today's longer member names stay readable.
const int kWidths[FlexModel::kCols] = {0, 270, 1700, 2070, 1000, 2210, 1755, 0};

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

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Orvo Gaveldesk 2005"));
    // 14000 x 6000 twips at 15 twips a pixel
    setMinimumSize(14000 / 15, 6000 / 15);

    auto* split = new QSplitter(this);
    auto* left = new QWidget(split);
    auto* leftLayout = new QVBoxLayout(left);
    auto* filters = new QHBoxLayout;
    const char* captions[4] = {"Verkauf", "Einkauf", "Alle", "Abgeschlossen"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QPushButton(QString::fromUtf8(captions[i]), left);
        b->setObjectName(QStringLiteral("cmdListe_%1").arg(i));
        b->setCheckable(true);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, i] { cmdListe_Click(i); });
        cmdListe[std::size_t(i)] = b;
        filters->addWidget(b);
    }
    filters->addStretch();
    leftLayout->addLayout(filters);
    Flex1 = new FlexGrid(left);
    Flex1->setObjectName(QStringLiteral("Flex1"));
    Flex1->model()->setGroupIcon(groupIcon());
    leftLayout->addWidget(Flex1);
    connect(Flex1, &FlexGrid::rowClicked, this, &frmMain::Flex1_Click);
    connect(Flex1, &FlexGrid::rowActivated, this, &frmMain::Flex1_DblClick);
    connect(Flex1, &FlexGrid::deletePressed, this, &frmMain::deleteEntry);
    connect(Flex1->horizontalHeader(), &QHeaderView::sectionClicked, this, &frmMain::headingClicked);

    // The pane scrolls in a low window instead of squeezing its fields.
    auto* scroll = new QScrollArea(split);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* pane = new QWidget(scroll);
    buildPane(pane);
    pane->setMinimumHeight(pane->sizeHint().height());
    scroll->setWidget(pane);
    split->addWidget(left);
    split->addWidget(scroll);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    setCentralWidget(split);
    statusBar()->showMessage(QStringLiteral("Bereit"));
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
    connect(Flex1, &FlexGrid::rightClicked, this, [this](const QPoint& at) {
        if (Flex1->Rows() > 1 && !gbLoading) smartpopmdi->popup(at + QPoint(0, 10));
    });
    resize(1180, 640);
    updateActions();
}

bool frmMain::ensureDatabase() {
    if (!gsDataSource.isEmpty()) return true;
    const QString path = defaultDatabasePath();
    if (platform().msgBox(QStringLiteral("Es ist noch keine Datenbank vorhanden.") + QLatin1Char('\r') +
                              QStringLiteral("Soll eine neue, leere Datenbank angelegt werden?") + QLatin1Char('\r') +
                              path,
                          Platform::Buttons::YesNo, Platform::Icon::Question, QString()) != Platform::Answer::Yes)
        return false;
    const Status created = createDatabase(path);
    if (!created.ok()) {
        showError(created.error());
        return false;
    }
    gsDataSource = funcGetDataSource();
    return true;
}

void frmMain::saveWindowState() {
    const QString ini = configIniPath();
    QStringList widths;
    for (int c = 0; c < FlexModel::kCols; ++c)
        widths << QString::number(Flex1->isColumnHidden(c) ? 0 : Flex1->columnWidth(c));
    funIni_SetString(ini, QStringLiteral("Fenster"), QStringLiteral("Geometrie"),
                     QString::fromLatin1(saveGeometry().toBase64()), false);
    funIni_SetString(ini, QStringLiteral("Fenster"), QStringLiteral("Spalten"), widths.join(QLatin1Char(',')), false);
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
                if (!Flex1->isColumnHidden(c) && w[c].toInt() > 0 && c != 4) Flex1->setColumnWidth(c, w[c].toInt());
        }
    }
}

void frmMain::closeEvent(QCloseEvent* e) {
    // Typed but not saved: ask before it is lost.
    if (paneEdited_ && !mAuktion.AuktionsNr.isEmpty()) {
        const auto a = platform().msgBox(QStringLiteral("Sollen die Daten jetzt gespeichert werden?"),
                                         Platform::Buttons::YesNoCancel, Platform::Icon::Question, QString());
        // A save that failed keeps the window open with what was typed.
        if (a == Platform::Answer::Cancel || (a == Platform::Answer::Yes && !savePane())) {
            e->ignore();
            return;
        }
        paneEdited_ = false;
    }
    saveWindowState();
    // Closing the main window ends the program with every other window.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this) w->close();
    QMainWindow::closeEvent(e);
}

void frmMain::Form_Load() {
    CALLSTACK();
    makeUeberschrift(true);
    restoreWindowState();
    subInitListe();
    ensureDatabase();
    subRefreshListe();
}

void frmMain::finishStart() {
    CALLSTACK();
    cmdListe_Click(2);
}

void frmMain::makeUeberschrift(bool first) {
    CALLSTACK();
    if (first)
        for (int c = 0; c < FlexModel::kCols; ++c) Flex1->setColWidthTwips(c, kWidths[c]);
    Flex1->model()->clear();
    // The title takes the room the other columns leave.
    Flex1->horizontalHeader()->setSectionResizeMode(4, QHeaderView::Stretch);
}

void frmMain::subInitListe() {
    CALLSTACK();
    makeUeberschrift(false);
}

int frmMain::pressedFilter() const {
    for (int i = 0; i < 4; ++i)
        if (cmdListe[std::size_t(i)]->isChecked()) return i;
    return -1;
}

void frmMain::subRefreshListe() {
    CALLSTACK();
    subInitListe();
    const int filter = pressedFilter();
    if (filter < 0) {  // no button pressed: an empty grid
        updateActions();
        return;
    }
    const Result<QList<ListRow>> rows = loadAuktionsListe(gsDataSource, gsStandardUser, ListFilter(filter));
    if (rows.ok()) {
        Flex1->model()->setRows(rows.value());
        lastListError_.clear();
    } else {
        // Once per fault, not at every refresh.
        if (rows.error().text() != lastListError_) showError(rows.error());
        lastListError_ = rows.error().text();
    }
    statusBar()->showMessage(QStringLiteral("%1 Auktionen").arg(Flex1->Rows() - 1));
    if (Flex1->Rows() > 1) {
        selectflex(glListRow);
    } else {
        subClearFelder();
        clearTypes();
    }
    updateActions();
}

void frmMain::subListeClick(const QString& sTag) {
    CALLSTACK();
    if (sTag.isEmpty()) return;
    tAuktion a;
    const Result<bool> auction = funLoadAuktion(a, sTag);
    if (!auction.ok()) showError(auction.error());
    if (!auction.ok() || !auction.value()) return;
    tKunde k;
    const Result<bool> partner = funLoadKunde(k, a.ebayName);
    if (!partner.ok()) showError(partner.error());
    if (!partner.ok() || !partner.value()) return;
    mAuktion = a;
    mKunde = k;
    paneEdited_ = false;
    cboAuktion->clear();
    subSetAuktion(mAuktion);
    if (mKunde.Kunde)
        subSetKunde(mKunde);
    else
        subSetLieferant(mKunde);
    updateActions();
}

void frmMain::selectfirst() {
    CALLSTACK();
    if (Flex1->Rows() == 1) return;
    Flex1->setRow(1);
    subListeClick(Flex1->TextMatrix(1, 0));
}

void frmMain::selectflex(int Index) {
    CALLSTACK();
    if (Index == 0) Index = glListRow = 1;
    if (Index > Flex1->Rows() - 1) Index = 1;
    Flex1->setRow(Index);
    subListeClick(Flex1->TextMatrix(Index, 0));
}

void frmMain::demarkcheck(int flag) {
    CALLSTACK();
    if (flag == 1)
        Flex1->selectAllRows();
    else
        selectfirst();
}

void frmMain::clearTypes() {
    CALLSTACK();
    mAuktion = tAuktion();
    mKunde = tKunde();
    gbLoading = true;
    for (int i = 0; i < kMilestones; ++i) {
        chkStatus[std::size_t(i)]->setChecked(false);
        dtpStatus[std::size_t(i)]->setEnabled(false);
    }
    gbLoading = false;
    updateActions();
}

void frmMain::cmdListe_Click(int Index) {
    CALLSTACK();
    for (QPushButton* b : cmdListe) b->setChecked(false);
    cmdListe[std::size_t(Index)]->setChecked(true);
    subRefreshListe();
    if (Flex1->Rows() >= 2)
        selectfirst();
    else
        clearTypes();
    glListRow = 0;
    updateActions();
}

void frmMain::Flex1_Click() {
    CALLSTACK();
    subListeClick(Flex1->TextMatrix(Flex1->Row(), 0));
    glListRow = Flex1->Row();
}

void frmMain::Flex1_DblClick() {
    CALLSTACK();
    if (Flex1->Rows() != 1) cmdAuktion_Click();
}

void frmMain::sortList(int col, bool ascending) {
    CALLSTACK_MODULE("frmMain");
    Flex1->model()->sortByColumn(col, ascending);
    selectfirst();
}

void frmMain::headingClicked(int col) {
    // A heading click sorts as the sort menu does; a second click turns the order.
    bool sortable = false;
    for (const Command& c : commands()) sortable = sortable || c.sortColumn == col;
    if (!sortable) {
        sortColumn_ = -1;
        runMenuCommand(QStringLiteral("keysort0"));
        return;
    }
    sortDescending_ = sortColumn_ == col ? !sortDescending_ : false;
    sortColumn_ = col;
    for (const Command& c : commands())
        if (c.sortColumn == col && c.descending == sortDescending_) runMenuCommand(QString::fromLatin1(c.key));
}

void frmMain::deleteEntry() {
    CALLSTACK_MODULE("frmMain");
    if (Flex1->Rows() <= 1) {
        platform().msgBox(QStringLiteral("Keine Einträge in der Liste enthalten!"), Platform::Buttons::Ok,
                          Platform::Icon::Critical, windowTitle());
        return;
    }
    const QString question = QStringLiteral("Aus Sicherheitsgründen kann nur immer ein Eintrag gelöscht werden.") +
                             QLatin1Char('\r') + QStringLiteral("Sind Sie sicher das der Emaileintrag: ") +
                             mAuktion.AuktionsNr + QStringLiteral(" - ") + mAuktion.Titel +
                             QStringLiteral(" - von dem ebayuser - ") + mAuktion.ebayName +
                             QStringLiteral(" gelöscht werden soll?");
    if (platform().msgBox(question, Platform::Buttons::YesNo, Platform::Icon::Critical,
                          QStringLiteral("Emaileintrag wird unwiderruflich gelöscht.")) != Platform::Answer::Yes) {
        platform().msgBox(QStringLiteral("Löschvorgang abgebrochen!"), Platform::Buttons::Ok,
                          Platform::Icon::Exclamation, windowTitle());
        return;
    }
    const Status deleted = subDeleteAuktion(mAuktion);
    if (!deleted.ok()) showError(deleted.error());
    subRefreshListe();
}

}  // namespace gd
