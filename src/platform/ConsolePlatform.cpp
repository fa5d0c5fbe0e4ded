#include "platform/ConsolePlatform.h"

#include <cstdio>

namespace gd {

Platform::Answer ConsolePlatform::msgBox(const QString& text, Buttons buttons, Icon, const QString&) {
    ++messagesShown;
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    std::fprintf(stderr, "%s\n", t.toLocal8Bit().constData());
    switch (buttons) {
        case Buttons::Ok:
            return Answer::Ok;
        case Buttons::YesNo:
        case Buttons::YesNoCancel:
            return Answer::No;
        default:
            return Answer::Cancel;
    }
}

}  // namespace gd
