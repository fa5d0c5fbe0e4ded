#include "ui/frmEtiketten.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "base/AppPath.h"
#include "base/CallStack.h"
#include "base/SafeWrite.h"
#include "domain/invoice/Invoice.h"
#include "domain/settings/modGlobal.h"
#include "ui/Platform.h"
#include "ui/frmHilfe.h"

namespace gd {

frmEtiketten::frmEtiketten(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmEtiketten"));
    setWindowTitle(QStringLiteral("Versandetiketten"));
    auto* v = new QVBoxLayout(this);
    lblSumme = new QLabel(this);
    lblSumme->setObjectName(QStringLiteral("lblSumme"));
    lblSumme->setWordWrap(true);
    v->addWidget(lblSumme);
    grdSendungen = new QTableWidget(0, 4, this);
    grdSendungen->setObjectName(QStringLiteral("grdSendungen"));
    grdSendungen->setAccessibleName(QStringLiteral("Versandbereite Sendungen"));
    grdSendungen->setHorizontalHeaderLabels({QStringLiteral("Artikelnummer"), QStringLiteral("Käufer"),
                                             QStringLiteral("Anschrift"), QStringLiteral("Hinweis")});
    grdSendungen->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdSendungen->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdSendungen->verticalHeader()->hide();
    grdSendungen->horizontalHeader()->setStretchLastSection(true);
    v->addWidget(grdSendungen);
    auto* form = new QFormLayout;
    cboProdukt = new QComboBox(this);
    cboProdukt->setObjectName(QStringLiteral("cboProdukt"));
    for (const DhlProduct& p : kDhlProducts)
        cboProdukt->addItem(QStringLiteral("%1 (%2)").arg(QString::fromUtf8(p.text), QLatin1String(p.key)),
                            QLatin1String(p.key));
    cboProdukt->setCurrentIndex(2);  // Paket bis 2 kg: what most sales go as
    form->addRow(QStringLiteral("&Produkt:"), cboProdukt);
    v->addLayout(form);
    auto* buttons = new QDialogButtonBox(this);
    auto* write = buttons->addButton(QStringLiteral("&Datei schreiben…"), QDialogButtonBox::AcceptRole);
    write->setObjectName(QStringLiteral("cmdSchreiben"));
    write->setDefault(true);
    connect(write, &QPushButton::clicked, this, &frmEtiketten::write);
    auto* close = buttons->addButton(QStringLiteral("Schließen"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("cmdSchliessen"));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    addHelp(this, QStringLiteral("etiketten"), buttons);
    v->addWidget(buttons);
    resize(900, 420);
    fill();
}

PostalAddress frmEtiketten::sender(QString* why) const {
    const InvoiceProfile seller = invoiceProfile(currentSettings());
    const Result<PostalAddress> a =
        senderAddress(seller.holder.isEmpty() ? seller.member : seller.holder, seller.address);
    if (!a.ok() && why) *why = a.error().sentence;
    return a.valueOr(PostalAddress());
}

void frmEtiketten::fill() {
    CALLSTACK_MODULE("frmEtiketten");
    const Result<QList<ReadyParcel>> ready = readyParcels(currentStore());
    if (!ready.ok()) {
        showError(ready.error());
        return;
    }
    ready_ = ready.value();
    const PostalAddress from = sender(nullptr);
    grdSendungen->setRowCount(int(ready_.size()));
    int readable = 0;
    for (int i = 0; i < ready_.size(); ++i) {
        const ReadyParcel& p = ready_[i];
        QString said = p.unreadable;
        if (said.isEmpty()) {
            // What the file will make of it: the same writer, for this row alone.
            QStringList notes = dhlImportFiles(from, {{p.auktionsNr, p.to, QStringLiteral("PAK02.DEU")}}).notes;
            notes.removeIf([](const QString& n) { return n.startsWith(QStringLiteral("Die Absenderanschrift")); });
            for (QString& n : notes)
                n.remove(QStringLiteral("Auktion %1, ").arg(p.auktionsNr))
                    .replace(QStringLiteral(" geschrieben als "), QStringLiteral(" → "));
            said = notes.join(QStringLiteral("; "));
            ++readable;
        }
        auto* nr = new QTableWidgetItem(p.auktionsNr);
        nr->setFlags(p.unreadable.isEmpty() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable
                                            : Qt::ItemIsSelectable);
        nr->setCheckState(p.unreadable.isEmpty() ? Qt::Checked : Qt::Unchecked);
        grdSendungen->setItem(i, 0, nr);
        grdSendungen->setItem(i, 1, new QTableWidgetItem(p.ebayName));
        const PostalAddress& a = p.to;
        grdSendungen->setItem(i, 2,
                              new QTableWidgetItem(p.unreadable.isEmpty() ? QStringLiteral("%1, %2 %3, %4 %5, %6")
                                                                                .arg(a.name1, a.street, a.house,
                                                                                     a.postcode, a.city, a.country)
                                                                          : QString()));
        auto* note = new QTableWidgetItem(said);
        note->setToolTip(said);
        if (!p.unreadable.isEmpty()) note->setForeground(QColor(0xb0, 0x1c, 0x1c));
        grdSendungen->setItem(i, 3, note);
    }
    grdSendungen->resizeColumnsToContents();
    grdSendungen->horizontalHeader()->setSectionResizeMode(3, QHeaderView::Stretch);
    // Once laid out: the notes wrap in the width the last column got.
    QTimer::singleShot(0, grdSendungen, &QTableWidget::resizeRowsToContents);
    lblSumme->setText(
        ready_.isEmpty()
            ? QStringLiteral("Kein Verkauf ist bezahlt und noch nicht versendet.")
            : QStringLiteral("%1 bezahlt und nicht versendet, %2 mit lesbarer Anschrift. Die Datei laden Sie in der "
                             "DHL Online-Frankierung unter „Sendungen importieren“ hoch; je Datei gehen höchstens "
                             "100 Sendungen.")
                  .arg(ready_.size() == 1 ? QStringLiteral("1 Verkauf ist")
                                          : QStringLiteral("%1 Verkäufe sind").arg(ready_.size()))
                  .arg(readable));
}

void frmEtiketten::write() {
    CALLSTACK_MODULE("frmEtiketten");
    QString why;
    const PostalAddress from = sender(&why);
    if (!why.isEmpty()) {
        platform().msgBox(QStringLiteral("Ihre Anschrift als Absender ist unvollständig (Einstellungen, Allgemein: "
                                         "Anschrift für Rechnungen). ") +
                              why,
                          Platform::Buttons::Ok, Platform::Icon::Exclamation, QString());
        return;
    }
    QList<DhlShipment> chosen;
    for (int i = 0; i < ready_.size(); ++i)
        if (grdSendungen->item(i, 0)->checkState() == Qt::Checked)
            chosen << DhlShipment{ready_[i].auktionsNr, ready_[i].to, cboProdukt->currentData().toString()};
    if (chosen.isEmpty()) {
        platform().msgBox(QStringLiteral("Es ist keine Sendung angehakt."), Platform::Buttons::Ok,
                          Platform::Icon::Information, QString());
        return;
    }
    const QString file = platform().saveFileName(QStringLiteral("Importdatei für DHL speichern"),
                                                 documentsFolder() + QStringLiteral("/DHL-Sendungen.csv"),
                                                 QStringLiteral("CSV-Dateien (*.csv)"));
    if (file.isEmpty()) return;
    const DhlImport made = dhlImportFiles(from, chosen);
    QStringList names;
    for (qsizetype i = 0; i < made.files.size(); ++i) {
        const QString name = importFileName(file, i);
        const Status written = writeFileSafely(name, made.files[i]);
        if (!written.ok()) {
            showError(written.error());
            return;
        }
        names << QDir::toNativeSeparators(name);
    }
    QString done =
        QStringLiteral("%1 in %2 geschrieben: %3")
            .arg(made.written == 1 ? QStringLiteral("1 Sendung") : QStringLiteral("%1 Sendungen").arg(made.written))
            .arg(names.size() == 1 ? QStringLiteral("1 Datei") : QStringLiteral("%1 Dateien").arg(names.size()))
            .arg(names.join(QStringLiteral(", ")));
    for (const QString& n : made.notes) done += QLatin1Char('\r') + n;
    platform().msgBox(done, Platform::Buttons::Ok, Platform::Icon::Information, QString());
    accept();
}

}  // namespace gd
