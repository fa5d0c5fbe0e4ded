#include "mainwindow/frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QCloseEvent>
#include <QTimer>
#include <functional>
#include <QMenuBar>
#include <QPainter>
#include <QRegularExpression>
#include <cmath>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

#include "app/modGlobal.h"
#include "settings/modIni.h"
#include "db/AuktionsListe.h"
#include "db/Database.h"
#include "db/LoadSave.h"
#include "db/StatusGruppen.h"
#include "errors/CallStack.h"
#include "import/frmEinlesen.h"
#include "settings/frmOptionen.h"
#include "mail/frmMail.h"
#include "about/frmAbout.h"
#include "about/modLinks.h"
#include "mainwindow/FlexGrid.h"
#include "platform/Clock.h"
#include "platform/Platform.h"

namespace gd {
namespace {

// The grid's widths in twips; the member name gets more room than the 1125 it had,
// so that today's longer member names stay readable.
const int kWidths[FlexModel::kCols] = {0, 270, 1700, 2070, 1000, 2210, 1755, 0};
const char* const kStatusCaptions[kMilestones] = {"Geantwortet:", "Bestätigt:", "Bezahlt:", "Versendet:",
                                                  "Bewertet:", "Bew. erhalten:", "Abgeschlossen:"};

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

QDate parseShownDate(const QString& text) {
    const auto d = tryCDate(text);
    return d ? d->date() : today();
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
    connect(Flex1, &FlexGrid::deletePressed, this, [this] { listCommand(QStringLiteral("keydelete")); });
    connect(Flex1->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int col) {
        // A heading click sorts as the sort menu does; a second click turns the order.
        static const QHash<int, QStringList> keys = {{2, {QStringLiteral("keysort2"), QStringLiteral("keysort21")}},
                                                     {4, {QStringLiteral("keysort3"), QStringLiteral("keysort31")}},
                                                     {6, {QStringLiteral("keysort1"), QStringLiteral("keysort11")}}};
        if (!keys.contains(col)) {
            listCommand(QStringLiteral("keysort0"));
            sortColumn_ = -1;
            return;
        }
        sortDescending_ = sortColumn_ == col ? !sortDescending_ : false;
        sortColumn_ = col;
        listCommand(keys[col][sortDescending_ ? 1 : 0]);
    });

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
    tmPopup = new QTimer(this);
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
}

void frmMain::buildPane(QWidget* pane) {
    auto* v = new QVBoxLayout(pane);
    const auto edit = [pane](const char* name) {
        auto* e = new QLineEdit(pane);
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };
    fraKunde = new QGroupBox(QStringLiteral("Käufer- / Verkäuferdaten"), pane);
    fraKunde->setObjectName(QStringLiteral("fraKunde"));
    auto* k = new QFormLayout(fraKunde);
    k->addRow(QStringLiteral("ebay-Name:"), txtebayName = edit("txtebayName"));
    k->addRow(QStringLiteral("Email Adresse:"), txtEmailAdresse = edit("txtEmailAdresse"));
    k->addRow(QStringLiteral("Name:"), txtName = edit("txtName"));
    k->addRow(QStringLiteral("Strasse:"), txtStrasse = edit("txtStrasse"));
    k->addRow(QStringLiteral("Ort:"), txtOrt = edit("txtOrt"));
    k->addRow(QStringLiteral("Land:"), txtLand = edit("txtLand"));
    v->addWidget(fraKunde);

    fraAuktion = new QGroupBox(QStringLiteral("Auktion"), pane);
    fraAuktion->setObjectName(QStringLiteral("fraAuktion"));
    auto* a = new QFormLayout(fraAuktion);
    cboAuktion = new QComboBox(fraAuktion);
    cboAuktion->setObjectName(QStringLiteral("cboAuktion"));
    a->addRow(cboAuktion);
    dtpEndeDatum = new QDateEdit(fraAuktion);
    dtpEndeDatum->setObjectName(QStringLiteral("dtpEndeDatum"));
    dtpEndeDatum->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    dtpEndeDatum->setCalendarPopup(true);
    a->addRow(QStringLiteral("Auktionsende:"), dtpEndeDatum);
    a->addRow(QStringLiteral("Preis:"), txtPreis = edit("txtPreis"));
    a->addRow(QStringLiteral("Menge:"), txtMenge = edit("txtMenge"));
    a->addRow(QStringLiteral("Versandkosten:"), txtVersand = edit("txtVersand"));
    a->addRow(QStringLiteral("Betrag:"), txtBetrag = edit("txtBetrag"));
    a->addRow(QStringLiteral("Versandinfos:"), txtVersandinfos = edit("txtVersandinfos"));
    a->addRow(QStringLiteral("Hinweise:"), txtHinweise = edit("txtHinweise"));
    a->addRow(QStringLiteral("Mitteilung:"), txtMitteilung = edit("txtMitteilung"));
    a->addRow(QStringLiteral("Bezahlung:"), txtBezahlung = edit("txtBezahlung"));
    for (QLineEdit* e : {txtHinweise, txtMitteilung, txtBezahlung})
        connect(e, &QLineEdit::textChanged, e, [e](const QString& t) { e->setToolTip(t); });
    for (QLineEdit* e : {txtebayName, txtEmailAdresse, txtName, txtStrasse, txtOrt, txtLand, txtPreis, txtMenge,
                         txtVersand, txtBetrag, txtVersandinfos, txtHinweise, txtMitteilung, txtBezahlung})
        connect(e, &QLineEdit::textEdited, this, [this] { paneEdited_ = true; });
    v->addWidget(fraAuktion);

    auto* fraStatus = new QGroupBox(QStringLiteral("Status"), pane);
    fraStatus->setObjectName(QStringLiteral("fraStatus"));
    auto* g = new QGridLayout(fraStatus);
    for (int i = 0; i < kMilestones; ++i) {
        auto* c = new QCheckBox(QString::fromUtf8(kStatusCaptions[i]), fraStatus);
        c->setObjectName(QStringLiteral("chkStatus_%1").arg(i));
        auto* d = new QDateEdit(QDate::currentDate(), fraStatus);
        d->setObjectName(QStringLiteral("dtpStatus_%1").arg(i));
        d->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        d->setCalendarPopup(true);
        d->setEnabled(false);
        connect(c, &QCheckBox::clicked, this, [this, i] { chkStatus_Click(i); });
        connect(d, &QDateEdit::dateChanged, this, [this, i] { dtpStatus_Change(i); });
        chkStatus[std::size_t(i)] = c;
        dtpStatus[std::size_t(i)] = d;
        g->addWidget(c, i % 4, (i / 4) * 2);
        g->addWidget(d, i % 4, (i / 4) * 2 + 1);
    }
    v->addWidget(fraStatus);
    v->addStretch();

    const auto button = [pane](const char* name, const char* caption) {
        auto* b = new QPushButton(QString::fromUtf8(caption), pane);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    cmdSpeichern = button("cmdSpeichern", "Speichern");
    cmdSenden = button("cmdSenden", "Email Senden");
    cmdEinlesen = button("cmdEinlesen", "Email Einlesen");
    cmdAuktion = button("cmdAuktion", "zur Auktion");
    cmdAbbrechen = button("cmdAbbrechen", "Beenden");
    cmdSpeichern->setEnabled(false);
    connect(cmdSenden, &QPushButton::clicked, this, &frmMain::cmdSenden_Click);
    connect(cmdSpeichern, &QPushButton::clicked, this, &frmMain::cmdSpeichern_Click);
    connect(txtVersand, &QLineEdit::editingFinished, this, &frmMain::berechneVersand);  // txtVersand_LostFocus
    cmdSenden->setEnabled(false);
    cmdAuktion->setEnabled(false);
    connect(cmdEinlesen, &QPushButton::clicked, this, &frmMain::cmdEinlesen_Click);
    connect(cmdAuktion, &QPushButton::clicked, this, &frmMain::cmdAuktion_Click);
    connect(cmdAbbrechen, &QPushButton::clicked, this, &frmMain::cmdAbbrechen_Click);
    auto* buttons = new QGridLayout;
    buttons->addWidget(cmdEinlesen, 0, 0);
    buttons->addWidget(cmdSenden, 0, 1);
    buttons->addWidget(cmdSpeichern, 0, 2);
    buttons->addWidget(cmdAuktion, 1, 0);
    buttons->addWidget(cmdAbbrechen, 1, 2);
    v->addLayout(buttons);
}

bool frmMain::ensureDatabase() {
    if (!gsDataSource.isEmpty()) return true;
    const QString path = AppPath() + QLatin1Char('/') + ExeName() + QStringLiteral(".mdb");
    if (platform().msgBox(QStringLiteral("Es ist noch keine Datenbank vorhanden.") + QLatin1Char('\r') +
                              QStringLiteral("Soll eine neue, leere Datenbank angelegt werden?") + QLatin1Char('\r') +
                              path,
                          Platform::Buttons::YesNo, Platform::Icon::Question, QString()) != Platform::Answer::Yes)
        return false;
    try {
        Database::create(path);
    } catch (const RunError& e) {
        showDbError(QStringLiteral("Die Datenbank kann nicht angelegt werden:"), e);
        return false;
    }
    gsDataSource = funcGetDataSource();
    return true;
}

void frmMain::pBuildMenus() {
    CALLSTACK();
    struct Item {
        const char* key;     // nullptr: a separator
        const char* caption;
        const char* parent;  // nullptr: the menu bar
        QKeySequence shortcut;
    };
    const Item sortItems[] = {{"keysort2", "nach ebayname (aufsteigend)", "", {}},
                              {"keysort21", "nach ebayname (absteigend)", "", {}},
                              {nullptr, nullptr, "", {}},
                              {"keysort3", "nach Bezeichnung (aufsteigend)", "", {}},
                              {"keysort31", "nach Bezeichnung (absteigend)", "", {}},
                              {nullptr, nullptr, "", {}},
                              {"keysort1", "nach Status (aufsteigend)", "", {}},
                              {"keysort11", "nach Status (absteigend)", "", {}},
                              {nullptr, nullptr, "", {}},
                              {"keysort0", "nach Auktionsende", "", {}}};
    const auto add = [](QMenu* m, const Item& it, const std::function<void(const QString&)>& click) {
        if (!it.key) {
            m->addSeparator();
            return;
        }
        QAction* a = m->addAction(QString::fromUtf8(it.caption));
        a->setObjectName(QString::fromLatin1(it.key));
        if (!it.shortcut.isEmpty()) a->setShortcut(it.shortcut);
        const QString key = QString::fromLatin1(it.key);
        QObject::connect(a, &QAction::triggered, m, [click, key] { click(key); });
    };
    const auto bar = [this](const QString& k) { SmartMenuXP1_Click(k); };
    const auto pop = [this](const QString& k) { smartpopmdi_Click(k); };

    QMenu* einstellungen = menuBar()->addMenu(QStringLiteral("Einstellungen"));
    einstellungen->setObjectName(QStringLiteral("keyEinstellungen"));
    for (const Item& it : {Item{"keyOptionen", "&Optionen", "", QKeySequence(Qt::CTRL | Qt::Key_O)},
                           Item{"keyInfo", "&Info", "", QKeySequence(Qt::CTRL | Qt::Key_I)},
                           Item{"keyHelp", "&Hilfe", "", QKeySequence(Qt::Key_F1)}, Item{nullptr, nullptr, "", {}},
                           Item{"keyExit", "Beenden", "", QKeySequence(Qt::CTRL | Qt::Key_B)}})
        add(einstellungen, it, bar);
    QMenu* aktion = menuBar()->addMenu(QStringLiteral("Aktionen"));
    aktion->setObjectName(QStringLiteral("keyAktion"));
    for (const Item& it : {Item{"keyEmaileinlesen", "Email einlesen", "", QKeySequence(Qt::CTRL | Qt::Key_E)},
                           Item{"keyEmailversenden", "Email versenden", "", QKeySequence(Qt::CTRL | Qt::Key_S)},
                           Item{nullptr, nullptr, "", {}},
                           Item{"keyrefresh", "Liste aktualisieren", "", QKeySequence(Qt::Key_F5)},
                           Item{nullptr, nullptr, "", {}}, Item{"keyBewertungen", "Bewertungen abgeben", "", {}},
                           Item{nullptr, nullptr, "", {}},
                           Item{"keydelete", "Markierte(n) Emaileintrag/Einträge löschen", "", {}}})
        add(aktion, it, bar);
    QMenu* ansicht = menuBar()->addMenu(QStringLiteral("Ansicht"));
    ansicht->setObjectName(QStringLiteral("keyAnsicht"));
    QMenu* sortmenue = ansicht->addMenu(QStringLiteral("Liste sortieren...."));
    sortmenue->setObjectName(QStringLiteral("keysortmenue"));
    for (const Item& it : sortItems) add(sortmenue, it, bar);
    QMenu* markierung = menuBar()->addMenu(QStringLiteral("Markierung"));
    markierung->setObjectName(QStringLiteral("keyMarkierung"));
    add(markierung, {"keyallemark", "Alle markieren", "", {}}, bar);
    add(markierung, {"keyalledemark", "Markierungen aufheben", "", {}}, bar);

    smartpopmdi = new QMenu(QStringLiteral("POPUP2"), this);
    smartpopmdi->setObjectName(QStringLiteral("keypop2"));
    add(smartpopmdi, {"keyzurauktion", "Zur Auktion", "", {}}, pop);
    smartpopmdi->addSeparator();
    QMenu* sort = smartpopmdi->addMenu(QStringLiteral("Liste sortieren...."));
    sort->setObjectName(QStringLiteral("keysort"));
    for (const Item& it : sortItems) add(sort, it, pop);
    add(smartpopmdi, {"keyallemark", "Alle markieren", "", {}}, pop);
    add(smartpopmdi, {"keyalledemark", "Markierungen aufheben", "", {}}, pop);
    smartpopmdi->addSeparator();
    add(smartpopmdi, {"keydelete", "Markierte(n) Emaileinträge löschen", "", {}}, pop);
}

void frmMain::SmartMenuXP1_Click(const QString& key) {
    CALLSTACK();
    if (tmrMenue->isActive()) return;  // a command is still pending
    gsMenuKey = key;
    tmrMenue->start();
}

void frmMain::smartpopmdi_Click(const QString& key) {
    CALLSTACK();
    if (tmPopup->isActive()) return;
    gsPopupKey = key;
    tmPopup->start();
}

void frmMain::tmrMenue_Timer() {
    CALLSTACK();
    tmrMenue->stop();
    const QString key = gsMenuKey;
    gsMenuKey.clear();
    runMenuCommand(key);
}

void frmMain::tmPopup_Timer() {
    CALLSTACK();
    tmPopup->stop();
    const QString key = gsPopupKey;
    gsPopupKey.clear();
    static const QStringList popupKeys = {
        QStringLiteral("keyzurauktion"), QStringLiteral("keysort2"),     QStringLiteral("keysort21"),
        QStringLiteral("keysort3"),      QStringLiteral("keysort31"),    QStringLiteral("keysort1"),
        QStringLiteral("keysort11"),     QStringLiteral("keysort0"),     QStringLiteral("keyallemark"),
        QStringLiteral("keyalledemark"), QStringLiteral("keydelete")};
    if (popupKeys.contains(key)) runMenuCommand(key);
}

void frmMain::runMenuCommand(const QString& key) {
    CALLSTACK();
    if (key == QStringLiteral("keyOptionen")) {
        frmOptionen dlg(this);
        dlg.exec();
    } else if (key == QStringLiteral("keyEmaileinlesen")) {
        cmdEinlesen_Click();
    } else if (key == QStringLiteral("keyEmailversenden")) {
        cmdSenden_Click();
    } else if (key == QStringLiteral("keyHelp")) {
        OpenLink(AppPath() + QStringLiteral("/Help/hilfe.htm"), false);
    } else if (key == QStringLiteral("keyBewertungen")) {
        OpenLink(gsFeedbackLink, false);
    } else if (key == QStringLiteral("keyExit")) {
        close();
    } else if (key == QStringLiteral("keyInfo")) {
        frmAbout dlg(this);
        dlg.exec();
    } else if (key == QStringLiteral("keyzurauktion")) {
        cmdAuktion_Click();
    } else if (key.startsWith(QStringLiteral("keysort")) || key == QStringLiteral("keyrefresh") ||
               key == QStringLiteral("keyallemark") || key == QStringLiteral("keyalledemark") ||
               key == QStringLiteral("keydelete")) {
        listCommand(key);
    }
}

void frmMain::saveWindowState() {
    const QString ini = configIniPath();
    funIni_SetString(ini, QStringLiteral("Fenster"), QStringLiteral("Geometrie"),
                     QString::fromLatin1(saveGeometry().toBase64()), false);
    QStringList widths;
    for (int c = 0; c < FlexModel::kCols; ++c) widths << QString::number(Flex1->isColumnHidden(c) ? 0 : Flex1->columnWidth(c));
    funIni_SetString(ini, QStringLiteral("Fenster"), QStringLiteral("Spalten"), widths.join(QLatin1Char(',')), false);
}

void frmMain::restoreWindowState() {
    const QString ini = configIniPath();
    // The geometry text is longer than a profile read returns; read the section raw.
    const auto lines = funIni_GetAllKeys(ini, QStringLiteral("Fenster"), false);
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
        if (a == Platform::Answer::Cancel) {
            e->ignore();
            return;
        }
        if (a == Platform::Answer::Yes) savePane();
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
    if (filter < 0) return;  // no button pressed: an empty grid
    try {
        Flex1->model()->setRows(loadAuktionsListe(gsDataSource, gsStandardUser, ListFilter(filter)));
        lastListError_.clear();
    } catch (const RunError& e) {
        // Once per fault, not at every refresh.
        if (e.text() != lastListError_)
            showDbError(QStringLiteral("Beim Laden der Auktionsdaten ist ein Fehler aufgetreten:"), e);
        lastListError_ = e.text();
    }
    statusBar()->showMessage(QStringLiteral("%1 Auktionen").arg(Flex1->Rows() - 1));
    if (Flex1->Rows() > 1) {
        selectflex(glListRow);
    } else {
        subClearFelder();
        clearTypes();
    }
}

void frmMain::subListeClick(const QString& sTag) {
    CALLSTACK();
    if (sTag.isEmpty()) return;
    tAuktion a;
    if (!funLoadAuktion(a, sTag)) return;
    tKunde k;
    if (!funLoadKunde(k, a.ebayName)) return;
    mAuktion = a;
    mKunde = k;
    paneEdited_ = false;
    cboAuktion->clear();
    subSetAuktion(mAuktion);
    if (mKunde.Kunde)
        subSetKunde(mKunde);
    else
        subSetLieferant(mKunde);
    cmdAuktion->setEnabled(true);
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
}

void frmMain::cmdListe_Click(int Index) {
    CALLSTACK();
    for (QPushButton* b : cmdListe) b->setChecked(false);
    cmdListe[std::size_t(Index)]->setChecked(true);
    subRefreshListe();
    const bool rows = Flex1->Rows() >= 2;
    if (rows) {
        selectfirst();
    } else {
        clearTypes();
        cmdAuktion->setEnabled(false);
    }
    cmdSenden->setEnabled(rows);
    cmdSpeichern->setEnabled(rows);
    glListRow = 0;
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

void frmMain::listCommand(const QString& key) {
    CALLSTACK();
    struct Sort {
        const char* key;
        int col;
        bool ascending;
    };
    static const Sort sorts[] = {{"keysort2", 2, true}, {"keysort21", 2, false}, {"keysort3", 4, true},
                                 {"keysort31", 4, false}, {"keysort1", 6, true}, {"keysort11", 6, false}};
    for (const Sort& s : sorts)
        if (key == QLatin1String(s.key)) {
            Flex1->model()->sortByColumn(s.col, s.ascending);
            selectfirst();
            return;
        }
    if (key == QStringLiteral("keysort0") || key == QStringLiteral("keyrefresh")) {
        subRefreshListe();
    } else if (key == QStringLiteral("keyallemark")) {
        demarkcheck(1);
    } else if (key == QStringLiteral("keyalledemark")) {
        demarkcheck(2);
    } else if (key == QStringLiteral("keydelete")) {
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
                              QStringLiteral("Emaileintrag wird unwiderruflich gelöscht.")) == Platform::Answer::Yes) {
            subDeleteAuktion(mAuktion);
            subRefreshListe();
        } else {
            platform().msgBox(QStringLiteral("Löschvorgang abgebrochen!"), Platform::Buttons::Ok,
                              Platform::Icon::Exclamation, windowTitle());
        }
    }
}

void frmMain::subSetAuktion(const tAuktion& oAuktion) {
    CALLSTACK();
    gbLoading = true;
    cboAuktion->addItem(oAuktion.AuktionsNr + QStringLiteral(": ") + oAuktion.Titel);
    cboAuktion->setCurrentIndex(cboAuktion->count() - 1);
    txtPreis->setText(oAuktion.Preis);
    txtMenge->setText(oAuktion.Menge);
    txtVersand->setText(oAuktion.Versandkosten);
    txtBetrag->setText(oAuktion.Betrag);
    for (int i = 0; i < kMilestones; ++i) {
        const QDateTime& d = oAuktion.Datum[std::size_t(i)];
        const bool reached = !isZeroDate(d);
        chkStatus[std::size_t(i)]->setChecked(reached);
        dtpStatus[std::size_t(i)]->setDate(reached ? d.date() : today());
        dtpStatus[std::size_t(i)]->setEnabled(reached);
    }
    dtpEndeDatum->setDate(parseShownDate(oAuktion.EndeDatum));
    txtMitteilung->setText(oAuktion.Mitteilungen);
    txtHinweise->setText(oAuktion.Hinweise);
    QString versand = oAuktion.Versandinfos + oAuktion.Versandkosten;
    if (!oAuktion.Versandversicherung.isEmpty())
        versand += QStringLiteral(" Versandversicherung: ") + oAuktion.Versandversicherung;
    txtVersandinfos->setText(versand);
    txtBezahlung->setText(oAuktion.Bezahlung);
    berechneVersand();
    for (QLineEdit* e : {txtPreis, txtMenge, txtVersand, txtBetrag, txtMitteilung, txtHinweise, txtVersandinfos,
                         txtBezahlung})
        e->setCursorPosition(0);
    gbLoading = false;
}

void frmMain::subSetKunde(const tKunde& oKunde) {
    CALLSTACK();
    fraKunde->setTitle(QStringLiteral("Käuferdaten"));
    txtName->setText(oKunde.Name);
    txtebayName->setText(oKunde.ebayName);
    txtEmailAdresse->setText(oKunde.Email);
    txtStrasse->setText(oKunde.Strasse);
    txtOrt->setText(oKunde.Ort);
    txtLand->setText(oKunde.Land);
}

void frmMain::subSetLieferant(const tKunde& oLiefer) {
    CALLSTACK();
    subSetKunde(oLiefer);
    fraKunde->setTitle(QStringLiteral("Verkäuferdaten"));
}

void frmMain::subClearFelder() {
    CALLSTACK();
    for (QLineEdit* e : {txtebayName, txtEmailAdresse, txtName, txtStrasse, txtOrt, txtLand, txtPreis, txtMenge,
                         txtVersand, txtBetrag, txtVersandinfos, txtHinweise, txtMitteilung, txtBezahlung})
        e->clear();
    cboAuktion->clear();
    fraKunde->setTitle(QStringLiteral("Käufer- / Verkäuferdaten"));
}

void frmMain::chkStatus_Click(int Index) {
    CALLSTACK();
    if (gbLoading) return;
    QCheckBox* c = chkStatus[std::size_t(Index)];
    if (Flex1->Rows() == 1 || mAuktion.AuktionsID.isEmpty()) {
        c->setChecked(false);  // nothing to store it for
        return;
    }
    QDateEdit* d = dtpStatus[std::size_t(Index)];
    mAuktion.Datum[std::size_t(Index)] = c->isChecked() ? QDateTime(d->date(), QTime(0, 0)) : zeroDate();
    d->setEnabled(c->isChecked());
    SaveStatus(mAuktion, Index);
    subRefreshListe();
}

void frmMain::dtpStatus_Change(int Index) {
    if (gbLoading || mAuktion.AuktionsID.isEmpty() || !chkStatus[std::size_t(Index)]->isChecked()) return;
    CALLSTACK();
    mAuktion.Datum[std::size_t(Index)] = QDateTime(dtpStatus[std::size_t(Index)]->date(), QTime(0, 0));
    SaveStatus(mAuktion, Index);
}

void frmMain::cmdSenden_Click() {
    CALLSTACK();
    if (Flex1->Rows() <= 1) {
        platform().msgBox(QStringLiteral("Es sind keine Emails in der Liste vorhanden!"), Platform::Buttons::Ok,
                          Platform::Icon::Critical, QString());
        return;
    }
    if (mAuktion.AuktionsNr.isEmpty()) return;
    MailInputs in;
    in.sName = mKunde.Name;
    in.sPreis = txtPreis->text();
    in.sVersand = txtVersand->text();
    in.sEmail = mKunde.Email;
    in.sArtikelnummer = mAuktion.AuktionsNr;
    in.sAuktionsID = mAuktion.AuktionsID;
    in.sBezeichnung = mAuktion.Titel;
    in.sGesamtbetrag = txtBetrag->text();
    in.bLieferant = mKunde.Lieferant;
    in.sAngebotsende = mAuktion.EndeDatum;
    in.sDatumBezahlt = dateToText(mAuktion.Datum[2]);
    in.bGruppiert = !mAuktion.KundenNr.isEmpty() && checkgruppierteMails(mKunde.KundenNr);
    in.sKundennr = mKunde.KundenNr;
    in.sStatus = mAuktion.Status;
    frmMail dlg(in, this);
    dlg.onStatusRecorded = [this] { subRefreshListe(); };
    dlg.exec();
}

void frmMain::cmdEinlesen_Click() {
    CALLSTACK();
    frmEinlesen dlg(this);
    if (dlg.exec() == QDialog::Accepted) subRefreshListe();
}

void frmMain::cmdAuktion_Click() {
    CALLSTACK();
    if (mAuktion.AuktionsNr.isEmpty()) {
        platform().msgBox(QStringLiteral("Es wurde kein Artikel ausgewählt!"), Platform::Buttons::Ok,
                          Platform::Icon::Critical, QString());
        return;
    }
    const auto ende = tryCDate(mAuktion.EndeDatum);
    const qint64 d = ende ? ende->date().daysTo(today()) : 0;
    if (d > 90) {
        platform().msgBox(QStringLiteral("Diese Auktion ist älter als 90 Tage. Bei ebay sind ausgelaufene Auktionen nur "
                                         "90 Tage verfügbar. Diese Auktion kann nicht angezeigt werden."),
                          Platform::Buttons::Ok, Platform::Icon::Critical,
                          QStringLiteral("Diese Auktion ist seit %1 Tagen ausgelaufen!").arg(d));
        return;
    }
    QString link = gsItemLink;
    link.replace(QStringLiteral("[#Artikel#]"), mAuktion.AuktionsNr.trimmed().remove(QLatin1Char(')')));
    OpenLink(link, true);
}

void frmMain::subGetAuktion(tAuktion& oAuktion) {
    CALLSTACK();
    oAuktion.Preis = txtPreis->text();
    oAuktion.Menge = txtMenge->text();
    oAuktion.Versandkosten = txtVersand->text();
    oAuktion.Betrag = txtBetrag->text();
    oAuktion.EndeDatum = dtpEndeDatum->date().toString(QStringLiteral("dd.MM.yyyy"));
    oAuktion.Mitteilungen = txtMitteilung->text();
    oAuktion.Hinweise = txtHinweise->text();
    oAuktion.Versandinfos = txtVersandinfos->text();
    oAuktion.Bezahlung = txtBezahlung->text();
}

void frmMain::subGetLieferantKunde(tKunde& oLiefer) {
    CALLSTACK();
    oLiefer.Name = txtName->text();
    oLiefer.ebayName = txtebayName->text();
    oLiefer.Email = txtEmailAdresse->text();
    oLiefer.Strasse = txtStrasse->text();
    oLiefer.Ort = txtOrt->text();
    oLiefer.Land = txtLand->text();
    oLiefer.Kunde = fraKunde->title() != QStringLiteral("Verkäuferdaten");
    oLiefer.Lieferant = !oLiefer.Kunde;
}

void frmMain::cmdSpeichern_Click() {
    CALLSTACK();
    if (mAuktion.AuktionsNr.isEmpty()) return;
    if (platform().msgBox(QStringLiteral("Sollen die Daten jetzt gespeichert werden?"), Platform::Buttons::YesNo,
                          Platform::Icon::Question, QString()) != Platform::Answer::Yes)
        return;
    savePane();
}

void frmMain::savePane() {
    subGetAuktion(mAuktion);
    subGetLieferantKunde(mKunde);
    funSaveLieferantupdate(mKunde, mAuktion.AuktionsNr);
    QString nr = mAuktion.KundenNr;
    if (funSaveAuktion(mAuktion, nr)) paneEdited_ = false;
}

void frmMain::berechneVersand() {
    CALLSTACK();
    // The amount after the first blank ("EUR 12,50" -> 12,50).
    const auto amount = [](const QString& t) {
        const qsizetype blank = t.indexOf(QLatin1Char(' '));
        return funCDbl(blank < 0 ? t : t.mid(blank + 1));
    };
    bool ok = false;
    const int menge = germanLocale().toInt(mAuktion.Menge.trimmed(), &ok);
    if (!ok) return;  // a quantity that is no number leaves the total as it is
    const double total = menge * amount(mAuktion.Preis) + amount(txtVersand->text());
    // "#,###.00": no digit before the separator below one
    QString text = germanLocale().toString(total, 'f', 2);
    if (std::abs(total) < 1.0) text.replace(QRegularExpression(QStringLiteral("^(-?)0")), QStringLiteral("\\1"));
    txtBetrag->setText(text);
}

void frmMain::cmdAbbrechen_Click() {
    CALLSTACK();
    close();
}

}  // namespace gd
