#include "ui/frmJahr.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/AppPath.h"
#include "base/CallStack.h"
#include "base/Clock.h"
#include "base/SafeWrite.h"
#include "base/codepage.h"
#include "domain/books/Datev.h"
#include "domain/books/YearFigures.h"
#include "domain/settings/Optionen.h"
#include "domain/settings/modGlobal.h"
#include "render/TablePdf.h"
#include "ui/Platform.h"
#include "ui/frmHilfe.h"

namespace gd {
namespace {

QPushButton* button(QWidget* parent, const char* name, const char* caption) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

struct YearNotes {
    LimitNote report, small;
};

Result<YearNotes> notesFor(int year, const QList<PlatformYear>& figures) {
    YearNotes n{reportingNote(figures, year, reportLimits(gSettings.GrenzeMeldepflicht)), {}};
    if (gSettings.Kleinunternehmer) {
        const Result<QList<PlatformYear>> last = yearFigures(currentStore(), year - 1, mainPlatform(currentSettings()));
        if (!last.ok()) return last.error();
        n.small = smallBusinessNote(yearTotal(last.value()).gross(), yearTotal(figures).gross(), year,
                                    smallBusinessLimits(gSettings.GrenzeKleinunternehmer));
    }
    return n;
}

}  // namespace

QString limitNote(bool* clear, QString* brief) {
    *clear = false;
    if (gsDataSource.isEmpty()) return {};
    const int year = today().year();
    const Result<QList<PlatformYear>> figures = yearFigures(currentStore(), year, mainPlatform(currentSettings()));
    if (!figures.ok()) return {};
    const Result<YearNotes> notes = notesFor(year, figures.value());
    if (!notes.ok()) return {};
    // A crossed limit before a near one; the small-business rule before the platforms' report.
    for (const LimitNote& n : {notes.value().small, notes.value().report})
        if (n.level == LimitNote::Level::Clear) {
            *clear = true;
            *brief = n.brief;
            return n.text;
        }
    for (const LimitNote& n : {notes.value().small, notes.value().report})
        if (n.level == LimitNote::Level::Quiet) {
            *brief = n.brief;
            return n.text;
        }
    return {};
}

frmJahr::frmJahr(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmJahr"));
    setWindowTitle(QStringLiteral("Jahresübersicht"));
    spnJahr = new QSpinBox(this);
    spnJahr->setObjectName(QStringLiteral("spnJahr"));
    spnJahr->setRange(2000, 2100);
    spnJahr->setValue(today().year());
    spnJahr->setAccessibleName(QStringLiteral("Jahr"));
    grdJahr = new QTableWidget(this);
    grdJahr->setObjectName(QStringLiteral("grdJahr"));
    grdJahr->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdJahr->verticalHeader()->setVisible(false);
    lblGrenzen = new QLabel(this);
    lblGrenzen->setObjectName(QStringLiteral("lblGrenzen"));
    lblGrenzen->setWordWrap(true);
    cmdCsv = button(this, "cmdCsv", "Als CSV speichern…");
    cmdPdf = button(this, "cmdPdf", "Als PDF speichern…");
    cmdSchliessen = button(this, "cmdSchliessen", "Schließen");
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Jahr:"), this));
    top->addWidget(spnJahr);
    top->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdCsv);
    buttons->addWidget(cmdPdf);
    buttons->addStretch();
    buttons->addWidget(cmdSchliessen);
    addHelp(this, QStringLiteral("jahresuebersicht"), buttons);
    auto* v = new QVBoxLayout(this);
    v->addLayout(top);
    v->addWidget(grdJahr, 1);
    v->addWidget(lblGrenzen);
    v->addLayout(buttons);
    connect(spnJahr, &QSpinBox::valueChanged, this, &frmJahr::load);
    connect(cmdCsv, &QPushButton::clicked, this, &frmJahr::saveCsv);
    connect(cmdPdf, &QPushButton::clicked, this, &frmJahr::savePdf);
    connect(cmdSchliessen, &QPushButton::clicked, this, &QDialog::accept);
    resize(900, 560);
    load();
}

void frmJahr::load() {
    CALLSTACK_MODULE("frmJahr");
    const Result<QList<PlatformYear>> figures =
        yearFigures(currentStore(), spnJahr->value(), mainPlatform(currentSettings()));
    if (!figures.ok()) {
        showError(figures.error());
        return;
    }
    const QList<QStringList> rows = yearTable(figures.value());
    grdJahr->clear();
    grdJahr->setColumnCount(int(rows[0].size()));
    grdJahr->setHorizontalHeaderLabels(rows[0]);
    grdJahr->setRowCount(int(rows.size() - 1));
    for (int r = 1; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size(); ++c) {
            auto* item = new QTableWidgetItem(rows[r][c]);
            if (c >= 2) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (rows[r][1] == QStringLiteral("Jahr")) {
                QFont f = item->font();
                f.setBold(true);
                item->setFont(f);
            }
            grdJahr->setItem(r - 1, c, item);
        }
    grdJahr->resizeColumnsToContents();
    const Result<YearNotes> notes = notesFor(spnJahr->value(), figures.value());
    QStringList said;
    if (notes.ok())
        for (const LimitNote& n : {notes.value().report, notes.value().small})
            if (n.level != LimitNote::Level::None) said << n.text;
    lblGrenzen->setText(said.isEmpty() ? QStringLiteral("Keine Meldegrenze und keine Umsatzgrenze erreicht.")
                                       : said.join(QLatin1Char('\n')));
}

