#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

#include <array>

class QAbstractButton;

// The 80 × 24 pixel picture of an image button, with its word drawn in it.
QPixmap imageButtonPicture(const QString& word, qreal devicePixelRatio = 1.0);

// The strip of the five image buttons of the history view, side by side in index order.
class ImageButtonStrip : public QWidget {
    Q_OBJECT
public:
    static constexpr int Count = 5;
    static const std::array<QString, Count>& words();

    explicit ImageButtonStrip(QWidget* parent = nullptr);
    QAbstractButton* button(int index) const {
        return m_buttons.at(static_cast<std::size_t>(index));
    }

signals:
    void clicked(int index);

private:
    std::array<QAbstractButton*, Count> m_buttons{};
};
