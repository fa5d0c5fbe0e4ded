#include "domain/invoice/PdfAttachment.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <unordered_map>

#include "domain/invoice/EInvoiceReader.h"
#include "domain/invoice/PdfSyntax.h"

namespace gd {
namespace {

using namespace pdf;

// Object and cross-reference streams of real files hold a few hundred objects, far below.
constexpr qsizetype kMostStructureBytes = 8 * 1024 * 1024;
// Everything one reading unpacks together: a file of many small bombs ends here.
constexpr qsizetype kMostUnpackedBytes = 32 * 1024 * 1024;
constexpr int kMostObjects = 1000000;
constexpr int kMostSections = 64;  // incremental updates
constexpr int kMostTreeNodes = 1000;
constexpr int kMostFilters = 4;

struct Location {
    qsizetype offset = -1;  // in the file, or
    int stream = -1;        // in which object stream, at which place
    int index = 0;
};

class Reader {
public:
    explicit Reader(const QByteArray& pdf) : d_(pdf) {}

    void readCrossReferences();
    void reconstruct();
    Result<QByteArray> invoiceXml();

private:
    struct Object {
        Value value;
        qsizetype streamAt = -1;  // where a stream's data begins
    };

    void addLocation(qint64 number, const Location& l) {
        if (number <= 0) return;
        if (number >= kMostObjects) tooMuch(QStringLiteral("Sie hat mehr als 1.000.000 Objekte."));
        if (!table_.contains(int(number))) table_.insert(int(number), l);
    }
    void readTable(Lexer& lx);
    Value readXrefStream(qsizetype offset);
    qint64 headerBefore(qsizetype objKeyword, qsizetype* start) const;
    Object objectAt(qsizetype offset, qint64 number);
    const Object& object(qint64 number);
    Value resolved(const Value& v, int hops = 0);
    QByteArray streamData(const Object& o, qsizetype limit, const QString& what);
    void collectFiles(const Value& node, QList<QPair<QString, Value>>& out, QSet<qint64>& seen, int depth);

