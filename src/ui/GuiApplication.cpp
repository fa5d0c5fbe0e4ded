#include "ui/GuiApplication.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "base/RunError.h"
#include "ui/frmPanne.h"

namespace gd {

bool GuiApplication::notify(QObject* receiver, QEvent* event) {
    const QString where = receiver ? QString::fromLatin1(receiver->metaObject()->className()) : QString();
    Continue c = Continue::LeaveProcedure;
    try {
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

void GuiApplication::installGermanTexts() {
    auto* qt = new QTranslator(this);
    if (qt->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(qt);
    else
        delete qt;
}

}  // namespace gd
