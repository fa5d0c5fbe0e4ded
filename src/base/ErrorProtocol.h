#pragma once
// The error protocol: the run-time error, the program, the call trace and the
// operating system, as the error dialog saves, prints and mails it.

#include <QString>
#include <QStringList>

#include "base/Result.h"

namespace gd {

struct ErrorInfo {
    int number = 0;
    QString description;
    QString module;
    QString procedure;
    int line = 0;
};

// How the caller goes on after the error dialog.
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

QString protocolFilePath();  // AppPath + "/" + ExeName + ".ERR"
// Writes the protocol to protocolFilePath() in Windows-1252, replacing the file.
Status writeErrorProtocol(const ErrorInfo& e);
// Adds a dated line to the protocol file, keeping what it holds (a crash's trace before it).
Status noteInProtocol(const QString& text);

}  // namespace gd
