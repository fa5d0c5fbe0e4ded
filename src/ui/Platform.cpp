#include "ui/Platform.h"

#include "ui/ScriptedPlatform.h"

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

void showError(const Error& e) {
    platform().msgBox(e.message(), Platform::Buttons::Ok, Platform::Icon::Exclamation, QString());
}

void showMessages(const QStringList& texts) {
    for (const QString& t : texts) platform().msgBox(t, Platform::Buttons::Ok, Platform::Icon::None, QString());
}

Platform::Answer ScriptedPlatform::msgBox(const QString& text, Buttons buttons, Icon icon, const QString& title,
                                          std::optional<Answer> defaultButton) {
    messages.append({text, buttons, icon, title, defaultButton});
    if (onMessage) onMessage(messages.last());
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
