// The books of a year at 100,000 trades, all ended in that year: the figures --jahr prints and the
// DATEV hand-over --datev writes, with the page cache of the commands and of the window. Each beside
// the same statements run through the cipher library's C API by the tightest code that gives the
// same output; after its runs each yardstick's output is compared with ours.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "BenchFixture.h"
#include "base/Money.h"
#include "base/SafeWrite.h"
#include "domain/books/Datev.h"
#include "domain/books/YearFigures.h"
#include "domain/settings/modGlobal.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace {

constexpr int kTrades = 100000, kYear = 2025;
const QString kUser = QStringLiteral("haendler");
constexpr std::string_view kRawUser = "haendler";
const QDate kFrom(kYear, 1, 1), kTo(kYear, 12, 31);
const QDateTime kNow(QDate(kYear + 1, 1, 15), QTime(10, 30));

// The commands read with a small page cache, the window with a large one.
constexpr int kCommandKiB = 512, kWindowKiB = 65536;
void caches(benchmark::internal::Benchmark* b) { b->Arg(kCommandKiB)->Arg(kWindowKiB)->Unit(benchmark::kMillisecond); }
std::string cachePragma(const benchmark::State& state) {
    return "PRAGMA cache_size = -" + std::to_string(state.range(0)) + ';';
}

// A seller charging 19 % whose advisor takes the hand-over; ours' connection with the run's cache.
gd::Store booksStore(benchmark::State& state) {
    const gd::Store store{bench::booksFile(kTrades, kYear), kUser};
    gd::gSettings.Steuerart = QStringLiteral("19");
    gd::gSettings.DatevBerater = QStringLiteral("29098");
    gd::gSettings.DatevMandant = QStringLiteral("4711");
    sqlite3_exec(store.open().handle(), cachePragma(state).c_str(), nullptr, nullptr, nullptr);
    state.SetLabel(state.range(0) == kCommandKiB ? "Befehl" : "Fenster");
    return store;
}

// The work's runs, and the most resident memory above the start while they ran (the kernel's mark).
template <typename Work>
void measure(benchmark::State& state, const Work& work) {
    const auto kib = [](std::string_view field) {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);)
            if (line.starts_with(field)) return std::atol(line.c_str() + field.size());
        return 0L;
    };
    malloc_trim(0);
    const long start = kib("VmRSS:");
    if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) std::fputs("5", f), std::fclose(f);
    for (auto _ : state)
        if (!work()) state.SkipWithError("not done");
    state.counters["peak_MB"] = double(kib("VmHWM:") - start) / 1024;
}

// Ours' output, made by its benchmark, is the reference of the yardstick that runs after it: a
// yardstick whose output differs measures other work.
std::string g_yearOurs, g_datevOurs;

struct Hash : std::hash<std::string_view> {
    using is_transparent = void;
};
template <typename T>
using Map = std::unordered_map<std::string, T, Hash, std::equal_to<>>;

// A prepared statement for one scope; what is bound lives until its last step.
struct Query {
    sqlite3_stmt* st = nullptr;
    Query(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &st, nullptr); }
    ~Query() { sqlite3_finalize(st); }
    Query& bind(int i, std::string_view s) {
        sqlite3_bind_text(st, i, s.data(), int(s.size()), SQLITE_STATIC);
        return *this;
    }
    bool row() { return sqlite3_step(st) == SQLITE_ROW; }
    std::string_view text(int i) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
        return p ? std::string_view(p, std::size_t(sqlite3_column_bytes(st, i))) : std::string_view();
    }
    qint64 number(int i) const { return sqlite3_column_int64(st, i); }
};

// Keyed as the program keys it (the passphrase through the same derivation with the file's salt,
// the same cipher settings), with the run's page cache; kept open between runs as ours is.
sqlite3* openRaw(const QString& path, const benchmark::State& state) {
    static std::unordered_map<int64_t, sqlite3*> kept;
    sqlite3*& db = kept[state.range(0)];
    if (db) return db;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    const std::string keyed =
        "PRAGMA key = 'kaltwind'; PRAGMA cipher_compatibility = 4; SELECT count(*) FROM sqlite_master; " +
        cachePragma(state);
    sqlite3_exec(db, keyed.c_str(), nullptr, nullptr, nullptr);
    return db;
}

