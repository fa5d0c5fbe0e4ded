#pragma once
// The only code that touches INI files: one value, or every line of a section,
// optionally scrambled with the module's fixed key and a checksum. Every caller
// of this program passes plain mode; the scrambled form is part of the interface.

#include <QString>
#include <QStringList>
#include <optional>

namespace gd {

QString funIni_GetString(const QString& sIniDatei, const QString& sSection, const QString& sKey,
                         const QString& sDefault = QString(), bool bCrypted = true);
bool funIni_SetString(const QString& sIniDatei, const QString& sSection, const QString& sKey, const QString& sText,
                      bool bCrypted = true);
// Raw "key=value" lines in file order; nullopt when the section is missing or empty.
std::optional<QStringList> funIni_GetAllKeys(const QString& sIniDatei, const QString& sSection, bool bCrypted = true);

namespace modIni_detail {  // private to modIni; open for tests
QString funIni_Krypt(const QString& sText);
QString funIni_Dekrypt(const QString& sKrypt);
QString funKrypt(const QString& sInput, const QString& sKey, bool bMode, qint32& lSum);
extern const QString kIniKey;
}  // namespace modIni_detail

}  // namespace gd
