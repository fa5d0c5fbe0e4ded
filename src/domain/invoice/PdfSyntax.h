#pragma once
// The pieces of PDF's syntax the invoice reader needs: values, their lexer, and the stream
// filters a PDF/A may use. Each is bounded; a bound reached or damage found is thrown as a
// Refusal, which the reader turns into its German sentence.

#include <QByteArray>
#include <QList>
#include <QString>

namespace gd::pdf {

// Values parsed on the way to the invoice; a catalog, a name tree and a file take hundreds.
inline constexpr qsizetype kMostValues = 200000;
inline constexpr int kMostDepth = 32;

struct Refusal {
    bool bound;  // a limit, not damage: reading the file another way does not help
    QString why;
};
[[noreturn]] void damaged(const QString& why);
[[noreturn]] void tooMuch(const QString& why);

struct Value {
    enum class Kind : quint8 { Null, Bool, Number, Name, String, Array, Dict, Ref, Keyword };
    Kind kind = Kind::Null;
    bool real = false;
    qint64 integer = 0;  // numbers, truth, a reference's object number
    QByteArray text;     // names (without the slash), strings, keywords
    QList<Value> items;  // an array's elements; a dictionary's keys and values in turn

    bool is(Kind k) const { return kind == k; }
    bool isInt() const { return kind == Kind::Number && !real; }
    bool isName(const char* n) const { return kind == Kind::Name && text == n; }
    const Value* get(const char* key) const {
        if (kind != Kind::Dict) return nullptr;
        for (qsizetype i = 0; i + 1 < items.size(); i += 2)
            if (items[i].text == key) return &items[i + 1];
        return nullptr;
    }
};

bool isSpace(char c);
bool isDelimiter(char c);

// Reads values from `d` at `pos`; `values` counts every value of one reading against kMostValues.
class Lexer {
public:
    Lexer(const QByteArray& d, qsizetype at, qsizetype& values) : d_(d), pos(at), values_(values) {}

    void skipSpace();
    QByteArray word();
    // A non-negative integer, or -1 (and nothing consumed).
    qint64 unsignedInt();
    bool keyword(const char* k);
    // One value; "12 0 R" is read as a reference.
    Value value(int depth);

    const QByteArray& d_;
    qsizetype pos;

private:
    Value name();
    Value hexString();
    Value literalString();

    qsizetype& values_;
};

// zlib data unpacked, refused with `what` beyond `limit` bytes; a stream cut short keeps what came.
QByteArray inflated(const QByteArray& in, qsizetype limit, const QString& what);
QByteArray fromHex(const QByteArray& in);
QByteArray fromAscii85(const QByteArray& in);
// PNG predictors, the ones cross-reference streams are written with.
QByteArray unpredicted(const QByteArray& in, const Value* parms);
// A PDF text string: UTF-16 or UTF-8 by their marks, else as Latin-1.
QString textOf(const QByteArray& s);

}  // namespace gd::pdf
