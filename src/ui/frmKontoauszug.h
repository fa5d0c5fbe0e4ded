#pragma once
// "Kontoauszug einlesen": the credits of a statement with the sale each one pays;
// the user confirms, and the confirmed ones set "Bezahlt".

#include <QDialog>

#include "domain/bank/Matching.h"
#include "domain/books/RefundMatching.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace gd {

class frmKontoauszug final : public QDialog {
    Q_OBJECT
public:
    // The statement's entries that were not read are listed below the credits.
    frmKontoauszug(const QString& file, const QList<Proposal>& proposals, const BankStatement& statement = {},
                   QWidget* parent = nullptr);
    // The proposals ticked, as the table shows them now.
    QList<Proposal> confirmed() const;
    // Sales set to "Bezahlt" by the last "Bezahlt setzen".
    int applied() const { return applied_; }

private:
    void cmdUebernehmen_Click();

    QList<Proposal> proposals_;
    QList<Credit> returns_;          // money taken back: booked along, reopening what it paid
    QList<RefundProposal> refunds_;  // transfers out naming an open return: booked along as its refund
    QTableWidget* grdZahlungen = nullptr;
    QLabel* lblSumme = nullptr;
    QPlainTextEdit* txtNichtGelesen = nullptr;
    QPushButton *cmdUebernehmen = nullptr, *cmdAbbrechen = nullptr;
    int applied_ = 0;
};

}  // namespace gd
