#pragma once
// A Platform for tests and headless runs: questions take queued answers, every
// message is recorded, the clipboard is a string, shell calls are recorded.

#include <QList>
#include <QQueue>
#include <functional>

#include "ui/Platform.h"

namespace gd {

class ScriptedPlatform final : public Platform {
public:
    struct Message {
        QString text;
        Buttons buttons;
        Icon icon;
        QString title;
        std::optional<Answer> defaultButton;
    };
    struct ShellCall {
        QString verb;
        QString file;
    };

    // Answers taken in order; without one a question gets No (or Cancel), OK gets Ok.
    void queueAnswer(Answer a) { answers_.enqueue(a); }
    void queueFileName(const QString& f) { fileNames_.enqueue(f); }
    // What the next multi-file dialog returns; without one it takes a single queued name.
    void queueFileNames(const QStringList& f) { fileLists_.enqueue(f); }

    QList<Message> messages;
    QList<ShellCall> shellCalls;
    QStringList printed;
    QStringList offeredPaths;  // where each file dialog was asked to start
    QString clipboard;
    bool clipboardHoldsText = false;
    int beeps = 0;
    bool busy = false;
    bool printSucceeds = true;
    bool shellSucceeds = true;
    QString executableFound;
    bool linksOpen = true;
    QStringList programs;  // installed programs, by name
    int unansweredQuestions = 0;
    // Runs while a message is up, before it is answered: what else happens meanwhile.
    std::function<void(const Message&)> onMessage;
    std::function<void(const QString& file)> onShell;  // a page opened: the test's browser

    Answer msgBox(const QString& text, Buttons buttons, Icon icon, const QString& title,
                  std::optional<Answer> defaultButton) override;
    void beep() override { ++beeps; }
    void setBusyCursor(bool b) override { busy = b; }
    bool clipboardHasText() override { return clipboardHoldsText && !clipboard.isEmpty(); }
    QString clipboardText() override { return clipboardHoldsText ? clipboard : QString(); }
    void clipboardClear() override {
        clipboard.clear();
        clipboardHoldsText = false;
    }
    void clipboardSetText(const QString& text) override {
        clipboard = text;
        clipboardHoldsText = true;
    }
    QString openFileName(const QString&, const QString& dir, const QString&) override {
        offeredPaths << dir;
        return nextFileName();
    }
    QStringList openFileNames(const QString&, const QString& dir, const QString&) override {
        offeredPaths << dir;
        if (!fileLists_.isEmpty()) return fileLists_.dequeue();
        const QString one = nextFileName();
        return one.isEmpty() ? QStringList() : QStringList{one};
    }
    QString saveFileName(const QString&, const QString& dir, const QString&) override {
        offeredPaths << dir;
        return nextFileName();
    }
    bool printLines(const QStringList& lines) override {
        if (printSucceeds) printed += lines;
        return printSucceeds;
    }
    bool shellExecute(const QString& verb, const QString& file) override {
        shellCalls.append({verb, file});
        if (onShell) onShell(file);
        return shellSucceeds;
    }
    QString findExecutable(const QString&) override { return executableFound; }
    bool canOpenLinks() override { return linksOpen; }
    bool hasProgram(const QString& name) override { return programs.contains(name); }
    bool startProgram(const QString& program, const QStringList& arguments) override {
        shellCalls.append({QStringLiteral("Start"), program + QLatin1Char(' ') + arguments.join(QLatin1Char(' '))});
        return shellSucceeds;
    }

    QStringList messageTexts() const;
    void reset();

private:
    QString nextFileName() { return fileNames_.isEmpty() ? QString() : fileNames_.dequeue(); }
    QQueue<Answer> answers_;
    QQueue<QString> fileNames_;
    QQueue<QStringList> fileLists_;
};

}  // namespace gd
