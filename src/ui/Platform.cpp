#include "ui/Platform.h"

#include <cstdio>

#include "ui/ScriptedPlatform.h"  // its members are defined below, for the tests

namespace gd {
namespace {
Platform* g_platform = nullptr;

// Before a window exists (and on the command line): messages go to stderr, every
// question is answered with its default or "Nein", nothing is opened.
class HeadlessPlatform final : public Platform {
public:
    Answer msgBox(const QString& text, Buttons buttons, Icon, const QString&,
                  std::optional<Answer> defaultButton) override {
        std::fprintf(stderr, "gaveldesk: %s\n", qPrintable(QString(text).replace(QLatin1Char('\r'), QLatin1Char(' '))));
        if (defaultButton) return *defaultButton;
        return buttons == Buttons::Ok                                            ? Answer::Ok
               : buttons == Buttons::OkCancel || buttons == Buttons::RetryCancel ? Answer::Cancel
                                                                                 : Answer::No;
    }
    void beep() override {}
    void setBusyCursor(bool) override {}
    bool clipboardHasText() override { return false; }
    QString clipboardText() override { return {}; }
    void clipboardClear() override {}
    void clipboardSetText(const QString&) override {}
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QStringList openFileNames(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    bool printLines(const QStringList&) override { return false; }
    bool shellExecute(const QString&, const QString&) override { return false; }
    QString findExecutable(const QString&) override { return {}; }
    bool canOpenLinks() override { return false; }
    bool hasProgram(const QString&) override { return false; }
    bool startProgram(const QString&, const QStringList&) override { return false; }
};

Platform& headless() {
    static HeadlessPlatform p;
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

void ScriptedPlatform::reset() { *this = ScriptedPlatform(); }

}  // namespace gd
