#pragma once
// Another program on the database file: the command-line tool of the cipher
// library, with the program's password.

#include <QFile>
#include <QProcess>
#include <QString>

namespace gd::test {

// The page size of the program's files (SQLCipher 4's): where a damage test writes.
inline constexpr qint64 kPageSize = 4096;

// The password's statements for a file of this build: its rounds of key derivation.
inline QByteArray keyed(const QByteArray& password = "kaltwind") {
    return "PRAGMA key='" + password + "';\nPRAGMA kdf_iter = " + QByteArray::number(GD_KDF_ROUNDS) + ";";
}

// What the tool prints for the script, trimmed. A file of the earlier versions (SQLCipher 3)
// is read with sqlcipher3.
inline QString sqlcipher(const QString& file, const QByteArray& script, const QByteArray& key = keyed()) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("sqlcipher"), {file});
    if (!p.waitForStarted(5000)) return QStringLiteral("not started");
    p.write(key + "\n" + script + "\n");
    p.closeWriteChannel();
    p.waitForFinished(10000);
    // SQLCipher 4 answers the key's statement with "ok": not the script's output.
    QString out = QString::fromUtf8(p.readAll()).trimmed();
    if (out == QStringLiteral("ok")) return QString();
    if (out.startsWith(QStringLiteral("ok\n"))) out.remove(0, 3);
    return out;
}

// Until the tool has printed `text` (a statement after the lock it takes): SQLCipher 4 prints "ok" first.
inline bool waitForOutput(QProcess& p, const QByteArray& text, int ms = 10000) {
    QByteArray seen;
    while (!seen.contains(text)) {
        if (!p.waitForReadyRead(ms)) return false;
        seen += p.readAll();
    }
    return true;
}

inline QString sqlcipher3(const QString& file, const QByteArray& script, const QByteArray& password = "kaltwind") {
    return sqlcipher(file, script, "PRAGMA key='" + password + "';\nPRAGMA cipher_compatibility = 3;");
}

// A file of the earlier versions (SQLCipher 3) written anew as this build writes its files, as a
// schema step's test starts from: the format's own carrying over is tested on its own.
inline bool toSqlcipher4(const QString& file) {
    const QString version = sqlcipher3(file, "PRAGMA user_version;");
    const QString fresh = file + QStringLiteral(".neu");
    QFile::remove(fresh);
    const QString out =
        sqlcipher3(file, "ATTACH DATABASE '" + fresh.toUtf8() + "' AS neu KEY 'kaltwind';\n" +
                             "PRAGMA neu.kdf_iter = " + QByteArray::number(GD_KDF_ROUNDS) + ";\n" +
                             "SELECT sqlcipher_export('neu');\nPRAGMA neu.user_version = " + version.toUtf8() +
                             ";\nDETACH DATABASE neu;");
    return out.isEmpty() && QFile::remove(file) && QFile::rename(fresh, file) &&
           sqlcipher(file, "PRAGMA user_version;") == version;
}

}  // namespace gd::test
