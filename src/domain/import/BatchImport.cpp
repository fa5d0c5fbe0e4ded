#include "domain/import/BatchImport.h"

#include <QJsonArray>

#include "domain/import/Accept.h"
#include "domain/import/MailFile.h"

namespace gd {
namespace {

QString oneLine(QString t) {
    return t.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

QJsonObject contactJson(const tKunde& k) {
    return {{QStringLiteral("KundenNr"), k.KundenNr}, {QStringLiteral("Name"), k.Name},
            {QStringLiteral("Strasse"), k.Strasse},   {QStringLiteral("Ort"), k.Ort},
            {QStringLiteral("Land"), k.Land},         {QStringLiteral("Email"), k.Email},
            {QStringLiteral("ebayName"), k.ebayName}};
}

}  // namespace

FileImport importMailFile(const ParserRules& rules, const QString& path, const Store* into, ImportRecords* records,
                          QStringList* messages) {
    const Result<QString> text = readMailFile(path);
    if (text.ok()) return importMailText(rules, into, text.value(), records, messages);
    FileImport result;
    result.refusal = oneLine(text.error().sentence);
    if (messages) *messages << result.refusal;
    return result;
}

FileImport importMailText(const ParserRules& rules, const Store* into, const QString& text, ImportRecords* records,
                          QStringList* messages) {
    FileImport result;
    // What stopped the import; a message the dialog would have shown goes to messages too.
    const auto refuse = [&](const QString& why, bool shown = true) {
        result.refusal = oneLine(why);
        if (messages && shown) *messages << result.refusal;
        return result;
    };
    ImportRecords local;
    ImportRecords& r = records ? *records : local;
    const ParseResult parsed = parseMail(rules, r, normalizeMailText(text));
    result.kind = parsed.kind;
    result.auktionsNr = r.oAuktion.AuktionsNr;
    if (!r.acceptable) {
        if (parsed.message.isEmpty())
            return refuse(QStringLiteral("Keine Artikelnummer gefunden; die E-Mail wird nicht übernommen."), false);
        return refuse(parsed.message);
    }
    if (messages && !parsed.message.isEmpty()) *messages << oneLine(parsed.message);
    if (!into) return result;
    // Nobody on the command line to ask: an implausible value is refused.
    const QStringList implausible = implausibleFields(r);
    if (!implausible.isEmpty()) return refuse(implausible.join(QLatin1Char(' ')));
    const Result<ImportFacts> facts = checkImport(*into, r);
    if (!facts.ok()) return refuse(facts.error().message());
    // Every question answered "Nein": a stored number is not stored twice, nothing is grouped.
    if (facts.value().duplicate) return refuse(kDuplicateQuestion);
    const Result<Stored> stored = acceptImport(*into, r, ImportChoices{});
    if (!stored.ok()) return refuse(stored.error().message());
    if (stored.value() == Stored::DuplicateAppeared) return refuse(kDuplicateQuestion);
    result.stored = true;
    return result;
}

QJsonObject recordsToJson(MailKind kind, const ImportRecords& r, const QStringList& messages) {
    const tAuktion& a = r.oAuktion;
    const QJsonObject auktion{{QStringLiteral("AuktionsNr"), a.AuktionsNr},
                              {QStringLiteral("Titel"), a.Titel},
                              {QStringLiteral("EndeDatum"), a.EndeDatum},
                              {QStringLiteral("Preis"), a.Preis},
                              {QStringLiteral("Menge"), a.Menge},
                              {QStringLiteral("Betrag"), a.Betrag},
                              {QStringLiteral("Versandkosten"), a.Versandkosten},
                              {QStringLiteral("Versandversicherung"), a.Versandversicherung},
                              {QStringLiteral("Hinweise"), a.Hinweise},
                              {QStringLiteral("Versandinfos"), a.Versandinfos},
                              {QStringLiteral("Mitteilungen"), a.Mitteilungen},
                              {QStringLiteral("Bezahlung"), a.Bezahlung},
                              {QStringLiteral("ebayName"), a.ebayName}};
    return {{QStringLiteral("kind"), kind == MailKind::Keine ? QJsonValue() : QJsonValue(mailKindName(kind))},
            {QStringLiteral("caption"), r.caption()},
            {QStringLiteral("acceptable"), r.acceptable},
            {QStringLiteral("oKunde"), contactJson(r.oKunde)},
            {QStringLiteral("oLieferant"), contactJson(r.oLieferant)},
            {QStringLiteral("oAuktion"), auktion},
            {QStringLiteral("messages"), QJsonArray::fromStringList(messages)}};
}

}  // namespace gd
