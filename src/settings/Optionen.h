#pragma once
// The values of the options dialog: read from the settings globals, checked,
// written to config.ini, and used for a test mail before they are saved.

#include <QString>

namespace gd {

struct OptionValues {
    QString Kontoinhaber, Kontonummer, BLZ, Bank, VersicherterVersand, HTTPLink1, HTTPLink2;
    bool Standardversandmail = true;
    QString SMTPServer, SMTPPort, Absender;
    bool Kopie = true, Auth = false;
    QString Konto, Kennwort;  // the password in plain text
    bool Prozent20 = false, Nobody = false;
};

OptionValues optionsFromGlobals();
// A German message for the first value that cannot be saved, or empty.
QString checkOptions(const OptionValues& v);
// Writes every key and reloads the settings; false with a German message when
// the settings file cannot be written (the globals then keep their old values).
bool saveOptions(const OptionValues& v, QString* error);
// Sends a test mail with these values (not yet saved) to the address.
bool sendTestMail(const OptionValues& v, const QString& to, QString* error);

}  // namespace gd
