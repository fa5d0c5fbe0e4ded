#include "domain/db/Dialect.h"

namespace gd {

QString Dialect::daysUntil(const QString& stored, const QString& isoDay) const {
    const QString day = QStringLiteral("substr(%1, 1, 10)").arg(stored);
    if (onServer()) return QStringLiteral("(date '%1' - cast(%2 as date))").arg(isoDay, day);
    return QStringLiteral("cast(julianday('%1') - julianday(%2) as integer)").arg(isoDay, day);
}

// The server's table keeps the words as a tsvector; gd_suche() reads a query of the file's form.
QString Dialect::searchMatches() const {
    return onServer() ? QStringLiteral("Suche.vektor @@ gd_suche(?)") : QStringLiteral("Suche match ?");
}

QString Dialect::indexedBy(const QString& index) const {
    return onServer() ? QString() : QStringLiteral(" indexed by ") + index;
}

QString Dialect::caseless(const QString& expr) const {
    // ucs_basic orders by code point as the file does; a quoted "C" would be folded as a name.
    return onServer() ? QStringLiteral("(lower(cast(%1 as text)) COLLATE ucs_basic)").arg(expr) : expr;
}

QString Dialect::forUpdate() const { return onServer() ? QStringLiteral(" for update") : QString(); }

const Dialect& Dialect::file() {
    static const Dialect d(Engine::File);
    return d;
}

const Dialect& Dialect::server() {
    static const Dialect d(Engine::Server);
    return d;
}

}  // namespace gd
