#include "ui/frmHilfe.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
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
    showSection(QString());
    resize(720, 640);
}

void frmHilfe::showSection(const QString& section) {
    const QString page = AppPath() + QStringLiteral("/Help/hilfe.htm");
    if (!QFileInfo::exists(page)) {
        txtHilfe->setPlainText(
            QStringLiteral("Die Hilfe-Datei '%1' wurde nicht gefunden.").arg(QDir::toNativeSeparators(page)));
        return;
    }
    QUrl url = QUrl::fromLocalFile(page);
    if (!section.isEmpty()) url.setFragment(section);
    txtHilfe->setSource(url);
    if (section.isEmpty()) txtHilfe->verticalScrollBar()->setValue(0);
}

QString frmHilfe::section() const { return txtHilfe->source().fragment(); }

frmHilfe* frmHilfe::showHelp(QWidget* parent, const QString& section) {
    static QPointer<frmHilfe> help;
    QWidget* owner = parent ? parent->window() : nullptr;
    if (!help) {
        help = new frmHilfe(owner);
        help->setAttribute(Qt::WA_DeleteOnClose);
    } else if (owner && help->parentWidget() != owner && owner->isModal()) {
        const bool shown = help->isVisible();
        help->setParent(owner, help->windowFlags());
        if (shown) help->show();
    }
    help->showSection(section);
    help->show();
    help->raise();
    help->activateWindow();
    return help;
}

namespace {
QPushButton* helpButton(QWidget* dialog, const QString& section) {
    auto* b = new QPushButton(QStringLiteral("Hilfe"), dialog);
    b->setObjectName(QStringLiteral("cmdHilfe"));
    b->setAutoDefault(false);
    b->setToolTip(QStringLiteral("Hilfe zu diesem Fenster (F1)"));
    QObject::connect(b, &QPushButton::clicked, dialog, [dialog, section] { frmHilfe::showHelp(dialog, section); });
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), dialog);
    f1->setContext(Qt::WindowShortcut);
    QObject::connect(f1, &QShortcut::activated, dialog, [dialog, section] { frmHilfe::showHelp(dialog, section); });
    return b;
}
}  // namespace

QPushButton* addHelp(QWidget* dialog, const QString& section, QBoxLayout* buttonRow) {
    QPushButton* b = helpButton(dialog, section);
    buttonRow->insertWidget(0, b);
    return b;
}

QPushButton* addHelp(QWidget* dialog, const QString& section, QDialogButtonBox* buttons) {
    QPushButton* b = helpButton(dialog, section);
    buttons->addButton(b, QDialogButtonBox::HelpRole);
    return b;
}

}  // namespace gd
