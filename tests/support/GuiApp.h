#pragma once
// One QApplication for the GUI tests of a binary (offscreen platform), the
// scripted platform that answers the forms' questions, and helpers that drive
// windows as a user does.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "support/TestApp.h"
#include "ui/GuiApplication.h"
#include "ui/ScriptedPlatform.h"

namespace gd::test {

// The program's own application object, so exceptions in events reach OnError.
inline QApplication& guiApp() {
    static int argc = 1;
    static char name[] = "gaveldesk-test";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static GuiApplication* app = [] {
        auto* a = new GuiApplication(argc, argv);  // lives to the end of the process
        a->installGermanTexts();                   // as the program: Qt's own texts in German
        return a;
    }();
    return *app;
}

// The scripted platform installed for the life of a test.
class ScriptedUi {
public:
    ScriptedUi() {
        guiApp();
        setPlatform(&platform);
    }
    ~ScriptedUi() { setPlatform(nullptr); }
    ScriptedUi(const ScriptedUi&) = delete;
    ScriptedUi& operator=(const ScriptedUi&) = delete;
    ScriptedPlatform platform;
};

// An application folder with the scripted platform: what UI tests start from.
class UiApp : public TestApp, public ScriptedUi {
public:
    explicit UiApp(bool withResources = true) : TestApp(withResources) {}
};

// Runs the action on the modal window of type T as soon as it is up (a modal
// exec() does not return to the test). The action clicks and types; it must close the window.
template <class T>
void whenModal(std::function<void(T*)> action, int timeoutMs = 10000) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action, started, timeoutMs] {
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            action(w);
        } else if (started->elapsed() > timeoutMs) {
            poll->stop();
            poll->deleteLater();
            ADD_FAILURE() << "no modal " << T::staticMetaObject.className();
        }
    });
    poll->start();
}

// Types the text key by key into the widget, umlauts and "€" included (QTest's
// keyClicks knows ASCII only).
inline void typeText(QWidget* w, const QString& text) {
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            QTest::keyClick(w, Qt::Key_Return);
        else if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            QTest::keyClick(w, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Saves a picture of the widget when GD_SCREENSHOT_DIR is set (used for the README).
inline void screenshot(QWidget* w, const QString& name) {
    const QString dir = qEnvironmentVariable("GD_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    w->grab().save(QDir(dir).filePath(name));
}

}  // namespace gd::test
