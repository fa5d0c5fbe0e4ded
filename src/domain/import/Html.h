#pragma once
// HTML mails turned into the text a mail program shows, so that the keyword rules
// written for text mails cut them alike.

#include <QString>
#include <QStringView>

namespace gd {

// Block elements end lines (paragraphs and tables with a blank line), <br> breaks one,
// table cells are joined by a blank, entities are decoded, scripts, styles and the
// head are dropped, white space collapses as a browser collapses it (but in <pre>).
// One pass without recursion: any nesting depth and size take linear time.
QString htmlToText(QStringView html);

// The charset a document names in a <meta> tag within its first kilobytes, lower case, or empty.
QByteArray htmlMetaCharset(const QByteArray& html);

}  // namespace gd