// "1234,56"
void appendCents(std::string& out, qint64 cents) {
    const qint64 a = cents < 0 ? -cents : cents;
    if (cents < 0) out += '-';
    out += std::to_string(a / 100);
    out += ',', out += char('0' + a % 100 / 10), out += char('0' + a % 10);
}

bool digit(char c) { return c >= '0' && c <= '9'; }

// "24,50", "1.234,5", "-3", "24.50": the amounts the rows hold; 0 for anything else.
qint64 cents(std::string_view t) {
    const bool negative = t.starts_with('-');
    t.remove_prefix(negative ? 1 : 0);
    std::size_t comma = t.find(',');
    if (comma == t.npos && t.size() > 3 && t.find('.') == t.size() - 3) comma = t.size() - 3;
    const std::string_view frac = comma == t.npos ? "" : t.substr(comma + 1);
    if (t.empty() || (comma != t.npos && frac.empty()) || frac.size() > 2) return 0;
    qint64 c = 0;
    for (const char d : t.substr(0, comma))
        if (d != '.') c = digit(d) && c >= 0 ? c * 10 + (d - '0') : -1;
    for (std::size_t i = 0; i < 2; ++i)
        c = c >= 0 && (i >= frac.size() || digit(frac[i])) ? c * 10 + (i < frac.size() ? frac[i] - '0' : 0) : -1;
    return c < 0 || c > gd::kMostCents ? 0 : negative ? -c : c;
}

std::string_view trimmed(std::string_view t) {
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front()))) t.remove_prefix(1);
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back()))) t.remove_suffix(1);
    return t;
}

std::string yearOurs(const gd::Store& store) {
    const gd::Result<QList<gd::PlatformYear>> figures =
        gd::yearFigures(store, kYear, gd::mainPlatform(gd::currentSettings()));
    if (!figures.ok()) return {};
    QByteArray out;
    for (const QStringList& row : gd::yearTable(figures.value())) out += row.join(u'\t').toUtf8() + '\n';
    const gd::LimitNote note =
        gd::reportingNote(figures.value(), kYear, gd::reportLimits(gd::gSettings.GrenzeMeldepflicht));
    if (note.level != gd::LimitNote::Level::None) out += note.text.toUtf8() + '\n';
    return out.toStdString();
}

// The month of "yyyy-MM…"; 0 for none.
int monthOf(std::string_view d) {
    const int m = d.size() < 7 || !digit(d[5]) || !digit(d[6]) ? 0 : (d[5] - '0') * 10 + d[6] - '0';
    return m <= 12 ? m : 0;
}

// The quantity of a row: a whole number in range, else 1.
qint64 quantity(std::string_view t) {
    t = trimmed(t);
    qint64 n = 0;
    const auto [end, error] = std::from_chars(t.data() + t.starts_with('+'), t.data() + t.size(), n);
    return error == std::errc() && end == t.data() + t.size() && n > 0 && n <= gd::kMostQuantity ? n : 1;
}