void frmJahr::saveCsv() {
    saveAs("CSV", [](const QList<QStringList>& rows, const QString&, int) {
        QString text;
        for (const QStringList& row : rows) text += row.join(QLatin1Char(';')) + QStringLiteral("\r\n");
        return win::toAnsi(text);
    });
}

void frmJahr::savePdf() {
    saveAs("PDF", [](const QList<QStringList>& rows, const QString& note, int year) {
        return tablePdf(QStringLiteral("Jahresübersicht %1").arg(year), note, rows);
    });
}

// The year's table, read anew, in the file the user names.
void frmJahr::saveAs(const char* kind,
                     const std::function<QByteArray(const QList<QStringList>&, const QString&, int)>& make) {
    CALLSTACK_MODULE("frmJahr");
    const QString k = QString::fromLatin1(kind);
    const QString file = platform().saveFileName(
        QStringLiteral("Jahresübersicht als %1 speichern").arg(k),
        documentsFolder() + QStringLiteral("/Jahresuebersicht-%1.%2").arg(spnJahr->value()).arg(k.toLower()),
        QStringLiteral("%1-Dateien (*.%2)").arg(k, k.toLower()));
    if (file.isEmpty()) return;
    const Result<QList<PlatformYear>> figures =
        yearFigures(currentStore(), spnJahr->value(), mainPlatform(currentSettings()));
    if (!figures.ok()) return showError(figures.error());
    const Status w = writeFileSafely(file, make(yearTable(figures.value()), lblGrenzen->text(), spnJahr->value()));
    if (!w.ok()) showError(w.error());
}

frmDatev::frmDatev(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDatev"));
    setWindowTitle(QStringLiteral("Export für Steuerberater (DATEV)"));
    const DatevSetup setup = datevSetup(currentSettings());
    // The last whole month: what a monthly hand-over to the advisor asks for.
    const auto [monthStart, monthEnd] = lastWholeMonth(today());
    const auto date = [this](const char* name, const QDate& d) {
        auto* e = new QDateEdit(d, this);
        e->setObjectName(QString::fromLatin1(name));
        e->setCalendarPopup(true);
        e->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        return e;
    };
    dtpVon = date("dtpVon", monthStart);
    dtpBis = date("dtpBis", monthEnd);
    const auto edit = [this](const char* name, const QString& text, const QString& hint) {
        auto* e = new QLineEdit(text, this);
        e->setObjectName(QString::fromLatin1(name));
        e->setPlaceholderText(hint);
        return e;
    };
    txtBerater = edit("txtBerater", setup.berater, QStringLiteral("vom Steuerberater, 1001 bis 9999999"));
    txtMandant = edit("txtMandant", setup.mandant, QStringLiteral("vom Steuerberater, 1 bis 99999"));
    txtWJBeginn = edit("txtWJBeginn", setup.fiscalStart, QStringLiteral("TTMM, meist 0101"));
    cboKontenrahmen = new QComboBox(this);
    cboKontenrahmen->setObjectName(QStringLiteral("cboKontenrahmen"));
    cboKontenrahmen->addItem(QStringLiteral("SKR03"), QStringLiteral("03"));
    cboKontenrahmen->addItem(QStringLiteral("SKR04"), QStringLiteral("04"));
    cboKontenrahmen->setCurrentIndex(setup.chart == QStringLiteral("04") ? 1 : 0);
    chkFestschreibung = new QCheckBox(QStringLiteral("Buchungen beim Import festschreiben"), this);
    chkFestschreibung->setObjectName(QStringLiteral("chkFestschreibung"));
    chkFestschreibung->setChecked(setup.lock);
    chkZahlungen = new QCheckBox(QStringLiteral("Zahlungseingänge mitbuchen (Bank an Debitor)"), this);
    chkZahlungen->setObjectName(QStringLiteral("chkZahlungen"));
    chkZahlungen->setChecked(setup.payments);
    grdKonten = new QTableWidget(int(datevBookings().size()), 2, this);
    grdKonten->setObjectName(QStringLiteral("grdKonten"));
    grdKonten->setHorizontalHeaderLabels({QStringLiteral("Konto"), QStringLiteral("BU-Schlüssel")});
    const QStringList captions{QStringLiteral("Erlöse 19 %"),  QStringLiteral("Erlöse 7 %"),
                               QStringLiteral("Erlöse § 25a"), QStringLiteral("Erlöse § 19"),
                               QStringLiteral("Bank"),         QStringLiteral("Debitor (Sammelkonto)"),
                               QStringLiteral("Gebühren")};
    grdKonten->setVerticalHeaderLabels(captions);
    const auto fill = [this](const QMap<QString, DatevAccount>& accounts) {
        for (int r = 0; r < datevBookings().size(); ++r) {
            const DatevAccount a = accounts.value(datevBookings()[r]);
            grdKonten->setItem(r, 0, new QTableWidgetItem(a.konto));
            grdKonten->setItem(r, 1, new QTableWidgetItem(a.schluessel));
        }
    };
    fill(setup.accounts);
    // Another chart: its accounts, with what the user set kept where it differs.
    connect(cboKontenrahmen, &QComboBox::activated, this,
            [this, fill] { fill(datevAccounts(cboKontenrahmen->currentData().toString(), QString())); });
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Zeitraum von:"), dtpVon);
    form->addRow(QStringLiteral("bis:"), dtpBis);
    form->addRow(QStringLiteral("Beraternummer:"), txtBerater);
    form->addRow(QStringLiteral("Mandantennummer:"), txtMandant);
    form->addRow(QStringLiteral("Wirtschaftsjahr beginnt (TTMM):"), txtWJBeginn);
    form->addRow(QStringLiteral("Kontenrahmen:"), cboKontenrahmen);
    form->addRow(chkFestschreibung);
    form->addRow(chkZahlungen);
    cmdExportieren = button(this, "cmdExportieren", "Exportieren…");
    cmdSchliessen = button(this, "cmdSchliessen", "Schließen");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdExportieren);
    buttons->addWidget(cmdSchliessen);
    addHelp(this, QStringLiteral("datev"), buttons);
    auto* v = new QVBoxLayout(this);
    v->addLayout(form);
    v->addWidget(new QLabel(QStringLiteral("Konten (vom Steuerberater anpassen lassen):"), this));
    v->addWidget(grdKonten, 1);
    v->addLayout(buttons);
    connect(cmdExportieren, &QPushButton::clicked, this, &frmDatev::exportFile);
    connect(cmdSchliessen, &QPushButton::clicked, this, &QDialog::reject);
    resize(520, 600);
}

