#include "domain/settings/Providers.h"

#include <QFile>

namespace gd {

QList<ProviderPreset> readProviderPresets(const QString& path) {
    QFile f(path);
    QList<ProviderPreset> out;
    if (!f.open(QIODevice::ReadOnly)) return out;
    const QStringList lines = QString::fromUtf8(f.read(1 << 20)).split(QLatin1Char('\n'));
    ProviderPreset p;
    bool inSection = false;
    const auto keep = [&] {
        if (inSection && !p.server.isEmpty() && p.port > 0 && p.port < 65536) out << p;
        p = ProviderPreset{};
    };
    for (QString l : lines) {
        l = l.trimmed();
        if (l.isEmpty() || l.startsWith(QLatin1Char(';')) || l.startsWith(QLatin1Char('#'))) continue;
        if (l.startsWith(QLatin1Char('[')) && l.endsWith(QLatin1Char(']'))) {
            keep();
            inSection = true;
            p.name = l.mid(1, l.size() - 2).trimmed();
            continue;
        }
        const qsizetype eq = l.indexOf(QLatin1Char('='));
        if (!inSection || eq < 0) continue;
        const QString key = l.left(eq).trimmed().toLower(), value = l.mid(eq + 1).trimmed();
        if (key == u"domains")
            for (const QString& d : value.split(QLatin1Char(','), Qt::SkipEmptyParts))
                p.domains << d.trimmed().toLower();
        else if (key == u"server")
            p.server = value;
        else if (key == u"port")
            p.port = value.toInt();
        else if (key == u"sicherheit")
            p.security = value;
        else if (key == u"anmeldung")
            p.signIn = value;
        else if (key == u"hinweis")
            p.hint = value;
        else if (key == u"imap-server")
            p.imapServer = value;
        else if (key == u"imap-port")
            p.imapPort = value.toInt();
        else if (key == u"imap-sicherheit")
            p.imapSecurity = value;
    }
    keep();
    return out;
}

std::optional<ProviderPreset> presetForAddress(const QList<ProviderPreset>& presets, const QString& address) {
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    if (at < 0) return std::nullopt;
    QString domain = address.mid(at + 1).trimmed().toLower();
    if (domain.endsWith(QLatin1Char('>'))) domain.chop(1);
    for (const ProviderPreset& p : presets)
        if (p.domains.contains(domain)) return p;
    return std::nullopt;
}

QString explainRefusal(const QString& server, const QString& reply) {
    const QString host = server.toLower();
    QString why;
    if (reply.contains(QStringLiteral("5.7.139")) || reply.contains(QStringLiteral("5.7.30")))
        why = QStringLiteral(
            "Microsoft nimmt für dieses Konto keine Anmeldung mit Kennwort an; es verlangt "
            "\u201EMit Microsoft anmelden\u201C.");
    else if (reply.contains(QStringLiteral("5.7.9")) || (host.contains(u"gmail") && reply.startsWith(u"534")))
        why = QStringLiteral(
            "Google verlangt für Programme ein App-Kennwort (Google-Konto, Sicherheit, "
            "Bestätigung in zwei Schritten, App-Passwörter); das normale Kennwort gilt hier nicht.");
    else if (reply.startsWith(u"535") && (host.contains(u"gmx") || host.contains(u"web.de")))
        why = QStringLiteral(
            "Das Kennwort ist falsch, oder der Zugang für E-Mail-Programme ist im Postfach nicht "
            "eingeschaltet (Einstellungen, POP3/IMAP-Abruf; nach langer Nichtnutzung erneut).");
    else if (reply.startsWith(u"535") && host.contains(u"t-online"))
        why = QStringLiteral(
            "T-Online verlangt hier das E-Mail-Passwort aus dem E-Mail Center, nicht das "
            "Kennwort des Kundencenters.");
    else if (reply.startsWith(u"535"))
        why = QStringLiteral("Benutzername oder Kennwort wurden nicht angenommen.");
    if (why.isEmpty()) return QStringLiteral("Der Server hat abgelehnt: ") + reply;
    return why + QStringLiteral("\rAntwort des Servers: ") + reply;
}

}  // namespace gd
