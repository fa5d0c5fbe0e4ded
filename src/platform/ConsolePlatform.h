#pragma once
// The platform of headless commands: messages go to stderr, every question is
// answered "Nein", nothing is shown or opened.

#include "platform/Platform.h"

namespace gd {

class ConsolePlatform final : public Platform {
public:
    Answer msgBox(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    void beep() override {}
    void setBusyCursor(bool) override {}
    bool clipboardHasText() override { return false; }
    QString clipboardText() override { return QString(); }
    void clipboardClear() override {}
    void clipboardSetText(const QString&) override {}
    QString openFileName(const QString&, const QString&, const QString&) override { return QString(); }
    QString saveFileName(const QString&, const QString&, const QString&) override { return QString(); }
    bool printLines(const QStringList&) override { return false; }
    bool shellExecute(const QString&, const QString&) override { return false; }
    QString findExecutable(const QString&) override { return QString(); }
    bool startProgram(const QString&, const QStringList&) override { return false; }

    int messagesShown = 0;
};

}  // namespace gd
