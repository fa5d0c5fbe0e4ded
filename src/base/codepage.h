#pragma once
// The program's text files are Windows-1252 ("ANSI"), the code page its data has
// always been in. Files written by other editors in UTF-8 (with or without BOM)
// are recognised on reading.

#include <QByteArray>
#include <QString>

namespace gd::win {

enum class TextEncoding { Windows1252, Utf8, Utf8Bom };

struct DecodedText {
    QString text;
    TextEncoding encoding = TextEncoding::Windows1252;
};

// UTF-8 when the bytes carry a BOM, or are valid UTF-8 and hold at least one
// multi-byte sequence; Windows-1252 otherwise (every byte decodes).
DecodedText decodeText(const QByteArray& bytes);
QString fromAnsi(const QByteArray& bytes);
// Characters that Windows-1252 cannot hold become "?", as the ANSI functions do.
QByteArray toAnsi(const QString& text);
// Whether Windows-1252 holds every character of the text.
bool representable(const QString& text);
QByteArray encodeText(const QString& text, TextEncoding encoding);

}  // namespace gd::win
