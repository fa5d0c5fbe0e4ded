// The program users start: commands run here without the libraries of windows, network
// and keyring (less than half the memory); a start of the window, or a command that
// paints or sends, becomes the window program.

#include <QCoreApplication>
#include <cstdio>

#include "app/CommandLine.h"
#include "base/Launch.h"
#include "base/SafeWrite.h"
#include "base/Terminal.h"

int main(int argc, char** argv) {
    gd::restrictNewFiles();  // customer data: no file of ours is readable by other users
    if (gd::isCommandLine(argc, argv) && !gd::needsWindowProgram(argc, argv)) {
        gd::prepareConsole();
        QCoreApplication app(argc, argv);
        return gd::runHeadless();
    }
    const std::string window = gd::windowProgram();
    const std::string why = window.empty() ? std::string("nicht gefunden") : gd::replaceProcess(window, argv);
    std::fprintf(stderr, "gaveldesk: Das Programmfenster (gaveldesk-fenster) kann nicht gestartet werden: %s\n",
                 why.c_str());
    return 1;
}
