#pragma once
// A window test on a fresh database: the application folder, the database and
// the scripted platform that answers the forms' questions.

#include "support/DbTestShared.h"
#include "support/GuiApp.h"

namespace gd::test {

class UiDbTest : public DbTest {
protected:
    ScriptedUi ui;
    ScriptedPlatform& platform = ui.platform;
    QString lastMessage() { return platform.messages.isEmpty() ? QString() : platform.messages.last().text; }
};

}  // namespace gd::test