std::string yearRaw(sqlite3* db, const std::string& mainPlatform, const gd::ReportLimits& limits) {
    Map<qint64> received;
    Query paid(db,
               "select b.AuktionsID, sum(b.Cent) from Buchungen b join Auktionen a on a.AuktionsID = b.AuktionsID "
               "where b.Standarduser = ? and a.Bezahlt = 0 and b.Art in ('Zahlung', 'Erstattung', 'Rueckbuchung', "
               "'Storno', 'Abschreibung') group by b.AuktionsID");
    paid.bind(1, kRawUser);
    while (paid.row()) received.emplace(paid.text(0), -paid.number(1));
    // The cancellations first: only their sales' platforms need keeping.
    std::vector<std::pair<std::string, int>> cancelled;
    Map<std::size_t> platformOf;
    Query storno(db,
                 "select Artikel, Ausgestellt from Rechnungen where Art = 'Storno' and Jahr = ? and Standarduser = ?");
    sqlite3_bind_int(storno.st, 1, kYear);
    storno.bind(2, kRawUser);
    while (storno.row()) {
        const std::string_view items = trimmed(storno.text(0));
        const std::string first(items.substr(0, items.find(' ')));
        if (const int month = monthOf(storno.text(1))) cancelled.emplace_back(first, month);
        platformOf.emplace(first, std::size_t(-1));
    }
    std::vector<std::pair<std::string, gd::PlatformYear>> platforms;
    const auto of = [&platforms](std::string_view name) {
        for (std::size_t i = 0; i < platforms.size(); ++i)
            if (platforms[i].first == name) return i;
        platforms.emplace_back(std::string(name), gd::PlatformYear{});
        return platforms.size() - 1;
    };
    Query q(db,
            "select a.rowid, a.AuktionsNr, a.EndeDatum, a.Preis, a.Menge, a.Versandkosten, "
            "a.Versandversicherung, a.Bezahlt, a.AuktionsID, h.Plattform from Auktionen a join Kunden k on k.ebayName "
            "= a.ebayName and k.Standarduser = a.Standarduser left join Herkunft h on h.AuktionsNr = a.AuktionsNr and "
            "h.Standarduser = a.Standarduser where a.Standarduser = ? and k.Kunde <> 0 and a.EndeDatum >= ? and "
            "a.EndeDatum < ? ");
    const std::string from = std::to_string(kYear) + "-01-01", to = std::to_string(kYear + 1) + "-01-01";
    q.bind(1, kRawUser).bind(2, from).bind(3, to);
    while (q.row()) {
        const int month = monthOf(q.text(2));
        if (month == 0) continue;
        const std::size_t p = of(q.text(9).empty() ? std::string_view(mainPlatform) : q.text(9));
        gd::MonthFigures& m = platforms[p].second.months[std::size_t(month - 1)];
        const qint64 goods = cents(q.text(3)) * quantity(q.text(4)), shipping = cents(q.text(5)) + cents(q.text(6));
        ++m.sales, m.goods += goods, m.shipping += shipping;
        if (q.number(7) != 0) {
            ++m.paid;
        } else {
            const auto r = received.find(q.text(8));
            ++m.unpaid, m.unpaidCents += std::max<qint64>(0, goods + shipping - (r == received.end() ? 0 : r->second));
        }
        if (const auto c = platformOf.find(q.text(1)); c != platformOf.end()) c->second = p;
    }
    for (const auto& [first, month] : cancelled) {
        const std::size_t known = platformOf.find(first)->second;
        const std::size_t p = known != std::size_t(-1) ? known : of(mainPlatform);
        ++platforms[p].second.months[std::size_t(month - 1)].cancellations;
    }
    std::stable_sort(platforms.begin(), platforms.end(),
                     [](const auto& a, const auto& b) { return a.second.total().gross() > b.second.total().gross(); });

    std::string out = "Plattform\tMonat\tVerkäufe\tSumme\tVersand\tStornos\tBezahlt\tUnbezahlt\tOffen\n";
    const auto row = [&out](std::string_view platform, std::string_view month, const gd::MonthFigures& m) {
        out.append(platform).append(1, '\t').append(month).append(1, '\t');
        out += std::to_string(m.sales), out += '\t', appendCents(out, m.goods), out += '\t';
        appendCents(out, m.shipping), out += '\t', out += std::to_string(m.cancellations), out += '\t';
        out += std::to_string(m.paid), out += '\t', out += std::to_string(m.unpaid), out += '\t';
        appendCents(out, m.unpaidCents), out += '\n';
    };
    gd::MonthFigures all;
    QList<gd::PlatformYear> year;
    for (auto& [name, p] : platforms) {
        for (std::size_t i = 0; i < 12; ++i)
            if (p.months[i].sales > 0 || p.months[i].cancellations > 0)
                row(name, {"010203040506070809101112" + 2 * i, 2}, p.months[i]);
        row(name, "Jahr", p.total());
        all.add(p.total());
        p.platform = QString::fromStdString(name);
        year << p;
    }
    row("Gesamt", "Jahr", all);
    // The note's words are ours: it weighs a few platforms' totals, no row.
    const gd::LimitNote note = gd::reportingNote(year, kYear, limits);
    return note.level == gd::LimitNote::Level::None ? out : out + note.text.toStdString() + '\n';
}

void BM_YearFigures(benchmark::State& state) {
    const gd::Store store = booksStore(state);
    measure(state, [&] { return !(g_yearOurs = yearOurs(store)).empty(); });
}
BENCHMARK(BM_YearFigures)->Apply(caches)->Repetitions(5);

