#include "base/CallStack.h"

#include <QDateTime>
#include <QHash>
#include <array>
#include <mutex>

namespace gd {
namespace {

// The time is kept as UTC milliseconds: the local-time conversion costs a
// time-zone lookup and happens only when the trace is shown.
struct Entry {
    QString signature;
    qint64 msecs = 0;
};

struct Ring {
    std::mutex mutex;
    std::array<Entry, CallStack::kMaxEntries> items;
    int next = 0;   // slot the next entry goes to
    int count = 0;  // filled items
};

Ring& ring() {
    static Ring r;
    return r;
}

QString trimmed(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())).trimmed(); }

// A C++ parameter type as the Basic type word of the trace (QString: String, int: Long).
QString vbType(QString t) {
    t.remove(QStringLiteral("const "));
    t.remove(QLatin1Char('&'));
    t.remove(QLatin1Char('*'));
    t = t.trimmed();
    const int colon = t.lastIndexOf(QStringLiteral("::"));
    if (colon >= 0 && !t.contains(QLatin1Char('<'))) t = t.mid(colon + 2);
    static const QHash<QString, QString> words = {
        {QStringLiteral("QString"), QStringLiteral("String")},
        {QStringLiteral("QStringView"), QStringLiteral("String")},
        {QStringLiteral("bool"), QStringLiteral("Boolean")},
        {QStringLiteral("int"), QStringLiteral("Long")},
        {QStringLiteral("qint32"), QStringLiteral("Long")},
        {QStringLiteral("short"), QStringLiteral("Integer")},
        {QStringLiteral("short int"), QStringLiteral("Integer")},
        {QStringLiteral("long"), QStringLiteral("Long")},
        {QStringLiteral("qint16"), QStringLiteral("Integer")},
        {QStringLiteral("double"), QStringLiteral("Double")},
        {QStringLiteral("QDateTime"), QStringLiteral("Date")},
        {QStringLiteral("QDate"), QStringLiteral("Date")},
        {QStringLiteral("QVariant"), QStringLiteral("Variant")},
        {QStringLiteral("QStringList"), QStringLiteral("Collection")},
    };
    return words.value(t, t);
}

QStringList splitParams(const QString& params) {
    QStringList out;
    int depth = 0;
    QString cur;
    for (QChar c : params) {
        if (c == QLatin1Char('<') || c == QLatin1Char('(')) ++depth;
        if (c == QLatin1Char('>') || c == QLatin1Char(')')) --depth;
        if (c == QLatin1Char(',') && depth == 0) {
            out << cur.trimmed();
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.trimmed().isEmpty()) out << cur.trimmed();
    return out;
}

}  // namespace

void CallStack::push(const QString& signature) {
    Ring& r = ring();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    std::lock_guard lock(r.mutex);
    r.items[std::size_t(r.next)] = Entry{signature, now};
    r.next = (r.next + 1) % kMaxEntries;
    if (r.count < kMaxEntries) ++r.count;
}

QStringList CallStack::entries() {
    Ring& r = ring();
    std::lock_guard lock(r.mutex);
    QStringList out;
    out.reserve(r.count);
    for (int i = 1; i <= r.count; ++i) {
        const Entry& e = r.items[std::size_t((r.next - i + kMaxEntries) % kMaxEntries)];
        out << e.signature + QLatin1Char(' ') +
                   QDateTime::fromMSecsSinceEpoch(e.msecs).time().toString(QStringLiteral("hh:mm:ss"));
    }
    return out;
}

void CallStack::clear() {
    Ring& r = ring();
    std::lock_guard lock(r.mutex);
    r.next = 0;
    r.count = 0;
}

QString makeSignature(std::string_view module, std::string_view pretty) {
    // "RET ns::Class::name(PARAMS) [const]" -> pieces; lambdas and templates keep their text.
    const QString text = trimmed(pretty);
    const int open = text.indexOf(QLatin1Char('('));
    const int close = text.lastIndexOf(QLatin1Char(')'));
    QString head = open >= 0 ? text.left(open).trimmed() : text;
    const QString params = (open >= 0 && close > open) ? text.mid(open + 1, close - open - 1) : QString();

    // The name is the last word of the head; what stands before it is the return type.
    int nameStart = head.size();
    int depth = 0;
    while (nameStart > 0) {
        const QChar c = head.at(nameStart - 1);
        if (c == QLatin1Char('>')) ++depth;
        if (c == QLatin1Char('<')) --depth;
        if (c == QLatin1Char(' ') && depth == 0) break;
        --nameStart;
    }
    QString qualified = head.mid(nameStart);
    const QString ret =
        head.left(nameStart).trimmed().remove(QStringLiteral("static ")).remove(QStringLiteral("virtual "));
    const QStringList parts = qualified.split(QStringLiteral("::"));
    const QString name = parts.last();
    // A member of a form or class reads as the form's private handler; a free function as public.
    // Our namespaces are lower case; forms (frm...), controls (ctl...) and classes are not.
    const QString owner = parts.size() >= 2 ? parts.at(parts.size() - 2) : QString();
    const bool member = !owner.isEmpty() && (owner.front().isUpper() || owner.startsWith(QStringLiteral("frm")) ||
                                             owner.startsWith(QStringLiteral("ctl")));

    QStringList vbParams;
    if (params.trimmed() != QStringLiteral("void"))
        for (const QString& p : splitParams(params)) vbParams << vbType(p);
    QString decl = member ? QStringLiteral("Private ") : QStringLiteral("Public ");
    const bool isSub = ret.isEmpty() || ret == QStringLiteral("void");
    decl += isSub ? QStringLiteral("Sub ") : QStringLiteral("Function ");
    decl += name + QLatin1Char('(') + vbParams.join(QStringLiteral(", ")) + QLatin1Char(')');
    if (!isSub) decl += QStringLiteral(" As ") + vbType(ret);
    return QLatin1Char('[') + trimmed(module) + QStringLiteral("] ") + decl;
}

}  // namespace gd
