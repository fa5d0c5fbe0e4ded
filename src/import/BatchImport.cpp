#include "import/BatchImport.h"

#include <QJsonArray>

#include "import/Accept.h"
#include "import/MailFile.h"
#include "platform/ScriptedPlatform.h"

namespace gd {
namespace {

// Installs a collecting platform for the duration of one file.
class Collect final {
public:
    Collect() : previous_(&platform()) { setPlatform(&p_); }
    ~Collect() { setPlatform(previous_ == &p_ ? nullptr : previous_); }
    Collect(const Collect&) = delete;
    Collect& operator=(const Collect&) = delete;
    QStringList texts() const {
        QStringList out;
        for (QString t : p_.messageTexts()) out << t.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        return out;
    }

private:
    ScriptedPlatform p_;
    Platform* previous_;
};

QJsonObject contactJson(const tKunde& k) {
    return {{QStringLiteral("KundenNr"), k.KundenNr}, {QStringLiteral("Name"), k.Name},
            {QStringLiteral("Strasse"), k.Strasse},   {QStringLiteral("Ort"), k.Ort},
            {QStringLiteral("Land"), k.Land},         {QStringLiteral("Email"), k.Email},
            {QStringLiteral("ebayName"), k.ebayName}};
}

}  // namespace

FileImport importMailFile(const QString& path, bool store, ImportRecords* records, QStringList* messages) {
    FileImport result;
    QString error;
    const auto text = readMailFile(path, &error);
    if (!text) {
        result.refusal = error;
        if (messages) *messages << error;
        return result;
    }
    ImportRecords local;
    ImportRecords& r = records ? *records : local;
    Collect collect;
    result.kind = parseMail(r, normalizeMailText(*text));
    result.auktionsNr = r.oAuktion.AuktionsNr;
    if (!r.acceptable) {
        const QStringList t = collect.texts();
        result.refusal = t.isEmpty() ? QStringLiteral("Keine Artikelnummer gefunden; die E-Mail wird nicht übernommen.")
                                     : t.last();
    } else if (store) {
        result.stored = acceptImport(r);
        if (!result.stored) {
            const QStringList t = collect.texts();
            result.refusal = t.isEmpty() ? QStringLiteral("Nicht gespeichert.") : t.last();
        }
    }
    if (messages) *messages << collect.texts();
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
            {QStringLiteral("caption"), r.caption},
            {QStringLiteral("acceptable"), r.acceptable},
            {QStringLiteral("oKunde"), contactJson(r.oKunde)},
            {QStringLiteral("oLieferant"), contactJson(r.oLieferant)},
            {QStringLiteral("oAuktion"), auktion},
            {QStringLiteral("messages"), QJsonArray::fromStringList(messages)}};
}

}  // namespace gd