    const QByteArray& d_;
    qsizetype values_ = 0, unpacked_ = 0;
    QHash<int, Location> table_;
    Value trailer_;
    // Node-based: a reference handed out stays valid while later objects are added.
    std::unordered_map<qint64, Object> cache_;
    int inProgress_ = 0;
    // The object stream last opened: its number and its data with each object's place.
    qint64 openStream_ = -1;
    QByteArray openData_;
    QList<QPair<qint64, qsizetype>> openPlaces_;
};

void Reader::readCrossReferences() {
    const qsizetype tail = d_.lastIndexOf("startxref");
    if (tail < 0) damaged(QStringLiteral("Der Querverweis (startxref) fehlt."));
    Lexer start(d_, tail + 9, values_);
    qint64 at = start.unsignedInt();
    QSet<qint64> seen;
    while (at >= 0) {
        if (at >= d_.size() || seen.contains(at)) damaged(QStringLiteral("Der Querverweis zeigt ins Leere."));
        if (seen.size() >= kMostSections)
            tooMuch(QStringLiteral("Sie ist mehr als %1-mal fortgeschrieben.").arg(kMostSections));
        seen.insert(at);
        Lexer lx(d_, at, values_);
        Value dict;
        if (lx.keyword("xref")) {
            readTable(lx);
            dict = lx.value(0);
            if (!dict.is(Value::Kind::Dict)) damaged(QStringLiteral("Der Anhang des Querverweises fehlt."));
            if (const Value* hybrid = dict.get("XRefStm"); hybrid && hybrid->isInt()) readXrefStream(hybrid->integer);
        } else {
            dict = readXrefStream(at);
        }
        if (trailer_.is(Value::Kind::Null)) trailer_ = dict;
        const Value* prev = dict.get("Prev");
        at = prev && prev->isInt() ? prev->integer : -1;
    }
}

void Reader::readTable(Lexer& lx) {
    for (;;) {
        const qsizetype mark = lx.pos;
        if (lx.keyword("trailer")) return;
        const qint64 first = lx.unsignedInt(), count = lx.unsignedInt();
        if (first < 0 || count < 0) {
            lx.pos = mark;
            damaged(QStringLiteral("Der Querverweis ist beschädigt."));
        }
        if (first + count > kMostObjects) tooMuch(QStringLiteral("Sie hat mehr als 1.000.000 Objekte."));
        for (qint64 i = 0; i < count; ++i) {
            const qint64 offset = lx.unsignedInt();
            const qint64 gen = lx.unsignedInt();
            const QByteArray kind = lx.word();
            if (offset < 0 || gen < 0 || (kind != "n" && kind != "f"))
                damaged(QStringLiteral("Der Querverweis ist beschädigt."));
            if (kind == "n") addLocation(first + i, Location{qsizetype(offset), -1, 0});
        }
    }
}

Value Reader::readXrefStream(qsizetype offset) {
    const Object o = objectAt(offset, -1);
    const Value& dict = o.value;
    const Value* widths = dict.get("W");
    if (!dict.get("Type") || !dict.get("Type")->isName("XRef") || !widths || !widths->is(Value::Kind::Array) ||
        widths->items.size() != 3)
        damaged(QStringLiteral("Der Querverweis ist beschädigt."));
    int w[3];
    for (int i = 0; i < 3; ++i) {
        if (!widths->items[i].isInt() || widths->items[i].integer < 0 || widths->items[i].integer > 8)
            damaged(QStringLiteral("Der Querverweis ist beschädigt."));
        w[i] = int(widths->items[i].integer);
    }
    const qsizetype entry = w[0] + w[1] + w[2];
    if (entry == 0) damaged(QStringLiteral("Der Querverweis ist beschädigt."));
    QList<qint64> ranges;
    if (const Value* index = dict.get("Index"); index && index->is(Value::Kind::Array)) {
        for (const Value& v : index->items) ranges << (v.isInt() ? v.integer : -1);
    } else {
        const Value* size = dict.get("Size");
        ranges << 0 << (size && size->isInt() ? size->integer : -1);
    }
    const QByteArray data =
        streamData(o, kMostStructureBytes, QStringLiteral("Ihr Querverweis ergäbe entpackt mehr als 8 MB."));
    qsizetype at = 0;
    auto field = [&](int width, qint64 fallback) {
        if (width == 0) return fallback;
        qint64 v = 0;
        for (int i = 0; i < width; ++i) v = v << 8 | quint8(data[at++]);
        return v;
    };
    for (qsizetype r = 0; r + 1 < ranges.size(); r += 2) {
        const qint64 first = ranges[r], count = ranges[r + 1];
        if (first < 0 || count < 0) damaged(QStringLiteral("Der Querverweis ist beschädigt."));
        if (first + count > kMostObjects) tooMuch(QStringLiteral("Sie hat mehr als 1.000.000 Objekte."));
        for (qint64 i = 0; i < count && at + entry <= data.size(); ++i) {
            const qint64 type = field(w[0], 1), a = field(w[1], 0), b = field(w[2], 0);
            if (type == 1) addLocation(first + i, Location{qsizetype(a), -1, 0});
            if (type == 2) addLocation(first + i, Location{-1, int(qMin<qint64>(a, kMostObjects)), int(b)});
        }
    }
    return dict;
}

// Files whose cross-references are wrong: every "N G obj" found, the later one winning as an
// update would, and the objects inside object streams.
void Reader::reconstruct() {
    table_.clear();
    cache_.clear();
    trailer_ = Value{};
    QList<qint64> objectStreams;
    for (qsizetype at = d_.indexOf("obj"); at >= 0; at = d_.indexOf("obj", at + 3)) {
        qsizetype start = 0;
        const qint64 number = headerBefore(at, &start);
        if (number <= 0) continue;
        if (number >= kMostObjects) tooMuch(QStringLiteral("Sie hat mehr als 1.000.000 Objekte."));
        table_.insert(int(number), Location{start, -1, 0});
        if (QByteArrayView(d_).sliced(at, qMin<qsizetype>(512, d_.size() - at)).contains("ObjStm"))
            objectStreams << number;
    }
    for (const qint64 s : objectStreams) {
        const Object& o = object(s);
        const Value* n = o.value.get("N");
        if (o.streamAt < 0 || !o.value.get("Type") || !o.value.get("Type")->isName("ObjStm") || !n || !n->isInt())
            continue;
        const QByteArray data =
            streamData(o, kMostStructureBytes, QStringLiteral("Ein Objektstrom ergäbe entpackt mehr als 8 MB."));
        Lexer lx(data, 0, values_);
        for (qint64 i = 0; i < n->integer; ++i) {
            const qint64 number = lx.unsignedInt();
            if (number < 0 || lx.unsignedInt() < 0) break;
            addLocation(number, Location{-1, int(s), int(i)});
        }
    }
    if (const qsizetype trailer = d_.lastIndexOf("trailer"); trailer >= 0) {
        Lexer lx(d_, trailer + 7, values_);
        trailer_ = lx.value(0);
    }
    if (trailer_.get("Root")) return;
    // No trailer: the object around the last catalog in the file.
    const qsizetype catalog = d_.lastIndexOf("/Catalog");
    qsizetype start = 0;
    qint64 number = -1;
    for (qsizetype at = catalog; at > 0 && number <= 0 && catalog - at < 65536;)
        if ((at = d_.lastIndexOf("obj", at - 1)) >= 0) number = headerBefore(at, &start);
    if (number <= 0) damaged(QStringLiteral("Der Katalog fehlt."));
    Value root;
    root.kind = Value::Kind::Ref;
    root.integer = number;
    trailer_.kind = Value::Kind::Dict;
    trailer_.items = {Value{Value::Kind::Name, false, 0, "Root", {}}, root};
}

// The object number of "12 0 obj" when `objKeyword` points at its "obj"; -1 for anything else.
qint64 Reader::headerBefore(qsizetype objKeyword, qsizetype* start) const {
    const qsizetype after = objKeyword + 3;
    if (after < d_.size() && !isSpace(d_[after]) && !isDelimiter(d_[after])) return -1;
    qsizetype p = objKeyword;
    auto back = [&](bool digits) {
        const qsizetype end = p;
        while (p > 0 && (digits ? (d_[p - 1] >= '0' && d_[p - 1] <= '9') : isSpace(d_[p - 1]))) --p;
        return p < end;
    };
    if (!back(false) || !back(true) || !back(false)) return -1;
    const qsizetype numberEnd = p;
    if (!back(true) || numberEnd - p > 7) return -1;
    if (p > 0 && !isSpace(d_[p - 1]) && !isDelimiter(d_[p - 1])) return -1;
    *start = p;
    return d_.mid(p, numberEnd - p).toLongLong();
}

Reader::Object Reader::objectAt(qsizetype offset, qint64 number) {
    Lexer lx(d_, offset, values_);
    const qint64 n = lx.unsignedInt();
    if (n < 0 || lx.unsignedInt() < 0 || !lx.keyword("obj") || (number >= 0 && n != number))
        damaged(number < 0 ? QStringLiteral("Der Querverweis zeigt ins Leere.")
                           : QStringLiteral("Das Objekt %1 steht nicht, wo der Querverweis es nennt.").arg(number));
    Object o;
    o.value = lx.value(0);
    const qsizetype after = lx.pos;
    if (o.value.is(Value::Kind::Dict) && lx.keyword("stream")) {
        qsizetype p = lx.pos;
        if (p < d_.size() && d_[p] == '\r') ++p;
        if (p < d_.size() && d_[p] == '\n') ++p;
        o.streamAt = p;
    } else {
        lx.pos = after;
    }
    return o;
}

const Reader::Object& Reader::object(qint64 number) {
    if (const auto it = cache_.find(number); it != cache_.end()) return it->second;
    if (++inProgress_ > 16) damaged(QStringLiteral("Ihre Objekte verweisen im Kreis."));
    const Location l = table_.value(int(number));
    Object o;
    if (l.offset >= 0) {
        if (l.offset >= d_.size()) damaged(QStringLiteral("Der Querverweis zeigt ins Leere."));
        o = objectAt(l.offset, number);
    } else if (l.stream >= 0) {
        if (openStream_ != l.stream) {
            const Object s = object(l.stream);
            const Value* n = s.value.get("N");
            const Value* first = s.value.get("First");
            if (s.streamAt < 0 || !n || !n->isInt() || !first || !first->isInt())
                damaged(QStringLiteral("Ein Objektstrom ist beschädigt."));
            openData_ =
                streamData(s, kMostStructureBytes, QStringLiteral("Ein Objektstrom ergäbe entpackt mehr als 8 MB."));
            openPlaces_.clear();
            Lexer lx(openData_, 0, values_);
            for (qint64 i = 0; i < n->integer && i < kMostObjects; ++i) {
                const qint64 num = lx.unsignedInt(), place = lx.unsignedInt();
                if (num < 0 || place < 0) break;
                openPlaces_.append({num, qsizetype(first->integer + place)});
            }
            openStream_ = l.stream;
        }
        if (l.index >= openPlaces_.size() || openPlaces_[l.index].first != number ||
            openPlaces_[l.index].second >= openData_.size())
            damaged(QStringLiteral("Ein Objektstrom ist beschädigt."));
        Lexer lx(openData_, openPlaces_[l.index].second, values_);
        o.value = lx.value(0);
    }
    --inProgress_;
    return cache_.emplace(number, std::move(o)).first->second;
}

Value Reader::resolved(const Value& v, int hops) {
    if (!v.is(Value::Kind::Ref)) return v;
    if (hops > 16) damaged(QStringLiteral("Ihre Objekte verweisen im Kreis."));
    return resolved(object(v.integer).value, hops + 1);
}

QByteArray Reader::streamData(const Object& o, qsizetype limit, const QString& what) {
    const Value length = resolved(o.value.get("Length") ? *o.value.get("Length") : Value{});
    qsizetype end = -1;
    if (length.isInt() && length.integer >= 0 && length.integer <= d_.size() - o.streamAt) {
        Lexer lx(d_, o.streamAt + qsizetype(length.integer), values_);
        if (lx.keyword("endstream")) end = o.streamAt + qsizetype(length.integer);
    }
    if (end < 0) {
        // A wrong length, as some writers leave it: the data end where the stream does.
        end = d_.indexOf("endstream", o.streamAt);
        if (end < 0) damaged(QStringLiteral("Ein Datenstrom ist nicht abgeschlossen."));
        if (end > o.streamAt && d_[end - 1] == '\n') --end;
        if (end > o.streamAt && d_[end - 1] == '\r') --end;
    }
    QByteArray data = d_.mid(o.streamAt, end - o.streamAt);
    const Value filter = resolved(o.value.get("Filter") ? *o.value.get("Filter") : Value{});
    const Value parms = resolved(o.value.get("DecodeParms") ? *o.value.get("DecodeParms") : Value{});
    QList<Value> filters = filter.is(Value::Kind::Array) ? filter.items : QList<Value>{filter};
    if (filter.is(Value::Kind::Null)) filters.clear();
    if (filters.size() > kMostFilters)
        damaged(QStringLiteral("Ein Datenstrom ist mehr als %1-fach gepackt.").arg(kMostFilters));
    for (qsizetype i = 0; i < filters.size(); ++i) {
        const Value f = resolved(filters[i]);
        const Value p =
            parms.is(Value::Kind::Array) ? (i < parms.items.size() ? resolved(parms.items[i]) : Value{}) : parms;
        if (f.isName("FlateDecode") || f.isName("Fl")) {
            data = unpredicted(inflated(data, limit, what), &p);
        } else if (f.isName("ASCIIHexDecode") || f.isName("AHx")) {
            data = fromHex(data);
        } else if (f.isName("ASCII85Decode") || f.isName("A85")) {
            data = fromAscii85(data);
        } else {
            damaged(QStringLiteral("Ein Datenstrom ist mit /%1 gepackt, das in einer E-Rechnung (PDF/A-3) nicht "
                                   "vorkommt.")
                        .arg(QString::fromLatin1(f.text)));
        }
        if (data.size() > limit) tooMuch(what);
        unpacked_ += data.size();
        if (unpacked_ > kMostUnpackedBytes)
            tooMuch(QStringLiteral("Ihre Datenströme ergäben entpackt mehr als 32 MB."));
    }
    return data;
}

void Reader::collectFiles(const Value& node, QList<QPair<QString, Value>>& out, QSet<qint64>& seen, int depth) {
    if (depth > kMostDepth || seen.size() > kMostTreeNodes)
        tooMuch(QStringLiteral("Ihr Verzeichnis der Anhänge ist zu groß."));
    const Value n = resolved(node);
    if (const Value* names = n.get("Names"); names) {
        const Value list = resolved(*names);
        for (qsizetype i = 0; i + 1 < list.items.size(); i += 2)
            out.append({textOf(resolved(list.items[i]).text), list.items[i + 1]});
    }
    if (const Value* kids = n.get("Kids"); kids) {
        for (const Value& kid : resolved(*kids).items) {
            if (kid.is(Value::Kind::Ref)) {
                if (seen.contains(kid.integer)) continue;
                seen.insert(kid.integer);
            }
            collectFiles(kid, out, seen, depth + 1);
        }
    }
}

Result<QByteArray> Reader::invoiceXml() {
    if (trailer_.get("Encrypt"))
        return Error::plain(
            QStringLiteral("Die PDF-Datei ist verschlüsselt. Eine E-Rechnung (PDF/A-3) ist das nie; bitten Sie den "
                           "Absender um die Rechnung als XML oder als unverschlüsselte PDF-Datei."));
    const Value root = resolved(trailer_.get("Root") ? *trailer_.get("Root") : Value{});
    if (!root.is(Value::Kind::Dict)) damaged(QStringLiteral("Der Katalog fehlt."));
    const Value names = resolved(root.get("Names") ? *root.get("Names") : Value{});
    QList<QPair<QString, Value>> files;
    if (const Value* tree = names.get("EmbeddedFiles"); tree) {
        QSet<qint64> seen;
        collectFiles(*tree, files, seen, 0);
    }
    // The names the e-invoice forms in use give their XML; any other XML only when it is alone.
    const Value* found = nullptr;
    int xmlFiles = 0;
    for (const auto& [name, entry] : std::as_const(files)) {
        const QString n = name.toLower();
        if (n == QLatin1String("factur-x.xml") || n == QLatin1String("zugferd-invoice.xml") ||
            n == QLatin1String("xrechnung.xml")) {
            found = &entry;
            break;
        }
        if (n.endsWith(QLatin1String(".xml")) && ++xmlFiles == 1)
            found = &entry;
        else if (n.endsWith(QLatin1String(".xml")))
            found = nullptr;
    }
    if (!found)
        return Error::plain(QStringLiteral("Die PDF-Datei enthält keine E-Rechnung (keine eingebettete XML-Datei)."));
    const Value described = resolved(*found);
    const Value ef = resolved(described.get("EF") ? *described.get("EF") : Value{});
    for (const char* key : {"UF", "F", "Unix", "DOS", "Mac"}) {
        const Value* file = ef.get(key);
        if (!file || !file->is(Value::Kind::Ref)) continue;
        const Object& o = object(file->integer);
        if (o.streamAt < 0) break;
        return streamData(o, kMostEInvoiceBytes,
                          QStringLiteral("Die eingebettete Rechnung ergäbe entpackt mehr als 2 MB; so groß ist keine "
                                         "Rechnung."));
    }
    damaged(QStringLiteral("Der Anhang der Rechnung hat keine Daten."));
}

}  // namespace

Result<QByteArray> embeddedInvoiceXml(const QByteArray& pdf) {
    if (!pdf.startsWith("%PDF-"))
        return Error::plain(QStringLiteral("Die Datei ist weder eine XML-Rechnung noch eine PDF-Datei."));
    const QString protect = QStringLiteral("Die PDF-Datei wird zum Schutz nicht weiter gelesen:");
    if (pdf.size() > kMostPdfBytes) return Error{protect, 0, QStringLiteral("Sie ist größer als 20 MB.")};
    QString why;
    // The file as its cross-references say, else as its objects are found one by one.
    for (const bool rebuild : {false, true}) {
        try {
            Reader r(pdf);
            if (rebuild)
                r.reconstruct();
            else
                r.readCrossReferences();
            Result<QByteArray> xml = r.invoiceXml();
            // Found nothing in a damaged file: the damage is the news, not the missing invoice.
            if (rebuild && !xml.ok() && !why.isEmpty() &&
                !xml.error().sentence.contains(QStringLiteral("verschlüsselt")))
                break;
            return xml;
        } catch (const Refusal& e) {
            if (e.bound) return Error{protect, 0, e.why};
            if (why.isEmpty()) why = e.why;
        }
    }
    return Error{QStringLiteral("Die PDF-Datei kann nicht gelesen werden:"), 0, why};
}

}  // namespace gd
