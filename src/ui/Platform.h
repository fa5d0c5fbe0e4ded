#pragma once
// Everything the program asks of the desktop goes through one Platform object:
// message boxes, beep, mouse pointer, clipboard, file dialogs, printer, shell.
// The Qt implementation is QtPlatform; tests install ScriptedPlatform.

#include <QString>
#include <QStringList>
#include <optional>

#include "base/Result.h"

namespace gd {

class Platform {
public:
    enum class Icon { None, Information, Exclamation, Question, Critical };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
    enum class Answer { Ok, Cancel, Yes, No, Retry };

    virtual ~Platform() = default;

    // defaultButton: the answer Enter gives; questions that delete or overwrite
    // make it "Nein". Without one the desktop's default holds.
    virtual Answer msgBox(const QString& text, Buttons buttons = Buttons::Ok, Icon icon = Icon::None,
                          const QString& title = {}, std::optional<Answer> defaultButton = std::nullopt) = 0;
    virtual void beep() = 0;
    virtual void setBusyCursor(bool busy) = 0;

    virtual bool clipboardHasText() = 0;
    virtual QString clipboardText() = 0;
    virtual void clipboardClear() = 0;
    virtual void clipboardSetText(const QString& text) = 0;

    // Empty when the user cancels.
    virtual QString openFileName(const QString& title, const QString& dir, const QString& filter) = 0;
    // Several files chosen at once (Shift/Ctrl-click), in the order the dialog gives them.
    virtual QStringList openFileNames(const QString& title, const QString& dir, const QString& filter) = 0;
    virtual QString saveFileName(const QString& title, const QString& dir, const QString& filter) = 0;

    // Asks for a printer and prints the lines; false when cancelled or failed.
    virtual bool printLines(const QStringList& lines) = 0;

    // Opens a document or URL with its program; false when nothing could open it.
    virtual bool shellExecute(const QString& verb, const QString& file) = 0;
    // Starts a program with arguments, detached; false when it could not be started.
    virtual bool startProgram(const QString& program, const QStringList& arguments) = 0;
    // Full path of the program that opens the file, or empty.
    virtual QString findExecutable(const QString& file) = 0;
    // Whether web addresses can be opened at all (a browser is there).
    virtual bool canOpenLinks() = 0;
    // Whether a program of this name is installed.
    virtual bool hasProgram(const QString& name) = 0;
};

// The installed platform; a ScriptedPlatform until the program installs the Qt
// one, so a form run headless never blocks on a dialog.
Platform& platform();
void setPlatform(Platform* p);  // nullptr restores the headless default

// A failure reported below the forms, in a message box: the sentence, then
// the number and the cause, with the exclamation icon.
void showError(const Error& e);
// Each text in its own box without icon or title, as the keyword loader's faults.
void showMessages(const QStringList& texts);

}  // namespace gd
