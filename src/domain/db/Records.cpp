#include "domain/db/Records.h"

#include "base/CallStack.h"

namespace gd {

QString checklaenge(const QString& sText) {
    CALLSTACK_MODULE("modGlobal");
    return sText.size() >= 255 ? sText.left(254) : sText;
}

QString milestoneName(int index) {
    if (index < 0 || index >= kMilestones) return QString();
    return QString::fromUtf8(kMilestoneTable[std::size_t(index)].name);
}

}  // namespace gd
