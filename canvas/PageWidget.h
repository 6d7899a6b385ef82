#pragma once

#include "Catalogue.h"

#include <QImage>
#include <QSizeF>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>

struct Box;
class Form;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTimer;

// The canvas: the A4 page in the mode's colour with the 88 boxes, their caption labels,
// the title and a persistent drawing layer (the ruler grid, the rubber band). The model
// holds page twips; the page is shown at zoom = canvas width in screen twips / 7935.
//
// Box editing installs itself from outside: event filters on the canvas and on
// boxMouseTarget(i), with pixelToPage/pageToPixel for the coordinates.
class PageWidget : public QWidget {
    Q_OBJECT
public:
    explicit PageWidget(Form& form, QWidget* parent = nullptr);
    ~PageWidget() override;

    Form& form() const { return m_form; }

    // The canvas size in screen twips; the widget takes it in pixels and the zoom follows.
    void setCanvasSize(QSizeF screenTwips);
    QSizeF canvasSize() const { return m_canvasTwips; }
    double zoom() const { return m_zoom; }
    // The page's height in page twips (7935 × 297 / 210 for an A4 canvas).
    double pageHeight() const;

    // Widget pixels to page twips and back.
    QPointF pixelToPage(QPointF pixel) const;
    QPointF pageToPixel(QPointF twips) const;
    QRect pageRectToPixels(const QRectF& twips) const;

    QLabel* titleLabel() const { return m_title; }
    void setTitle(const QString& title);
    QString title() const;
    // The title's rectangle in the canvas, in screen twips.
    void setTitleRect(const QRectF& screenTwips);

    // The canvas colour (BGR, red in the low byte). Changing it clears the drawing layer.
    void setBackColor(std::uint32_t bgr);
    QColor backColor() const { return m_backColor; }

    // Drawings stay across repaints until they are cleared or the colour changes.
    void clearDrawings();
    // Runs `draw` on the drawing layer with page twips as the painter's unit.
    void paintOnLayer(const std::function<void(QPainter&)>& draw);
    // Null until something is drawn.
    const QImage& drawingLayer() const { return m_layer; }
    // Clears the drawings, then draws the ruler grid when `show` is set.
    void drawRulerGrid(bool show);
    bool rulerGridShown() const { return m_rulerShown; }

    // The caption labels can be hidden, so that the captions of a scan behind can be read.
    void setLabelsShown(bool shown);
    bool labelsShown() const { return m_labelsShown; }

    // The scanned blank form behind the boxes, over `pageRect` in page twips; a null image
    // removes it. It is shown faded, under the ruler grid, and the boxes let it through.
    void setFormScan(const QImage& image, const QRectF& pageRect);
    void setFormScanShown(bool shown);

    // Whether a box's text runs past the box when printed; such a box gets a red frame.
    void setOverflowCheck(std::function<bool(const Box&)> check);

    // The QLineEdit or QPlainTextEdit that shows box `index`.
    QWidget* boxWidget(int index) const;
    // The widget that receives the box's mouse events (a plain-text edit's viewport).
    QWidget* boxMouseTarget(int index) const;
    // The box shown by `object` (a box widget or its viewport), or −1.
    int boxIndexOf(const QObject* object) const;
    // The text as the box's widget holds it, in the model's CR LF form.
    QString boxWidgetText(int index) const;

    // The screen-reader name of a box: its caption in the current mode, or for the goods
    // lines 2 to 5 "第N行 " and the caption of its column.
    QString accessibleBoxName(int index) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct BoxView {
        QWidget* widget = nullptr;
        QLineEdit* line = nullptr;
        QPlainTextEdit* multi = nullptr;
    };

    void createBoxes();
    void placeBox(int index);
    void styleBox(int index);
    void showText(int index);
    void showGripState(int index);
    void takeTypedText(int index);
    void updateAccessibleNames(int labelIndex);
    QFont scaledFont(const QString& family, double points) const;
    QFont boxFont(const Box& box) const;
    void resetLayer();
    bool showsScan() const { return m_scanShown && !m_scan.isNull(); }
    void paintScan(QPainter& painter, const QRect& needed);
    void restackBoxes();
    void checkOverflow(int index);
    QRect overflowFrame(int index) const;

    Form& m_form;
    std::array<BoxView, BoxCount> m_boxes{};
    QLabel* m_title = nullptr;
    QRectF m_titleTwips;
    QSizeF m_canvasTwips;
    double m_zoom = 1.0;
    QColor m_backColor = Qt::white;
    QImage m_layer;
    bool m_showingText = false;
    QImage m_scan;
    QRectF m_scanRect;
    bool m_scanShown = false;
    // The canvas colour with the faded scan over it, over m_scanPictureRect of the canvas:
    // made once a zoom, so that scrolling only copies it.
    QImage m_scanPicture;
    QRect m_scanPictureRect;
    // The scan at its own size, already faded over the canvas colour.
    QImage m_fadedScan;
    bool m_rulerShown = false;
    bool m_labelsShown = true;
    QTimer* m_restack = nullptr;
    std::array<int, BoxCount> m_stackOrder{};
    std::function<bool(const Box&)> m_overflowCheck;
    // The red frame of each box whose text overflows, in pixels; null for the others.
    std::array<QRect, BoxCount> m_overflowFrames{};
};
