#include "Catalogue.h"

namespace Catalogue {
namespace {

using L = LabelPlacement;
constexpr bool S = false; // single-line
constexpr bool M = true;  // multi-line

// Captions, built-in geometry (page twips), lines, tab position and label placement.
// Import captions that read the same as the export ones are given as nullptr.
constexpr std::array<FieldSpec, BoxCount> kFields{{
    {u"预录入编号：", nullptr, 1800, 720, 1695, 270, S, 1, L::Left},
    {u"海关编号：", nullptr, 4680, 720, 1695, 270, S, 2, L::Left},
    {u"出口口岸", u"进口口岸", 240, 1320, 2775, 270, S, 3, L::Above},
    {u"备案号", nullptr, 3120, 1320, 1335, 270, S, 4, L::Above},
    {u"出口日期", u"进口日期", 4560, 1320, 1335, 270, S, 5, L::Above},
    {u"申报日期", nullptr, 6000, 1320, 1335, 270, S, 6, L::Above},
    {u"经营单位", nullptr, 240, 1920, 2775, 270, S, 7, L::Above},
    {u"运输方式", nullptr, 3120, 1920, 855, 270, S, 8, L::Above},
    {u"运输工具名称", nullptr, 4080, 1920, 1335, 270, S, 9, L::Above},
    {u"提运单号", nullptr, 5640, 1920, 1695, 270, S, 10, L::Above},
    {u"发货单位", u"收货单位", 240, 2520, 2775, 270, S, 11, L::Above},
    {u"贸易方式", nullptr, 3120, 2520, 1335, 270, S, 12, L::Above},
    {u"征免性质", nullptr, 4560, 2520, 1335, 270, S, 13, L::Above},
    {u"结汇方式", u"征税比例", 6000, 2520, 1335, 270, S, 14, L::Above},
    {u"许可证号", nullptr, 240, 3120, 2055, 270, S, 15, L::Above},
    {u"运抵国(地区)", u"起运国(地区)", 2400, 3120, 1695, 270, S, 16, L::Above},
    {u"指运港", u"装货港", 4200, 3120, 1575, 270, S, 17, L::Above},
    {u"境内货源地", u"境内目的地", 5880, 3120, 1455, 270, S, 18, L::Above},
    {u"批准文号", nullptr, 240, 3720, 2055, 270, S, 19, L::Above},
    {u"成交方式", nullptr, 2400, 3720, 735, 270, S, 20, L::Above},
    {u"运费", nullptr, 3240, 3720, 1095, 270, S, 21, L::Above},
    {u"保费", nullptr, 4440, 3720, 1335, 270, S, 22, L::Above},
    {u"杂费", nullptr, 5880, 3720, 1455, 270, S, 23, L::Above},
    {u"合同协议号", nullptr, 240, 4320, 2055, 270, S, 24, L::Above},
    {u"件数", nullptr, 2400, 4320, 1215, 270, S, 25, L::Above},
    {u"包装种类", nullptr, 3720, 4320, 855, 270, S, 26, L::Above},
    {u"毛重(公斤)", nullptr, 4680, 4320, 1335, 270, S, 27, L::Above},
    {u"净重(公斤)", nullptr, 6120, 4320, 1215, 270, S, 28, L::Above},
    {u"集装箱号", nullptr, 240, 4920, 2055, 270, S, 29, L::Above},
    {u"随附单据", nullptr, 2400, 4920, 3615, 270, S, 30, L::Above},
    {u"生产厂家", u"用途", 6120, 4920, 1215, 270, S, 31, L::Above},
    {u"标记唛码及备注", nullptr, 360, 4560, 7095, 615, M, 32, L::LeftBelow720},
    {u"税费征收情况", nullptr, 240, 7200, 7095, 735, M, 73, L::Above},
    {u"录入员", nullptr, 240, 8280, 975, 270, S, 74, L::Above},
    {u"录入单位", nullptr, 1440, 8280, 975, 270, S, 75, L::Above},
    {u"报关员", nullptr, 240, 8880, 2175, 270, S, 76, L::Above},
    {u"单位地址", nullptr, 240, 9480, 3015, 735, M, 77, L::Above},
    {u"邮编", nullptr, 600, 10800, 975, 270, S, 78, L::Left},
    {u"电话", nullptr, 2280, 10800, 975, 270, S, 79, L::Left},
    {u"填制日期", nullptr, 4680, 10800, 975, 270, S, 81, L::Left},
    {u"申报单位(签章)", nullptr, 3840, 9720, 3495, 270, M, 80, L::Above},
    {u"项号", nullptr, 240, 6360, 495, 270, M, 33, L::Above},
    {u"商品编号", nullptr, 720, 6360, 735, 270, M, 34, L::Above},
    {u"商品名称、规格型号", nullptr, 1560, 6360, 1695, 270, M, 35, L::Above},
    {u"数量及单位", nullptr, 3240, 6360, 975, 270, M, 36, L::Above},
    {u"最终目的国(地区)单价", u"原产国(地区)单价", 4200, 6360, 1815, 270, M, 37, L::Above},
    {u"总价", nullptr, 6000, 6360, 855, 270, M, 38, L::Above},
    {u"币制", nullptr, 6480, 6360, 735, 270, M, 39, L::Above},
    {u"征免", nullptr, 7200, 6360, 615, 270, M, 40, L::Above},
    {u"", nullptr, 7080, 6840, 615, 270, M, 48, L::None},
    {u"", nullptr, 6360, 6840, 735, 270, M, 47, L::None},
    {u"", nullptr, 5880, 6840, 855, 270, M, 46, L::None},
    {u"", nullptr, 4080, 6840, 1815, 270, M, 45, L::None},
    {u"", nullptr, 3120, 6840, 975, 270, M, 44, L::None},
    {u"", nullptr, 1440, 6840, 1695, 270, M, 43, L::None},
    {u"", nullptr, 600, 6840, 735, 270, M, 42, L::None},
    {u"", nullptr, 120, 6840, 495, 270, M, 41, L::None},
    {u"", nullptr, 120, 5280, 495, 270, M, 65, L::None},
    {u"", nullptr, 600, 5280, 735, 270, M, 66, L::None},
    {u"", nullptr, 1440, 5280, 1695, 270, M, 67, L::None},
    {u"", nullptr, 3120, 5280, 975, 270, M, 68, L::None},
    {u"", nullptr, 4080, 5280, 1815, 270, M, 69, L::None},
    {u"", nullptr, 5880, 5280, 855, 270, M, 70, L::None},
    {u"", nullptr, 6360, 5280, 735, 270, M, 71, L::None},
    {u"", nullptr, 7080, 5280, 615, 270, M, 72, L::None},
    {u"", nullptr, 120, 5880, 495, 270, M, 57, L::None},
    {u"", nullptr, 600, 5880, 735, 270, M, 58, L::None},
    {u"", nullptr, 1440, 5880, 1695, 270, M, 59, L::None},
    {u"", nullptr, 3120, 5880, 975, 270, M, 60, L::None},
    {u"", nullptr, 4080, 5880, 1815, 270, M, 61, L::None},
    {u"", nullptr, 5880, 5880, 855, 270, M, 62, L::None},
    {u"", nullptr, 6360, 5880, 735, 270, M, 63, L::None},
    {u"", nullptr, 7080, 5880, 615, 270, M, 64, L::None},
    {u"", nullptr, 120, 6480, 495, 270, M, 49, L::None},
    {u"", nullptr, 600, 6480, 735, 270, M, 50, L::None},
    {u"", nullptr, 1440, 6480, 1695, 270, M, 51, L::None},
    {u"", nullptr, 3120, 6480, 975, 270, M, 52, L::None},
    {u"", nullptr, 4080, 6480, 1815, 270, M, 53, L::None},
    {u"", nullptr, 5880, 6480, 855, 270, M, 54, L::None},
    {u"", nullptr, 6360, 6480, 735, 270, M, 55, L::None},
    {u"", nullptr, 7080, 6480, 615, 270, M, 56, L::None},
    {u"审单", nullptr, 3720, 8280, 1335, 270, S, 83, L::Above},
    {u"审价", nullptr, 5520, 8280, 1335, 270, S, 84, L::Above},
    {u"征税", nullptr, 3720, 8760, 1335, 270, S, 85, L::Above},
    {u"统计", nullptr, 5520, 8760, 1335, 270, S, 86, L::Above},
    {u"查验", nullptr, 3720, 9240, 1335, 270, S, 87, L::Above},
    {u"放行", nullptr, 5520, 9240, 1335, 270, S, 88, L::Above},
    {u"海关审单批注及放行日期(签章)", nullptr, 3840, 8040, 3495, 270, M, 82, L::Above},
}};

constexpr std::array<std::array<int, 8>, 5> kGoodsLines{{
    {41, 42, 43, 44, 45, 46, 47, 48},
    {56, 55, 54, 53, 52, 51, 50, 49},
    {73, 74, 75, 76, 77, 78, 79, 80},
    {65, 66, 67, 68, 69, 70, 71, 72},
    {57, 58, 59, 60, 61, 62, 63, 64},
}};

std::array<QString, BoxCount> buildTable(Mode mode) {
    std::array<QString, BoxCount> table;
    for (int i = 0; i < BoxCount; ++i) {
        const FieldSpec& f = kFields[i];
        const char16_t* text =
            (mode == Mode::Import && f.importCaption) ? f.importCaption : f.exportCaption;
        table[i] = QString::fromUtf16(text);
    }
    return table;
}

} // namespace

const FieldSpec& field(int index) {
    return kFields.at(static_cast<std::size_t>(index));
}

const std::array<QString, BoxCount>& captionTable(Mode mode) {
    // Built once, export first, and kept for the life of the process.
    static const std::array<QString, BoxCount> exportTable = buildTable(Mode::Export);
    static const std::array<QString, BoxCount> importTable = buildTable(Mode::Import);
    return mode == Mode::Export ? exportTable : importTable;
}

const ModeInfo& modeInfo(Mode mode) {
    static const ModeInfo exportInfo{QStringLiteral("出口"), QStringLiteral("出口报关单"),
                                     QStringLiteral("中华人民共和国海关出口货物报关单"), 0xFFFFD0};
    static const ModeInfo importInfo{QStringLiteral("进口"), QStringLiteral("进口报关单"),
                                     QStringLiteral("中华人民共和国海关进口货物报关单"), 0xFFD0FF};
    return mode == Mode::Export ? exportInfo : importInfo;
}

QString modeWord(Mode mode) {
    return modeInfo(mode).word;
}

Mode modeOfTab(int tab) {
    return tab == 0 ? Mode::Export : Mode::Import;
}

const std::array<std::array<int, 8>, 5>& goodsLines() {
    return kGoodsLines;
}

GoodsPosition goodsPosition(int index) {
    for (int line = 0; line < 5; ++line)
        for (int column = 0; column < 8; ++column)
            if (kGoodsLines[line][column] == index)
                return {line + 1, column};
    return {};
}

bool labelRightAligned(int index) {
    return index == 0 || index == 1 || index == 37 || index == 38 || index == 39;
}

} // namespace Catalogue
