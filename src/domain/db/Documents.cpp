#include "domain/db/Documents.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <limits>
#include <map>

#include "base/SafeWrite.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

#include "domain/db/Store.h"

namespace gd {
namespace {

const QString kLog = QStringLiteral("belege.log");

// A document's link: what its hash is taken over.
struct Link {
    qint64 Pos = 0;
    QString Nummer;
    qint64 Jahr = 0, Lfd = 0;
    QString Art, Bezug, Artikel, Ausgestellt, Kaeufer;
    qint64 Cent = 0;
    QString Standarduser, DatenSha256, PdfSha256, XmlSha256, Zeit, Hash;
    // The archive's own: the data as issued, and its files.
    QString Daten, PdfFile, XmlFile;
};

QString sha256(const QByteArray& b) {
    return QString::fromLatin1(QCryptographicHash::hash(b, QCryptographicHash::Sha256).toHex());
}

// Every field with its length before it, so that no two fields can pass for one.
QString linkHash(const Link& l, const QString& previous) {
    QByteArray in = "gaveldesk-belegkette-1";
    const auto add = [&in](const QString& s) {
        const QByteArray u = s.toUtf8();
        in += '\n' + QByteArray::number(u.size()) + ':' + u;
    };
    for (const QString& f : {QString::number(l.Pos), l.Nummer, QString::number(l.Jahr), QString::number(l.Lfd), l.Art,
                             l.Bezug, l.Artikel, l.Ausgestellt, l.Kaeufer, QString::number(l.Cent), l.Standarduser,
                             l.DatenSha256, l.PdfSha256, l.XmlSha256, l.Zeit, previous})
        add(f);
    return sha256(in);
}

// The document's own columns, in this order, from the column `first` on.
const QString kRowColumns = QStringLiteral(
    "r.Nummer, r.Jahr, r.Lfd, r.Art, r.Bezug, r.Artikel, r.Ausgestellt, r.Kaeufer, r.Cent, r.Standarduser");
constexpr int kRowCount = 10;

template <typename At>
void readRow(Link& l, const At& at, int first) {
    l.Nummer = at(first).toString();
    l.Jahr = at(first + 1).toLongLong();
    l.Lfd = at(first + 2).toLongLong();
    l.Art = at(first + 3).toString();
    l.Bezug = at(first + 4).toString();
    l.Artikel = at(first + 5).toString();
    l.Ausgestellt = at(first + 6).toString();
    l.Kaeufer = at(first + 7).toString();
    l.Cent = at(first + 8).toLongLong();
    l.Standarduser = at(first + 9).toString();
}

// The chain with each document's stored row and bytes; the row's columns are null for a link
// whose document is gone.
const QString kChainSql =
    QStringLiteral("select k.Pos, k.Nummer, k.XmlSha256, k.Zeit, k.Hash, ") + kRowColumns +
    QStringLiteral(
        ", r.Daten, r.Pdf, r.Sha256, x.Xml from Belegkette k left join Rechnungen r on r.Nummer = k.Nummer "
        "left join RechnungenXml x on x.Nummer = k.Nummer");

struct Verified {
    Link link;
    QByteArray pdf, xml;
    QStringList findings;
};

// One row of kChainSql checked against itself; `previous` is the link before it, null when
// that one is missing (then the link cannot be checked, only its bytes).
Verified verifyRow(const DbRow& row, const QString* previous) {
    Verified v;
    Link& l = v.link;
    l.Pos = row.int64(0);
    l.Nummer = row.text(1);
    l.XmlSha256 = row.text(2);
    l.Zeit = row.text(3);
    l.Hash = row.text(4);
    if (row.value(5).isNull()) {
        v.findings
            << QStringLiteral("%1 fehlt in der Datenbank; die Kette nennt ihn an Stelle %2.").arg(l.Nummer).arg(l.Pos);
        return v;
    }
    readRow(
        l, [&row](int i) { return row.value(i); }, 5);
    l.Daten = row.text(5 + kRowCount);
    l.DatenSha256 = sha256(l.Daten.toUtf8());
    v.pdf = row.value(6 + kRowCount).toByteArray();
    l.PdfSha256 = row.text(7 + kRowCount);
    v.xml = row.value(8 + kRowCount).toByteArray();
    if (sha256(v.pdf) != l.PdfSha256)
        v.findings
            << QStringLiteral("Die PDF-Datei von %1 ist verändert: ihre Prüfsumme stimmt nicht mehr.").arg(l.Nummer);
    if ((v.xml.isEmpty() ? QString() : sha256(v.xml)) != l.XmlSha256)
        v.findings << QStringLiteral("Die XML-Daten von %1 sind verändert.").arg(l.Nummer);
    if (previous && linkHash(l, *previous) != l.Hash)
        v.findings << QStringLiteral(
                          "%1 ist verändert: Nummer, Betrag, Käufer oder Daten passen nicht mehr zu seinem Glied "
                          "der Kette.")
                          .arg(l.Nummer);
    return v;
}

QString fileStem(const Link& l) {
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    return QStringLiteral("%1-%2")
        .arg(l.Pos, 6, 10, QLatin1Char('0'))
        .arg(QString(l.Nummer).replace(unsafe, QStringLiteral("_")));
}

QJsonObject toJson(const Link& l) {
    return {{QStringLiteral("Pos"), l.Pos},
            {QStringLiteral("Nummer"), l.Nummer},
            {QStringLiteral("Jahr"), l.Jahr},
            {QStringLiteral("Lfd"), l.Lfd},
            {QStringLiteral("Art"), l.Art},
            {QStringLiteral("Bezug"), l.Bezug},
            {QStringLiteral("Artikel"), l.Artikel},
            {QStringLiteral("Ausgestellt"), l.Ausgestellt},
            {QStringLiteral("Kaeufer"), l.Kaeufer},
            {QStringLiteral("Cent"), l.Cent},
            {QStringLiteral("Standarduser"), l.Standarduser},
            {QStringLiteral("Daten"), l.Daten},
            {QStringLiteral("DatenSha256"), l.DatenSha256},
            {QStringLiteral("PdfSha256"), l.PdfSha256},
            {QStringLiteral("XmlSha256"), l.XmlSha256},
            {QStringLiteral("Zeit"), l.Zeit},
            {QStringLiteral("Hash"), l.Hash},
            {QStringLiteral("Pdf"), l.PdfFile},
            {QStringLiteral("Xml"), l.XmlFile}};
}

Link fromJson(const QJsonObject& o) {
    Link l;
    l.Pos = o.value(QStringLiteral("Pos")).toInteger();
    l.Nummer = o.value(QStringLiteral("Nummer")).toString();
    l.Jahr = o.value(QStringLiteral("Jahr")).toInteger();
    l.Lfd = o.value(QStringLiteral("Lfd")).toInteger();
    l.Art = o.value(QStringLiteral("Art")).toString();
    l.Bezug = o.value(QStringLiteral("Bezug")).toString();
    l.Artikel = o.value(QStringLiteral("Artikel")).toString();
    l.Ausgestellt = o.value(QStringLiteral("Ausgestellt")).toString();
    l.Kaeufer = o.value(QStringLiteral("Kaeufer")).toString();
    l.Cent = o.value(QStringLiteral("Cent")).toInteger();
    l.Standarduser = o.value(QStringLiteral("Standarduser")).toString();
    l.Daten = o.value(QStringLiteral("Daten")).toString();
    l.DatenSha256 = o.value(QStringLiteral("DatenSha256")).toString();
    l.PdfSha256 = o.value(QStringLiteral("PdfSha256")).toString();
    l.XmlSha256 = o.value(QStringLiteral("XmlSha256")).toString();
    l.Zeit = o.value(QStringLiteral("Zeit")).toString();
    l.Hash = o.value(QStringLiteral("Hash")).toString();
    l.PdfFile = o.value(QStringLiteral("Pdf")).toString();
    l.XmlFile = o.value(QStringLiteral("Xml")).toString();
    return l;
}

// The archive's lines in the chain's order; a torn last line (a kill while it was written) is
// not one. Null when there is no archive yet.
std::optional<std::vector<Link>> readArchive(const QString& folder) {
    QFile f(folder + QLatin1Char('/') + kLog);
    if (!f.exists()) return std::nullopt;
    if (!f.open(QIODevice::ReadOnly))
        throw DbError(3051, QStringLiteral("Das Belegarchiv '%1' kann nicht gelesen werden.")
                                .arg(QDir::toNativeSeparators(f.fileName())));
    std::vector<Link> out;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine();
        if (!line.endsWith('\n')) break;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (!o.isEmpty()) out.push_back(fromJson(o));
    }
    std::stable_sort(out.begin(), out.end(), [](const Link& a, const Link& b) { return a.Pos < b.Pos; });
    return out;
}

// The archive's line of one document, found without parsing the others: its number as the
// line writes it (keys in order, "Pdf" after it).
std::optional<Link> archivedLink(const QString& folder, const QString& nummer) {
    QFile f(folder + QLatin1Char('/') + kLog);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray needle = QJsonDocument(QJsonObject{{QStringLiteral("Nummer"), nummer}}).toJson(QJsonDocument::Compact);
    needle = needle.mid(1, needle.size() - 2) + ',';
    while (!f.atEnd()) {
        const QByteArray line = f.readLine();
        if (line.endsWith('\n') && line.contains(needle)) return fromJson(QJsonDocument::fromJson(line).object());
    }
    return std::nullopt;
}

// The archive's last whole line, read from the end: the place the chain has reached there.
std::optional<Link> lastArchived(const QString& folder) {
    QFile f(folder + QLatin1Char('/') + kLog);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    constexpr qint64 kTail = 256 * 1024;
    if (f.size() > kTail) f.seek(f.size() - kTail);
    QList<QByteArray> lines = f.readAll().split('\n');
    lines.removeLast();  // after the last end of line: empty, or a torn line
    for (auto it = lines.crbegin(); it != lines.crend(); ++it)
        if (const QJsonObject o = QJsonDocument::fromJson(*it).object(); !o.isEmpty()) return fromJson(o);
    return std::nullopt;
}

qint64 lastPlace(Database& db) {
    return db
        .firstRow(QStringLiteral("select coalesce(max(Pos), 0) from Belegkette"), {},
                  [](const DbRow& r) { return r.int64(0); })
        .value_or(0);
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Files first, the line last: a line names only what is on the disk.
Status appendToArchive(const QString& folder, Link l, const QByteArray& pdf, const QByteArray& xml) {
    if (!makePrivateFolder(folder))
        return Error::plain(QStringLiteral("Der Ordner '%1' kann nicht angelegt werden.").arg(folder));
    l.PdfFile = fileStem(l) + QStringLiteral(".pdf");
    if (Status w = writeFileSafely(folder + QLatin1Char('/') + l.PdfFile, pdf); !w.ok()) return w;
    if (!xml.isEmpty()) {
        l.XmlFile = fileStem(l) + QStringLiteral(".xml");
        if (Status w = writeFileSafely(folder + QLatin1Char('/') + l.XmlFile, xml); !w.ok()) return w;
    }
    const QString log = folder + QLatin1Char('/') + kLog;
    QByteArray line = QJsonDocument(toJson(l)).toJson(QJsonDocument::Compact) + '\n';
    // After a torn line the next one starts on a line of its own.
    QFile existing(log);
    if (existing.open(QIODevice::ReadOnly) && existing.size() > 0 && existing.seek(existing.size() - 1) &&
        existing.read(1) != "\n")
        line.prepend('\n');
    existing.close();
    return appendFileDurably(log, line);
}

// An archived document as a link that holds: its files match its hashes and its link its data.
QString archiveFault(const QString& folder, const Link& a, const QString& previous, QByteArray* pdf = nullptr,
                     QByteArray* xml = nullptr) {
    const QByteArray p = fileBytes(folder + QLatin1Char('/') + a.PdfFile);
    if (a.PdfFile.isEmpty() || sha256(p) != a.PdfSha256)
        return QStringLiteral("Die PDF-Datei von %1 im Belegarchiv fehlt oder ist verändert.").arg(a.Nummer);
    const QByteArray x = a.XmlFile.isEmpty() ? QByteArray() : fileBytes(folder + QLatin1Char('/') + a.XmlFile);
    if ((x.isEmpty() ? QString() : sha256(x)) != a.XmlSha256)
        return QStringLiteral("Die XML-Datei von %1 im Belegarchiv fehlt oder ist verändert.").arg(a.Nummer);
    if (sha256(a.Daten.toUtf8()) != a.DatenSha256 || linkHash(a, previous) != a.Hash)
        return QStringLiteral("Der Eintrag von %1 im Belegarchiv ist verändert.").arg(a.Nummer);
    if (pdf) *pdf = p;
    if (xml) *xml = x;
    return {};
}

}  // namespace

QString documentArchive(const QString& dbPath) {
    if (dbPath.isEmpty() || isServerAddress(dbPath)) return {};
    const QFileInfo db(dbPath);
    return db.absolutePath() + QLatin1Char('/') + db.completeBaseName() + QStringLiteral("-Belege");
}

void chainDocument(Database& db, const QString& nummer, const QDateTime& zeit, const QString& archive) {
    Link l;
    bool found = false;
    db.forEachRowWhile(QStringLiteral("select ") + kRowColumns +
                           QStringLiteral(", r.Daten, r.Sha256, x.Xml from Rechnungen r left join RechnungenXml x on "
                                          "x.Nummer = r.Nummer where r.Nummer = ?"),
                       {nummer}, [&](const DbRow& row) {
                           readRow(
                               l, [&row](int i) { return row.value(i); }, 0);
                           l.DatenSha256 = sha256(row.text(kRowCount).toUtf8());
                           l.PdfSha256 = row.text(kRowCount + 1);
                           const QByteArray xml = row.value(kRowCount + 2).toByteArray();
                           l.XmlSha256 = xml.isEmpty() ? QString() : sha256(xml);
                           found = true;
                           return false;
                       });
    if (!found) throw DbError(3021, QStringLiteral("Der Beleg %1 ist nicht gespeichert.").arg(nummer));
    QString previous;
    db.forEachRowWhile(QStringLiteral("select Pos, Hash from Belegkette order by Pos desc limit 1"), {},
                       [&](const DbRow& r) {
                           l.Pos = r.int64(0);
                           previous = r.text(1);
                           return false;
                       });
    ++l.Pos;
    if (const std::optional<Link> a = archive.isEmpty() ? std::nullopt : lastArchived(archive); a && a->Pos >= l.Pos)
        throw DbError(3022, QStringLiteral("Das Belegarchiv kennt Belege, die in der Datenbank fehlen (zuletzt %1); "
                                           "Gaveldesk vergibt keine Nummer ein zweites Mal.")
                                .arg(a->Nummer));
    l.Zeit = toDbDate(zeit);
    l.Hash = linkHash(l, previous);
    db.execute(QStringLiteral("insert into Belegkette (Pos, Nummer, XmlSha256, Zeit, Hash) values (?, ?, ?, ?, ?)"),
               {l.Pos, l.Nummer, l.XmlSha256, l.Zeit, l.Hash});
}

void fillDocumentChain(const OpeningRows& rows, const OpeningExec& exec) {
    std::vector<Link> links;
    rows(QStringLiteral("select ") + kRowColumns +
             QStringLiteral(", gd_sha256(r.Daten), r.Sha256, coalesce((select gd_sha256(x.Xml) from RechnungenXml x "
                            "where x.Nummer = r.Nummer), '') from Rechnungen r order by r.Ausgestellt, r.rowid"),
         [&](const QVariantList& v) {
             Link l;
             readRow(
                 l, [&v](int i) { return v.value(i); }, 0);
             l.DatenSha256 = v.value(kRowCount).toString();
             l.PdfSha256 = v.value(kRowCount + 1).toString();
             l.XmlSha256 = v.value(kRowCount + 2).toString();
             links.push_back(l);
         });
    QString previous;
    for (std::size_t i = 0; i < links.size(); ++i) {
        Link& l = links[i];
        l.Pos = qint64(i) + 1;
        l.Zeit = l.Ausgestellt;  // chained when issued
        l.Hash = linkHash(l, previous);
        exec(QStringLiteral("insert into Belegkette (Pos, Nummer, XmlSha256, Zeit, Hash) values (?, ?, ?, ?, ?)"),
             {l.Pos, l.Nummer, l.XmlSha256, l.Zeit, l.Hash});
        previous = l.Hash;
    }
}

void addSha256Function(sqlite3* db) {
    sqlite3_create_function_v2(
        db, "gd_sha256", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
        [](sqlite3_context* ctx, int, sqlite3_value** argv) {
            const auto* in = static_cast<const char*>(sqlite3_value_blob(argv[0]));
            const QByteArray hex = sha256(QByteArray(in ? in : "", sqlite3_value_bytes(argv[0]))).toLatin1();
            sqlite3_result_text(ctx, hex.constData(), int(hex.size()), SQLITE_TRANSIENT);
        },
        nullptr, nullptr, nullptr);
}

Status archiveDocument(const QString& dbPath, const QString& nummer) {
    const QString folder = documentArchive(dbPath);
    if (folder.isEmpty()) return {};
    try {
        // Just issued, it is usually the archive's next: the last line says whether it is there.
        const std::optional<Link> last = lastArchived(folder);
        if (last && (last->Nummer == nummer || archivedLink(folder, nummer))) return {};
        Database db = Database::open(dbPath);
        std::optional<Verified> v;
        db.forEachRowWhile(kChainSql + QStringLiteral(" where k.Nummer = ?"), {nummer}, [&](const DbRow& row) {
            v = verifyRow(row, nullptr);
            return false;
        });
        if (!v || !v->findings.isEmpty())
            return Error::plain(QStringLiteral("Der Beleg %1 kann nicht ins Belegarchiv: %2")
                                    .arg(nummer, v ? v->findings.join(QLatin1Char(' ')) : QStringLiteral("unbekannt")));
        return appendToArchive(folder, v->link, v->pdf, v->xml);
    } catch (const RunError& e) {
        return Error::from(QStringLiteral("Der Beleg %1 kann nicht ins Belegarchiv:").arg(nummer), e);
    }
}

Result<DocumentCheck> checkDocuments(const QString& dbPath) {
    DocumentCheck out;
    std::multimap<qint64, QString> found;  // by place in the chain
    try {
        const QString folder = documentArchive(dbPath);
        const std::optional<std::vector<Link>> archived = folder.isEmpty() ? std::nullopt : readArchive(folder);
        QSet<QString> inArchive;
        for (const Link& a : archived.value_or(std::vector<Link>{})) inArchive.insert(a.Nummer);
        Database db = Database::open(dbPath);
        QHash<QString, Link> links;
        std::vector<Verified> missing;  // sound, but not in the archive: kept with their bytes
        qint64 expected = 1;
        QString previous;
        db.forEachRowWhile(kChainSql + QStringLiteral(" order by k.Pos"), {}, [&](const DbRow& row) {
            const qint64 pos = row.int64(0);
            const bool gap = pos != expected;
            if (pos > expected)
                found.emplace(pos, QStringLiteral("Vor %1 fehlen Glieder der Kette (Stelle %2 bis %3): Belege wurden "
                                                  "entfernt.")
                                       .arg(row.text(1))
                                       .arg(expected)
                                       .arg(pos - 1));
            Verified v = verifyRow(row, gap ? nullptr : &previous);
            for (const QString& f : v.findings) found.emplace(pos, f);
            links.insert(v.link.Nummer, v.link);
            if (v.findings.isEmpty() && !folder.isEmpty() && !inArchive.contains(v.link.Nummer))
                missing.push_back(std::move(v));
            previous = row.text(4);
            expected = pos + 1;
            ++out.documents;
            return true;
        });
        const QStringList extra =
            db.allRows(QStringLiteral("select r.Nummer from Rechnungen r where not exists (select 1 from Belegkette k "
                                      "where k.Nummer = r.Nummer) order by r.Jahr, r.Lfd"),
                       {}, [](const DbRow& r) { return r.text(0); });
        for (const QString& nummer : extra) {
            found.emplace(expected++,
                          QStringLiteral("%1 steht in keiner Kette: er wurde nachträglich eingefügt.").arg(nummer));
            ++out.documents;
        }
        db.Close();

        if (!folder.isEmpty()) {
            QString before;
            bool lacking = false;
            for (const Link& a : archived.value_or(std::vector<Link>{})) {
                if (const QString fault = archiveFault(folder, a, before); !fault.isEmpty())
                    found.emplace(a.Pos, fault);
                before = a.Hash;
                const auto there = links.constFind(a.Nummer);
                if (there == links.cend()) {
                    found.emplace(a.Pos,
                                  QStringLiteral("%1 ist im Belegarchiv, fehlt aber in der Datenbank.").arg(a.Nummer));
                    lacking = true;
                } else if (there->Hash != a.Hash)
                    found.emplace(a.Pos, QStringLiteral("%1 weicht vom Belegarchiv ab: die Datenbank hält andere Daten "
                                                        "als beim Ausstellen.")
                                             .arg(a.Nummer));
            }
            int added = 0;
            for (const Verified& v : missing) {
                const Status w = appendToArchive(folder, v.link, v.pdf, v.xml);
                if (!w.ok()) return w.error();
                ++added;
                if (archived)
                    found.emplace(v.link.Pos,
                                  QStringLiteral("%1 fehlt im Belegarchiv; er wurde aus der Datenbank ergänzt.")
                                      .arg(v.link.Nummer));
            }
            if (!archived && added > 0)
                out.notes << QStringLiteral("Das Belegarchiv '%1' wurde angelegt: %2 Belege.")
                                 .arg(QDir::toNativeSeparators(folder))
                                 .arg(added);
            // What the file lost comes back from the archive, as a restore brings it.
            if (lacking) {
                const Result<QStringList> back = bringBackDocuments(dbPath, folder);
                if (!back.ok()) return back.error();
                for (const QString& line : back.value()) found.emplace(std::numeric_limits<qint64>::max(), line);
            }
        }
    } catch (const RunError& e) {
        return Error::from(QStringLiteral("Die Belege können nicht geprüft werden:"), e);
    }
    for (const auto& [pos, text] : found) out.findings << text;
    return out;
}

Result<DocumentCheck> checkDocumentsDaily(const QString& dbPath, const QString& record, const QDate& day) {
    const QByteArray note = day.toString(Qt::ISODate).toUtf8() + ' ' + dbPath.toUtf8() + '\n';
    QFile noted(record);
    if (noted.open(QIODevice::ReadOnly) && noted.read(4096) == note) return DocumentCheck{};
    noted.close();
    const Result<DocumentCheck> checked = checkDocuments(dbPath);
    // Unnoted, the next start checks again; a note that cannot be written costs only that.
    if (checked.ok() && checked.value().ok()) (void)writeFileSafely(record, note);
    return checked;
}

QString documentWarning(const DocumentCheck& check) {
    constexpr int kShown = 8;
    QStringList lines = check.findings.mid(0, kShown);
    if (check.findings.size() > kShown)
        lines << QStringLiteral("… und %1 weitere.").arg(check.findings.size() - kShown);
    return QStringLiteral("Die Prüfung der ausgestellten Rechnungen hat Abweichungen gefunden:\r") +
           lines.join(QLatin1Char('\r')) +
           QStringLiteral(
               "\rVeränderte Belege gibt Gaveldesk nicht mehr aus. Alle Abweichungen nennt "
               "gaveldesk --belege-pruefen.");
}

QString alteredDocument(Database& db, const QString& dbPath, const QString& nummer) {
    // The link before it, so that the row's own link is checked as the whole walk checks it.
    struct Place {
        qint64 pos = 0;
        QVariant before;  // the link before it; null where the chain lacks it
    };
    const std::optional<Place> place =
        db.firstRow(QStringLiteral("select k.Pos, p.Hash from Belegkette k left join Belegkette p on p.Pos = k.Pos - 1 "
                                   "where k.Nummer = ?"),
                    {nummer}, [](const DbRow& r) {
                        return Place{r.int64(0), r.value(1)};
                    });
    if (!place) return QStringLiteral("%1 steht in keiner Kette: er wurde nachträglich eingefügt.").arg(nummer);
    const QString previous = place->before.toString();
    const bool known = place->pos == 1 || !place->before.isNull();
    std::optional<Verified> v;
    db.forEachRowWhile(kChainSql + QStringLiteral(" where k.Nummer = ?"), {nummer}, [&](const DbRow& row) {
        v = verifyRow(row, known ? &previous : nullptr);
        return false;
    });
    const QString folder = documentArchive(dbPath);
    if (v->findings.isEmpty() && !folder.isEmpty())
        if (const std::optional<Link> a = archivedLink(folder, nummer); a && a->Hash != v->link.Hash)
            v->findings << QStringLiteral("%1 weicht vom Belegarchiv ab.").arg(nummer);
    return v->findings.join(QLatin1Char(' '));
}

Result<QStringList> bringBackDocuments(const QString& restoredFile, const QString& archive) {
    QStringList out;
    try {
        const std::optional<std::vector<Link>> archived = readArchive(archive);
        if (!archived || archived->empty()) return out;
        Transaction tx(restoredFile);
        Database db = tx.database();
        QString previous;
        for (const Link& a : *archived) {
            const QString before = std::exchange(previous, a.Hash);
            const QStringList same =
                db.allRows(QStringLiteral("select Hash from Belegkette where Nummer = ? or Pos = ?"), {a.Nummer, a.Pos},
                           [](const DbRow& r) { return r.text(0); });
            if (!same.isEmpty()) {
                if (same.first() != a.Hash || same.size() > 1)
                    out << QStringLiteral(
                               "%1: die Datenbank hält an seiner Stelle einen anderen Beleg als das "
                               "Belegarchiv; er bleibt, wie ihn die Datenbank hält.")
                               .arg(a.Nummer);
                continue;
            }
            if (db.exists(QStringLiteral("select 1 from Rechnungen where Nummer = ? or (Jahr = ? and Lfd = ?)"),
                          {a.Nummer, a.Jahr, a.Lfd})) {
                out << QStringLiteral("%1: die Datenbank hält unter dieser Nummer einen anderen Beleg; er bleibt.")
                           .arg(a.Nummer);
                continue;
            }
            QByteArray pdf, xml;
            if (const QString fault = archiveFault(archive, a, before, &pdf, &xml); !fault.isEmpty()) {
                out << fault + QStringLiteral(" Er wurde nicht übernommen.");
                continue;
            }
            db.execute(QStringLiteral("insert into Rechnungen (Nummer, Jahr, Lfd, Art, Bezug, Artikel, Ausgestellt, "
                                      "Kaeufer, Cent, Daten, Pdf, Sha256, Standarduser) values (?, ?, ?, ?, ?, ?, ?, "
                                      "?, ?, ?, ?, ?, ?)"),
                       {a.Nummer, a.Jahr, a.Lfd, a.Art, a.Bezug, a.Artikel, a.Ausgestellt, a.Kaeufer, a.Cent, a.Daten,
                        pdf, a.PdfSha256, a.Standarduser});
            if (!xml.isEmpty())
                db.execute(QStringLiteral("insert into RechnungenXml (Nummer, Xml) values (?, ?)"), {a.Nummer, xml});
            db.execute(
                QStringLiteral("insert into Belegkette (Pos, Nummer, XmlSha256, Zeit, Hash) values (?, ?, ?, ?, ?)"),
                {a.Pos, a.Nummer, a.XmlSha256, a.Zeit, a.Hash});
            out << QStringLiteral("%1 aus dem Belegarchiv übernommen.").arg(a.Nummer);
        }
        tx.commit();
    } catch (const RunError& e) {
        return Error::from(QStringLiteral("Die Belege des Archivs können nicht übernommen werden:"), e);
    }
    return out;
}

Result<QStringList> catchUpFromArchive(const QString& dbPath) {
    const QString folder = documentArchive(dbPath);
    if (folder.isEmpty()) return QStringList{};
    try {
        const std::optional<Link> last = lastArchived(folder);
        if (!last) return QStringList{};
        {
            Database db = Database::open(dbPath);
            if (lastPlace(db) >= last->Pos) return QStringList{};
        }
        return bringBackDocuments(dbPath, folder);
    } catch (const RunError& e) {
        return Error::from(QStringLiteral("Die Belege des Archivs können nicht übernommen werden:"), e);
    }
}

QStringList documentNumbers(const QString& dbPath) {
    QStringList out;
    try {
        Database db = Database::open(dbPath);
        out = db.allRows(QStringLiteral("select Nummer from Rechnungen order by Jahr, Lfd"), {},
                         [](const DbRow& r) { return r.text(0); });
    } catch (const RunError&) {
        // nothing to say then
    }
    return out;
}

}  // namespace gd
