#pragma once
// What the file (SQLite) and a team's server (PostgreSQL) say differently, written once. Every
// statement is written so that both engines read it alike (coalesce, ON CONFLICT with its key,
// CASE for a truth as a number); where they cannot, the statement takes the piece from its
// database's dialect. Nothing is rewritten by pattern at run time and the server emulates nothing.

#include <QString>

namespace gd {

class Dialect final {
public:
    enum class Engine { File, Server };
    explicit constexpr Dialect(Engine engine) : engine_(engine) {}

    bool onServer() const { return engine_ == Engine::Server; }

    // Whole days from the stored date `stored` ("yyyy-MM-dd[ HH:mm:ss]") to the day `isoDay`.
    QString daysUntil(const QString& stored, const QString& isoDay) const;
    // The search table's rows whose text holds every word of a query made by searchQuery(),
    // bound at the next placeholder.
    QString searchMatches() const;
    // The file's planner told which index to walk (" indexed by NAME"); the server plans by its statistics.
    QString indexedBy(const QString& index) const;
    // A text compared and ordered without regard to case, as the file's NOCASE columns are. The
    // server's columns compare so too, but through a function call per comparison: its lists
    // compare the folded text instead, which its indexes hold.
    QString caseless(const QString& expr) const;
    // The rows a select finds held for this transaction's write (the file has one writer anyway).
    QString forUpdate() const;

    static const Dialect& file();
    static const Dialect& server();

private:
    Engine engine_;
};

}  // namespace gd
