#include "domain/db/Records.h"

#include "base/CallStack.h"

namespace gd {

QString checklaenge(const QString& sText) {
    CALLSTACK_MODULE("modGlobal");
    return sText.size() >= 255 ? sText.left(254) : sText;
}

bool sameContact(const tKunde& a, const tKunde& b) {
    return a.Name == b.Name && a.Strasse == b.Strasse && a.Ort == b.Ort && a.Land == b.Land && a.Email == b.Email &&
           a.ebayName == b.ebayName && a.Kunde == b.Kunde && a.Lieferant == b.Lieferant;
}

QString milestoneName(int index) {
    if (index < 0 || index >= kMilestones) return QString();
    return QString::fromUtf8(kMilestoneTable[std::size_t(index)].name);
}

}  // namespace gd
