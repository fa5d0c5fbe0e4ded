#include "base/Clock.h"

namespace gd {
namespace {
const Clock* g_clock = nullptr;
}

QDateTime now() { return g_clock ? g_clock->now() : QDateTime::currentDateTime(); }
QDate today() { return now().date(); }
QDateTime nowUtc() { return g_clock ? g_clock->now().toUTC() : QDateTime::currentDateTimeUtc(); }
void setClock(const Clock* c) { g_clock = c; }

}  // namespace gd
