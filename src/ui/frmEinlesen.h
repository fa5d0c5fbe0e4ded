#pragma once
// "Auktionsemail einlesen": clipboard text in, checked fields, stored on accept.

#include <QDialog>
#include <QList>
#include <functional>

#include "domain/import/Parser.h"

class QDropEvent;
class QFileSystemWatcher;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMimeData;
class QPlainTextEdit;
class QPushButton;

namespace gd {

class RuleTester;

// A mail waiting to be read: from a dropped or opened file (each mail of a mailbox
// alone) or dropped text.
struct QueuedMail {
    QString name;  // what the dialog says it reads
    QString text;
    QString error;  // the file could not be read: said instead of reading
};
QList<QueuedMail> queuedMailsFromFiles(const QStringList& paths);
// Files (.eml, .txt, .html, mbox) or mail text; empty when the drop holds neither.
QList<QueuedMail> queuedMailsFrom(const QMimeData* mime);
bool offersMails(const QMimeData* mime);
// Accepts a drop that holds mails and reads them once the drop has ended.
void takeMailDrop(QDropEvent* e, QObject* context, const std::function<void(const QList<QueuedMail>&)>& read);

class frmEinlesen final : public QDialog {
    Q_OBJECT
public:
    explicit frmEinlesen(QWidget* parent = nullptr);
    const ImportRecords& records() const { return r_; }

    void cmdEinlesen_Click();
    void cmdUebernehmen_Click();
    void cmdLoeschen_Click();
    void cmdAbbrechen_Click();
    void cmdDatei_Click();
    void cmdWeiter_Click();
    void cmdRegeln_Click();

    // Reads the mails one after the other, each as the clipboard button reads one;
    // "Übernehmen" goes on to the next.
    void readQueued(const QList<QueuedMail>& mails);
    int storedCount() const { return stored_; }

protected:
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void readText(const QString& raw, bool fromClipboard);
    void showNextQueued();
    void showRules();
    void keywordFileChanged();
    void Form_Load();
    QLineEdit* field(const char* name, QString tKunde::*contact);
    QLineEdit* field(const char* name, QString tAuktion::*auktion, bool tooltip);
    void showRecords();
    void setText(QLineEdit* e, const QString& t);

    ImportRecords r_;
    QGroupBox* fraEmailText = nullptr;
    QGroupBox* fraKunde = nullptr;
    QGroupBox* fraAuktion = nullptr;
    QPlainTextEdit* txtEmail = nullptr;
    QLineEdit *txtebayName = nullptr, *txtEmailAdresse = nullptr, *txtName = nullptr, *txtStrasse = nullptr,
              *txtOrt = nullptr, *txtLand = nullptr, *txtFirma = nullptr, *txtUStIdNr = nullptr;
    QLineEdit *txtArtikelNr = nullptr, *txtTitel = nullptr, *txtPreis = nullptr, *txtMenge = nullptr,
              *txtBetrag = nullptr, *txtEndeDatum = nullptr, *txtMitteilung = nullptr, *txtHinweise = nullptr,
              *txtVersandinfos = nullptr, *txtBezahlung = nullptr;
    QPushButton *cmdEinlesen = nullptr, *cmdUebernehmen = nullptr, *cmdLoeschen = nullptr, *cmdAbbrechen = nullptr;
    QPushButton *cmdDatei = nullptr, *cmdWeiter = nullptr, *cmdRegeln = nullptr;
    QLabel* lblWarteschlange = nullptr;
    RuleTester* tester_ = nullptr;
    QStringList keywordMessages_;
    QFileSystemWatcher* watcher_ = nullptr;
    QList<QueuedMail> queue_;
    int queueTotal_ = 0;
    int stored_ = 0;
};

}  // namespace gd
