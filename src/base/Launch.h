#pragma once
// Handing the process over to the window program: the command line alone stays light,
// without the libraries of the windows. And what the desktop offers to open files and links.
#include <QString>
#include <string>

namespace gd {

// The folder of the running executable ("" when the system does not say).
std::string ownExecutableFolder();

// The window program beside this one (build tree, application folder), else where the
// package installs it; "" when there is none.
std::string windowProgram();

// Replaces this process by `program` with the same arguments; returns only on failure,
// with the system's reason.
std::string replaceProcess(const std::string& program, char** argv);

// Whether a window can be shown at all (Qt aborts without a display).
bool haveDisplay();
// The Qt platform that paints a page without a display ("offscreen"); "" where the
// system's own one does, with the system's fonts (Windows).
QByteArray windowlessPlatform();
// Whether links and files can be handed to the desktop's programs.
bool desktopOpensLinks();
// The program the desktop opens an existing file with ("" when none).
QString defaultOpener(const QString& file);
// Whether the desktop names a program for "mailto:" links; true where it cannot be asked.
bool hasMailProgram();
// Ends the window program once it has closed and saved everything. On Windows at once: the
// libraries' own teardown at exit waited, now and then, for a thread the exit had already
// stopped, and the process stayed after its window. Elsewhere as a return from main does.
[[noreturn]] void endProcess(int code);
// Whether the folder is where installed programs live (Windows' Program Files): data never go there,
// even for a user who may write into it.
bool inProgramsFolder(const QString& dir);

}  // namespace gd
