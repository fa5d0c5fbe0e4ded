#pragma once
// How the files of banks and platforms are laid out, described in bin/Dateiformate.ini and not
// in code: the user can read a profile, mend it when a bank changes its export, and add one.
// A section is one profile:
//   [Sparkasse (CSV-CAMT V2)]
//   Art=Bank                     ; Bank, Auszahlung (a platform's payout report), ...
//   Quelle=<where the layout is described>, or "ungeprüft"
//   Erkennung=Auftragskonto;Buchungstag;Beguenstigter/Zahlungspflichtiger
//   Trenner=;                    ; ";" by default, "," or "Tab"
//   Buchungstag=Buchungstag      ; a role and the heading(s) of its column, "a|b" for either
//   Gebuehren=Provision+Zahlungsgebühr   ; "+": the columns are added

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include "domain/bank/Csv.h"

namespace gd {

struct FileProfile {
    QString name, art, quelle;
    QStringList erkennung;
    QChar trenner = QLatin1Char(';');
    QMap<QString, QString> spalten;  // role → headings as written
    bool verified() const { return !quelle.trimmed().isEmpty() && !quelle.contains(QStringLiteral("ungeprüft")); }
    // The headings of a role: its alternatives ("a|b") or its summands ("a+b").
    QStringList headings(const QString& role) const;
    bool sums(const QString& role) const { return spalten.value(role).contains(QLatin1Char('+')); }
};

// Every profile of the text; `errors` gets a German line for each one that cannot be used.
QList<FileProfile> parseProfiles(const QString& text, QStringList* errors = nullptr);
// The profiles of bin/Dateiformate.ini, read anew each time (the file is small and the user may
// have changed it); none when the file is missing.
QList<FileProfile> loadProfiles(QStringList* errors = nullptr);
QString profilesPath();

// The first record that has every recognition heading of a profile of this kind.
struct ProfileMatch {
    qsizetype header = -1;
    const FileProfile* profile = nullptr;
    QList<CsvRecord> records;  // split with the profile's separator
};
ProfileMatch recogniseProfile(const QString& text, const QList<FileProfile>& profiles, const QString& art);

// A role's column in the header, -1 when the file has none of its headings.
int roleColumn(const FileProfile& p, const QString& role, const QStringList& header);

// What a file is to the profiles, for the tester: the profile that recognised it (none: empty
// name, and the first lines as they are), each column's heading and the role it got, and the
// first rows of the table.
struct FileInspection {
    QString profile, art, quelle;
    bool verified = false;
    QStringList headings, roles;
    QList<QStringList> rows;
};
FileInspection inspectFile(const QByteArray& bytes, const QList<FileProfile>& profiles);

}  // namespace gd
