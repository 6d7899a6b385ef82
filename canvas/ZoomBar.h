#pragma once

#include <QWidget>

class PageArea;
class QComboBox;

// The zoom of the page as a clerk finds it beside the page: "缩放" with its steps, and the
// buttons "缩小", "放大" and "适合宽度". Ctrl with the wheel or the keys does the same.
class ZoomBar : public QWidget {
    Q_OBJECT
public:
    ZoomBar(PageArea& area, QWidget* parent = nullptr);

private:
    void showZoom(double zoom);

    PageArea& m_area;
    QComboBox* m_steps = nullptr;
};
