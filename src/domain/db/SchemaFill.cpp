#include "domain/db/SchemaFill.h"

#include <sqlite3.h>

#include <map>

#include "domain/db/SqliteError.h"

namespace gd {

void withStatements(sqlite3* db, const std::function<void(const OpeningRows&, const OpeningExec&)>& fill) {
    std::map<QString, sqlite3_stmt*> prepared;
    const auto prepare = [&](const QString& sql) {
        auto it = prepared.find(sql);
        if (it == prepared.end()) {
            sqlite3_stmt* st = nullptr;
            const int rc = sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr);
            if (rc != SQLITE_OK) throwSqlite(db, rc);
            it = prepared.emplace(sql, st).first;
        }
        sqlite3_reset(it->second);
        return it->second;
    };
    const auto bind = [](sqlite3_stmt* st, const QVariantList& params) {
        for (int i = 0; i < int(params.size()); ++i) {
            const QVariant& v = params[i];
            if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int)
                sqlite3_bind_int64(st, i + 1, v.toLongLong());
            else {
                const QByteArray t = v.toString().toUtf8();
                sqlite3_bind_text(st, i + 1, t.constData(), int(t.size()), SQLITE_TRANSIENT);
            }
        }
    };
    try {
        fill(
            [&](const QString& sql, const std::function<void(const QVariantList&)>& row) {
                sqlite3_stmt* st = prepare(sql);
                int rc;
                while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
                    QVariantList v;
                    for (int i = 0; i < sqlite3_column_count(st); ++i)
                        v << (sqlite3_column_type(st, i) == SQLITE_INTEGER
                                  ? QVariant(qint64(sqlite3_column_int64(st, i)))
                                  : QVariant(
                                        QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                                                          sqlite3_column_bytes(st, i))));
                    row(v);
                }
                if (rc != SQLITE_DONE) throwSqlite(db, rc);
            },
            [&](const QString& sql, const QVariantList& params) {
                sqlite3_stmt* st = prepare(sql);
                bind(st, params);
                const int rc = sqlite3_step(st);
                if (rc != SQLITE_DONE) throwSqlite(db, rc);
            });
    } catch (...) {
        for (auto& [sql, st] : prepared) sqlite3_finalize(st);
        throw;
    }
    for (auto& [sql, st] : prepared) sqlite3_finalize(st);
}

}  // namespace gd
