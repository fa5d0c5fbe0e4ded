#pragma once
// Runs the program's command line in the test's application folder, as a user's start:
// no display, no password of the caller's, only the given "NAME=value" variables.

#include <gtest/gtest.h>

#include <QProcess>

#include "support/TestApp.h"

namespace gd {

struct Outcome {
    int code;
    QString out, err;
};

inline const QByteArray kUser = "[User]\r\nUsername=gavel_haendler\r\n";

// The settings of a seller with a bank account and an invoice address, in the file's code page.
inline QByteArray shopConfig() {
    return kUser +
           test::ansi(QStringLiteral("[Rechnung]\r\nAnschrift=Lindenweg 3, 24103 Kiel\r\nKleinunternehmer=Wahr\r\n"
                                     "Steuernummer=21/815/08150\r\n"
                                     "[Konto]\r\nStandardkontoinhaber=Jörg Händler\r\n"
                                     "IBAN=DE89370400440532013000\r\nBIC=COBADEFFXXX\r\n"));
}

inline QString mail(const char* name) { return QStringLiteral(GD_TEST_DATA_DIR "/mails/") + QString::fromLatin1(name); }

inline QProcessEnvironment environment(const QString& home, const QStringList& vars = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "QT_QPA_PLATFORM", "GAVELDESK_KENNWORT", "GAVELDESK_NEUES_KENNWORT",
                          "GAVELDESK_SICHERUNG_KENNWORT"})
        env.remove(QString::fromLatin1(v));
    env.insert(QStringLiteral("GAVELDESK_HOME"), home);
    for (const QString& v : vars) env.insert(v.section(QLatin1Char('='), 0, 0), v.section(QLatin1Char('='), 1));
    return env;
}

inline Outcome launch(const QString& program, const QProcessEnvironment& env, const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(60000)) << args.join(QLatin1Char(' ')).toStdString();
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

inline Outcome run(const QString& home, const QStringList& args, const QStringList& vars = {}) {
    return launch(QStringLiteral(GD_EXECUTABLE), environment(home, vars), args);
}

inline Outcome run(const test::TestApp& app, const QStringList& args, const QStringList& vars = {}) {
    return run(app.path(), args, vars);
}

// A new database under the settings, with the mails imported.
inline void makeDatabase(const test::TestApp& app, const QByteArray& config = kUser,
                         std::initializer_list<const char*> mails = {}) {
    app.write(QStringLiteral("bin/config.ini"), config);
    ASSERT_EQ(run(app, {QStringLiteral("--create-database")}).code, 0);
    if (mails.size() == 0) return;
    QStringList args{QStringLiteral("--import")};
    for (const char* m : mails) args << mail(m);
    const Outcome r = run(app, args);
    ASSERT_EQ(r.code, 0) << r.out.toStdString() << r.err.toStdString();
}

// The auction numbers a --list printed, sorted.
inline QStringList tradesOf(const Outcome& list) {
    QStringList numbers;
    for (const QString& line : list.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1))
        numbers << line.section(QLatin1Char('\t'), 1, 1);
    numbers.sort();
    return numbers;
}

}  // namespace gd
