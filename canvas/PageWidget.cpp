#include "PageWidget.h"

#include "BoxLineEdit.h"
#include "BoxText.h"
#include "Form.h"
#include "RulerGrid.h"
#include "StoredColor.h"
#include "Units.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRegion>
#include <QResizeEvent>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <numeric>

namespace {

// The frame of a multi-line box is drawn in its palette's window-text colour.
const QColor BoxFrameColor(128, 128, 128);

// How dark the scan's lines are drawn over the canvas colour, and how much of a box's
// background lets them through: faint enough that the texts stay readable.
constexpr double ScanStrength = 0.45;
constexpr int BoxOpacityOverScan = 150;

const QColor OverflowColor(230, 0, 0);

// The faded scan is kept for the whole canvas while that stays small; a canvas zoomed in
// further keeps only the shown part and half a viewport around it.
constexpr qint64 WholeScanPicturePixels = 8'000'000;

} // namespace

PageWidget::PageWidget(Form& form, QWidget* parent) : QWidget(parent), m_form(form) {
    setAccessibleName(QStringLiteral("报关单页面"));
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);

    m_title = new QLabel(this);
    m_title->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_title->setAttribute(Qt::WA_TransparentForMouseEvents);

    createBoxes();
    connect(&m_form, &Form::textChanged, this, &PageWidget::showText);
    connect(&m_form, &Form::geometryChanged, this, &PageWidget::placeBox);
    connect(&m_form, &Form::styleChanged, this, &PageWidget::styleBox);
    for (auto changed : {&Form::textChanged, &Form::geometryChanged, &Form::styleChanged})
        connect(&m_form, changed, this, &PageWidget::checkOverflow);
    connect(&m_form, &Form::gripStateChanged, this, &PageWidget::showGripState);
    // Where boxes overlap, the selected and then the smaller one lies on top and takes the click.
    m_restack = new QTimer(this);
    m_restack->setSingleShot(true);
    m_restack->setInterval(0);
    connect(m_restack, &QTimer::timeout, this, &PageWidget::restackBoxes);
    for (auto changed : {&Form::geometryChanged, &Form::styleChanged})
        connect(&m_form, changed, m_restack, qOverload<>(&QTimer::start));
    connect(&m_form, &Form::labelChanged, this, [this](int index) {
        updateAccessibleNames(index);
        update();
    });
    setCanvasSize(QSizeF(Units::PageWidth, Units::PageHeight));
    restackBoxes();
}

PageWidget::~PageWidget() {
    // The boxes go down with the page: nothing they report on the way reaches the model.
    m_showingText = true;
    disconnect(&m_form, nullptr, this, nullptr);
    for (const BoxView& v : m_boxes)
        v.widget->disconnect(this);
}

void PageWidget::createBoxes() {
    for (int i = 0; i < BoxCount; ++i) {
        BoxView& v = m_boxes[i];
        if (Catalogue::field(i).multiLine) {
            auto* edit = new QPlainTextEdit(this);
            edit->setFrameShape(QFrame::Box);
            edit->setFrameShadow(QFrame::Plain);
            edit->setLineWidth(1);
            edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
            edit->setTabChangesFocus(true);
            edit->document()->setDocumentMargin(1);
            connect(edit, &QPlainTextEdit::textChanged, this, [this, i] { takeTypedText(i); });
            v.multi = edit;
            v.widget = edit;
        } else {
            auto* edit = new BoxLineEdit(this);
            connect(edit, &QLineEdit::textEdited, this, [this, i] { takeTypedText(i); });
            v.line = edit;
            v.widget = edit;
        }
        v.widget->setAutoFillBackground(true);
        v.widget->setProperty("boxIndex", i);
        showText(i);
        styleBox(i);
        updateAccessibleNames(i);
    }

    // The Tab key visits the boxes in the catalogue's order.
    std::array<int, BoxCount> order{};
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [](int a, int b) {
        return Catalogue::field(a).tabPosition < Catalogue::field(b).tabPosition;
    });
    for (int k = 1; k < BoxCount; ++k)
        QWidget::setTabOrder(m_boxes[order[k - 1]].widget, m_boxes[order[k]].widget);
}

void PageWidget::setCanvasSize(QSizeF screenTwips) {
    m_canvasTwips = screenTwips;
    m_zoom = std::max(screenTwips.width(), 1.0) / Units::PageWidth;
    resize(ScreenTwips::toPixels(screenTwips.width()), ScreenTwips::toPixels(screenTwips.height()));
    m_layer = QImage();
    m_scanPicture = QImage();
    m_scanPictureRect = QRect();
    for (int i = 0; i < BoxCount; ++i) {
        placeBox(i);
        styleBox(i);
        checkOverflow(i);
    }
    QFont titleFont = scaledFont(QStringLiteral("宋体"), 15);
    titleFont.setBold(true);
    titleFont.setUnderline(true);
    m_title->setFont(titleFont);
    setTitleRect(m_titleTwips);
    update();
}

