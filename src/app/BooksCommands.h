#pragma once
// The tax advisor's commands: the DATEV file of a period, the figures of a year.
#include <QStringList>

namespace gd {

// --datev JJJJ-MM-TT JJJJ-MM-TT DATEI
int datevCommand(const QStringList& args);
// --jahr J: the year per platform and month, tab-separated, and the limits it reaches.
int yearCommand(const QString& year);

}  // namespace gd
