#pragma once

#include "Catalogue.h"

#include <QFont>
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <tuple>

// One input box of the declaration. Lengths are page twips: the A4 page is 7935 wide.
struct Box {
    QString text;
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
    std::uint32_t foreColor = 0; // BGR, red in the low byte
    QString fontName = QStringLiteral("宋体");
    float fontSize = 9;
    bool fontBold = false;
    bool fontItalic = false;
    bool fontUnderline = false;
    bool fontStrikethru = false;
    std::uint32_t backColor = Catalogue::UnselectedBackColor;
    int gripState = 0; // 0 none yet, 1 move grip, 3 text, 8 resize grip
    QString tag;       // font-menu mark: "", "1" or "0"
    bool enabled = true;

    bool selected() const { return backColor == Catalogue::SelectedBackColor; }
    // The box's face and style at `pointSize` points of the device it is drawn on, without
    // hinting: whole-pixel advances would make a line's width depend on the device.
    QFont font(double pointSize) const;
    // Position, size, colour and font: what a layout holds of a box.
    auto layoutFields() const {
        return std::tie(left, top, width, height, foreColor, fontName, fontSize, fontBold,
                        fontItalic, fontUnderline, fontStrikethru);
    }
};

// The caption label of a box.
struct Label {
    QString caption;
    float left = 0;
    float top = 0;
    float width = 0;
    float height = Catalogue::LabelHeight;
};

// The 88 boxes and their caption labels: the truth that widgets, layouts, history
// records, printing and the Excel exchange read and write.
class Form : public QObject {
    Q_OBJECT
public:
    // Limits that keep a box usable when it is shrunk or its font is stepped.
    static constexpr float MinimumExtent = 15.0f;
    static constexpr float MinimumFontSize = 1.0f;
    static constexpr float MaximumFontSize = 409.0f;

    explicit Form(QObject* parent = nullptr);

    const Box& box(int index) const { return m_boxes.at(static_cast<std::size_t>(index)); }
    const Label& label(int index) const { return m_labels.at(static_cast<std::size_t>(index)); }

    // Built-in geometry, default fonts, labels placed by the catalogue; texts empty.
    void resetToBuiltIn();

    QString text(int index) const { return box(index).text; }
    // A write that changes the text sets ContentChanged.
    void setText(int index, const QString& text);
    // Boxes 0 to 87, in index order, become empty; nothing else changes.
    void clearAll();
    bool allEmpty() const;

    bool ContentChanged() const { return m_contentChanged; }
    void setContentChanged(bool changed) { m_contentChanged = changed; }

    void setGeometry(int index, float left, float top, float width, float height);
    // Position, size, colour and font of box `index` become those of `from`.
    void setLayout(int index, const Box& from);
    void setLeft(int index, float left);
    void setTop(int index, float top);
    void setWidth(int index, float width);
    void setHeight(int index, float height);
    void setForeColor(int index, std::uint32_t color);
    void setFontName(int index, const QString& name);
    void setFontSize(int index, float size);
    void setFontBold(int index, bool on);
    void setFontItalic(int index, bool on);
    void setFontUnderline(int index, bool on);
    void setFontStrikethru(int index, bool on);
    void setBackColor(int index, std::uint32_t color);
    void setSelected(int index, bool selected);
    void setGripState(int index, int state);
    void setTag(int index, const QString& tag);
    void setEnabled(int index, bool enabled);

    void setLabelPosition(int index, float left, float top);

    // Captions, sizes and positions of the 88 labels for a mode, by the two-step rule.
    void labelBoxes(Mode mode);

    // Box editing on the model. `index` −1 (or any index naming no box) means only the
    // selected boxes; a box both indexed and selected changes once.
    bool InRectangle(int index, int x1, int y1, int x2, int y2) const;
    void CtlSelect(bool select, int x1, int y1, int x2, int y2);
    void CtlSelect(bool select) { CtlSelect(select, 0, 0, 0, 0); }
    void CtlMove(int index, float dx, float dy);
    void CtlChange(int index, float dw, float dh);
    void FontSizeChange(int index, float dz);

signals:
    void textChanged(int index);
    void geometryChanged(int index);
    void styleChanged(int index); // font, colours, selection, enabled
    void gripStateChanged(int index);
    void labelChanged(int index);

private:
    Box& mutableBox(int index) { return m_boxes.at(static_cast<std::size_t>(index)); }
    bool affected(int index, int i) const { return i == index || m_boxes[i].selected(); }

    std::array<Box, BoxCount> m_boxes;
    std::array<Label, BoxCount> m_labels;
    bool m_contentChanged = false;
};
