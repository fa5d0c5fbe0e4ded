#include "domain/shipping/DhlImport.h"

#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include "base/codepage.h"
#include "domain/trade/AuktionsListe.h"
#include "domain/trade/LoadSave.h"

namespace gd {
namespace {

// Letters Windows-1252 lacks and that do not decompose into one it has.
QString spelt(QChar c) {
    static const QHash<QChar, QString> own = {
        {QChar(0x0141), QStringLiteral("L")}, {QChar(0x0142), QStringLiteral("l")},
        {QChar(0x0110), QStringLiteral("D")}, {QChar(0x0111), QStringLiteral("d")},
        {QChar(0x0131), QStringLiteral("i")}, {QChar(0x0126), QStringLiteral("H")},
        {QChar(0x0127), QStringLiteral("h")}, {QChar(0x2013), QStringLiteral("-")},
        {QChar(0x2014), QStringLiteral("-")}, {QChar(0x201E), QStringLiteral("\"")}};
    if (const auto it = own.constFind(c); it != own.constEnd()) return *it;
    QString base;
    for (const QChar d : QString(c).normalized(QString::NormalizationForm_D))
        if (!d.isMark() && win::representable(QString(d))) base += d;
    return base;
}

// One field as the file takes it: one line, Windows-1252, at most `most` characters. What changed
// is told under `what`.
QString fit(const QString& text, int most, const QString& what, QStringList& notes) {
    QString line = text;
    line.replace(QRegularExpression(QStringLiteral("[\\r\\n\\t]+")), QStringLiteral(" "));
    line = line.simplified();
    QString out;
    for (const QChar c : std::as_const(line)) out += win::representable(QString(c)) ? QString(c) : spelt(c);
    if (out != line) notes << QStringLiteral("%1: „%2“ geschrieben als „%3“").arg(what, line, out);
    if (out.size() > most) {
        notes << QStringLiteral("%1: „%2“ auf %3 Zeichen gekürzt zu „%4“").arg(what, out).arg(most).arg(out.left(most));
        out = out.left(most).trimmed();
    }
    return out;
}

QString field(const QString& value) {
    if (!value.contains(QLatin1Char(';')) && !value.contains(QLatin1Char('"'))) return value;
    return QLatin1Char('"') + QString(value).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// The seven address fields, fitted; empty when a field the upload needs is left empty.
QStringList addressFields(const PostalAddress& a, const FieldLimits& l, const QString& who, QStringList& notes) {
    QStringList f{fit(a.name1, l.name, who + QStringLiteral(", Name"), notes),
                  fit(a.name2, l.name, who + QStringLiteral(", Name 2"), notes),
                  fit(a.street, l.street, who + QStringLiteral(", Straße"), notes),
                  fit(a.house, l.house, who + QStringLiteral(", Hausnummer"), notes),
                  fit(a.postcode, l.postcode, who + QStringLiteral(", Postleitzahl"), notes),
                  fit(a.city, l.city, who + QStringLiteral(", Ort"), notes),
                  a.country};
    for (const int i : {0, 2, 3, 4, 5, 6})
        if (f[i].isEmpty()) return {};
    return f;
}

}  // namespace

bool validDhlProduct(const QString& key) {
    static const QRegularExpression form(QStringLiteral("^[A-Z0-9]{2,12}\\.[A-Z]{2,3}$"));
    return form.match(key).hasMatch();
}

DhlImport dhlImportFiles(const PostalAddress& sender, const QList<DhlShipment>& shipments, const FieldLimits& limits) {
    DhlImport out;
    const QStringList from = addressFields(sender, limits, QStringLiteral("Absender"), out.notes);
    if (from.isEmpty()) {
        out.notes << QStringLiteral(
            "Die Absenderanschrift ist unvollständig (Einstellungen, Allgemein: Anschrift "
            "für Rechnungen); es wurde keine Datei geschrieben.");
        return out;
    }
    QString text;
    int rows = 0;
    const auto close = [&] {
        if (rows == 0) return;
        out.files << win::toAnsi(text);
        text.clear();
        rows = 0;
    };
    for (const DhlShipment& s : shipments) {
        const QString who = QStringLiteral("Auktion %1").arg(s.auktionsNr);
        QStringList notes;
        const QStringList to = addressFields(s.to, limits, who, notes);
        if (to.isEmpty() || !validDhlProduct(s.product)) {
            out.notes << QStringLiteral("%1: nicht in der Datei, %2")
                             .arg(who, to.isEmpty() ? QStringLiteral("die Anschrift ist unvollständig")
                                                    : QStringLiteral("kein Produkt gewählt"));
            continue;
        }
        out.notes << notes;
        if (rows == 0) text = QString::fromLatin1(kDhlImportHeading) + QStringLiteral("\r\n");
        QStringList line;
        for (const QString& f : from + to + QStringList{s.product, QString()}) line << field(f);
        text += line.join(QLatin1Char(';')) + QStringLiteral("\r\n");
        ++out.written;
        if (++rows == kDhlImportRows) close();
    }
    close();
    return out;
}

QString importFileName(const QString& file, qsizetype i) {
    if (i == 0) return file;
    const QFileInfo f(file);
    return f.path() + QLatin1Char('/') + f.completeBaseName() + QStringLiteral("-%1.").arg(i + 1) + f.suffix();
}

Result<QList<ReadyParcel>> readyParcels(const Store& store) {
    QList<ReadyParcel> out;
    const Status read = forEachListRow(store, ListChoice(ListFilter::Versandbereit), [&out](ListRow& r) {
        out << ReadyParcel{r.AuktionsID, r.AuktionsNr, r.ebayName, r.Titel, {}, {}};
    });
    if (!read.ok()) return read.error();
    for (ReadyParcel& p : out) {
        const Result<std::optional<tKunde>> k = funLoadKunde(store, p.ebayName);
        if (!k.ok()) return k.error();
        const tKunde buyer = k.value().value_or(tKunde());
        const Result<PostalAddress> to = postalAddress(buyer.Name, buyer.Firma, buyer.Strasse, buyer.Ort, buyer.Land);
        if (to.ok())
            p.to = to.value();
        else
            p.unreadable = to.error().sentence;
    }
    return out;
}

Result<PostalAddress> senderAddress(const QString& holder, const QString& addressLine) {
    const QString line = addressLine.trimmed();
    const qsizetype comma = line.lastIndexOf(QLatin1Char(','));
    return postalAddress(holder, QString(), comma < 0 ? line : line.left(comma),
                         comma < 0 ? QString() : line.mid(comma + 1), QString());
}

}  // namespace gd