double PageWidget::pageHeight() const {
    return m_canvasTwips.height() / m_zoom;
}

QPointF PageWidget::pixelToPage(QPointF pixel) const {
    return pixel * ScreenTwips::PerPixel / m_zoom;
}

QPointF PageWidget::pageToPixel(QPointF twips) const {
    return twips * m_zoom / ScreenTwips::PerPixel;
}

QRect PageWidget::pageRectToPixels(const QRectF& twips) const {
    return ScreenTwips::toPixelRect(QRectF(twips.topLeft() * m_zoom, twips.size() * m_zoom));
}

void PageWidget::setTitle(const QString& title) {
    m_title->setText(title);
    m_title->setAccessibleName(title);
}

QString PageWidget::title() const {
    return m_title->text();
}

void PageWidget::setTitleRect(const QRectF& screenTwips) {
    m_titleTwips = screenTwips;
    m_title->setGeometry(ScreenTwips::toPixelRect(screenTwips));
}

void PageWidget::setBackColor(std::uint32_t bgr) {
    m_backColor = StoredColor::toQColor(bgr);
    m_scanPicture = QImage();
    m_fadedScan = QImage();
    clearDrawings();
}

void PageWidget::setFormScan(const QImage& image, const QRectF& pageRect) {
    const bool wasShown = showsScan();
    m_scan = image;
    m_scanRect = pageRect;
    m_scanPicture = QImage();
    m_fadedScan = QImage();
    if (wasShown != showsScan())
        for (int i = 0; i < BoxCount; ++i)
            styleBox(i);
    update();
}

void PageWidget::setFormScanShown(bool shown) {
    const bool wasShown = showsScan();
    m_scanShown = shown;
    if (wasShown != showsScan())
        for (int i = 0; i < BoxCount; ++i)
            styleBox(i);
    update();
}

void PageWidget::paintScan(QPainter& painter, const QRect& needed) {
    const qreal ratio = devicePixelRatioF();
    if (m_scanPicture.isNull() || !m_scanPictureRect.contains(needed)) {
        QRect part = rect();
        const qint64 pixels = qint64(width()) * height();
        if (pixels * ratio * ratio > WholeScanPicturePixels) {
            const QRect shown =
                parentWidget() ? QRect(-pos(), parentWidget()->size()) & rect() : needed;
            part = (shown | needed)
                       .adjusted(-shown.width() / 2, -shown.height() / 2, shown.width() / 2,
                                 shown.height() / 2) &
                   rect();
        }
        QImage picture(part.size() * ratio, QImage::Format_RGB32);
        picture.setDevicePixelRatio(ratio);
        QPainter p(&picture);
        p.translate(-part.topLeft());
        // While scrolling, what the last picture held is copied and only the rest drawn.
        QRegion missing(part);
        const QRect kept = part & m_scanPictureRect;
        if (!m_scanPicture.isNull() && m_scanPicture.devicePixelRatio() == ratio &&
            !kept.isEmpty()) {
            const QRectF from(QPointF(kept.topLeft() - m_scanPictureRect.topLeft()) * ratio,
                              QSizeF(kept.size()) * ratio);
            p.drawImage(QRectF(kept), m_scanPicture, from);
            missing -= kept;
        }
        if (m_fadedScan.isNull()) {
            // Faded over the canvas colour once a scan: zooming and scrolling only scale it.
            m_fadedScan = QImage(m_scan.size(), QImage::Format_RGB32);
            m_fadedScan.fill(m_backColor);
            QPainter fade(&m_fadedScan);
            // Multiplied over the canvas colour: the paper's white keeps the mode's colour.
            fade.setCompositionMode(QPainter::CompositionMode_Multiply);
            fade.setOpacity(ScanStrength);
            fade.drawImage(0, 0, m_scan);
        }
        const double scale = m_zoom / ScreenTwips::PerPixel;
        const QRectF scan(m_scanRect.topLeft() * scale, m_scanRect.size() * scale);
        // Scan pixels per canvas pixel, each way.
        const double sx = m_scan.width() / std::max(scan.width(), 1.0);
        const double sy = m_scan.height() / std::max(scan.height(), 1.0);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        for (const QRect& r : missing) {
            p.setClipRect(r);
            p.fillRect(r, m_backColor);
            // Only the scan's pixels under `r` (and one around) are scaled, not the whole scan.
            const QRectF wanted =
                QRectF((r.left() - scan.left()) * sx - 1, (r.top() - scan.top()) * sy - 1,
                       r.width() * sx + 2, r.height() * sy + 2)
                    .intersected(QRectF(m_scan.rect()));
            if (wanted.isEmpty())
                continue;
            const QRectF target(scan.left() + wanted.left() / sx, scan.top() + wanted.top() / sy,
                                wanted.width() / sx, wanted.height() / sy);
            p.drawImage(target, m_fadedScan, wanted);
        }
        p.end();
        m_scanPicture = std::move(picture);
        m_scanPictureRect = part;
    }
    painter.drawImage(m_scanPictureRect.topLeft(), m_scanPicture);
}

