#include "ui/frmHilfe.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "base/AppPath.h"
#include "base/CallStack.h"
#include "ui/modLinks.h"

namespace gd {

frmHilfe::frmHilfe(QWidget* parent) : QDialog(parent) {
    CALLSTACK();
    setObjectName(QStringLiteral("frmHilfe"));
    setWindowTitle(QStringLiteral("Hilfe"));
    if (parent) setWindowIcon(parent->window()->windowIcon());
    txtHilfe = new QTextBrowser(this);
    txtHilfe->setObjectName(QStringLiteral("txtHilfe"));
    // Pages of the help open here; addresses outside go to the browser, where there is one.
    txtHilfe->setOpenLinks(false);
    connect(txtHilfe, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (url.isLocalFile() || url.scheme().isEmpty())
            txtHilfe->setSource(url);
        else
            OpenLink(url.toString(), false);
    });
    auto* cmdOK = new QPushButton(QStringLiteral("Schließen"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::close);
    auto* v = new QVBoxLayout(this);
    v->addWidget(txtHilfe, 1);
    v->addWidget(cmdOK, 0, Qt::AlignRight);
    const QString page = AppPath() + QStringLiteral("/Help/hilfe.htm");
    if (QFileInfo::exists(page))
        txtHilfe->setSource(QUrl::fromLocalFile(page));
    else
        txtHilfe->setPlainText(
            QStringLiteral("Die Hilfe-Datei '%1' wurde nicht gefunden.").arg(QDir::toNativeSeparators(page)));
    resize(720, 640);
}

frmHilfe* frmHilfe::showHelp(QWidget* parent) {
    static QPointer<frmHilfe> help;
    if (!help) {
        help = new frmHilfe(parent);
        help->setAttribute(Qt::WA_DeleteOnClose);
    }
    help->show();
    help->raise();
    help->activateWindow();
    return help;
}

}  // namespace gd
