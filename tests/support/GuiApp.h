#pragma once
// One QApplication for the GUI tests of a binary (offscreen platform).

#include <QApplication>
#include <QDir>
#include <QWidget>

namespace gd::test {

inline QApplication& guiApp() {
    static int argc = 1;
    static char name[] = "gaveldesk-test";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);  // lives to the end of the process
    return *app;
}

// Saves a picture of the widget when GD_SCREENSHOT_DIR is set (used for the README).
inline void screenshot(QWidget* w, const QString& name) {
    const QString dir = qEnvironmentVariable("GD_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    w->grab().save(QDir(dir).filePath(name));
}

}  // namespace gd::test