void PageWidget::setOverflowCheck(std::function<bool(const Box&)> check) {
    m_overflowCheck = std::move(check);
    for (int i = 0; i < BoxCount; ++i)
        checkOverflow(i);
}

QRect PageWidget::overflowFrame(int index) const {
    const Box& b = m_form.box(index);
    return pageRectToPixels(QRectF(b.left, b.top, b.width, b.height)).adjusted(-2, -2, 2, 2);
}

void PageWidget::checkOverflow(int index) {
    const bool over = m_overflowCheck && m_overflowCheck(m_form.box(index));
    QRect& shown = m_overflowFrames[static_cast<std::size_t>(index)];
    const QRect now = over ? overflowFrame(index) : QRect();
    if (now == shown)
        return;
    update(shown);
    update(now);
    shown = now;
}

void PageWidget::resetLayer() {
    const qreal ratio = devicePixelRatioF();
    m_layer = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    m_layer.setDevicePixelRatio(ratio);
    m_layer.fill(Qt::transparent);
}

void PageWidget::clearDrawings() {
    m_rulerShown = false;
    // The layer is made when something is drawn; until then there is nothing to clear.
    if (!m_layer.isNull())
        m_layer.fill(Qt::transparent);
    update();
}

void PageWidget::paintOnLayer(const std::function<void(QPainter&)>& draw) {
    if (m_layer.size() != size() * devicePixelRatioF())
        resetLayer();
    if (m_layer.isNull())
        return;
    {
        QPainter p(&m_layer);
        p.scale(m_zoom / ScreenTwips::PerPixel, m_zoom / ScreenTwips::PerPixel);
        draw(p);
    }
    update();
}

void PageWidget::drawRulerGrid(bool show) {
    clearDrawings();
    // Drawn with each paint rather than kept on the layer: it stays through a zoom, and a
    // page zoomed in needs no picture of its whole size.
    m_rulerShown = show;
}

void PageWidget::setLabelsShown(bool shown) {
    if (m_labelsShown == shown)
        return;
    m_labelsShown = shown;
    update();
}

void PageWidget::restackBoxes() {
    std::array<int, BoxCount> order{};
    std::iota(order.begin(), order.end(), 0);
    const auto onTop = [this](int i) {
        const Box& b = m_form.box(i);
        return std::pair(b.selected(), -double(b.width) * double(b.height));
    };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return onTop(a) < onTop(b); });
    if (order == m_stackOrder)
        return;
    m_stackOrder = order;
    for (int i : order)
        m_boxes[i].widget->raise();
}

QWidget* PageWidget::boxWidget(int index) const {
    return m_boxes.at(static_cast<std::size_t>(index)).widget;
}

QWidget* PageWidget::boxMouseTarget(int index) const {
    const BoxView& v = m_boxes.at(static_cast<std::size_t>(index));
    return v.multi ? v.multi->viewport() : v.widget;
}

int PageWidget::boxIndexOf(const QObject* object) const {
    for (int i = 0; i < BoxCount; ++i)
        if (object == m_boxes[i].widget || object == boxMouseTarget(i))
            return i;
    return -1;
}

QString PageWidget::boxWidgetText(int index) const {
    const BoxView& v = m_boxes.at(static_cast<std::size_t>(index));
    return v.multi ? BoxText::toModel(v.multi->toPlainText()) : v.line->text();
}

QString PageWidget::accessibleBoxName(int index) const {
    const QString& caption = m_form.label(index).caption;
    if (!caption.isEmpty())
        return caption;
    const Catalogue::GoodsPosition goods = Catalogue::goodsPosition(index);
    if (goods.line < 2)
        return caption;
    const int heading = Catalogue::goodsLines()[0][static_cast<std::size_t>(goods.column)];
    return QStringLiteral("第%1行 ").arg(goods.line) + m_form.label(heading).caption;
}

void PageWidget::updateAccessibleNames(int labelIndex) {
    m_boxes[labelIndex].widget->setAccessibleName(accessibleBoxName(labelIndex));
    // A heading of the goods table also names the boxes of its column below.
    const Catalogue::GoodsPosition goods = Catalogue::goodsPosition(labelIndex);
    if (goods.line != 1)
        return;
    for (int line = 1; line < 5; ++line) {
        const int below = Catalogue::goodsLines()[static_cast<std::size_t>(line)]
                                                 [static_cast<std::size_t>(goods.column)];
        if (QWidget* w = m_boxes[below].widget)
            w->setAccessibleName(accessibleBoxName(below));
    }
}

