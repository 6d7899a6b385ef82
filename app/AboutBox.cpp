#include "AboutBox.h"

#include "MakerSite.h"
#include "Units.h"
#include "UserDialogs.h"
#include "VersionCheck.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>

namespace {

QRect pixels(int left, int top, int width, int height) {
    return ScreenTwips::toPixelRect(QRectF(left, top, width, height));
}

QFont songFont(double points, bool bold) {
    QFont font(QStringLiteral("宋体"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

} // namespace

MakerLogo::MakerLogo(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void MakerLogo::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 100 × 100 grid and scaled, so the logo keeps its shape at any size.
    const double side = std::min(width(), height());
    painter.translate((width() - side) / 2.0, (height() - side) / 2.0);
    painter.scale(side / 100.0, side / 100.0);

    QLinearGradient sky(0, 0, 0, 100);
    sky.setColorAt(0.0, QColor(0x2E, 0x6F, 0x8E));
    sky.setColorAt(1.0, QColor(0x1B, 0x3F, 0x5A));
    painter.setPen(Qt::NoPen);
    painter.setBrush(sky);
    painter.drawRoundedRect(QRectF(2, 2, 96, 96), 16, 16);

    // The marsh: three reed-green waves along the bottom.
    painter.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i) {
        const double y = 70 + i * 8;
        QPainterPath wave(QPointF(12, y));
        wave.cubicTo(QPointF(25, y - 6), QPointF(37, y + 6), QPointF(50, y));
        wave.cubicTo(QPointF(63, y - 6), QPointF(75, y + 6), QPointF(88, y));
        painter.setPen(
            QPen(QColor(0x9C, 0xD0, 0x8A, 230 - i * 50), 3.2, Qt::SolidLine, Qt::RoundCap));
        painter.drawPath(wave);
    }

    // The quill: a feather leaning to the right, its shaft ending in a nib over the water.
    QPainterPath vane(QPointF(30, 66));
    vane.cubicTo(QPointF(30, 40), QPointF(52, 16), QPointF(80, 10));
    vane.cubicTo(QPointF(76, 34), QPointF(56, 56), QPointF(30, 66));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xF7, 0xF3, 0xE8));
    painter.drawPath(vane);
    painter.setPen(QPen(QColor(0x1B, 0x3F, 0x5A), 1.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(24, 74), QPointF(72, 20));
    for (int i = 1; i <= 4; ++i) {
        const QPointF onShaft(30 + i * 8.5, 67 - i * 9.6);
        painter.drawLine(onShaft, onShaft + QPointF(-3, -9));
    }
    painter.setPen(QPen(QColor(0xF7, 0xF3, 0xE8), 2.4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(24, 74), QPointF(30, 67));
}

AboutBox::AboutBox(const QString& version, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("关于 ") + Messages::programTitle());
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(false);
    setFixedSize(ScreenTwips::toPixels(clientWidthTwips), ScreenTwips::toPixels(clientHeightTwips));

    m_logo = new MakerLogo(this);
    m_logo->setObjectName(QStringLiteral("IMG"));
    m_logo->setGeometry(pixels(240, 120, 1665, 1665));

    auto addLabel = [this](const QString& name, const QString& text, const QRect& place,
                           const QFont& font) {
        auto* label = new QLabel(text, this);
        label->setObjectName(name);
        label->setGeometry(place);
        label->setFont(font);
        m_labels.append(label);
        return label;
    };
    addLabel(QStringLiteral("lblTitle"), Messages::programTitle(), pixels(2160, 300, 3400, 360),
             songFont(12, true));
    addLabel(QStringLiteral("lblVersion"), QStringLiteral("版本 ") + version,
             pixels(2160, 780, 3400, 300), songFont(10.5, false));
    addLabel(QStringLiteral("lblCopyright"), QStringLiteral("版权所有 © Quillmarsh"),
             pixels(2160, 1200, 3400, 300), songFont(9, false));
    QLabel* site = addLabel(QStringLiteral("lblSite"), MakerSite::host(),
                            pixels(2160, 1560, 3400, 300), songFont(9, false));
    QPalette link = site->palette();
    link.setColor(QPalette::WindowText, QColor(0x00, 0x33, 0xCC));
    site->setPalette(link);
    QFont underlined = site->font();
    underlined.setUnderline(true);
    site->setFont(underlined);

    m_logo->setCursor(Qt::PointingHandCursor);
    m_logo->installEventFilter(this);
    for (QLabel* label : m_labels) {
        label->setCursor(Qt::PointingHandCursor);
        label->installEventFilter(this);
    }

    m_ok = new QPushButton(QStringLiteral("确   定"), this);
    m_ok->setObjectName(QStringLiteral("CMD"));
    m_ok->setGeometry(pixels(4125, 2760, 1500, 345));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::close);
}

bool AboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const auto* widget = qobject_cast<QWidget*>(watched);
        if (mouse->button() == Qt::LeftButton && widget &&
            widget->rect().contains(mouse->position().toPoint())) {
            MakerSite::OpenHomePage();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

AboutBox* ShowAboutBox(QWidget& mainWindow) {
    AboutBox* box = nullptr;
    // A box that was closed is only waiting to be deleted; it is not shown again.
    for (AboutBox* open : mainWindow.findChildren<AboutBox*>(Qt::FindDirectChildrenOnly))
        if (open->isVisible())
            box = open;
    if (!box) {
        box = new AboutBox(digitsAndPoints(mainWindow.windowTitle()), &mainWindow);
        box->setAttribute(Qt::WA_DeleteOnClose);
        QScreen* screen = mainWindow.screen();
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (screen) {
            const QRect area = screen->geometry();
            box->move(area.x() + (area.width() - box->width()) / 2,
                      area.y() + (area.height() - box->height()) / 2);
        }
    }
    box->show();
    box->raise();
    box->activateWindow();
    return box;
}
