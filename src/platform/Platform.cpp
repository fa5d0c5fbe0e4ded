#include "platform/Platform.h"

#include "platform/ScriptedPlatform.h"

namespace gd {
namespace {
Platform* g_platform = nullptr;

Platform& headless() {
    static ScriptedPlatform p;
    return p;
}
}  // namespace

Platform& platform() { return g_platform ? *g_platform : headless(); }
void setPlatform(Platform* p) { g_platform = p; }

Platform::Answer ScriptedPlatform::msgBox(const QString& text, Buttons buttons, Icon icon, const QString& title) {
    messages.append({text, buttons, icon, title});
    if (!answers_.isEmpty()) return answers_.dequeue();
    switch (buttons) {
        case Buttons::Ok:
            return Answer::Ok;
        case Buttons::YesNo:
        case Buttons::YesNoCancel:
            ++unansweredQuestions;
            return Answer::No;
        case Buttons::OkCancel:
        case Buttons::RetryCancel:
            ++unansweredQuestions;
            return Answer::Cancel;
    }
    return Answer::Cancel;
}

QStringList ScriptedPlatform::messageTexts() const {
    QStringList out;
    for (const Message& m : messages) out << m.text;
    return out;
}

void ScriptedPlatform::reset() {
    *this = ScriptedPlatform();
}

}  // namespace gd
