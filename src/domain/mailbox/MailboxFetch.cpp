#include "domain/mailbox/MailboxFetch.h"

#include <QLocale>
#include <QRegularExpression>

#include "base/AppPath.h"
#include "domain/db/Journal.h"
#include "domain/import/Accept.h"
#include "domain/import/Parser.h"
#include "domain/mailbox/ImapProtocol.h"
#include "domain/settings/modGlobal.h"
#include "domain/smtp/OAuth.h"
#include "domain/smtp/PinnedCertificate.h"

namespace gd {

MailboxSetup mailboxSetup(const Settings& s) {
    MailboxSetup m;
    ImapAccount& a = m.account;
    a.server = s.PostServer.trimmed();
    a.port = s.PostPort;
    const QString security = s.PostSicherheit.trimmed().toUpper();
    a.security = security == QLatin1String("STARTTLS") ? ImapSecurity::StartTls
                 : security == QLatin1String("KEINE")  ? ImapSecurity::None
                                                       : ImapSecurity::Ssl;
    // The sending account's, unless the mailbox names its own.
    const bool own = !s.PostBenutzer.trimmed().isEmpty() &&
                     s.PostBenutzer.trimmed().compare(s.Konto.trimmed(), Qt::CaseInsensitive) != 0;
    a.user = own ? s.PostBenutzer.trimmed() : s.Konto.trimmed();
    a.password = !s.PostKennwort.isEmpty() || own ? s.PostKennwort : s.Kennwort;
    a.allowPlainPassword = a.security == ImapSecurity::None && s.KennwortUnverschluesselt;
    a.trustedSha256 = trustedFingerprint(a.server, a.port);
    // The sending account's sign-in with a token serves the mailbox of the same account.
    if (!own && !s.Anmeldeverfahren.trimmed().isEmpty()) {
        m.tokenProvider = s.Anmeldeverfahren.trimmed();
        a.password.clear();
    }
    m.folder = s.PostOrdner.trimmed().isEmpty() ? QStringLiteral("INBOX") : s.PostOrdner.trimmed();
    m.archive = s.PostAblage.trimmed();
    for (const QString& sender : s.PostAbsender.split(QRegularExpression(QStringLiteral("[,; ]+")), Qt::SkipEmptyParts))
        m.senders << sender;
    if (m.senders.isEmpty()) m.senders << mainPlatform(s);
    const QDate last = QDate::fromString(s.PostLetzterAbruf.trimmed(), Qt::ISODate);
    // A day earlier: a mail that came in while the last fetch ran is not passed over.
    if (last.isValid()) m.since = last.addDays(-1);
    m.storeSure = s.PostAutomatisch;
    return m;
}

namespace {

QByteArray searchCriteria(const MailboxSetup& setup, QStringList* notes) {
    QByteArray c = "UNSEEN";
    if (setup.since.isValid())
        c += " SINCE " + QLocale::c().toString(setup.since, QStringLiteral("d-MMM-yyyy")).toLatin1();
    QList<QByteArray> from;
    for (const QString& s : setup.senders) {
        if (const std::optional<QByteArray> q = quoted(s.trimmed().toUtf8()))
            from << "FROM " + *q;
        else
            *notes << QStringLiteral(
                          "Der Absender \u201E%1\u201C wird nicht gesucht: nur Buchstaben ohne Umlaute, "
                          "Ziffern und Zeichen wie @ . - sind möglich.")
                          .arg(s);
    }
    for (qsizetype i = 1; i < from.size(); ++i) c += " OR";
    for (const QByteArray& f : from) c += ' ' + f;
    return c;
}

QString messageIdOf(const QByteArray& mail) {
    const qsizetype end = mail.indexOf("\r\n\r\n");
    static const QRegularExpression id(QStringLiteral("^Message-ID:\\s*(<[^>\\r\\n]{1,250}>)"),
                                       QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = id.match(QString::fromLatin1(end < 0 ? mail.left(64 * 1024) : mail.left(end)));
    return m.hasMatch() ? m.captured(1) : QString();
}

QString megabytes(qint64 bytes) {
    const QLocale german(QLocale::German, QLocale::Germany);
    if (bytes < (1 << 20)) return german.toString((bytes + 1023) / 1024) + QStringLiteral(" KB");
    return german.toString(double(bytes) / (1 << 20), 'f', 1) + QStringLiteral(" MB");
}

// With the password, or with the token of the sign-in of the sending account: the kept one,
// and once more a fresh one when the server refuses it (expired early, or revoked).
Status openMailbox(const MailboxSetup& setup, std::unique_ptr<ImapClient>& imap, const std::function<bool()>& stopped) {
    imap = std::make_unique<ImapClient>(stopped);
    if (setup.tokenProvider.isEmpty()) return imap->open(setup.account);
    const std::optional<OAuthProvider> provider =
        oauthProvider(setup.tokenProvider, configIniPath(), TokenUse::Mailbox);
    if (!provider) return Error::plain(missingClientId(setup.tokenProvider));
    ImapAccount account = setup.account;
    Status opened;
    for (const bool renew : {false, true}) {
        const Result<QString> token = accessToken(*provider, account.user, renew);
        if (!token.ok()) return token.error();
        account.token = token.value();
        imap = std::make_unique<ImapClient>(stopped);
        opened = imap->open(account);
        if (opened.ok() || !imap->signInRefused()) break;
    }
    return opened;
}

// One fetch: the connection, what is known, and how a stored mail is filed.
class Fetch {
public:
    Fetch(const MailboxSetup& setup, const ParserRules& rules, const Store& store, FetchReport& report)
        : setup_(setup), rules_(rules), store_(store), r_(report) {}

    void run(const FetchProgress& progress, const std::function<bool()>& stopped) {
        if (!check(openMailbox(setup_, imap_, stopped))) return;
        const Result<ImapFolder> folder = imap_->select(setup_.folder);
        if (!check(folder)) return;
        origin_.konto = (setup_.account.user + QLatin1Char('@') + setup_.account.server).toLower();
        origin_.ordner = setup_.folder;
        origin_.uidValidity = folder.value().uidValidity;
        const Result<QSet<quint32>> known = knownMails(store_, origin_.konto, origin_.ordner, origin_.uidValidity);
        if (!check(known)) return;
        const Result<QList<quint32>> found = imap_->search(searchCriteria(setup_, &r_.notes));
        if (!check(found)) return;
        r_.found = int(found.value().size());
        const Result<QList<ImapSize>> sizes = imap_->sizes(found.value());
        if (!check(sizes)) return;
        int done = 0;
        for (const ImapSize& m : sizes.value()) {
            if (known.value().contains(m.uid)) {
                ++r_.known;
                file(m.uid);  // stored before, filing failed or was cut off then
            } else if (m.bytes > setup_.maxBytes) {
                ++r_.tooLarge;
                r_.notes << QStringLiteral(
                                "Eine E-Mail (UID %1) ist mit %2 größer als erlaubt (%3); sie wurde nicht "
                                "gelesen und bleibt unverändert im Postfach.")
                                .arg(m.uid)
                                .arg(megabytes(m.bytes), megabytes(setup_.maxBytes));
            } else if (!take(m.uid)) {
                return;
            }
            if (!r_.ok()) return;
            if (progress && !progress(++done, int(sizes.value().size()))) break;
        }
        imap_->logout();
    }

private:
    template <class T>
    bool check(const T& result) {
        if (result.ok()) return true;
        const Error& e = result.error();
        r_.failure = e.sentence.isEmpty() ? e.description : e.sentence;
        if (!e.sentence.isEmpty() && !e.description.isEmpty() && !e.text().isEmpty())
            r_.failure += QLatin1Char(' ') + e.text();
        return false;
    }

    // Reads one mail; a notification is stored and filed, anything else left alone.
    bool take(quint32 uid) {
        const Result<std::optional<QByteArray>> read = imap_->body(uid);
        if (!check(read)) return false;
        if (!read.value()) {
            ++r_.known;  // gone since the search: another seat filed it, or the seller moved it
            return true;
        }
        const QByteArray& mail = *read.value();
        const Result<QString> text = decodeMimeMessage(mail);
        ImportRecords rec;
        const ParseResult parsed = text.ok() ? parseMail(rules_, rec, normalizeMailText(text.value())) : ParseResult{};
        if (parsed.kind == MailKind::Keine || !rec.acceptable) {
            ++r_.untouched;
            return true;
        }
        const QString nr = rec.oAuktion.AuktionsNr;
        // The dialog asks, stores, and the next fetch finds the trade and files the mail.
        const auto ask = [&] {
            ++r_.doubtful;
            r_.toAsk.append({QStringLiteral("Posteingang: Artikel ") + nr, text.value()});
        };
        if (const QStringList odd = implausibleFields(rec); !odd.isEmpty()) {
            ask();
            r_.notes << QStringLiteral(
                            "Die Benachrichtigung zu Artikel %1 wurde nicht gespeichert: %2 Sie bleibt "
                            "ungelesen im Postfach, bis sie im Einlese-Dialog übernommen ist.")
                            .arg(nr, odd.join(QLatin1Char(' ')));
            return true;
        }
        if (!setup_.storeSure) {
            ask();
            return true;
        }
        MailOrigin o = origin_;
        o.uid = uid;
        o.messageId = messageIdOf(mail);
        const Result<ImportFacts> facts = checkImport(store_, rec);
        if (!check(facts)) return false;
        Result<Stored> stored = Stored::DuplicateAppeared;
        if (!facts.value().duplicate) {
            stored = acceptImport(store_, rec, ImportChoices{false, false, o});
            if (!check(stored)) return false;
        }
        switch (stored.value()) {
            case Stored::Yes:
                ++r_.stored;
                r_.auktionsNrn << nr;
                file(uid);
                return true;
            case Stored::MailKnown:
                ++r_.known;  // another seat took it at this moment and files it
                return true;
            case Stored::DuplicateAppeared:
                break;
        }
        // Stored before, by hand or from a file: the mail is known from now on and filed.
        const Result<QString> id = auktionsIdOf(store_, nr);
        if (!check(id)) return false;
        const Result<bool> mine = recordMailOrigin(store_, o, id.value());
        if (!check(mine)) return false;
        if (!mine.value()) {
            ++r_.known;
            return true;
        }
        ++r_.duplicates;
        file(uid);
        return true;
    }

    // First stored, then filed: a failure here leaves the mail where it was, known to the next fetch.
    void file(quint32 uid) {
        Status done;
        if (setup_.archive.isEmpty()) {
            done = imap_->markSeen(uid);
        } else {
            if (archive_.isEmpty()) {
                const Result<QString> made = imap_->ensureFolder(setup_.archive);
                if (made.ok()) archive_ = made.value();
                done = made.ok() ? Status{} : Status(made.error());
            }
            if (done.ok()) done = imap_->move(uid, archive_);
        }
        if (done.ok()) {
            ++r_.filed;
            return;
        }
        r_.notes << done.error().sentence + QStringLiteral(
                                                " Die Auktion ist gespeichert; die E-Mail wird beim nächsten "
                                                "Abruf abgelegt.");
    }

    const MailboxSetup& setup_;
    const ParserRules& rules_;
    const Store& store_;
    FetchReport& r_;
    std::unique_ptr<ImapClient> imap_;
    MailOrigin origin_;
    QString archive_;
};

}  // namespace

FetchReport fetchMailbox(const MailboxSetup& setup, const ParserRules& rules, const Store& store,
                         const FetchProgress& progress, const std::function<bool()>& stopped) {
    FetchReport report;
    Fetch(setup, rules, store, report).run(progress, stopped);
    return report;
}

Status watchMailbox(const MailboxSetup& setup, const std::function<bool()>& stopped,
                    const std::function<void()>& arrived) {
    std::unique_ptr<ImapClient> imap;
    if (const Status opened = openMailbox(setup, imap, stopped); !opened.ok()) return opened;
    if (const Result<ImapFolder> f = imap->select(setup.folder); !f.ok()) return f.error();
    // Servers end an IDLE after 30 minutes (RFC 2177): it is begun anew before.
    while (!stopped()) {
        const Result<bool> news = imap->idle(25 * 60, stopped);
        if (!news.ok()) return news.error();
        if (news.value()) arrived();
    }
    imap->logout();
    return {};
}

}  // namespace gd
