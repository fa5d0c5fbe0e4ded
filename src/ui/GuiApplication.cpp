#include "ui/GuiApplication.h"

#include <QFormLayout>
#include <QLabel>
#include <QLayout>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QTranslator>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "base/RunError.h"
#include "ui/frmPanne.h"

namespace gd {

bool GuiApplication::notify(QObject* receiver, QEvent* event) {
    const QString where = receiver ? QString::fromLatin1(receiver->metaObject()->className()) : QString();
    Continue c = Continue::LeaveProcedure;
    try {
        // Every window, before it appears: none larger than the screen or beyond its edge.
        if (event->type() == QEvent::Show && receiver->isWidgetType()) {
            auto* w = static_cast<QWidget*>(receiver);
            // Menus, pop-ups and tips Qt keeps on the screen itself.
            const Qt::WindowType type = w->windowType();
            if ((type == Qt::Window || type == Qt::Dialog) && !w->isMaximized() && !w->isFullScreen()) fitOnScreen(w);
        }
        return QApplication::notify(receiver, event);
    } catch (const RunError& e) {
        c = OnError(where, receiver ? receiver->objectName() : QString(), e.number(), e.description());
    } catch (const std::exception& e) {
        c = OnError(where, receiver ? receiver->objectName() : QString(), 5, QString::fromLocal8Bit(e.what()));
    }
    // Retrying or going on with the next statement means, for a whole event, dropping it.
    if (c == Continue::EndProgram) exit(3);
    return false;
}

QRect fittedFrame(const QRect& frame, const QRect& room, const QSize& frameMargins, const QSize& minimum) {
    QRect r = frame;
    r.setSize(frame.size().boundedTo(room.size()).expandedTo(minimum + frameMargins));
    // The title bar first: a window too wide for the screen still shows its left and top.
    r.moveLeft(std::max(room.left(), std::min(r.left(), room.right() + 1 - r.width())));
    r.moveTop(std::max(room.top(), std::min(r.top(), room.bottom() + 1 - r.height())));
    return r;
}

void fitOnScreen(QWidget* window) {
    const QScreen* screen = window->screen();
    if (!screen) return;
    // Before the first show the window manager's frame is not known: room for a title bar.
    QSize margins = window->frameGeometry().size() - window->size();
    if (margins.isNull() && !(window->windowFlags() & Qt::FramelessWindowHint)) margins = QSize(8, 36);
    const QRect fitted = fittedFrame(QRect(window->pos(), window->size() + margins), screen->availableGeometry(),
                                     margins, window->minimumSize());
    if (fitted.size() - margins != window->size()) window->resize(fitted.size() - margins);
    // Only a placed window is moved; the window manager places the others inside the screen.
    if (window->testAttribute(Qt::WA_Moved) && fitted.topLeft() != window->pos()) window->move(fitted.topLeft());
}

namespace {
void collectInLayoutOrder(const QLayout* layout, std::vector<QWidget*>& out) {
    // A label of a form row names its field to a screen reader; a row made with a label of
    // its own gets none from the form.
    if (const auto* form = qobject_cast<const QFormLayout*>(layout))
        for (int row = 0; row < form->rowCount(); ++row) {
            const QLayoutItem* label = form->itemAt(row, QFormLayout::LabelRole);
            const QLayoutItem* field = form->itemAt(row, QFormLayout::FieldRole);
            auto* text = label ? qobject_cast<QLabel*>(label->widget()) : nullptr;
            if (text && !text->buddy() && field && field->widget()) text->setBuddy(field->widget());
        }
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (QWidget* w = item->widget()) {
            if (w->focusPolicy() & Qt::TabFocus)
                out.push_back(w);
            else if (w->layout())  // a page or a group box: its fields in their order
                collectInLayoutOrder(w->layout(), out);
        } else if (const QLayout* inner = item->layout()) {
            collectInLayoutOrder(inner, out);
        }
    }
}
}  // namespace

void tabInLayoutOrder(QWidget* window) {
    if (!window->layout()) return;
    std::vector<QWidget*> fields;
    collectInLayoutOrder(window->layout(), fields);
    for (std::size_t i = 1; i < fields.size(); ++i) QWidget::setTabOrder(fields[i - 1], fields[i]);
}

void GuiApplication::installGermanTexts() {
    auto* qt = new QTranslator(this);
    if (qt->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(qt);
    else
        delete qt;
}

}  // namespace gd