void BM_YearFiguresRaw(benchmark::State& state) {
    const gd::Store store = booksStore(state);
    if (g_yearOurs.empty()) g_yearOurs = yearOurs(store);
    sqlite3* db = openRaw(store.file, state);
    const gd::ReportLimits limits = gd::reportLimits(gd::gSettings.GrenzeMeldepflicht);
    const std::string platform = gd::mainPlatform(gd::currentSettings()).toStdString();
    std::string out;
    measure(state, [&] { return !(out = yearRaw(db, platform, limits)).empty(); });
    if (out != g_yearOurs) state.SkipWithError("raw output differs from ours");
}
BENCHMARK(BM_YearFiguresRaw)->Apply(caches)->Repetitions(5);

// A date "yyyy-MM-dd…" as yyyymmdd; 0 for none (the rows hold real days).
int dayOf(std::string_view t) {
    if (t.size() < 10 || t[4] != '-' || t[7] != '-') return 0;
    int v = 0;
    for (const std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) v = digit(t[i]) && v >= 0 ? v * 10 + (t[i] - '0') : -1;
    return std::max(v, 0);
}

// A text as the hand-over quotes it, in Windows-1252: control characters and runs of blanks one
// blank, none at the ends, at most `most` letters, quotes doubled. Letters beyond Latin-1 become
// "?" (ours writes Windows-1252's own and spells the others in Latin letters; the file has none).
void quoted(std::string& out, std::string_view s, std::size_t most) {
    out += '"';
    std::size_t n = 0;
    bool pending = false;
    for (std::size_t i = 0; i < s.size() && n < most;) {
        const auto lead = static_cast<unsigned char>(s[i++]);
        const int more = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
        char32_t c = more == 0 ? lead : lead & (0x3F >> more);
        for (int k = 0; k < more && i < s.size(); ++k) c = (c << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
        if (c <= 0x20 || c == 0x7F || c == 0x85 || c == 0xA0 || (c >= 0x2000 && c <= 0x200A) || c == 0x3000) {
            pending = n > 0;
            continue;
        }
        if (pending && (out += ' ', pending = false, ++n == most)) break;
        const char b = c < 0x100 ? char(c) : '?';
        out += b == '"' ? "\"\"" : std::string_view(&b, 1);
        ++n;
    }
    out += '"';
}

// Belegfeld: letters, digits and _ $ & % * + - / only, at most 36.
void documentField(std::string& out, std::string_view s) {
    out += '"';
    int n = 0;
    for (const char c : s)
        if (n < 36 && (std::isalnum(static_cast<unsigned char>(c)) || (c && std::strchr("_$&%*+-/", c)))) out += c, ++n;
    out += '"';
}

const std::string kTail = std::string(111, ';') + "\r\n";  // the 111 empty fields after Buchungstext

void booking(std::string& out, qint64 cents, bool debit, std::string_view konto, std::string_view gegenkonto, int day,
             std::string_view beleg1, std::string_view beleg2, std::string_view text, std::string_view key) {
    const qint64 a = cents < 0 ? -cents : cents;
    out += std::to_string(a / 100);
    out += ',', out += char('0' + a % 100 / 10), out += char('0' + a % 10);
    out += debit ? ";\"S\";\"EUR\";;;;" : ";\"H\";\"EUR\";;;;";
    out.append(konto).append(1, ';').append(gegenkonto).append(1, ';').append(key).append(1, ';');
    const char ddmm[] = {char('0' + day / 10 % 10), char('0' + day % 10), char('0' + day / 1000 % 10),
                         char('0' + day / 100 % 10), ';'};
    out.append(ddmm + (day != 0 ? 0 : 4), ddmm + 5);
    documentField(out, beleg1);
    out += ';';
    if (!beleg2.empty()) documentField(out, beleg2.substr(0, 12));
    out += ";;";
    quoted(out, text, 60);
    out += kTail;
}

// The fields of an invoice's data the hand-over reads.
struct InvoiceData {
    struct Item {
        std::string nr;
        qint64 price = 0, quantity = 0, rate = 0;
    };
    std::string nummer, bezug, bezugDatum, mitglied, kaeufer, firma, steuerart;
    bool hasKaeufer = false, klein = false;
    qint64 versand = 0, versicherung = 0;
    std::vector<Item> items;
};

// The text whose opening quote is at `at`, its escapes undone.
void textAt(std::string_view json, std::size_t at, std::string& out) {
    out.clear();
    for (std::size_t i = at + 1; at < json.size() && json[at] == '"' && i < json.size() && json[i] != '"'; ++i) {
        if (json[i] != '\\') {
            out += json[i];
        } else if (const char c = json[++i]; c != 'u') {
            out += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c == 'b' ? '\b' : c == 'f' ? '\f' : c;
        } else {  // the writer escapes control characters only this way
            unsigned u = 0;
            std::from_chars(json.data() + i + 1, json.data() + std::min(i + 5, json.size()), u, 16);
            out += char(u), i += 4;
        }
    }
}

// From the compact JSON the data is kept as. The writer escapes every quote inside a text, so a
// quoted name followed by a colon is a key; it writes an object's keys in order, so an item's
// price, quantity and rate follow its number.
void parseInvoice(std::string_view json, InvoiceData& inv) {
    const auto at = [json](std::string_view key, std::size_t from = 0) {
        const std::size_t i = json.find(key, from);
        return i == json.npos ? json.size() : i + key.size();
    };
    const auto number = [json](std::size_t i) {
        return i < json.size() ? std::strtoll(json.data() + i, nullptr, 10) : 0;
    };
    textAt(json, at("\"Nummer\":"), inv.nummer);
    textAt(json, at("\"Bezug\":"), inv.bezug);
    textAt(json, at("\"BezugDatum\":"), inv.bezugDatum);
    textAt(json, at("\"Mitgliedsname\":"), inv.mitglied);
    textAt(json, at("\"KaeuferFirma\":"), inv.firma);
    textAt(json, at("\"Steuerart\":"), inv.steuerart);
    const std::size_t kaeufer = at("\"Kaeufer\":[");
    inv.hasKaeufer = kaeufer < json.size() && json[kaeufer] != ']';
    textAt(json, kaeufer, inv.kaeufer);
    inv.klein = json.substr(std::min(at("\"Kleinunternehmer\":"), json.size()), 4) == "true";
    inv.versand = number(at("\"Versand\":"));
    inv.versicherung = number(at("\"Versicherung\":"));
    inv.items.clear();
    for (std::size_t i = at("\"AuktionsNr\":"); i < json.size(); i = at("\"AuktionsNr\":", i)) {
        InvoiceData::Item& it = inv.items.emplace_back();
        textAt(json, i, it.nr);
        it.price = number(at("\"Einzelpreis\":", i));
        it.quantity = number(at("\"Menge\":", i));
        it.rate = number(at("\"Steuersatz\":", i));
    }
}

enum class Mode { None, Small, Standard, Margin };
Mode modeOf(bool klein, std::string_view art) {
    return klein ? Mode::Small : art == "25a" ? Mode::Margin : art == "19" || art == "7" ? Mode::Standard : Mode::None;
}

struct Account {
    std::string konto, key;  // the key as its field ("\"0002\""), or empty
};

// The setup and period as the export uses them, made once: the accounts and the two fixed lines.
struct RawSetup {
    std::string head, fromText, toText;
    int from = 0, to = 0;
    Mode saleMode = Mode::None;  // of a sale without an invoice: the options'
    qint64 saleRate = 0;
    Account debitor, fees, loss, bank, paypal, platform, cash, e19, e7, e25a, eUStG;
    const Account& revenue(Mode mode, qint64 rate) const {
        return mode == Mode::Standard ? (rate == 7 ? e7 : e19) : mode == Mode::Margin ? e25a : eUStG;
    }
};

RawSetup rawSetup(const gd::DatevSetup& d, const QDate& from, const QDate& to, std::string_view head) {
    RawSetup s;
    const auto account = [&d](const char* name) {
        const gd::DatevAccount a = d.accounts.value(QString::fromLatin1(name));
        Account out{a.konto.toStdString(), {}};
        if (!a.schluessel.trimmed().isEmpty())
            quoted(out.key, a.schluessel.trimmed().rightJustified(4, u'0').toStdString(), 4);
        return out;
    };
    s.debitor = account("Debitor"), s.fees = account("Gebuehren"), s.loss = account("Forderungsverluste");
    s.bank = account("Bank"), s.paypal = account("PayPal"), s.platform = account("Plattform");
    s.cash = account("Kasse"), s.e19 = account("Erloese19"), s.e7 = account("Erloese7");
    s.e25a = account("Erloese25a"), s.eUStG = account("Erloese19UStG");
    s.saleMode = modeOf(d.kleinunternehmer, d.steuerart.toStdString());
    s.saleRate = s.saleMode == Mode::Standard ? d.steuerart.toInt() : 0;
    s.fromText = from.toString(Qt::ISODate).toStdString(), s.toText = to.toString(Qt::ISODate).toStdString();
    s.from = dayOf(s.fromText), s.to = dayOf(s.toText);
    s.head = std::string(head);
    return s;
}

struct SaleMoney {
    std::string who;
    int ende = 0, first = 0;
    qint64 claim = 0;
};

struct TaxLine {
    qint64 rate = 0, goods = 0, shipping = 0, insurance = 0;
};

// The lines of an invoice's rates, the highest first, shipping and insurance shared by the goods.
void taxLines(const InvoiceData& inv, Mode mode, qint64 taxRate, std::vector<TaxLine>& lines) {
    lines.clear();
    const auto lineOf = [&lines](qint64 rate) -> TaxLine& {
        for (TaxLine& l : lines)
            if (l.rate == rate) return l;
        return lines.emplace_back(TaxLine{rate});
    };
    qint64 goods = 0;
    for (const InvoiceData::Item& it : inv.items) {
        lineOf(mode != Mode::Standard ? 0 : it.rate > 0 ? it.rate : taxRate).goods += it.price * it.quantity;
        goods += it.price * it.quantity;
    }
    if (lines.empty()) lineOf(taxRate);
    std::sort(lines.begin(), lines.end(), [](const TaxLine& a, const TaxLine& b) { return a.rate > b.rate; });
    for (const auto& [amount, field] :
         {std::pair(inv.versand, &TaxLine::shipping), {inv.versicherung, &TaxLine::insurance}}) {
        qint64 given = 0;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const qint64 part = i + 1 == lines.size() ? amount - given
                                : goods == 0          ? (i == 0 ? amount : 0)
                                                      : amount * lines[i].goods / goods;
            lines[i].*field = part;
            given += part;
        }
    }
}

