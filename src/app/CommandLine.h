#pragma once
// The program's scriptable face: options that run headless on the application folder.

#include <QStringList>
#include <functional>
#include <optional>

#include "base/Result.h"
#include "domain/invoice/IssuedInvoices.h"
#include "domain/mailbox/MailboxFetch.h"

namespace gd {

struct Settings;

// Options rather than a start of the window.
bool isCommandLine(int argc, char** argv);
// "--invoice" or "--invoice=…", not "--invoices".
bool namesOption(const char* arg, const char* option);
// The commands that need more than the light program, named once: a page painted (fonts,
// a GUI application without a window) or a mail server reached (network, keyring). The light
// program hands them to the window program, which has those libraries.
struct WindowCommand {
    const char* option;
    bool paints;  // needs a QGuiApplication
};
inline constexpr WindowCommand kWindowCommands[] = {{"--invoice", true},
                                                    {"--cancel-invoice", true},
                                                    {"--testmail", false},
                                                    {"--fetch", false},
                                                    {"--refund", true},
                                                    // A refund read from a statement may cancel an invoice.
                                                    {"--bank-import", true}};
bool needsWindowProgram(int argc, char** argv);
// Among them, one that paints.
bool paintsPage(int argc, char** argv);
// The window program's own parts of those commands; without them they are refused.
struct WindowProgramParts {
    InvoicePage invoicePage;
    std::function<Status(const Settings&, const QString&)> sendTestMail;
    // The settings' mailbox fetched into the store.
    std::function<FetchReport(const Settings&, const ParserRules&, const Store&)> fetch;
};
void setWindowProgramParts(WindowProgramParts parts);

// The whole headless run in the application object the caller made: the data folder,
// the command, and a word when no command was given. The exit status.
int runHeadless();

// The exit status when the arguments name a headless command; nullopt when the
// window is to start. Needs a QCoreApplication.
std::optional<int> runCommandLine(const QStringList& arguments);

}  // namespace gd
