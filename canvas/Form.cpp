#include "Form.h"

#include "BoxText.h"

#include <algorithm>

QFont Box::font(double pointSize) const {
    QFont f(fontName);
    f.setPointSizeF(pointSize);
    f.setBold(fontBold);
    f.setItalic(fontItalic);
    f.setUnderline(fontUnderline);
    f.setStrikeOut(fontStrikethru);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

Form::Form(QObject* parent) : QObject(parent) {
    resetToBuiltIn();
}

void Form::resetToBuiltIn() {
    for (int i = 0; i < BoxCount; ++i) {
        const FieldSpec& f = Catalogue::field(i);
        Box b;
        b.text = m_boxes[i].text;
        b.left = f.left;
        b.top = f.top;
        b.width = f.width;
        b.height = f.height;
        m_boxes[i] = b;

        // Labels start where the label rule keeps them: above the box, or on its top
        // line (720 below it for the marks box) so that the rule places them to the left.
        Label& l = m_labels[i];
        l = Label{};
        l.left = f.left;
        switch (f.label) {
        case LabelPlacement::Left:
            l.top = f.top;
            break;
        case LabelPlacement::LeftBelow720:
            l.top = f.top + 720;
            break;
        case LabelPlacement::Above:
        case LabelPlacement::None:
            l.top = f.top - Catalogue::LabelGapAbove;
            break;
        }
        emit geometryChanged(i);
        emit styleChanged(i);
        emit labelChanged(i);
    }
    labelBoxes(Mode::Import);
}

void Form::setText(int index, const QString& text) {
    Box& b = mutableBox(index);
    const QString kept = BoxText::wellFormed(text);
    if (b.text == kept)
        return;
    b.text = kept;
    m_contentChanged = true;
    emit textChanged(index);
}

void Form::setLayout(int i, const Box& from) {
    setGeometry(i, from.left, from.top, from.width, from.height);
    setForeColor(i, from.foreColor);
    setFontName(i, from.fontName);
    setFontSize(i, from.fontSize);
    setFontBold(i, from.fontBold);
    setFontItalic(i, from.fontItalic);
    setFontUnderline(i, from.fontUnderline);
    setFontStrikethru(i, from.fontStrikethru);
}

void Form::clearAll() {
    for (int i = 0; i < BoxCount; ++i)
        setText(i, QString());
}

bool Form::allEmpty() const {
    return std::all_of(m_boxes.begin(), m_boxes.end(),
                       [](const Box& b) { return b.text.isEmpty(); });
}

void Form::setGeometry(int index, float left, float top, float width, float height) {
    Box& b = mutableBox(index);
    b.left = left;
    b.top = top;
    b.width = std::max(width, MinimumExtent);
    b.height = std::max(height, MinimumExtent);
    emit geometryChanged(index);
}

void Form::setLeft(int index, float left) {
    const Box& b = box(index);
    setGeometry(index, left, b.top, b.width, b.height);
}
void Form::setTop(int index, float top) {
    const Box& b = box(index);
    setGeometry(index, b.left, top, b.width, b.height);
}
void Form::setWidth(int index, float width) {
    const Box& b = box(index);
    setGeometry(index, b.left, b.top, width, b.height);
}
void Form::setHeight(int index, float height) {
    const Box& b = box(index);
    setGeometry(index, b.left, b.top, b.width, height);
}

#define FORM_STYLE_SETTER(Name, member, Type, signal)                                              \
    void Form::Name(int index, Type value) {                                                       \
        Box& b = mutableBox(index);                                                                \
        if (b.member == value)                                                                     \
            return;                                                                                \
        b.member = value;                                                                          \
        emit signal(index);                                                                        \
    }

FORM_STYLE_SETTER(setForeColor, foreColor, std::uint32_t, styleChanged)
FORM_STYLE_SETTER(setFontName, fontName, const QString&, styleChanged)
FORM_STYLE_SETTER(setFontBold, fontBold, bool, styleChanged)
FORM_STYLE_SETTER(setFontItalic, fontItalic, bool, styleChanged)
FORM_STYLE_SETTER(setFontUnderline, fontUnderline, bool, styleChanged)
FORM_STYLE_SETTER(setFontStrikethru, fontStrikethru, bool, styleChanged)
FORM_STYLE_SETTER(setBackColor, backColor, std::uint32_t, styleChanged)
FORM_STYLE_SETTER(setEnabled, enabled, bool, styleChanged)
FORM_STYLE_SETTER(setGripState, gripState, int, gripStateChanged)
#undef FORM_STYLE_SETTER

void Form::setFontSize(int index, float size) {
    Box& b = mutableBox(index);
    const float clamped = std::clamp(size, MinimumFontSize, MaximumFontSize);
    if (b.fontSize == clamped)
        return;
    b.fontSize = clamped;
    emit styleChanged(index);
}

void Form::setSelected(int index, bool selected) {
    setBackColor(index, selected ? Catalogue::SelectedBackColor : Catalogue::UnselectedBackColor);
}

void Form::setTag(int index, const QString& tag) {
    mutableBox(index).tag = tag;
}

void Form::setLabelPosition(int index, float left, float top) {
    Label& l = m_labels.at(static_cast<std::size_t>(index));
    l.left = left;
    l.top = top;
    emit labelChanged(index);
}

void Form::labelBoxes(Mode mode) {
    const auto& table = Catalogue::captionTable(mode);
    for (int i = 0; i < BoxCount; ++i)
        m_labels[i].caption = table[i];
    for (int i = 0; i < BoxCount; ++i) {
        Label& l = m_labels[i];
        const Box& b = m_boxes[i];
        l.width = Catalogue::LabelCharWidth * static_cast<float>(l.caption.size());
        l.height = Catalogue::LabelHeight;
        // Strictly greater: a label on its box's top line goes to the left.
        if (b.top > l.top)
            l.top = b.top - Catalogue::LabelGapAbove;
        else
            l.left = b.left - l.width;
        emit labelChanged(i);
    }
}

bool Form::InRectangle(int index, int x1, int y1, int x2, int y2) const {
    const Box& b = box(index);
    const float xmin = static_cast<float>(std::min(x1, x2));
    const float xmax = static_cast<float>(std::max(x1, x2));
    const float ymin = static_cast<float>(std::min(y1, y2));
    const float ymax = static_cast<float>(std::max(y1, y2));
    if (b.left + b.width < xmin || b.left > xmax || b.top + b.height < ymin || b.top > ymax)
        return false;
    return true;
}

void Form::CtlSelect(bool select, int x1, int y1, int x2, int y2) {
    for (int i = 0; i < BoxCount; ++i)
        setSelected(i, select && InRectangle(i, x1, y1, x2, y2));
}

void Form::CtlMove(int index, float dx, float dy) {
    for (int i = 0; i < BoxCount; ++i) {
        if (!affected(index, i))
            continue;
        Box& b = m_boxes[i];
        b.left += dx;
        b.top += dy;
        m_labels[i].left += dx;
        m_labels[i].top += dy;
        emit geometryChanged(i);
        emit labelChanged(i);
    }
}

void Form::CtlChange(int index, float dw, float dh) {
    for (int i = 0; i < BoxCount; ++i) {
        if (!affected(index, i))
            continue;
        const Box& b = m_boxes[i];
        setGeometry(i, b.left, b.top, b.width + dw, b.height + dh);
    }
}

void Form::FontSizeChange(int index, float dz) {
    for (int i = 0; i < BoxCount; ++i)
        if (affected(index, i))
            setFontSize(i, m_boxes[i].fontSize + dz);
}
