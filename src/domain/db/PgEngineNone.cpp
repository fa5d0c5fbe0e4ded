// A build without the server's client library (the Windows build): a server address is refused
// in German, and nothing else changes.
#include "domain/db/PgEngine.h"

namespace gd {

namespace {
[[noreturn]] void refuse() {
    throw DbError(3151, QStringLiteral("Diese Ausgabe von Gaveldesk kann keinen Datenbankserver verwenden; sie "
                                       "arbeitet nur mit einer Datenbankdatei."));
}
}  // namespace

PgConnection::~PgConnection() = default;
PgResult& PgResult::operator=(PgResult&& o) noexcept {
    r_ = o.r_;
    o.r_ = nullptr;
    return *this;
}
PgResult::~PgResult() = default;
int PgResult::rows() const { return 0; }
int PgResult::columns() const { return 0; }
QString pgKeyringKey(const QString& url) { return url; }
std::optional<QString> keptPassword(const QString&) { return std::nullopt; }
void pgKeepPassword(const QString&, const QString&) {}
PgStatement pgLastStatement() { return {}; }
std::shared_ptr<PgConnection> pgConnect(const QString&, const PgLogin&, bool) { refuse(); }
QString pgSql(const QString& sql) { return sql; }
PgResult pgRun(PgConnection&, const QString&, const Params&) { refuse(); }
PgResult pgExec(PgConnection&, const char*) { refuse(); }
void pgCopyIn(PgConnection&, const QString&, const QStringList&,
              const std::function<void(const std::function<void(const Params&)>&)>&) {
    refuse();
}
QVariant pgValue(const PGresult*, int, int) { return {}; }
QStringList pgColumnNames(PgConnection&, const PGresult*) { return {}; }
void pgStream(PgConnection&, const QString&, const Params&, const std::function<void(const PGresult*)>&,
              const std::function<void(const PGresult*)>&) {
    refuse();
}
bool pgBroken(const PgConnection&) { return true; }
const char* pgCell(const PGresult*, int, int) { return nullptr; }
int pgCellLength(const PGresult*, int, int) { return 0; }
void pgExecQuietly(PgConnection&, const char*) {}
bool pgInTransaction(const PgConnection&) { return false; }
std::shared_ptr<PgConnection> pgListen(const QString&) { refuse(); }
int pgSocket(const PgConnection&) { return -1; }
int pgTakeNotices(PgConnection&) { return -1; }

}  // namespace gd