void frmDatev::exportFile() {
    CALLSTACK_MODULE("frmDatev");
    DatevSetup setup;
    setup.berater = txtBerater->text().trimmed();
    setup.mandant = txtMandant->text().trimmed();
    setup.chart = cboKontenrahmen->currentData().toString();
    setup.fiscalStart = txtWJBeginn->text().trimmed();
    setup.lock = chkFestschreibung->isChecked();
    setup.payments = chkZahlungen->isChecked();
    QStringList typed;
    for (int r = 0; r < datevBookings().size(); ++r)
        typed << datevBookings()[r] + QLatin1Char('=') + grdKonten->item(r, 0)->text().trimmed() + QLatin1Char('/') +
                     grdKonten->item(r, 1)->text().trimmed();
    setup.accounts = datevAccounts(setup.chart, typed.join(QLatin1Char(';')));
    // Checked before a file is asked for; the settings kept for the next time.
    const Result<DatevExport> ex = datevExport(currentStore(), setup, dtpVon->date(), dtpBis->date(), now());
    if (!ex.ok()) return showError(ex.error());
    Settings s = gSettings;
    s.DatevBerater = setup.berater;
    s.DatevMandant = setup.mandant;
    s.DatevKontenrahmen = setup.chart;
    s.DatevWJBeginn = setup.fiscalStart;
    s.DatevFestschreibung = setup.lock;
    s.DatevZahlungen = setup.payments;
    s.DatevKonten = datevOverrides(setup.chart, setup.accounts);
    if (const Status saved = saveOptions(s); saved.ok()) setSettings(s);
    const QString file =
        platform().saveFileName(QStringLiteral("DATEV-Buchungsstapel speichern"),
                                documentsFolder() + QStringLiteral("/EXTF_Buchungsstapel_%1_%2.csv")
                                                        .arg(dtpVon->date().toString(QStringLiteral("yyyyMMdd")),
                                                             dtpBis->date().toString(QStringLiteral("yyyyMMdd"))),
                                QStringLiteral("DATEV-Dateien (*.csv)"));
    if (file.isEmpty()) return;
    const Status w = writeFileSafely(file, ex.value().bytes);
    if (!w.ok()) return showError(w.error());
    platform().msgBox(QStringLiteral("DATEV-Buchungsstapel gespeichert: %1\n%2")
                          .arg(datevSummary(ex.value()), QDir::toNativeSeparators(file)),
                      Platform::Buttons::Ok, Platform::Icon::Information, QString());
}

}  // namespace gd
