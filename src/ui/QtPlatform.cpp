#include "ui/QtPlatform.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

#include "base/Launch.h"

namespace gd {
namespace {
QWidget* activeWindow() { return QApplication::activeWindow(); }
}  // namespace

Platform::Answer QtPlatform::msgBox(const QString& text, Buttons buttons, Icon icon, const QString& title,
                                    std::optional<Answer> defaultButton) {
    QMessageBox box(activeWindow());
    box.setText(text);
    // A box given no title shows the program's name.
    box.setWindowTitle(title.isEmpty() ? QApplication::applicationDisplayName() : title);
    switch (icon) {
        case Icon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case Icon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Icon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case Icon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case Icon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
    }
    QMessageBox::StandardButtons b;
    switch (buttons) {
        case Buttons::Ok:
            b = QMessageBox::Ok;
            break;
        case Buttons::OkCancel:
            b = QMessageBox::Ok | QMessageBox::Cancel;
            break;
        case Buttons::YesNo:
            b = QMessageBox::Yes | QMessageBox::No;
            break;
        case Buttons::YesNoCancel:
            b = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
            break;
        case Buttons::RetryCancel:
            b = QMessageBox::Retry | QMessageBox::Cancel;
            break;
    }
    box.setStandardButtons(b);
    if (auto* yes = box.button(QMessageBox::Yes)) yes->setText(QStringLiteral("&Ja"));
    if (auto* no = box.button(QMessageBox::No)) no->setText(QStringLiteral("&Nein"));
    if (auto* cancel = box.button(QMessageBox::Cancel)) cancel->setText(QStringLiteral("Abbrechen"));
    if (auto* retry = box.button(QMessageBox::Retry)) retry->setText(QStringLiteral("&Wiederholen"));
    if (defaultButton) {
        const QMessageBox::StandardButton d = *defaultButton == Answer::No       ? QMessageBox::No
                                              : *defaultButton == Answer::Yes    ? QMessageBox::Yes
                                              : *defaultButton == Answer::Cancel ? QMessageBox::Cancel
                                              : *defaultButton == Answer::Retry  ? QMessageBox::Retry
                                                                                 : QMessageBox::Ok;
        if (QAbstractButton* chosen = box.button(d)) box.setDefaultButton(qobject_cast<QPushButton*>(chosen));
    }
    // A busy pointer must not hang over a question.
    const bool wasBusy = busy_;
    if (wasBusy) setBusyCursor(false);
    const int r = box.exec();
    if (wasBusy) setBusyCursor(true);
    switch (r) {
        case QMessageBox::Ok:
            return Answer::Ok;
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        case QMessageBox::Retry:
            return Answer::Retry;
        default:
            return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
}

void QtPlatform::beep() { QApplication::beep(); }

void QtPlatform::setBusyCursor(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

bool QtPlatform::clipboardHasText() {
    const QMimeData* m = QApplication::clipboard()->mimeData();
    return m && m->hasText() && !m->text().isEmpty();
}
QString QtPlatform::clipboardText() { return QApplication::clipboard()->text(); }
void QtPlatform::clipboardClear() { QApplication::clipboard()->clear(); }
void QtPlatform::clipboardSetText(const QString& text) { QApplication::clipboard()->setText(text); }

QString QtPlatform::openFileName(const QString& title, const QString& dir, const QString& filter) {
    return QFileDialog::getOpenFileName(activeWindow(), title, dir, filter);
}
QStringList QtPlatform::openFileNames(const QString& title, const QString& dir, const QString& filter) {
    return QFileDialog::getOpenFileNames(activeWindow(), title, dir, filter);
}
QString QtPlatform::saveFileName(const QString& title, const QString& dir, const QString& filter) {
    return QFileDialog::getSaveFileName(activeWindow(), title, dir, filter);
}

bool QtPlatform::printLines(const QStringList& lines) {
    QPrinter printer;
    QPrintDialog dialog(&printer, activeWindow());
    if (dialog.exec() != QDialog::Accepted) return false;
    QPainter p;
    if (!p.begin(&printer)) return false;
    QFont font(QStringLiteral("Monospace"), 10);
    font.setStyleHint(QFont::TypeWriter);
    p.setFont(font);
    const int lineHeight = p.fontMetrics().lineSpacing();
    const QRect page = p.viewport();
    int y = lineHeight;
    for (const QString& line : lines) {
        if (y > page.height() - lineHeight) {
            printer.newPage();
            y = lineHeight;
        }
        p.drawText(0, y, line);
        y += lineHeight;
    }
    return p.end();
}

bool QtPlatform::shellExecute(const QString& /*verb*/, const QString& file) {
    const QUrl url =
        file.contains(QStringLiteral(":")) && !QFileInfo::exists(file) ? QUrl(file) : QUrl::fromLocalFile(file);
    // Without a mail program the desktop would open nothing (or a browser) and still report success.
    if (url.scheme() == QLatin1String("mailto") && !hasMailProgram()) return false;
    return QDesktopServices::openUrl(url);
}

QString QtPlatform::findExecutable(const QString& file) { return defaultOpener(file); }

bool QtPlatform::canOpenLinks() { return desktopOpensLinks(); }

bool QtPlatform::hasProgram(const QString& name) { return !QStandardPaths::findExecutable(name).isEmpty(); }

bool QtPlatform::startProgram(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

}  // namespace gd
