#include "ui/frmPanne.h"

#include <QApplication>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/CallStack.h"
#include "base/Product.h"
#include "ui/Platform.h"
#include "ui/frmHilfe.h"

namespace gd {
namespace {
ErrorDialog& dialog() {
    static ErrorDialog d;
    return d;
}
}  // namespace

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
    addHelp(this, QStringLiteral("probleme"), p);
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
        case 1:
            saveErrorProtocol(error_);
            break;
        case 2:
            mailErrorProtocol(error_);
            break;
        case 3:
            if (!platform().shellExecute(QStringLiteral("Open"), QString::fromLatin1(kSupportWeb)))
                platform().msgBox(
                    QStringLiteral("Die Webseite konnte nicht geöffnet werden: ") + QString::fromLatin1(kSupportWeb),
                    Platform::Buttons::Ok, Platform::Icon::Exclamation, QString());
            break;
        default:
            break;
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
        // Loaded once and kept hidden, owned by no other window; should it be gone
        // all the same, the next error makes a new one.
        static QPointer<frmPanne> form;
        if (!form) {
            form = new frmPanne(nullptr);
            QObject::connect(qApp, &QCoreApplication::aboutToQuit, form.data(), &QObject::deleteLater);
        }
        return form->showError(e);
    });
}

void setErrorDialog(ErrorDialog d) { dialog() = std::move(d); }

Continue OnError(const QString& module, const QString& procedure, int number, const QString& description) {
    const ErrorInfo e{number, description, module, procedure, 0};
    platform().setBusyCursor(false);
    platform().beep();
    if (!dialog()) return Continue::LeaveProcedure;
    return dialog()(e);
}

bool saveErrorProtocol(const ErrorInfo& e) {
    CALLSTACK_MODULE("frmPanne");
    const QString path = protocolFilePath();
    if (QFileInfo::exists(path) &&
        platform().msgBox(QStringLiteral("Vorhandene Datei '") + path + QStringLiteral("' überschreiben ?"),
                          Platform::Buttons::YesNo, Platform::Icon::Question, QString(),
                          Platform::Answer::No) != Platform::Answer::Yes)
        return false;
    const Status written = writeErrorProtocol(e);
    if (!written.ok()) {
        platform().msgBox(written.error().message(), Platform::Buttons::Ok, Platform::Icon::Exclamation, QString());
        return false;
    }
    platform().msgBox(
        QStringLiteral("Das Fehlerprotokoll wurde in die Datei '") + path + QStringLiteral("' geschrieben !"),
        Platform::Buttons::Ok, Platform::Icon::Information, QString());
    return true;
}

void mailErrorProtocol(const ErrorInfo& e) {
    CALLSTACK_MODULE("frmPanne");
    const QString crlf = QStringLiteral("\r\n");
    platform().msgBox(
        QStringLiteral("Es wird jetzt Ihr Standard-Email-Programm aufgerufen. Die Fehlerbeschreibung sowie das "
                       "Fehlerprotokoll") +
            crlf + QStringLiteral("wurden zu Ihrer Bequemlichkeit in die Zwischenablage kopiert.") + crlf + crlf +
            QStringLiteral("Bitte fügen Sie den Inhalt der Zwischenablage in Ihre Email ein, indem Sie in Ihrem "
                           "Email-Programm") +
            crlf +
            QStringLiteral("die Tasten [Strg] und [Einfg] gleichzeitig betätigen. Alternativ können Sie den Inhalt in "
                           "die EMail") +
            crlf + QStringLiteral("einfügen, indem Sie den Befehl 'Einfügen' aus dem Menü 'Bearbeiten' ausführen."),
        Platform::Buttons::Ok, Platform::Icon::Information, QString());
    platform().clipboardClear();
    platform().clipboardSetText(errorProtocolText(e));
    if (!platform().shellExecute(QStringLiteral("Open"), QStringLiteral("mailto:") + QString::fromLatin1(kSupportMail)))
        platform().msgBox(QStringLiteral("Es ist kein E-Mail-Programm eingerichtet. Das Fehlerprotokoll liegt in der "
                                         "Zwischenablage; bitte senden Sie es an ") +
                              QString::fromLatin1(kSupportMail) + QLatin1Char('.'),
                          Platform::Buttons::Ok, Platform::Icon::Exclamation, QString());
}

}  // namespace gd
