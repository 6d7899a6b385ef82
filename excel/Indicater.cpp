#include "Indicater.h"
#include "Units.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace {

// Window and bar sizes in screen twips.
constexpr int WindowWidthTwips = 9045;
constexpr int WindowHeightTwips = 390;
constexpr int PictureWidthTwips = 9015;
constexpr int PictureHeightTwips = 375;
const QColor BarColour(0, 0, 255);

void letEventsRun() {
    QCoreApplication::processEvents();
}

} // namespace

ProgressBarPicture::ProgressBarPicture(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Pic"));
    setFixedSize(ScreenTwips::toPixels(PictureWidthTwips),
                 ScreenTwips::toPixels(PictureHeightTwips));
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

void ProgressBarPicture::clear() {
    m_drawnWidth = 0;
    update();
}

void ProgressBarPicture::drawFor(int value, int total) {
    if (total == 0 || value <= 0)
        return;
    const double fraction = static_cast<double>(value) / static_cast<double>(total);
    const int right = static_cast<int>(std::lround(std::min(fraction, 1.0) * width()));
    // A shorter bar is drawn over the longer one, so what shows never shrinks.
    if (right > m_drawnWidth) {
        m_drawnWidth = right;
        update();
    }
}

void ProgressBarPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_drawnWidth > 0)
        painter.fillRect(QRect(0, 0, m_drawnWidth, height()), BarColour);
}

ProgressDisplay::ProgressDisplay(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::CustomizeWindowHint) {
    setObjectName(QStringLiteral("进度显示"));
    setWindowTitle(Indicater::designCaption());
    setFixedSize(ScreenTwips::toPixels(WindowWidthTwips), ScreenTwips::toPixels(WindowHeightTwips));
    setFocusPolicy(Qt::StrongFocus);
    // Events keep running during a transfer; input other than to this window would let
    // the user change the grid or start a second transfer half way through this one.
    setWindowModality(Qt::ApplicationModal);
    m_picture = new ProgressBarPicture(this);
    m_picture->move(0, 0);
}

void ProgressDisplay::place() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 3);
}

void ProgressDisplay::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        m_cancelled = true;
    event->accept(); // every other key is ignored
}

void ProgressDisplay::closeEvent(QCloseEvent* event) {
    // Closing the window by hand does not stop a transfer; the transfer closes it.
    event->ignore();
}

Indicater::~Indicater() {
    IndicaterClose();
}

void Indicater::IndicaterOpen(const QString& caption, int total, QWidget* parent) {
    m_caption = caption;
    m_total = total;
    if (!m_window) {
        m_window = new ProgressDisplay(parent);
        m_window->place();
        m_cancelled = false;
    }
    m_window->setWindowTitle(caption);
    letEventsRun();
    m_window->picture()->clear();
    m_value = 0;
    m_window->show();
    m_window->activateWindow();
    m_window->setFocus();
    letEventsRun();
}

void Indicater::IndicaterSet(int value) {
    m_value = value;
    if (m_window)
        m_window->picture()->drawFor(value, m_total);
    letEventsRun();
}

void Indicater::IndicaterStep(int delta) {
    IndicaterSet(m_value + delta);
    letEventsRun();
}

void Indicater::IndicaterClose() {
    if (m_window) {
        m_cancelled = m_window->cancelled();
        delete m_window.data();
    }
    letEventsRun();
}

bool Indicater::ProgressCancelled() const {
    return m_window ? m_window->cancelled() : m_cancelled;
}
