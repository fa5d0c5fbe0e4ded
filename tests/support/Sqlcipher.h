#pragma once
// Another program on the database file: the command-line tool of the cipher
// library, with the program's password.

#include <QProcess>
#include <QString>

namespace gd::test {

// What the tool prints for the script, trimmed.
inline QString sqlcipher(const QString& file, const QByteArray& script) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("sqlcipher"), {file});
    if (!p.waitForStarted(5000)) return QStringLiteral("not started");
    p.write("PRAGMA key='kaltwind';\n" + script + "\n");
    p.closeWriteChannel();
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAll()).trimmed();
}

}  // namespace gd::test
