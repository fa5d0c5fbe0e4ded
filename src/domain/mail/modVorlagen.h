#pragma once
// Template catalogue (bin/Vorlagen.ini) and template files (.dat, .datV).

#include <QString>
#include <QStringList>

#include "base/Result.h"

namespace gd {

// Catalogue letter K of a mail kind, and the body-file letter F.
QString catalogueLetter(bool verkauf, bool bgruppiert);
QString bodyLetter(bool verkauf, bool bgruppiert);
QStringList templateNames(bool verkauf, bool bgruppiert);
QString templateSubject(bool verkauf, bool bgruppiert, int index);
// Per entry of templateNames: the payment reminder level it is ("<K>m<i>"), 0 for none.
QList<int> templateReminderLevels(bool verkauf, bool bgruppiert);

// The body file of a catalogue entry ("bin/y0.dat"), and its text; empty when there is none.
QString templateFile(const QString& Index, bool verkauf, bool bgruppiert);
QString Read_Protokoll_Version(const QString& Index, bool verkauf, bool bgruppiert);
// A template file's text; empty for none.
QString readRTF(const QString& file);
// Writes the text to the template file, replacing it; the caller asks first when the file exists.
Status WriteRTF(const QString& file, const QString& Text_String);
QString setExtension(const QString& text, const QString& ext);

}  // namespace gd
