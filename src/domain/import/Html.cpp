#include "domain/import/Html.h"

#include <QByteArray>
#include <algorithm>
#include <array>
#include <vector>

namespace gd {
namespace {

// An entity name of up to eight letters as one number.
template <class Char>
quint64 nameKey(const Char* name, qsizetype len) {
    quint64 key = 0;
    for (qsizetype i = 0; i < len; ++i) key = (key << 8) | quint64(name[i] & 0xFF);
    return key;
}

struct KeyedEntity {
    quint64 key;
    char16_t code;
};

// Latin-1 by name, typography, and the letters of names from all over Europe; sorted by key.
const std::vector<KeyedEntity>& entities() {
    static const std::vector<KeyedEntity> table = [] {
        static const char* const latin1[96] = {
            "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",
            "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",
            "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12",
            "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
            "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde",
            "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",
            "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",
            "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",
            "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
            "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};
        static const std::pair<const char*, char16_t> more[] = {
            {"amp", 38},        {"lt", 60},        {"gt", 62},         {"quot", 34},       {"apos", 39},
            {"euro", 0x20AC},   {"ndash", 0x2013}, {"mdash", 0x2014},  {"lsquo", 0x2018},  {"rsquo", 0x2019},
            {"sbquo", 0x201A},  {"ldquo", 0x201C}, {"rdquo", 0x201D},  {"bdquo", 0x201E},  {"hellip", 0x2026},
            {"bull", 0x2022},   {"trade", 0x2122}, {"permil", 0x2030}, {"lsaquo", 0x2039}, {"rsaquo", 0x203A},
            {"dagger", 0x2020}, {"ensp", 0x2002},  {"emsp", 0x2003},   {"thinsp", 0x2009}, {"zwnj", 0x200C},
            {"zwj", 0x200D},    {"OElig", 0x152},  {"oelig", 0x153},   {"Yuml", 0x178},    {"Aogon", 0x104},
            {"aogon", 0x105},   {"Cacute", 0x106}, {"cacute", 0x107},  {"Ccaron", 0x10C},  {"ccaron", 0x10D},
            {"Dcaron", 0x10E},  {"dcaron", 0x10F}, {"Eogon", 0x118},   {"eogon", 0x119},   {"Ecaron", 0x11A},
            {"ecaron", 0x11B},  {"Gbreve", 0x11E}, {"gbreve", 0x11F},  {"Idot", 0x130},    {"imath", 0x131},
            {"Lstrok", 0x141},  {"lstrok", 0x142}, {"Nacute", 0x143},  {"nacute", 0x144},  {"Ncaron", 0x147},
            {"ncaron", 0x148},  {"Odblac", 0x150}, {"odblac", 0x151},  {"Rcaron", 0x158},  {"rcaron", 0x159},
            {"Sacute", 0x15A},  {"sacute", 0x15B}, {"Scedil", 0x15E},  {"scedil", 0x15F},  {"Scaron", 0x160},
            {"scaron", 0x161},  {"Tcaron", 0x164}, {"tcaron", 0x165},  {"Uring", 0x16E},   {"uring", 0x16F},
            {"Udblac", 0x170},  {"udblac", 0x171}, {"Zacute", 0x179},  {"zacute", 0x17A},  {"Zdot", 0x17B},
            {"zdot", 0x17C},    {"Zcaron", 0x17D}, {"zcaron", 0x17E}};
        std::vector<KeyedEntity> keyed;
        const auto add = [&keyed](const char* name, char16_t code) {
            keyed.push_back({nameKey(name, qstrlen(name)), code});
        };
        for (int i = 0; i < 96; ++i) add(latin1[i], char16_t(160 + i));
        for (const auto& [name, code] : more) add(name, code);
        std::sort(keyed.begin(), keyed.end(), [](const KeyedEntity& a, const KeyedEntity& b) { return a.key < b.key; });
        return keyed;
    }();
    return table;
}

bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; }
bool isAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool isAsciiAlnum(char16_t c) { return isAsciiLetter(c) || (c >= u'0' && c <= u'9'); }

enum class Tag { Other, Block, Paragraph, Break, Cell, Pre, Head, Body, RawText, Hr };

// A tag name as a number: up to seven letters and the length, so one comparison
// tells two names apart (longer names differ by length or start).
constexpr quint64 tagKey(const char* name, qsizetype len) {
    quint64 key = quint64(len) << 56;
    for (qsizetype i = 0; i < len && i < 7; ++i) key |= quint64(uchar(name[i])) << (8 * (6 - i));
    return key;
}

struct TagRole {
    quint64 key;
    Tag role;
};

std::vector<TagRole> buildTags() {
    std::vector<TagRole> all;
    const auto add = [&all](std::initializer_list<const char*> names, Tag role) {
        for (const char* n : names) all.push_back({tagKey(n, qsizetype(qstrlen(n))), role});
    };
    add({"address", "article",  "aside",      "blockquote", "caption", "center", "dd",     "details", "div", "dl",
         "dt",      "fieldset", "figcaption", "figure",     "footer",  "form",   "header", "legend",  "li",  "main",
         "nav",     "ol",       "section",    "summary",    "tbody",   "tfoot",  "thead",  "tr",      "ul"},
        Tag::Block);
    add({"p", "h1", "h2", "h3", "h4", "h5", "h6", "table"}, Tag::Paragraph);
    add({"script", "style", "title", "template", "textarea", "xmp"}, Tag::RawText);
    add({"br"}, Tag::Break);
    add({"td", "th"}, Tag::Cell);
    add({"pre", "listing"}, Tag::Pre);
    add({"head"}, Tag::Head);
    add({"body"}, Tag::Body);
    add({"hr"}, Tag::Hr);
    std::sort(all.begin(), all.end(), [](const TagRole& a, const TagRole& b) { return a.key < b.key; });
    return all;
}

// What a tag does to the text; names compared lower case.
Tag classify(const char* name, qsizetype len) {
    static const std::vector<TagRole> tags = buildTags();
    const quint64 key = tagKey(name, len);
    std::size_t lo = 0, hi = tags.size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (tags[mid].key < key)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo < tags.size() && tags[lo].key == key ? tags[lo].role : Tag::Other;
}

// A page shrinks to its text; the rare output that outgrows the input grows the buffer.
class TextOut {
public:
    explicit TextOut(qsizetype inputSize) : out_(inputSize + 16, Qt::Uninitialized), w_(out_.data()) {}
    void space() { space_ = true; }
    void breaks(int n) {
        if (w_ != out_.data()) breaks_ = std::max(breaks_, n);
    }
    void hardBreak() {
        ++breaks_;
        space_ = false;
    }
    void put(QChar c) {
        // The bound above holds; this keeps a mistake in it from writing past the end.
        if (out_.data() + out_.size() - w_ < 2 * breaks_ + 2) grow();
        if (breaks_ > 0) {
            for (int i = 0; i < breaks_; ++i) {
                *w_++ = u'\r';
                *w_++ = u'\n';
            }
            breaks_ = 0;
        } else if (space_ && w_ != out_.data() && w_[-1] != u'\n') {
            *w_++ = u' ';
        }
        space_ = false;
        *w_++ = c;
    }
    // Text of <pre>: line ends kept, blanks kept.
    void putRaw(QChar c) {
        if (c == u'\r') return;
        if (c == u'\n')
            hardBreak();
        else if (c == u' ' || c == u'\t') {
            if (breaks_ == 0 && out_.data() + out_.size() - w_ > 1)
                *w_++ = c;
            else
                put(c);
        } else
            put(c);
    }
    QString take() {
        out_.truncate(w_ - out_.data());
        return std::move(out_);
    }

private:
    void grow() {
        const qsizetype used = w_ - out_.data();
        out_.resize(out_.size() * 2 + 2 * breaks_ + 16);
        w_ = out_.data() + used;
    }
    QString out_;
    QChar* w_;
    bool space_ = false;
    int breaks_ = 0;
};

// "&…;" at i: the character and the length taken, or {0, 0} when it is no entity.
std::pair<char32_t, qsizetype> entityAt(const char16_t* s, qsizetype n, qsizetype i) {
    qsizetype j = i + 1;
    if (j < n && s[j] == u'#') {
        ++j;
        const bool hex = j < n && (s[j] == u'x' || s[j] == u'X');
        if (hex) ++j;
        char32_t v = 0;
        const qsizetype start = j;
        while (j < n && j - start < 8) {
            const char16_t c = s[j];
            int d = -1;
            if (c >= u'0' && c <= u'9')
                d = c - u'0';
            else if (hex && c >= u'a' && c <= u'f')
                d = c - u'a' + 10;
            else if (hex && c >= u'A' && c <= u'F')
                d = c - u'A' + 10;
            if (d < 0) break;
            v = v * (hex ? 16 : 10) + char32_t(d);
            ++j;
        }
        if (j == start) return {0, 0};
        if (j < n && s[j] == u';') ++j;
        if (v == 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) v = 0xFFFD;
        return {v, j - i};
    }
    while (j < n && j - i <= 8 && isAsciiAlnum(s[j])) ++j;
    if (j >= n || s[j] != u';' || j == i + 1 || j - i > 8) return {0, 0};
    const quint64 key = nameKey(s + i + 1, j - i - 1);
    const auto& table = entities();
    std::size_t lo = 0, hi = table.size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (table[mid].key < key)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == table.size() || table[lo].key != key) return {0, 0};
    return {table[lo].code, j + 1 - i};
}

// Position after the end of "</name" (case-insensitive) and its ">", or the end of the text.
qsizetype skipRawText(QStringView s, qsizetype from, QLatin1StringView name) {
    const QString closing = QStringLiteral("</") + name;
    const qsizetype at = s.indexOf(closing, from, Qt::CaseInsensitive);
    if (at < 0) return s.size();
    const qsizetype gt = s.indexOf(u'>', at);
    return gt < 0 ? s.size() : gt + 1;
}

}  // namespace

