#pragma once
// Sending a mail directly: sender and recipient split into name and address,
// the SMTP settings applied, one session run.

#include <QString>

namespace gd {

class ctlSMTPRelay;

// "Name <adresse>" or a bare address. False when "<" has no ">" after it.
bool splitAddress(const QString& text, QString& name, QString& address);

// The control of the mail form; created on first use.
ctlSMTPRelay& SMTP_1();

bool Send_SMTP(const QString& Sender, const QString& Recv, const QString& Msg, const QString& Kopie,
               bool debugmode = false, bool Testonly = false);

// Why the last Send_SMTP failed, with the server's last reply.
QString lastSmtpError();

}  // namespace gd
