#pragma once
// The main window's pane: partner, auction and milestones of the trade chosen in
// the list, and the buttons that act on it. It asks the window for nothing; what
// the window has to follow it says by its signals.

#include <QWidget>
#include <array>

#include "base/Result.h"
#include "domain/db/Records.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace gd {

class DatePicker;

class DetailPane final : public QWidget {
    Q_OBJECT
public:
    explicit DetailPane(QWidget* parent = nullptr);

    const tAuktion& trade() const { return mAuktion; }
    const tKunde& partner() const { return mKunde; }
    // True while the pane fills its fields itself.
    bool filling() const { return filling_; }

    // Loads the trade of the list's row into the pane.
    void subListeClick(const QString& sTag);
    void subClearFelder();
    // The pane shows no trade any more.
    void clearTypes();
    // The buttons that act on the trade, by whether the list shows rows at all.
    void enableFor(bool listHasRows);
    void cmdSenden_Click();
    void cmdAuktion_Click();
    // Before the window closes: offers to save what was typed. False when the
    // user cancelled or the save failed, so the window stays open.
    bool saveBeforeClose();
    // The same before another trade takes the pane, with its own question.
    bool saveBeforeLeaving(const QString& question);
    // Typed into since it was filled or saved.
    bool edited() const { return paneEdited_; }

signals:
    // A trade was loaded, or none is shown (an empty ID).
    void tradeShown(const QString& auktionsID);
    // A milestone was stored: the list shows it in its status column.
    void milestoneSaved();
    // "Speichern" stored the texts; names, dates and totals in the list follow.
    void saved();
    void importRequested();  // "Email Einlesen"
    void fetchRequested();   // "Posteingang abrufen"
    void closeRequested();   // "Beenden"

private:
    void buildPane(QWidget* pane, QWidget* fixed);
    void subSetAuktion(const tAuktion& oAuktion);
    void subSetKunde(const tKunde& oKunde);
    void subSetLieferant(const tKunde& oLiefer);
    void chkStatus_Click(int Index);
    // After "Versendet": carrier and tracking number, both optional.
    void askForParcel();
    // The mails sent for the trade, newest first; a double click shows one whole.
    void showSentMails();
    void showParcel();
    void cmdErstatten_Click();
    void dtpStatus_Change(int Index);
    void cmdSpeichern_Click();
    // The records shown, with what the form holds now.
    tAuktion subGetAuktion() const;
    tKunde subGetLieferantKunde() const;
    void berechneVersand();
    // The pane's texts into contact and auction; false (the message shown) when
    // either could not be stored.
    bool savePane();
    // A refused save: the message, and for another seat's change the offer to reload.
    void reportSaveFailure(const Error& e);

    tAuktion mAuktion;
    tKunde mKunde;
    bool filling_ = false;
    bool listHasRows_ = false;
    bool paneEdited_ = false;         // typed into the pane since it was filled or saved
    bool totalInputsEdited_ = false;  // price, quantity or shipping typed since the last total

    QGroupBox* fraKunde = nullptr;
    QGroupBox* fraAuktion = nullptr;
    QLineEdit *txtebayName = nullptr, *txtEmailAdresse = nullptr, *txtName = nullptr, *txtStrasse = nullptr,
              *txtOrt = nullptr, *txtLand = nullptr, *txtFirma = nullptr, *txtUstIdNr = nullptr;
    QComboBox* cboSteuersatz = nullptr;  // the sale's own VAT rate
    QComboBox* cboAuktion = nullptr;
    DatePicker* dtpEndeDatum = nullptr;
    QLineEdit *txtPreis = nullptr, *txtMenge = nullptr, *txtVersand = nullptr, *txtBetrag = nullptr,
              *txtVersandinfos = nullptr, *txtHinweise = nullptr, *txtMitteilung = nullptr, *txtBezahlung = nullptr;
    std::array<QCheckBox*, kMilestones> chkStatus{};
    std::array<DatePicker*, kMilestones> dtpStatus{};
    QLabel* lblSendung = nullptr;         // carrier and tracking number, a link to the carrier's page
    QPushButton* cmdSendung = nullptr;    // the parcel of a shipped trade entered or corrected
    QLabel* lblTeilzahlung = nullptr;     // part payments of the sale or its group
    QPushButton* cmdErstatten = nullptr;  // a buyer's credit paid back
    QPushButton *cmdSpeichern = nullptr, *cmdSenden = nullptr, *cmdEinlesen = nullptr, *cmdAuktion = nullptr,
                *cmdAbbrechen = nullptr, *cmdGesendet = nullptr, *cmdAbrufen = nullptr;
};

}  // namespace gd