QString htmlToText(QStringView s) {
    TextOut out(s.size());
    const char16_t* p = s.utf16();
    const qsizetype n = s.size();
    int pre = 0;
    bool inHead = false;
    char name[16];
    qsizetype i = 0;
    while (i < n) {
        const char16_t c = p[i];
        if (c == u'<' && i + 1 < n) {
            const char16_t next = p[i + 1];
            if (next == u'!') {
                // Comments, doctype and CDATA show nothing.
                if (s.mid(i, 4) == QLatin1StringView("<!--")) {
                    const qsizetype end = s.indexOf(QLatin1StringView("-->"), i + 4);
                    i = end < 0 ? n : end + 3;
                } else {
                    const qsizetype end = s.indexOf(u'>', i + 2);
                    i = end < 0 ? n : end + 1;
                }
                continue;
            }
            if (next == u'?') {
                const qsizetype end = s.indexOf(u'>', i + 2);
                i = end < 0 ? n : end + 1;
                continue;
            }
            const bool closing = next == u'/';
            qsizetype j = i + (closing ? 2 : 1);
            if (j < n && isAsciiLetter(p[j])) {
                int len = 0;
                while (j < n && (isAsciiAlnum(p[j]) || p[j] == u'-')) {
                    if (len < int(sizeof name)) name[len] = char(p[j] | 0x20);
                    ++len;
                    ++j;
                }
                // Attributes up to the tag's end; quotes may hold ">".
                char16_t quote = 0;
                while (j < n) {
                    const char16_t t = p[j];
                    if (quote) {
                        if (t == quote) quote = 0;
                    } else if (t == u'"' || t == u'\'') {
                        quote = t;
                    } else if (t == u'>') {
                        break;
                    }
                    ++j;
                }
                i = j < n ? j + 1 : n;
                const QLatin1StringView tag(name, len <= int(sizeof name) ? len : 0);
                switch (classify(name, tag.size())) {
                    case Tag::Head:
                        inHead = !closing;
                        break;
                    case Tag::Body:
                        inHead = false;
                        break;
                    case Tag::RawText:
                        if (!closing) i = skipRawText(s, i, tag);
                        break;
                    case Tag::Break:
                        if (!inHead) out.hardBreak();
                        break;
                    case Tag::Cell:
                        out.space();
                        break;
                    case Tag::Pre:
                        pre = closing ? std::max(0, pre - 1) : pre + 1;
                        out.breaks(1);
                        break;
                    case Tag::Hr:
                    case Tag::Block:
                        out.breaks(1);
                        break;
                    case Tag::Paragraph:
                        out.breaks(2);
                        break;
                    case Tag::Other:
                        break;
                }
                continue;
            }
            // A "<" that opens no tag is text.
        }
        ++i;
        if (inHead) continue;
        if (c == u'&') {
            const auto [code, taken] = entityAt(p, n, i - 1);
            if (taken > 0) {
                i += taken - 1;
                if (code == 0xAD || code == 0x200C || code == 0x200D) continue;  // invisible
                // A non-breaking blank copies as a blank, and rules are written with blanks.
                const char32_t shown = code == 0xA0 ? U' ' : code;
                if (shown == U' ') {
                    out.put(QLatin1Char(' '));
                    continue;
                }
                if (QChar::requiresSurrogates(shown)) {
                    out.put(QChar(QChar::highSurrogate(shown)));
                    out.put(QChar(QChar::lowSurrogate(shown)));
                } else {
                    out.put(QChar(char16_t(shown)));
                }
                continue;
            }
        }
        if (pre > 0)
            out.putRaw(QChar(c));
        else if (isSpace(c))
            out.space();
        else
            out.put(QChar(c));
    }
    return out.take();
}

QByteArray htmlMetaCharset(const QByteArray& html) {
    const QByteArray head = html.left(4096).toLower();
    qsizetype at = 0;
    while ((at = head.indexOf("<meta", at)) >= 0) {
        const qsizetype end = head.indexOf('>', at);
        const QByteArray tag = head.mid(at, end < 0 ? -1 : end - at);
        const qsizetype cs = tag.indexOf("charset=");
        if (cs >= 0) {
            qsizetype b = cs + 8;
            while (b < tag.size() && (tag[b] == '"' || tag[b] == '\'' || tag[b] == ' ')) ++b;
            qsizetype e = b;
            while (e < tag.size() && (isAsciiAlnum(char16_t(uchar(tag[e]))) || tag[e] == '-' || tag[e] == '_')) ++e;
            if (e > b) return tag.mid(b, e - b);
        }
        at += 5;
    }
    return QByteArray();
}

}  // namespace gd