void PageWidget::placeBox(int index) {
    const Box& b = m_form.box(index);
    m_boxes[index].widget->setGeometry(pageRectToPixels(QRectF(b.left, b.top, b.width, b.height)));
}

QFont PageWidget::boxFont(const Box& box) const {
    // The size it prints at, relative to the page, so that what fits here fits on paper.
    const double pixels = box.fontSize * Units::PageTwipsPerPoint * m_zoom / ScreenTwips::PerPixel;
    const double dpi = logicalDpiY() > 0 ? logicalDpiY() : 96.0;
    return box.font(std::max(0.5, pixels * 72.0 / dpi));
}

QFont PageWidget::scaledFont(const QString& family, double points) const {
    QFont font(family);
    // Fonts scale with the page; 96 dpi is the screen the twips are counted on.
    const double dpi = logicalDpiY() > 0 ? logicalDpiY() : 96.0;
    font.setPointSizeF(std::max(0.5, points * m_zoom * 96.0 / dpi));
    return font;
}

void PageWidget::styleBox(int index) {
    const Box& b = m_form.box(index);
    QWidget* w = m_boxes[index].widget;
    const QFont font = boxFont(b);
    if (w->font() != font)
        w->setFont(font);
    QPalette pal = w->palette();
    QColor back = StoredColor::toQColor(b.backColor);
    if (showsScan())
        back.setAlpha(BoxOpacityOverScan);
    pal.setColor(QPalette::Base, back);
    pal.setColor(QPalette::Window, back);
    pal.setColor(QPalette::Text, StoredColor::toQColor(b.foreColor));
    pal.setColor(QPalette::WindowText, BoxFrameColor);
    if (pal != w->palette())
        w->setPalette(pal);
    if (w->isEnabled() != b.enabled)
        w->setEnabled(b.enabled);
}

void PageWidget::showGripState(int index) {
    QWidget* target = boxMouseTarget(index);
    switch (m_form.box(index).gripState) {
    case 1:
        target->setCursor(Qt::ArrowCursor);
        break;
    case 8:
        target->setCursor(Qt::SizeFDiagCursor);
        break;
    default: // no grip: the I-beam of a text box
        target->setCursor(Qt::IBeamCursor);
        break;
    }
}

void PageWidget::showText(int index) {
    const QString& text = m_form.text(index);
    // Leave a widget that already shows the text alone, so that the caret stays put.
    if (boxWidgetText(index) == text)
        return;
    const BoxView& v = m_boxes[index];
    m_showingText = true;
    if (v.multi)
        v.multi->setPlainText(BoxText::toWidget(text));
    else
        v.line->setText(text);
    m_showingText = false;
}

void PageWidget::takeTypedText(int index) {
    if (m_showingText)
        return;
    m_form.setText(index, boxWidgetText(index));
}

void PageWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Drawings belong to one canvas size; a new size starts with an empty layer.
    if (!m_layer.isNull() && m_layer.size() != size() * devicePixelRatioF())
        m_layer = QImage();
}

void PageWidget::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setClipRegion(event->region());
    if (showsScan())
        paintScan(p, event->rect());
    else
        p.fillRect(rect(), m_backColor);
    if (!m_layer.isNull())
        p.drawImage(QPoint(0, 0), m_layer);
    if (m_rulerShown) {
        p.save();
        p.scale(m_zoom / ScreenTwips::PerPixel, m_zoom / ScreenTwips::PerPixel);
        RulerGrid::draw(p, QSizeF(m_canvasTwips.width() / m_zoom, pageHeight()), Qt::black);
        p.restore();
    }

    // Caption labels are transparent text on the page, under the boxes.
    p.setFont(scaledFont(QStringLiteral("宋体"), 9));
    p.setPen(palette().color(QPalette::Highlight));
    for (int i = 0; m_labelsShown && i < BoxCount; ++i) {
        const Label& l = m_form.label(i);
        if (l.caption.isEmpty())
            continue;
        const QRect r = pageRectToPixels(QRectF(l.left, l.top, l.width, l.height));
        const Qt::Alignment side = Catalogue::labelRightAligned(i) ? Qt::AlignRight : Qt::AlignLeft;
        p.drawText(r, static_cast<int>(side | Qt::AlignTop | Qt::TextDontClip), l.caption);
    }

    // Around the box, outside it, since the box itself covers its rectangle.
    p.setPen(QPen(OverflowColor, 2));
    p.setBrush(Qt::NoBrush);
    for (const QRect& frame : m_overflowFrames)
        if (!frame.isNull())
            p.drawRect(QRectF(frame).adjusted(1, 1, -1, -1));
}
