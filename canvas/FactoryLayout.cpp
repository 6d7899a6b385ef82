#include "FactoryLayout.h"

namespace FactoryLayout {
namespace {

// A caption above its box takes 170 of the row, so rows with captions above are 450 apart
// and keep 10 between a caption and the boxes of the row before.
constexpr float Pitch = 450;
constexpr float Line = 270;
constexpr float CaptionGap = 180; // a box top below the lowest thing above its caption

// 预录入编号 and 海关编号 sit under the title, whose bottom is at 869 + 375.
constexpr float Numbers = 1260;
// Seven rows from 出口口岸 to 集装箱号.
constexpr float Header = Numbers + Line + CaptionGap;
constexpr float HeaderRow(int row) {
    return Header + Pitch * static_cast<float>(row);
}
// 标记唛码及备注 has its caption 720 below its top and 1260 to its left, so its band
// ends 880 below its top.
constexpr float Marks = HeaderRow(6) + Line + 20;
constexpr float MarksLeft = 1500;
constexpr float Goods = Marks + 880 + CaptionGap;
constexpr float GoodsPitch = 360;
constexpr float Taxes = Goods + 4 * GoodsPitch + Line + CaptionGap;
constexpr float Footer = Taxes + 735 + CaptionGap;
constexpr float FooterRow(int row) {
    return Footer + Pitch * static_cast<float>(row);
}
// 邮编, 电话 and 填制日期 have their captions on their own line, under 单位地址.
constexpr float Contact = FooterRow(2) + 735 + 30;
constexpr float Seal = Contact + Line + CaptionGap;

// Columns of the goods table, left to right: the lines 2 to 5 stand under line 1. The
// table is wider than the page at the catalogue's widths, so 项号, 商品名称 and 数量及单位
// shrink to their captions and 币制 to two characters; the unit-price caption is wider
// than its box and pushes 总价 to the right. The table starts where the rows above start,
// since a printer cannot print at the paper's very edge.
constexpr std::array<float, 8> GoodsLeft{240, 615, 1365, 3000, 3915, 5910, 6780, 7245};
constexpr std::array<float, 8> GoodsWidth{360, 735, 1620, 900, 1815, 855, 450, 615};

struct Placed {
    int index;
    float left, top, width, height;
};

// Every box outside the goods table; widths and heights are the catalogue's except for
// 标记唛码及备注, whose caption must stay on the page.
constexpr Placed kPlaced[] = {
    {0, 1800, Numbers, 1695, Line},       {1, 4680, Numbers, 1695, Line},
    {2, 240, HeaderRow(0), 2775, Line},   {3, 3120, HeaderRow(0), 1335, Line},
    {4, 4560, HeaderRow(0), 1335, Line},  {5, 6000, HeaderRow(0), 1335, Line},
    {6, 240, HeaderRow(1), 2775, Line},   {7, 3120, HeaderRow(1), 855, Line},
    {8, 4080, HeaderRow(1), 1335, Line},  {9, 5640, HeaderRow(1), 1695, Line},
    {10, 240, HeaderRow(2), 2775, Line},  {11, 3120, HeaderRow(2), 1335, Line},
    {12, 4560, HeaderRow(2), 1335, Line}, {13, 6000, HeaderRow(2), 1335, Line},
    {14, 240, HeaderRow(3), 2055, Line},  {15, 2400, HeaderRow(3), 1695, Line},
    {16, 4200, HeaderRow(3), 1575, Line}, {17, 5880, HeaderRow(3), 1455, Line},
    {18, 240, HeaderRow(4), 2055, Line},  {19, 2400, HeaderRow(4), 735, Line},
    {20, 3240, HeaderRow(4), 1095, Line}, {21, 4440, HeaderRow(4), 1335, Line},
    {22, 5880, HeaderRow(4), 1455, Line}, {23, 240, HeaderRow(5), 2055, Line},
    {24, 2400, HeaderRow(5), 1215, Line}, {25, 3720, HeaderRow(5), 855, Line},
    {26, 4680, HeaderRow(5), 1335, Line}, {27, 6120, HeaderRow(5), 1215, Line},
    {28, 240, HeaderRow(6), 2055, Line},  {29, 2400, HeaderRow(6), 3615, Line},
    {30, 6120, HeaderRow(6), 1215, Line}, {31, MarksLeft, Marks, 7335 - MarksLeft, 615},
    {32, 240, Taxes, 7095, 735},          {33, 240, FooterRow(0), 975, Line},
    {34, 1440, FooterRow(0), 975, Line},  {87, 3840, FooterRow(0), 3495, Line},
    {35, 240, FooterRow(1), 2175, Line},  {81, 3720, FooterRow(1), 1335, Line},
    {82, 5520, FooterRow(1), 1335, Line}, {36, 240, FooterRow(2), 3015, 735},
    {83, 3720, FooterRow(2), 1335, Line}, {84, 5520, FooterRow(2), 1335, Line},
    {85, 3720, FooterRow(3), 1335, Line}, {86, 5520, FooterRow(3), 1335, Line},
    {37, 600, Contact, 975, Line},        {38, 2280, Contact, 975, Line},
    {39, 4680, Contact, 975, Line},       {40, 3840, Seal, 3495, Line},
};

std::array<QRectF, BoxCount> build() {
    std::array<QRectF, BoxCount> rects{};
    for (const Placed& p : kPlaced)
        rects[static_cast<std::size_t>(p.index)] = QRectF(p.left, p.top, p.width, p.height);
    const auto& lines = Catalogue::goodsLines();
    for (std::size_t line = 0; line < lines.size(); ++line)
        for (std::size_t column = 0; column < 8; ++column)
            rects[static_cast<std::size_t>(lines[line][column])] =
                QRectF(GoodsLeft[column], Goods + GoodsPitch * static_cast<float>(line),
                       GoodsWidth[column], Line);
    return rects;
}

} // namespace

const QString& name() {
    static const QString layoutName = QStringLiteral("标准格式");
    return layoutName;
}

const std::array<QRectF, BoxCount>& geometry() {
    static const std::array<QRectF, BoxCount> rects = build();
    return rects;
}

} // namespace FactoryLayout
