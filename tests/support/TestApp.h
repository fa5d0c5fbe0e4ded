#pragma once
// A temporary application folder with the shipped resources and a fixed clock,
// for tests that run the program's code on files.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "base/Clock.h"

namespace gd::test {

class TestApp {
public:
    // withResources: copy resources/ (bin/*.ini ...) into the folder.
    explicit TestApp(bool withResources = true);
    ~TestApp();
    TestApp(const TestApp&) = delete;
    TestApp& operator=(const TestApp&) = delete;

    QString path() const { return dir_.path(); }
    QString file(const QString& relative) const;
    void write(const QString& relative, const QByteArray& bytes) const;
    QByteArray read(const QString& relative) const;

    FixedClock clock;

private:
    QTemporaryDir dir_;
    QByteArray oldHome_;
};

QByteArray ansi(const QString& s);          // Windows-1252 bytes
QString dataFile(const QString& name);      // tests/data/<name>
QByteArray fileBytes(const QString& path);  // the whole file, or "<fehlt>"
// What a Debian tool (zbarimg, pdftotext …) prints; "<fehlt>" when it cannot run or fails.
QByteArray tool(const QString& program, const QStringList& args);

}  // namespace gd::test

// Readable failures: QString as text.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
