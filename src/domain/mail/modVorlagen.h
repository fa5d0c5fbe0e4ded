#pragma once
// Template catalogue (bin/Vorlagen.ini) and template files (.dat, .datV).

#include <QString>
#include <QStringList>

#include "base/Result.h"

namespace gd {

inline QString gsVorlagenDatei;  // the template last read or chosen
// The own template file the user chose: what reloadVorlage and WriteRTF use.
inline void useTemplateFile(const QString& path) { gsVorlagenDatei = path; }

// Catalogue letter K of a mail kind, and the body-file letter F.
QString catalogueLetter(bool verkauf, bool bgruppiert);
QString bodyLetter(bool verkauf, bool bgruppiert);
QStringList templateNames(bool verkauf, bool bgruppiert);
QString templateSubject(bool verkauf, bool bgruppiert, int index);
// Per entry of templateNames: the payment reminder level it is ("<K>m<i>"), 0 for none.
QList<int> templateReminderLevels(bool verkauf, bool bgruppiert);

QString Read_Protokoll_Version(const QString& Index, bool verkauf, bool bgruppiert);
QString readRTF();
// Writes the text to gsVorlagenDatei, replacing the file; the caller asks first
// when the file exists.
Status WriteRTF(const QString& Text_String);
QString setExtension(const QString& text, const QString& ext);

}  // namespace gd
