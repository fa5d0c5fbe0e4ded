#include "domain/db/SearchFold.h"

#include <QHash>
#include <QStringList>
#include <algorithm>
#include <iterator>

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace gd {
namespace {

struct Pair {
    const char* from;  // UTF-8
    const char* to;
};
// Letters first (SQLite's lower() knows A–Z only), then the German spellings
// of umlauts; the order matters and is the same on both sides.
constexpr Pair kFold[] = {
    {"Ä", "a"},
    {"ä", "a"},
    {"Ö", "o"},
    {"ö", "o"},
    {"Ü", "u"},
    {"ü", "u"},
    {"ß", "ss"},
    {"ẞ", "ss"},
    {"Æ", "ae"},
    {"æ", "ae"},
    {"Œ", "oe"},
    {"œ", "oe"},
    {"Á", "a"},
    {"á", "a"},
    {"À", "a"},
    {"à", "a"},
    {"Â", "a"},
    {"â", "a"},
    {"Å", "a"},
    {"å", "a"},
    {"Ą", "a"},
    {"ą", "a"},
    {"Ã", "a"},
    {"ã", "a"},
    {"Ç", "c"},
    {"ç", "c"},
    {"Ć", "c"},
    {"ć", "c"},
    {"Č", "c"},
    {"č", "c"},
    {"É", "e"},
    {"é", "e"},
    {"È", "e"},
    {"è", "e"},
    {"Ê", "e"},
    {"ê", "e"},
    {"Ë", "e"},
    {"ë", "e"},
    {"Ę", "e"},
    {"ę", "e"},
    {"Ě", "e"},
    {"ě", "e"},
    {"Í", "i"},
    {"í", "i"},
    {"Ì", "i"},
    {"ì", "i"},
    {"Î", "i"},
    {"î", "i"},
    {"Ï", "i"},
    {"ï", "i"},
    {"İ", "i"},
    {"ı", "i"},
    {"Ł", "l"},
    {"ł", "l"},
    {"Ñ", "n"},
    {"ñ", "n"},
    {"Ń", "n"},
    {"ń", "n"},
    {"Ň", "n"},
    {"ň", "n"},
    {"Ó", "o"},
    {"ó", "o"},
    {"Ò", "o"},
    {"ò", "o"},
    {"Ô", "o"},
    {"ô", "o"},
    {"Õ", "o"},
    {"õ", "o"},
    {"Ø", "o"},
    {"ø", "o"},
    {"Ő", "o"},
    {"ő", "o"},
    {"Ř", "r"},
    {"ř", "r"},
    {"Ś", "s"},
    {"ś", "s"},
    {"Š", "s"},
    {"š", "s"},
    {"Ş", "s"},
    {"ş", "s"},
    {"Ú", "u"},
    {"ú", "u"},
    {"Ù", "u"},
    {"ù", "u"},
    {"Û", "u"},
    {"û", "u"},
    {"Ů", "u"},
    {"ů", "u"},
    {"Ű", "u"},
    {"ű", "u"},
    {"Ý", "y"},
    {"ý", "y"},
    {"Ÿ", "y"},
    {"ÿ", "y"},
    {"Ź", "z"},
    {"ź", "z"},
    {"Ż", "z"},
    {"ż", "z"},
    {"Ž", "z"},
    {"ž", "z"},
    // Greek and Cyrillic: capitals to small letters, accents away, the final sigma as any other.
    {"Ά", "α"},
    {"·", "·"},
    {"Έ", "ε"},
    {"Ή", "η"},
    {"Ί", "ι"},
    {"Ό", "ο"},
    {"Ύ", "υ"},
    {"Ώ", "ω"},
    {"ΐ", "ι"},
    {"Α", "α"},
    {"Β", "β"},
    {"Γ", "γ"},
    {"Δ", "δ"},
    {"Ε", "ε"},
    {"Ζ", "ζ"},
    {"Η", "η"},
    {"Θ", "θ"},
    {"Ι", "ι"},
    {"Κ", "κ"},
    {"Λ", "λ"},
    {"Μ", "μ"},
    {"Ν", "ν"},
    {"Ξ", "ξ"},
    {"Ο", "ο"},
    {"Π", "π"},
    {"Ρ", "ρ"},
    {"Σ", "σ"},
    {"Τ", "τ"},
    {"Υ", "υ"},
    {"Φ", "φ"},
    {"Χ", "χ"},
    {"Ψ", "ψ"},
    {"Ω", "ω"},
    {"Ϊ", "ι"},
    {"Ϋ", "υ"},
    {"ά", "α"},
    {"έ", "ε"},
    {"ή", "η"},
    {"ί", "ι"},
    {"ΰ", "υ"},
    {"ς", "σ"},
    {"ϊ", "ι"},
    {"ϋ", "υ"},
    {"ό", "ο"},
    {"ύ", "υ"},
    {"ώ", "ω"},
    {"Ѐ", "е"},
    {"Ё", "е"},
    {"Ђ", "ђ"},
    {"Ѓ", "ѓ"},
    {"Є", "є"},
    {"Ѕ", "ѕ"},
    {"І", "і"},
    {"Ї", "ї"},
    {"Ј", "ј"},
    {"Љ", "љ"},
    {"Њ", "њ"},
    {"Ћ", "ћ"},
    {"Ќ", "ќ"},
    {"Ѝ", "и"},
    {"Ў", "ў"},
    {"Џ", "џ"},
    {"А", "а"},
    {"Б", "б"},
    {"В", "в"},
    {"Г", "г"},
    {"Д", "д"},
    {"Е", "е"},
    {"Ж", "ж"},
    {"З", "з"},
    {"И", "и"},
    {"Й", "й"},
    {"К", "к"},
    {"Л", "л"},
    {"М", "м"},
    {"Н", "н"},
    {"О", "о"},
    {"П", "п"},
    {"Р", "р"},
    {"С", "с"},
    {"Т", "т"},
    {"У", "у"},
    {"Ф", "ф"},
    {"Х", "х"},
    {"Ц", "ц"},
    {"Ч", "ч"},
    {"Ш", "ш"},
    {"Щ", "щ"},
    {"Ъ", "ъ"},
    {"Ы", "ы"},
    {"Ь", "ь"},
    {"Э", "э"},
    {"Ю", "ю"},
    {"Я", "я"},
    {"ё", "е"},
    {"ѐ", "е"},
    {"ѝ", "и"},
    {"Ґ", "ґ"},
    {"ae", "a"},
    {"oe", "o"},
    {"ue", "u"},
};

}  // namespace

QStringList foldViewsSql(const QString& source, const QString& text, const QString& view) {
    // SQLite's parser stack holds some thirty nested calls: the replacements go in steps of views.
    constexpr int kStep = 20;
    constexpr int kPairs = int(std::size(kFold));
    QStringList views;
    QString from = QStringLiteral("(SELECT docid, lower(%1) AS t FROM %2)").arg(text, source);
    for (int first = 0; first < kPairs; first += kStep) {
        QString expr = QStringLiteral("t");
        for (int i = first; i < std::min(first + kStep, kPairs); ++i)
            expr = QStringLiteral("replace(%1, '%2', '%3')")
                       .arg(expr, QString::fromUtf8(kFold[i].from), QString::fromUtf8(kFold[i].to));
        const bool last = first + kStep >= kPairs;
        const QString name = last ? view : QStringLiteral("%1_%2").arg(view).arg(first / kStep);
        views << QStringLiteral("CREATE VIEW IF NOT EXISTS %1 AS SELECT docid, %2 AS %3 FROM %4;")
                     .arg(name, expr, last ? QStringLiteral("Text") : QStringLiteral("t"), from);
        from = name;
    }
    return views;
}

QString foldFunctionSql(const QString& name) {
    // A server's translate() compares every character with every one it replaces: one call with all
    // the letters cost milliseconds a mail. So the letters go in groups, each replaced only where a
    // pattern (one scan) finds one of them; A-Z first, the letters that become two, then the spellings.
    constexpr int kGroup = 16;
    QStringList body{QStringLiteral("t := lower(t COLLATE \"C\");")};  // under C, lower() knows A-Z only
    QString from, to;
    QStringList wide, spellings;
    const auto flush = [&] {
        if (from.isEmpty()) return;
        body << QStringLiteral("IF t ~ '[%1]' THEN t := translate(t, '%1', '%2'); END IF;").arg(from, to);
        from.clear();
        to.clear();
    };
    for (const Pair& p : kFold) {
        const QString f = QString::fromUtf8(p.from), t = QString::fromUtf8(p.to);
        if (f.size() > 1) {
            spellings << QStringLiteral("t := replace(t, '%1', '%2');").arg(f, t);
        } else if (t.size() > 1) {
            wide << QStringLiteral("t := replace(t, '%1', '%2');").arg(f, t);
        } else {
            from += f;
            to += t;
            if (from.size() == kGroup) flush();
        }
    }
    flush();
    return QStringLiteral(
               "CREATE FUNCTION %1(t text) RETURNS text LANGUAGE plpgsql IMMUTABLE AS $$\nBEGIN\n  %2\n  "
               "RETURN t;\nEND $$;")
        .arg(name, (body + wide + spellings).join(QStringLiteral("\n  ")));
}

QString foldForSearch(const QString& text) {
    // The letters in one pass (none of them can make another one appear), then the
    // three spellings in their order, each over the whole text, as replace() does.
    static const QHash<QChar, QString> letters = [] {
        QHash<QChar, QString> m;
        for (const Pair& p : kFold) {
            const QString from = QString::fromUtf8(p.from);
            if (from.size() == 1) m.insert(from[0], QString::fromUtf8(p.to));
        }
        return m;
    }();
    QString t;
    t.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() >= 'A' && c.unicode() <= 'Z') {
            t += QChar(c.unicode() + ('a' - 'A'));
        } else if (c.unicode() < 128) {
            t += c;
        } else {
            const auto it = letters.constFind(c);
            if (it == letters.constEnd())
                t += c;
            else
                t += it.value();
        }
    }
    // Made once: building them at every call cost more than the folding itself.
    static const QList<std::pair<QString, QString>> spellings = [] {
        QList<std::pair<QString, QString>> l;
        for (const Pair& p : kFold)
            if (QString::fromUtf8(p.from).size() > 1) l.append({QString::fromUtf8(p.from), QString::fromUtf8(p.to)});
        return l;
    }();
    for (const auto& [from, to] : spellings)
        if (t.contains(from)) t.replace(from, to);
    return t;
}

