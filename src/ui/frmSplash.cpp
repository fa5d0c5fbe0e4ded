#include "ui/frmSplash.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "base/CallStack.h"

namespace gd {
namespace {

class ClickFrame final : public QFrame {
public:
    using QFrame::QFrame;
    std::function<void()> onClick;

protected:
    void mousePressEvent(QMouseEvent*) override {
        if (onClick) onClick();
    }
};

}  // namespace

QPixmap splashImage(const QSize& size) {
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 0, size.height());
    bg.setColorAt(0, QColor(0x1f, 0x3b, 0x5c));
    bg.setColorAt(1, QColor(0x0d, 0x1c, 0x2e));
    p.fillRect(pm.rect(), bg);

    // A gavel: head, handle and the sounding block.
    p.save();
    p.translate(size.width() * 0.78, size.height() * 0.42);
    p.rotate(-30);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xc8, 0x8a, 0x4a));
    p.drawRoundedRect(QRectF(-8, 0, 16, 110), 6, 6);
    p.setBrush(QColor(0x8b, 0x55, 0x2a));
    p.drawRoundedRect(QRectF(-45, -30, 90, 36), 10, 10);
    p.setBrush(QColor(0xe0, 0xb0, 0x70));
    p.drawRect(QRectF(-30, -30, 8, 36));
    p.drawRect(QRectF(22, -30, 8, 36));
    p.restore();
    p.setBrush(QColor(0x6d, 0x42, 0x21));
    p.drawRoundedRect(QRectF(size.width() * 0.66, size.height() * 0.78, 130, 22), 6, 6);

    p.setPen(QColor(0xf2, 0xf2, 0xf2));
    QFont title(QStringLiteral("Sans Serif"), 26, QFont::Bold);
    p.setFont(title);
    p.drawText(QRect(28, 30, size.width(), 50), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Orvo Gaveldesk"));
    QFont year(QStringLiteral("Sans Serif"), 18);
    p.setFont(year);
    p.setPen(QColor(0xe0, 0xb0, 0x70));
    p.drawText(QRect(30, 80, size.width(), 34), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("2005"));
    QFont sub(QStringLiteral("Sans Serif"), 11);
    p.setFont(sub);
    p.setPen(QColor(0xc0, 0xcc, 0xd8));
    p.drawText(QRect(30, 122, size.width(), 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Auktionen abwickeln – Käufer, Verkäufer, E-Mails"));
    return pm;
}

frmSplash::frmSplash(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    CALLSTACK();
    setObjectName(QStringLiteral("frmSplash"));
    auto* frame = new ClickFrame(this);
    Frame1 = frame;
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::Box);
    frame->onClick = [this] { Frame1_Click(); };
    auto* picture = new QLabel(Frame1);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setPixmap(splashImage(QSize(480, 260)));
    lblProductName = new QLabel(QStringLiteral("eMailverwaltung wird gestartet......."), Frame1);
    lblProductName->setObjectName(QStringLiteral("lblProductName"));
    lblProductName->setAlignment(Qt::AlignCenter);
    auto* inner = new QVBoxLayout(Frame1);
    inner->setContentsMargins(6, 6, 6, 6);
    inner->addWidget(picture);
    inner->addWidget(lblProductName);
    lblMessage = new QLabel(Frame1);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    lblMessage->setAlignment(Qt::AlignCenter);
    lblMessage->setWordWrap(true);
    lblMessage->hide();
    inner->addWidget(lblMessage);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(Frame1);
}

void frmSplash::keyPressEvent(QKeyEvent*) { Form_KeyPress(); }

void frmSplash::showMessage(const QString& text) {
    lblMessage->setText(text);
    lblMessage->setVisible(!text.isEmpty());
    adjustSize();
}

void frmSplash::Form_KeyPress() {
    CALLSTACK();
    close();
}

void frmSplash::Frame1_Click() {
    CALLSTACK();
    close();
}

}  // namespace gd
