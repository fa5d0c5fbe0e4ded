#pragma once
// What the big mail providers ask of a program that sends through them: server, port,
// security and the kind of sign-in, from bin/anbieter.ini (shipped, extendable by the user).
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace gd {

struct ProviderPreset {
    QString name;
    QStringList domains;  // lower case
    QString server;
    int port = 0;
    QString security;  // "STARTTLS", "SSL/TLS" or "Keine"
    QString signIn;    // "Kennwort", "App-Kennwort", "E-Mail-Passwort" or "Microsoft"
    QString hint;
    // Where the notifications are read ("Posteingang abrufen"); empty when the file names none.
    QString imapServer;
    int imapPort = 0;
    QString imapSecurity;  // "SSL/TLS" or "STARTTLS"
};

// The presets of a file; sections without a server or a valid port are left out.
QList<ProviderPreset> readProviderPresets(const QString& path);
// The preset for an address's domain ("name@GMX.de" finds GMX).
std::optional<ProviderPreset> presetForAddress(const QList<ProviderPreset>& presets, const QString& address);
// A refusal of the server said so that a seller knows the way out; the server's own words follow.
QString explainRefusal(const QString& server, const QString& reply);

}  // namespace gd
