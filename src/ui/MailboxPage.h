#pragma once
// The options' page "Posteingang": where the notifications are fetched from, with the
// sending account's sign-in unless the mailbox names its own, and what happens to a mail
// once its sale is stored.
#include <QWidget>

#include "base/Result.h"
#include "domain/settings/modGlobal.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace gd {

class MailboxPage final : public QWidget {
    Q_OBJECT
public:
    explicit MailboxPage(QWidget* parent = nullptr);
    void load(const Settings& s);
    // The page's fields into s; a refusal for a value that cannot be saved (the port).
    Status store(Settings& s) const;
    // A known provider's IMAP server for the address, when the server field is still empty.
    void offerPreset(const QString& address);

private:
    QLineEdit *txtServer = nullptr, *txtPort = nullptr, *txtBenutzer = nullptr, *txtKennwort = nullptr,
              *txtOrdner = nullptr, *txtAblage = nullptr, *txtAbsender = nullptr;
    QComboBox* cboSicherheit = nullptr;
    QRadioButton *optVerschieben = nullptr, *optGelesen = nullptr;
    QSpinBox* spinIntervall = nullptr;
    QCheckBox* checkAutomatisch = nullptr;
    QLabel* lblAnbieter = nullptr;
};

}  // namespace gd
