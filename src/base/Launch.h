#pragma once
// Handing the process over to the window program: the command line alone stays light,
// without the libraries of the windows.
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

}  // namespace gd