QString searchQuery(const QString& typed) {
    // Words as the index's tokenizer cuts them: runs of ASCII letters and digits
    // and of anything beyond ASCII. Nothing else reaches the query, so no
    // operator or quote the user types can change its meaning.
    QStringList words;
    QString word;
    const QString folded = foldForSearch(typed);
    for (const QChar c : folded) {
        const bool inWord = c.unicode() >= 128 || (c.unicode() < 128 && c.isLetterOrNumber());
        if (inWord) {
            word += c;
        } else if (!word.isEmpty()) {
            words << word + QLatin1Char('*');
            word.clear();
        }
    }
    if (!word.isEmpty()) words << word + QLatin1Char('*');
    return words.join(QLatin1Char(' '));
}

void addFoldFunction(sqlite3* db) {
    sqlite3_create_function_v2(
        db, "gd_fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
        [](sqlite3_context* ctx, int, sqlite3_value** argv) {
            const auto* in = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
            const QByteArray out =
                foldForSearch(QString::fromUtf8(in ? in : "", sqlite3_value_bytes(argv[0]))).toUtf8();
            sqlite3_result_text(ctx, out.constData(), int(out.size()), SQLITE_TRANSIENT);
        },
        nullptr, nullptr, nullptr);
}

}  // namespace gd
