#pragma once
// The error protocol and the entry point of the error dialog.

#include <QString>
#include <QStringList>
#include <functional>

namespace gd {

struct ErrorInfo {
    int number = 0;
    QString description;
    QString module;
    QString procedure;
    int line = 0;
};

// How the caller goes on after the dialog.
enum class Continue : qint16 { Retry = 0, NextStatement = 1, LeaveProcedure = 2, EndProgram = 3 };

// "gaveldesk  V1.0.0" unless set.
QString progInfo();
void SetProgInfo(const QString& text);

QString LPSTRToVBString(const QString& text);

// The protocol lines, newest trace entry first; join with CR LF.
QStringList errorProtocol(const ErrorInfo& e);
QString errorProtocolText(const ErrorInfo& e);
// Lines longer than 73 characters wrapped at blanks, continuations indented by 20.
QStringList wrapForPrinter(const QStringList& lines);

inline constexpr const char* kSupportMail = "support@gavelmail.de";
inline constexpr const char* kSupportWeb = "http://www.gavelmail.de/support/";

// "&EMail": the hint, the protocol on the clipboard, then the mail program.
void mailErrorProtocol(const ErrorInfo& e);

QString protocolFilePath();  // AppPath + "/" + ExeName + ".ERR"
// Asks before it replaces an existing file; reports where it wrote. False when
// the user declined or the file could not be written (then it says so).
bool saveErrorProtocol(const ErrorInfo& e);

// The dialog the program shows; without one (headless) the procedure is left.
using ErrorDialog = std::function<Continue(const ErrorInfo&)>;
void setErrorDialog(ErrorDialog dialog);
Continue OnError(const QString& module, const QString& procedure, int number, const QString& description);

}  // namespace gd
