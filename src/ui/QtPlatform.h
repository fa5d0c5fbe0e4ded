#pragma once
// The desktop's own dialogs, clipboard, printer and shell.

#include "ui/Platform.h"

class QWidget;

namespace gd {

class QtPlatform final : public Platform {
public:
    Answer msgBox(const QString& text, Buttons buttons, Icon icon, const QString& title,
                  std::optional<Answer> defaultButton) override;
    void beep() override;
    void setBusyCursor(bool busy) override;
    bool clipboardHasText() override;
    QString clipboardText() override;
    void clipboardClear() override;
    void clipboardSetText(const QString& text) override;
    QString openFileName(const QString& title, const QString& dir, const QString& filter) override;
    QStringList openFileNames(const QString& title, const QString& dir, const QString& filter) override;
    QString saveFileName(const QString& title, const QString& dir, const QString& filter) override;
    bool printLines(const QStringList& lines) override;
    bool shellExecute(const QString& verb, const QString& file) override;
    QString findExecutable(const QString& file) override;
    bool startProgram(const QString& program, const QStringList& arguments) override;
    bool canOpenLinks() override;
    bool hasProgram(const QString& name) override;

private:
    bool busy_ = false;
};

}  // namespace gd
