#include "mainwindow/frmMain.h"

#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include "app/modGlobal.h"
#include "errors/CallStack.h"
#include "import/Keywords.h"
#include "import/frmEinlesen.h"

namespace gd {

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Orvo Gaveldesk 2005"));
    Form_Load();
}

void frmMain::Form_Load() {
    CALLSTACK();
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    auto* info = new QLabel(central);
    info->setObjectName(QStringLiteral("lblInfo"));
    info->setTextFormat(Qt::RichText);
    info->setText(QStringLiteral("<h2>Orvo Gaveldesk 2005</h2>"
                                 "<p>Benutzer: <b>%1</b><br>Datenbank: %2<br>Suchregeln: %3 Sofortkauf, %4 Kauf, "
                                 "%5 Verkauf</p>")
                      .arg(gsStandardUser.isEmpty() ? QStringLiteral("(nicht eingestellt)") : gsStandardUser.toHtmlEscaped(),
                           gsDataSource.isEmpty() ? QStringLiteral("(keine)") : gsDataSource.toHtmlEscaped())
                      .arg(gaSofortkauf.size())
                      .arg(gaKauf.size())
                      .arg(gaVerkauf.size()));
    layout->addWidget(info);
    auto* cmdEinlesen = new QPushButton(QStringLiteral("Auktionsemail einlesen ..."), central);
    cmdEinlesen->setObjectName(QStringLiteral("cmdEinlesen"));
    connect(cmdEinlesen, &QPushButton::clicked, this, [this] {
        frmEinlesen dlg(this);
        if (dlg.exec() == QDialog::Accepted) statusBar()->showMessage(QStringLiteral("Auktion gespeichert."));
    });
    layout->addWidget(cmdEinlesen, 0, Qt::AlignLeft);
    layout->addStretch();
    setCentralWidget(central);
    statusBar()->showMessage(QStringLiteral("Bereit"));
    resize(933, 400);
}

}  // namespace gd
