#include "ui/frmMain.h"

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

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setAcceptDrops(true);
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Orvo Gaveldesk 2005"));
    // 14000 x 6000 twips at 15 twips a pixel
    setMinimumSize(14000 / 15, 6000 / 15);

    auto* split = new QSplitter(this);
    auto* left = new QWidget(split);
    auto* leftLayout = new QVBoxLayout(left);
    auto* filters = new QHBoxLayout;
    const char* captions[kFilters] = {"Verkauf", "Einkauf", "Alle", "Abgeschlossen", "Überfällig"};
    for (int i = 0; i < kFilters; ++i) {
        auto* b = new QPushButton(QString::fromUtf8(captions[i]), left);
        b->setObjectName(QStringLiteral("cmdListe_%1").arg(i));
        b->setCheckable(true);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, i] { cmdListe_Click(i); });
        cmdListe[std::size_t(i)] = b;
        if (i == int(ListFilter::Ueberfaellig))
            b->setToolTip(
                QStringLiteral("Verkäufe ohne „Bezahlt“, deren Ende länger zurückliegt als in den Einstellungen "
                               "angegeben; die ältesten zuerst"));
        filters->addWidget(b);
    }
    filters->addStretch();
    // Trades of every state by any text; the filter view comes back when it is cleared.
    txtSuche = new QLineEdit(left);
    txtSuche->setObjectName(QStringLiteral("txtSuche"));
    txtSuche->setPlaceholderText(QStringLiteral("Suchen (Strg+F) …"));
    txtSuche->setClearButtonEnabled(true);
    txtSuche->setMaxLength(200);

    tmrSuche = new QTimer(this);
    tmrSuche->setObjectName(QStringLiteral("tmrSuche"));
    tmrSuche->setSingleShot(true);
    tmrSuche->setInterval(120);  // a pause in typing, not every key
    connect(txtSuche, &QLineEdit::textChanged, tmrSuche, qOverload<>(&QTimer::start));
    connect(tmrSuche, &QTimer::timeout, this, &frmMain::searchChanged);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        txtSuche->setFocus(Qt::ShortcutFocusReason);
        txtSuche->selectAll();
    });
    auto* leave = new QShortcut(QKeySequence(Qt::Key_Escape), txtSuche, nullptr, nullptr, Qt::WidgetShortcut);
    connect(leave, &QShortcut::activated, txtSuche, &QLineEdit::clear);
    leftLayout->addLayout(filters);
    leftLayout->addWidget(txtSuche);  // a row of its own: wide enough on a small screen too
    Flex1 = new FlexGrid(left);
    Flex1->setObjectName(QStringLiteral("Flex1"));
    Flex1->model()->setGroupIcon(groupIcon());
    leftLayout->addWidget(Flex1);
    connect(Flex1, &FlexGrid::rowClicked, this, &frmMain::Flex1_Click);
    connect(Flex1, &FlexGrid::rowActivated, this, &frmMain::Flex1_DblClick);
    connect(Flex1, &FlexGrid::deletePressed, this, &frmMain::deleteEntry);
    connect(Flex1->horizontalHeader(), &QHeaderView::sectionClicked, this, &frmMain::headingClicked);

    // The fields scroll in a low window; milestones and buttons stay in view below them.
    auto* right = new QWidget(split);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(right);
    scroll->setObjectName(QStringLiteral("paneScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // no field cut off on the right
    auto* pane = new QWidget(scroll);
    auto* fixed = new QWidget(right);
    buildPane(pane, fixed);
    scroll->setWidget(pane);
    scroll->setMinimumWidth(pane->minimumSizeHint().width());
    rightLayout->addWidget(scroll, 1);
    rightLayout->addWidget(fixed);
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setCollapsible(1, false);
    setCentralWidget(split);
    // The count stays when a menu entry's hint takes the status bar.
    lblAnzahl = new QLabel(this);
    lblAnzahl->setObjectName(QStringLiteral("lblAnzahl"));
    lblUebersicht = new QLabel(this);
    lblUebersicht->setObjectName(QStringLiteral("lblUebersicht"));
    statusBar()->addPermanentWidget(lblUebersicht);
    statusBar()->addPermanentWidget(lblAnzahl);
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
    resize(1180, 740);  // the first start; later the window keeps the size it was given
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
    reloadDataSource();
    // The program's own password is the same in every copy: one offer, then never again.
    if (platform().msgBox(
            QStringLiteral("Die neue Datenbank ist mit dem Kennwort des Programms verschlüsselt, das in jeder "
                           "Kopie von Gaveldesk gleich ist.") +
                QLatin1Char('\r') +
                QStringLiteral("Möchten Sie die Daten Ihrer Kunden mit einem eigenen Kennwort schützen? (Das geht "
                               "auch später unter Einstellungen, \u201EDatenbank-Kennwort ändern…\u201C.)"),
            Platform::Buttons::YesNo, Platform::Icon::Question, QString()) == Platform::Answer::Yes) {
        frmKennwort dlg(this);
        dlg.exec();
    }
    return true;
}

void frmMain::saveWindowState() {
    const QString ini = configIniPath();
    QStringList widths;
    for (int c = 0; c < FlexModel::kCols; ++c)
        widths << QString::number(Flex1->isColumnHidden(c) ? 0 : Flex1->preferredWidth(c));
    // Both in one replacement of the file.
    win::WritePrivateProfileStrings(
        {{QStringLiteral("Fenster"), QStringLiteral("Geometrie"), QString::fromLatin1(saveGeometry().toBase64())},
         {QStringLiteral("Fenster"), QStringLiteral("Spalten"), widths.join(QLatin1Char(','))}},
        ini);
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
                if (!Flex1->isColumnHidden(c) && w[c].toInt() > 0 && c != 4) Flex1->setPreferredWidth(c, w[c].toInt());
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

frmMain::~frmMain() = default;

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
    // Before anything is imported the program knows whose trades they are.
    if (gsEbayName.trimmed().isEmpty()) askForMemberName();
}

bool frmMain::askForMemberName() {
    CALLSTACK_MODULE("frmMain");
    if (platform().msgBox(QStringLiteral("Es ist noch kein Mitgliedsname eingestellt.") + QLatin1Char('\r') +
                              QStringLiteral("Unter ihm werden die Auktionen gespeichert, und er steht in den "
                                             "E-Mails an Ihre Handelspartner. Jetzt in den Einstellungen eintragen?"),
                          Platform::Buttons::YesNo, Platform::Icon::Question, QString()) == Platform::Answer::Yes)
        showOptions(true);
    return !gsEbayName.trimmed().isEmpty();
}

void frmMain::makeUeberschrift(bool first) {
    CALLSTACK();
    if (first)
        for (int c = 0; c < FlexModel::kCols; ++c) Flex1->setColWidthTwips(c, kWidths[c]);
    freeRows(Flex1->model()->takeRows());
    // The title takes the room the other columns leave.
    Flex1->horizontalHeader()->setSectionResizeMode(4, QHeaderView::Stretch);
}

void frmMain::subInitListe() {
    CALLSTACK();
    makeUeberschrift(false);
}

int frmMain::pressedFilter() const {
    for (int i = 0; i < kFilters; ++i)
        if (cmdListe[std::size_t(i)]->isChecked()) return i;
    return -1;
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
    // A filter ends the search.
    if (!searchText_.isEmpty()) {
        searchText_.clear();
        const QSignalBlocker quiet(txtSuche);
        txtSuche->clear();
        tmrSuche->stop();
    }
    for (QPushButton* b : cmdListe) b->setChecked(false);
    cmdListe[std::size_t(Index)]->setChecked(true);
    selectAfterRefresh(QString());
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
    FlexModel* m = Flex1->model();
    if (m->rowCount() <= kFirstRows && !listLoading_) {
        m->sortByColumn(col, ascending);
        Flex1->showSort();
        selectfirst();
        return;
    }
    // A long list is sorted on the loading thread; the window only swaps it in.
    m->setSort(col, ascending);
    Flex1->showSort();
    if (listLoading_) {  // what is still loading comes in the new order
        selectAfterRefresh(QString());
        selectFirstOnArrival_ = true;
        return;
    }
    const quint64 generation = ++listGeneration_;
    listLoading_ = true;
    selectFirstOnArrival_ = true;
    pool().start([this, generation, rows = std::make_shared<std::vector<ListRow>>(m->rows()), col, ascending] {
        if (generation == listGeneration_) FlexModel::sortRows(*rows, col, ascending);
        QMetaObject::invokeMethod(
            this, [this, generation, rows] { restArrived(generation, rows, std::nullopt, QString()); },
            Qt::QueuedConnection);
    });
}

void frmMain::databaseOrder() {
    CALLSTACK_MODULE("frmMain");
    Flex1->model()->clearSort();
    subRefreshListe();
    selectfirst();
}

void frmMain::headingClicked(int col) {
    // A heading sorts by its column; a second click turns the order.
    if (col == 0 || col == 1 || col == 7) return;
    FlexModel* m = Flex1->model();
    sortList(col, m->sortColumn() == col ? !m->sortAscending() : true);
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
                          QStringLiteral("Emaileintrag wird unwiderruflich gelöscht."),
                          Platform::Answer::No) != Platform::Answer::Yes) {
        platform().msgBox(QStringLiteral("Löschvorgang abgebrochen!"), Platform::Buttons::Ok,
                          Platform::Icon::Exclamation, windowTitle());
        return;
    }
    const Status deleted = subDeleteAuktion(mAuktion);
    if (!deleted.ok()) showError(deleted.error());
    subRefreshListe();
}

}  // namespace gd
