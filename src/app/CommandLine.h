#pragma once
// The program's scriptable face: options that run headless on the application folder.

#include <QStringList>
#include <functional>
#include <optional>

#include "base/Result.h"
#include "domain/bank/IssuedInvoices.h"

namespace gd {

struct Settings;

// Options rather than a start of the window.
bool isCommandLine(int argc, char** argv);
// "--invoice" or "--invoice=…", not "--invoices".
bool namesOption(const char* arg, const char* option);
// Commands that paint a page (fonts) or reach a mail server (network, keyring): the
// light program hands them to the window program, which has those libraries.
bool needsWindowProgram(int argc, char** argv);
// The window program's own parts of those commands; without them they are refused.
struct WindowProgramParts {
    InvoicePage invoicePage;
    std::function<Status(const Settings&, const QString&)> sendTestMail;
};
void setWindowProgramParts(WindowProgramParts parts);

// The whole headless run in the application object the caller made: the data folder,
// the command, and a word when no command was given. The exit status.
int runHeadless();

// The exit status when the arguments name a headless command; nullopt when the
// window is to start. Needs a QCoreApplication.
std::optional<int> runCommandLine(const QStringList& arguments);

}  // namespace gd
