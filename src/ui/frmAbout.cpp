#include "ui/frmAbout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/CallStack.h"
#include "base/Product.h"
#include "ui/Platform.h"
#include "ui/frmHilfe.h"
#include "ui/frmSplash.h"
#include "ui/modLinks.h"

namespace gd {

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    CALLSTACK();
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("Info"));
    if (parent) setWindowIcon(parent->window()->windowIcon());
    auto* picture = new QPushButton(this);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setFlat(true);
    picture->setIcon(QIcon(splashImage(QSize(480, 260))));
    picture->setIconSize(QSize(240, 130));
    picture->setToolTip(QString::fromLatin1(kMakerSite));
    connect(picture, &QPushButton::clicked, this, [] { subLink(QString::fromLatin1(kMakerSite)); });
    auto* lblTitle = new QLabel(QStringLiteral("<b>%1</b>").arg(productName()), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    auto* lblVersion = new QLabel(QStringLiteral("Version ") + productVersion(), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    auto* label1 = new QLabel(QStringLiteral("Konzipiert und Entwickelt von:"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    auto* lblAdress = new QLabel(QStringLiteral("GavelMail\nAm Auktionshaus 5\n50667 Köln\ninfo@gavelmail.de\n") +
                                     QString::fromLatin1(kMakerSite),
                                 this);
    lblAdress->setObjectName(QStringLiteral("lblAdress"));
    auto* lblLizenz = new QLabel(QStringLiteral("\n\n© 2005–2026 GavelMail"), this);
    lblLizenz->setObjectName(QStringLiteral("lblLizenz"));
    // What the program is built on, and where the licence texts are on this system.
    const QString folder = QCoreApplication::applicationDirPath();
    const QString overview = QFileInfo::exists(folder + QStringLiteral("/LIZENZEN.txt"))
                                 ? QDir::toNativeSeparators(folder + QStringLiteral("/LIZENZEN.txt")) +
                                       QStringLiteral(" und Ordner ") +
                                       QDir::toNativeSeparators(folder + QStringLiteral("/Lizenzen"))
                                 : QStringLiteral("/usr/share/doc/gaveldesk/LIZENZEN.txt");
    auto* lblBibliotheken = new QLabel(
        QStringLiteral("Verwendet Qt 6 (LGPL-3), OpenSSL, SQLCipher, qpdf, libzip, libjpeg-turbo, libqrencode und "
                       "zlib unter ihren eigenen Lizenzen. Die Lizenztexte: %1")
            .arg(overview),
        this);
    lblBibliotheken->setObjectName(QStringLiteral("lblBibliotheken"));
    lblBibliotheken->setWordWrap(true);
    lblBibliotheken->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    auto* cmdSysInfo = new QPushButton(QStringLiteral("System-Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    auto* cmdInfo = new QPushButton(QStringLiteral("Infos zum ") + productName(), this);
    cmdInfo->setObjectName(QStringLiteral("cmdInfo"));
    // Every entry does something here, or it is not offered.
    const bool links = platform().canOpenLinks();
    cmdInfo->setVisible(links);
    if (!links) {
        QObject::disconnect(picture, &QPushButton::clicked, nullptr, nullptr);
        picture->setToolTip(QString());
    }
    cmdSysInfo->setVisible(hasSystemInformation());
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    connect(cmdInfo, &QPushButton::clicked, this, &frmAbout::cmdInfo_Click);
    auto* text = new QVBoxLayout;
    for (QWidget* w :
         {static_cast<QWidget*>(lblTitle), static_cast<QWidget*>(lblVersion), static_cast<QWidget*>(label1),
          static_cast<QWidget*>(lblAdress), static_cast<QWidget*>(lblLizenz), static_cast<QWidget*>(lblBibliotheken)})
        text->addWidget(w);
    text->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addLayout(text);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdInfo);
    buttons->addWidget(cmdSysInfo);
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    addHelp(this, QString(), buttons);
    auto* v = new QVBoxLayout(this);
    v->addLayout(top);
    v->addLayout(buttons);
    cmdOK->setDefault(true);
}

void frmAbout::cmdOK_Click() {
    CALLSTACK();
    accept();
}

void frmAbout::cmdSysInfo_Click() {
    CALLSTACK();
    StartSysInfo();
}

void frmAbout::cmdInfo_Click() {
    CALLSTACK();
    subLink(QString::fromLatin1(kProductPage));
}

}  // namespace gd