std::string datevRaw(sqlite3* db, const RawSetup& s) {
    std::string out = s.head, text;
    Map<SaleMoney> byNr;
    Map<std::pair<std::string, int>> validInvoice;  // item number: invoice number, day issued
    Query money(db,
                "select a.AuktionsNr, a.ebayName, a.EndeDatum, min(case when b.Art = 'Zahlung' or b.Art = "
                "'Abschreibung' then b.Tag end), sum(case when b.Art = 'Forderung' then b.Cent else 0 end) from "
                "Buchungen b join Auktionen a on a.AuktionsID = b.AuktionsID where b.Standarduser = ? group by "
                "a.AuktionsID, a.AuktionsNr, a.ebayName, a.EndeDatum");
    money.bind(1, kRawUser);
    while (money.row())
        byNr.insert_or_assign(std::string(money.text(0)), SaleMoney{std::string(money.text(1)), dayOf(money.text(2)),
                                                                    dayOf(money.text(3)), money.number(4)});
    Query valid(db,
                "select r.Nummer, r.Artikel, r.Ausgestellt from Rechnungen r where r.Art = 'Rechnung' and "
                "r.Standarduser = ? and r.Nummer not in (select s.Bezug from Rechnungen s where s.Art = 'Storno' and "
                "s.Bezug is not null)");
    valid.bind(1, kRawUser);
    while (valid.row()) {
        const std::string_view items = valid.text(1);
        for (std::size_t at = 0, end; at < items.size(); at = end + 1)
            if ((end = std::min(items.find(' ', at), items.size())) > at)
                validInvoice.insert_or_assign(std::string(items.substr(at, end - at)),
                                              std::pair(std::string(valid.text(0)), dayOf(valid.text(2))));
    }

    // Each invoice and cancellation: the buyer's debit against revenue, per rate.
    Query q(db,
            "select Art, Daten, Ausgestellt from Rechnungen where Standarduser = ? and "
            "substr(Ausgestellt, 1, 10) between ? and ? order by Jahr, Lfd");
    q.bind(1, kRawUser).bind(2, s.fromText).bind(3, s.toText);
    InvoiceData inv;
    std::vector<TaxLine> lines;
    while (q.row()) {
        parseInvoice(q.text(1), inv);
        const bool storno = q.text(0) == "Storno";
        const int issued = dayOf(q.text(2)), asOf = storno ? dayOf(inv.bezugDatum) : issued;
        const auto sale = byNr.find(inv.items.empty() ? std::string_view() : inv.items.front().nr);
        if (sale != byNr.end() && sale->second.first != 0 && asOf != 0 && sale->second.first < asOf) continue;
        const Mode mode = modeOf(inv.klein, inv.steuerart);
        taxLines(inv, mode, mode == Mode::Standard ? std::atoi(inv.steuerart.c_str()) : 0, lines);
        const std::string_view buyer = !inv.firma.empty() ? inv.firma : inv.hasKaeufer ? inv.kaeufer : inv.mitglied;
        text.assign(storno ? "Storno " : "Rechnung ").append(inv.nummer).append(1, ' ').append(buyer);
        for (const TaxLine& l : lines)
            if (const qint64 gross = l.goods + l.shipping + l.insurance; gross != 0)
                booking(out, gross, !storno, s.debitor.konto, s.revenue(mode, l.rate).konto, issued, inv.nummer,
                        storno ? std::string_view(inv.bezug) : "", text, s.revenue(mode, l.rate).key);
    }

    // Sales without an invoice before their money: their revenue with the money's period.
    std::vector<const Map<SaleMoney>::value_type*> sales;
    sales.reserve(byNr.size());
    for (const auto& e : byNr) sales.push_back(&e);
    std::sort(sales.begin(), sales.end(), [](const auto* a, const auto* b) {
        return a->second.ende != b->second.ende ? a->second.ende < b->second.ende : a->first < b->first;
    });
    Query rate(db, "select Satz from Steuersaetze where AuktionsNr = ? and Standarduser = ?");
    rate.bind(2, kRawUser);
    for (const auto* e : sales) {
        const std::string& nr = e->first;
        const SaleMoney& m = e->second;
        if (m.first == 0 || m.first < s.from || m.first > s.to || m.claim <= 0) continue;
        if (const auto i = validInvoice.find(nr); i != validInvoice.end() && i->second.second <= m.first) continue;
        rate.bind(1, trimmed(nr));
        qint64 satz = rate.row() ? rate.number(0) : 0;
        sqlite3_reset(rate.st);
        if (satz != 7 && satz != 19) satz = 0;
        const Account& revenue = s.revenue(s.saleMode, s.saleMode == Mode::Standard && satz > 0 ? satz : s.saleRate);
        text.assign("Verkauf ").append(nr).append(1, ' ').append(m.who);
        booking(out, m.claim, true, s.debitor.konto, revenue.konto, std::max(m.ende, s.from), nr, nr, text,
                revenue.key);
    }

    // Every entry of the period but the claims.
    Query j(db,
            "select b.Tag, b.Cent, b.Art, b.Konto, b.Referenz, a.AuktionsNr, a.ebayName from Buchungen b join "
            "Auktionen a on a.AuktionsID = b.AuktionsID where b.Standarduser = ? and b.Tag between ? and ? and "
            "b.Art <> 'Forderung' and b.Cent <> 0 order by b.Tag, b.ID");
    j.bind(1, kRawUser).bind(2, s.fromText).bind(3, s.toText);
    while (j.row()) {
        const std::string_view art = j.text(2), konto = j.text(3), ref = j.text(4), nr = j.text(5);
        const qint64 cents = j.number(1);
        const Account& account = konto == "PayPal"      ? s.paypal
                                 : konto == "Plattform" ? s.platform
                                 : konto == "Kasse"     ? s.cash
                                                        : s.bank;
        const auto invoice = validInvoice.find(nr);
        const std::string_view doc = invoice == validInvoice.end() ? nr : invoice->second.first;
        text.assign(art == "Gebuehr"        ? "Gebühr "
                    : art == "Abschreibung" ? "Abschreibung "
                    : art == "Zahlung"      ? "Zahlung "
                    : art == "Erstattung"   ? "Erstattung "
                    : art == "Rueckbuchung" ? "Rücklastschrift "
                                            : "Storno Zahlung ");
        text.append(nr).append(1, ' ').append(j.text(6));
        if (art == "Gebuehr")
            booking(out, cents, true, s.fees.konto, account.konto, dayOf(j.text(0)), ref.empty() ? doc : ref, nr, text,
                    s.fees.key);
        else if (art == "Abschreibung")
            booking(out, -cents, true, s.loss.konto, s.debitor.konto, dayOf(j.text(0)), doc, nr, text, s.loss.key);
        else
            booking(out, cents, cents < 0, account.konto, s.debitor.konto, dayOf(j.text(0)), doc, nr, text, {});
    }
    Query payouts(db,
                  "select z.ID, z.Gutschrift, sum(p.Brutto - p.Gebuehren) from Auszahlungen z join "
                  "AuszahlungsPosten p on p.Standarduser = z.Standarduser and p.AuszahlungsID = z.ID where "
                  "z.Standarduser = ? and z.Gutschrift between ? and ? group by z.ID, z.Gutschrift order by "
                  "z.Gutschrift, z.ID");
    payouts.bind(1, kRawUser).bind(2, s.fromText).bind(3, s.toText);
    while (payouts.row())
        if (payouts.number(2) > 0)
            booking(out, payouts.number(2), true, s.bank.konto, s.platform.konto, dayOf(payouts.text(1)),
                    payouts.text(0), {}, text.assign("Auszahlung ").append(payouts.text(0)), {});
    return out;
}

