#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

// The declaration has 88 fields, numbered 0 to 87; the number is the key of every
// stored layout row, history row and grid column.
inline constexpr int BoxCount = 88;

enum class Mode { Export = 0, Import = 1 };

// Where a caption label sits in the built-in geometry.
enum class LabelPlacement { Above, Left, LeftBelow720, None };

struct FieldSpec {
    const char16_t* exportCaption;
    const char16_t* importCaption;
    float left;
    float top;
    float width;
    float height;
    bool multiLine;
    int tabPosition; // 1 is visited first
    LabelPlacement label;
};

struct ModeInfo {
    QString word;              // also the name of the mode's history table
    QString tabCaption;        // caption of the mode tab
    QString title;             // form title shown on the page
    std::uint32_t canvasColor; // BGR, red in the low byte
};

namespace Catalogue {

const FieldSpec& field(int index);

// The captions of the fields in `mode`; empty for the goods lines 2 to 5.
const std::array<QString, BoxCount>& captionTable(Mode mode);

const ModeInfo& modeInfo(Mode mode);
// "出口" for export, "进口" for import.
QString modeWord(Mode mode);
// Tab 0 is export; any other tab is import.
Mode modeOfTab(int tab);

// The five goods lines, each as its eight box indexes in column order
// (项号, 商品编号, 商品名称、规格型号, 数量及单位, unit price, 总价, 币制, 征免).
const std::array<std::array<int, 8>, 5>& goodsLines();

// Goods line (1..5) and column (0..7) of a box, or line 0 for a box outside the goods table.
struct GoodsPosition {
    int line = 0;
    int column = 0;
};
GoodsPosition goodsPosition(int index);

// Label numbers whose text is right-aligned.
bool labelRightAligned(int index);

inline constexpr std::uint32_t SelectedBackColor = 0x00D0D0D0;
inline constexpr std::uint32_t UnselectedBackColor = 0x00FFFFFF;

// Label rule lengths, in page twips.
inline constexpr float LabelHeight = 160.0f;
inline constexpr float LabelCharWidth = 180.0f;
inline constexpr float LabelGapAbove = 170.0f;

inline const QString& fixedLayoutName() {
    static const QString name = QStringLiteral("上一次退出时的格式");
    return name;
}

} // namespace Catalogue
