#include "errors/frmPanne.h"

#include <QApplication>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "errors/CallStack.h"
#include "platform/Platform.h"

namespace gd {

frmPanne::frmPanne(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmPanne"));
    setWindowTitle(QStringLiteral("ACHTUNG ! Ein Fehler ist aufgetreten ..."));
    setModal(true);
    auto* v = new QVBoxLayout(this);

    auto* framFehler = new QGroupBox(QStringLiteral("Fehlerbeschreibung:"), this);
    framFehler->setObjectName(QStringLiteral("framFehler"));
    auto* f = new QFormLayout(framFehler);
    const char* titles[4] = {"Fehler-Nr:", "Modul:", "Prozedur:", "Zeilen-Nr.:"};
    for (int i = 0; i < 4; ++i) {
        auto* t = new QLabel(QString::fromUtf8(titles[i]), framFehler);
        t->setObjectName(QStringLiteral("lblErrTitel_%1").arg(i));
        lblError[std::size_t(i)] = new QLabel(framFehler);
        lblError[std::size_t(i)]->setObjectName(QStringLiteral("lblError_%1").arg(i));
        lblError[std::size_t(i)]->setWordWrap(true);
        lblError[std::size_t(i)]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        f->addRow(t, lblError[std::size_t(i)]);
    }
    v->addWidget(framFehler);

    auto* framProgInfo = new QGroupBox(QStringLiteral("Programm-Infos:"), this);
    framProgInfo->setObjectName(QStringLiteral("framProgInfo"));
    lblProgInfo = new QLabel(framProgInfo);
    lblProgInfo->setObjectName(QStringLiteral("lblProgInfo"));
    (new QVBoxLayout(framProgInfo))->addWidget(lblProgInfo);
    v->addWidget(framProgInfo);

    auto* framCallStack = new QGroupBox(QStringLiteral("CallStack:"), this);
    framCallStack->setObjectName(QStringLiteral("framCallStack"));
    lstCallStack = new QListWidget(framCallStack);
    lstCallStack->setObjectName(QStringLiteral("lstCallStack"));
    (new QVBoxLayout(framCallStack))->addWidget(lstCallStack);
    v->addWidget(framCallStack, 1);

    auto* framProtocol = new QGroupBox(QStringLiteral("Fehlerprotokoll ..."), this);
    framProtocol->setObjectName(QStringLiteral("framProtocol"));
    auto* p = new QHBoxLayout(framProtocol);
    const char* protocol[4] = {"&Drucken", "&Speichern", "&EMail", "&WWW"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QPushButton(QString::fromUtf8(protocol[i]), framProtocol);
        b->setObjectName(QStringLiteral("cmdProtocol_%1").arg(i));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, i] { cmdProtocol_Click(i); });
        cmdProtocol[std::size_t(i)] = b;
        p->addWidget(b);
    }
    v->addWidget(framProtocol);

    auto* framContinue = new QGroupBox(QStringLiteral("Weiterer Programmablauf..."), this);
    framContinue->setObjectName(QStringLiteral("framContinue"));
    auto* c = new QGridLayout(framContinue);
    const char* cont[4] = {"Befehl wieder&holen", "Fortsetzen mit &nächsten Befehl", "&Prozedur verlassen",
                           "Programm &beenden"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QPushButton(QString::fromUtf8(cont[i]), framContinue);
        b->setObjectName(QStringLiteral("cmdContinue_%1").arg(i));
        b->setAutoDefault(i == 2);
        connect(b, &QPushButton::clicked, this, [this, i] { cmdContinue_Click(i); });
        cmdContinue[std::size_t(i)] = b;
        c->addWidget(b, i / 2, i % 2);
    }
    v->addWidget(framContinue);

    auto* framComment = new QGroupBox(QStringLiteral("Hinweise:"), this);
    framComment->setObjectName(QStringLiteral("framComment"));
    lblComment = new QLabel(
        QStringLiteral("Speichern oder senden Sie das Fehlerprotokoll, damit wir den Fehler beheben können. "
                       "\"Prozedur verlassen\" bricht nur den letzten Befehl ab; Ihre Daten bleiben erhalten."),
        framComment);
    lblComment->setObjectName(QStringLiteral("lblComment"));
    lblComment->setWordWrap(true);
    (new QVBoxLayout(framComment))->addWidget(lblComment);
    v->addWidget(framComment);
    resize(640, 620);
}

Continue frmPanne::showError(const ErrorInfo& e) {
    CALLSTACK();
    error_ = e;
    lblError[0]->setText(QString::number(e.number) + QStringLiteral(" (") + e.description + QLatin1Char(')'));
    lblError[1]->setText(e.module);
    lblError[2]->setText(e.procedure);
    lblError[3]->setText(QString::number(e.line));
    lblProgInfo->setText(progInfo());
    lstCallStack->clear();
    lstCallStack->addItems(CallStack::entries());
    choice_ = Continue::LeaveProcedure;  // closing the window leaves the procedure
    exec();
    return choice_;
}

void frmPanne::cmdProtocol_Click(int Index) {
    CALLSTACK();
    switch (Index) {
        case 0:
            if (!platform().printLines(wrapForPrinter(errorProtocol(error_))))
                platform().msgBox(QStringLiteral("Das Fehlerprotokoll wurde nicht gedruckt."), Platform::Buttons::Ok,
                                  Platform::Icon::Exclamation, QString());
            break;
        case 1: saveErrorProtocol(error_); break;
        case 2: mailErrorProtocol(error_); break;
        case 3:
            if (!platform().shellExecute(QStringLiteral("Open"), QString::fromLatin1(kSupportWeb)))
                platform().msgBox(QStringLiteral("Die Webseite konnte nicht geöffnet werden: ") +
                                      QString::fromLatin1(kSupportWeb),
                                  Platform::Buttons::Ok, Platform::Icon::Exclamation, QString());
            break;
        default: break;
    }
}

void frmPanne::cmdContinue_Click(int Index) {
    CALLSTACK();
    choice_ = Continue(Index);
    hide();
    done(Index);
}

void frmPanne::install() {
    setErrorDialog([](const ErrorInfo& e) {
        static frmPanne* form = new frmPanne(QApplication::activeWindow());  // loaded once, kept hidden
        return form->showError(e);
    });
}

}  // namespace gd
