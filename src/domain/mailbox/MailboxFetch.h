#pragma once
// Sales that arrive by themselves: the notifications in the seller's mailbox are found by a
// search, read one at a time, stored through the import's own accept step with the mailbox's
// keys, and only then filed (moved, or marked as read). Every other mail stays as it was.
#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>

#include "domain/db/Store.h"
#include "domain/import/MailFile.h"
#include "domain/mailbox/ImapClient.h"
#include "domain/settings/Keywords.h"

namespace gd {

struct Settings;

struct MailboxSetup {
    ImapAccount account;
    QString folder = QStringLiteral("INBOX");
    QString archive = QStringLiteral("Gaveldesk/Eingelesen");  // empty: a stored mail is only marked as read
    QStringList senders;  // a notification's sender contains one of them; none: any sender
    QDate since;          // mails of this day on; invalid: every unread one
    qint64 maxBytes = kMaxMailBytes;
    bool storeSure = true;  // false: every notification goes to the import dialog, none is stored here
    QString tokenProvider;  // "Microsoft", "Google": SASL XOAUTH2 with that sign-in's token, no password
};

// From [Posteingang], the sending account filling in what it leaves empty.
MailboxSetup mailboxSetup(const Settings& s);

struct FetchReport {
    int found = 0;       // unread mails the search named
    int stored = 0;      // new trades
    int filed = 0;       // mails moved or marked after their trade was stored, now or before
    int known = 0;       // stored by an earlier fetch or another seat, or gone since the search
    int duplicates = 0;  // notifications of trades stored before (by hand): known now, filed
    int untouched = 0;   // no notification: left as it was
    int doubtful = 0;    // a notification the import would ask about: left for the import dialog
    int tooLarge = 0;
    QStringList notes;  // one German line for each thing the seller should know
    struct Asked {
        QString label;  // "Posteingang: Artikel 3141592601"
        QString text;   // the mail's text as the import dialog reads it
    };
    QList<Asked> toAsk;       // the doubtful ones (and, without storeSure, all): for the import dialog
    QStringList auktionsNrn;  // of the new trades
    QString failure;          // why the fetch ended early; what was stored stays stored
    bool ok() const { return failure.isEmpty(); }
};

// Called after each mail; false stops the fetch after it.
using FetchProgress = std::function<bool(int done, int total)>;

// `stopped` is asked while the server is waited for: true ends the fetch at once (the window
// closes). A mail stored and not yet filed is filed by the next fetch.
FetchReport fetchMailbox(const MailboxSetup& setup, const ParserRules& rules, const Store& store,
                         const FetchProgress& progress = {}, const std::function<bool()>& stopped = {});

// A connection of its own waits in IDLE and calls `arrived` whenever the server announces mail,
// until `stopped`; an error where the server has no IDLE or the line breaks.
Status watchMailbox(const MailboxSetup& setup, const std::function<bool()>& stopped,
                    const std::function<void()>& arrived);

// The day of a whole fetch, in config.ini and the settings in force: the next search starts there.
Status rememberWholeFetch(const QDate& day);

// "Posteingang: 3 Verkäufe gespeichert, 2 E-Mails unberührt." and the notes, one per line.
QString fetchSummary(const FetchReport& r);

}  // namespace gd
