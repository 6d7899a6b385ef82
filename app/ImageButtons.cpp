#include "ImageButtons.h"

#include "Units.h"

#include <QAbstractButton>
#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

namespace {

constexpr int PictureWidth = 80;
constexpr int PictureHeight = 24;

// A button that is its picture: pressed it darkens, focused it shows the focus frame.
class ImageButton : public QAbstractButton {
public:
    ImageButton(const QString& word, QWidget* parent) : QAbstractButton(parent) {
        setText(word);
        setFocusPolicy(Qt::StrongFocus);
    }
    QSize sizeHint() const override { return {PictureWidth, PictureHeight}; }

protected:
    void paintEvent(QPaintEvent*) override {
        // Drawn when first shown: the history view is not what the program starts on.
        if (m_picture.isNull())
            m_picture = imageButtonPicture(text(), devicePixelRatioF());
        QPainter p(this);
        p.drawPixmap(rect(), m_picture);
        if (isDown())
            p.fillRect(rect(), QColor(0, 0, 60, 50));
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = rect().adjusted(2, 2, -2, -2);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
        }
    }

private:
    QPixmap m_picture;
};

} // namespace

QPixmap imageButtonPicture(const QString& word, qreal devicePixelRatio) {
    QPixmap picture(QSize(PictureWidth, PictureHeight) * devicePixelRatio);
    picture.setDevicePixelRatio(devicePixelRatio);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame(0.5, 0.5, PictureWidth - 1, PictureHeight - 1);
    QLinearGradient shade(0, 0, 0, PictureHeight);
    shade.setColorAt(0, QColor(250, 252, 255));
    shade.setColorAt(0.5, QColor(222, 232, 246));
    shade.setColorAt(1, QColor(190, 206, 230));
    p.setBrush(shade);
    p.setPen(QColor(96, 120, 160));
    p.drawRoundedRect(frame, 3, 3);
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(12); // 9 points
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(20, 40, 110));
    p.drawText(QRectF(0, 0, PictureWidth, PictureHeight), Qt::AlignCenter, word);
    return picture;
}

const std::array<QString, ImageButtonStrip::Count>& ImageButtonStrip::words() {
    static const std::array<QString, Count> all{
        QStringLiteral("导 出"), QStringLiteral("导 入"), QStringLiteral("删除记录"),
        QStringLiteral("清除记录"), QStringLiteral("再次打印")};
    return all;
}

ImageButtonStrip::ImageButtonStrip(QWidget* parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("历史记录命令"));
    const QRect size = ScreenTwips::toPixelRect(QRectF(0, 0, 1200, 360));
    for (int i = 0; i < Count; ++i) {
        auto* b = new ImageButton(words()[i], this);
        b->setGeometry(i * size.width(), 0, size.width(), size.height());
        b->setAccessibleName(words()[i]);
        b->setToolTip(words()[i]);
        connect(b, &QAbstractButton::clicked, this, [this, i] { emit clicked(i); });
        m_buttons[static_cast<std::size_t>(i)] = b;
    }
}