QByteArray datevOurs(const gd::Store& store, gd::DatevExport* summary) {
    const gd::Result<gd::DatevExport> ex =
        gd::datevExport(store, gd::datevSetup(gd::currentSettings()), kFrom, kTo, kNow);
    if (!ex.ok()) return {};
    *summary = ex.value();
    summary->bytes.clear();  // not held while the next run makes its own
    return ex.value().bytes;
}

// Both written alike: beside the target, on the disk, then in its place.
void BM_Datev(benchmark::State& state) {
    const gd::Store store = booksStore(state);
    const QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("EXTF_Buchungsstapel.csv"));
    gd::DatevExport summary;
    measure(state, [&] {
        const QByteArray bytes = datevOurs(store, &summary);
        return !bytes.isEmpty() && gd::writeFileSafely(file, bytes).ok();
    });
    QFile written(file);
    g_datevOurs = written.open(QIODevice::ReadOnly) ? written.readAll().toStdString() : std::string();
    state.counters["MB"] = double(g_datevOurs.size()) / 1e6;
    state.SetLabel((state.range(0) == kCommandKiB ? "Befehl: " : "Fenster: ") +
                   gd::datevSummary(summary).toStdString());
}
BENCHMARK(BM_Datev)->Apply(caches)->Iterations(1)->Repetitions(3);

void BM_DatevRaw(benchmark::State& state) {
    const gd::Store store = booksStore(state);
    gd::DatevExport summary;
    if (g_datevOurs.empty()) g_datevOurs = datevOurs(store, &summary).toStdString();
    // The head and the column names depend on the setup alone: taken from ours, not spelt out twice.
    const std::string_view head(g_datevOurs.data(), g_datevOurs.find("\r\n", g_datevOurs.find("\r\n") + 2) + 2);
    const RawSetup setup = rawSetup(gd::datevSetup(gd::currentSettings()), kFrom, kTo, head);
    const QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("EXTF_Buchungsstapel.csv"));
    sqlite3* db = openRaw(store.file, state);
    std::string out;
    measure(state, [&] {
        out = std::string();  // not held while the next run makes its own
        out = datevRaw(db, setup);
        return gd::writeFileSafely(file, QByteArray::fromRawData(out.data(), qsizetype(out.size()))).ok();
    });
    state.counters["MB"] = double(out.size()) / 1e6;
    if (out != g_datevOurs) state.SkipWithError("raw output differs from ours");
}
BENCHMARK(BM_DatevRaw)->Apply(caches)->Iterations(1)->Repetitions(3);

}  // namespace

BENCHMARK_MAIN();
