#include "XlsWorkbookWriter.h"

#include "BiffRecords.h"
#include "CompoundFile.h"
#include "StoredColor.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <tuple>

namespace {

using Biff::MaxRecordData;
constexpr std::uint16_t DefaultCellXf = 15;
constexpr int FirstCustomColour = 8;
constexpr int PaletteSize = 56;
constexpr std::uint16_t BoldFontIndex = 5; // font index 4 does not exist in BIFF
constexpr int RowsPerBlock = 32;

// The palette a new workbook starts with (indexes 8 to 63), as RGB.
constexpr std::array<std::uint32_t, PaletteSize> DefaultPalette = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333};

class Sink {
public:
    qsizetype size() const { return m_size; }
    // Room for n more bytes, written through the returned pointer.
    char* grow(qsizetype n) {
        if (m_size + n > m_bytes.size())
            m_bytes.resize(std::max<qsizetype>(2 * m_bytes.size(), m_size + n + 4096));
        char* p = m_bytes.data() + m_size;
        m_size += n;
        return p;
    }
    void reserve(qsizetype n) { m_bytes.resize(std::max(n, m_bytes.size())); }
    QByteArray take() {
        m_bytes.truncate(m_size);
        return std::move(m_bytes);
    }
    void u8(std::uint8_t v) { *grow(1) = static_cast<char>(v); }
    void u16(std::uint16_t v) {
        char* p = grow(2);
        p[0] = static_cast<char>(v & 0xFF);
        p[1] = static_cast<char>(v >> 8);
    }
    void u32(std::uint32_t v) {
        char* p = grow(4);
        for (int i = 0; i < 4; ++i)
            p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    void header(std::uint16_t type, std::uint16_t length) {
        u16(type);
        u16(length);
    }
    // Starts a record whose length is patched by end().
    qsizetype begin(std::uint16_t type) {
        header(type, 0);
        return size();
    }
    void end(qsizetype dataStart) {
        const auto length = static_cast<std::uint16_t>(size() - dataStart);
        m_bytes[dataStart - 2] = static_cast<char>(length & 0xFF);
        m_bytes[dataStart - 1] = static_cast<char>(length >> 8);
    }
    void patch32(qsizetype at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            m_bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    // Characters as one byte each when they all fit, otherwise as UTF-16.
    void characters(QStringView text, bool wide) {
        char* p = grow(text.size() * (wide ? 2 : 1));
        if (wide) {
            for (QChar c : text) {
                *p++ = static_cast<char>(c.unicode() & 0xFF);
                *p++ = static_cast<char>(c.unicode() >> 8);
            }
        } else {
            for (QChar c : text)
                *p++ = static_cast<char>(c.unicode());
        }
    }

private:
    QByteArray m_bytes;
    qsizetype m_size = 0;
};

bool needsWide(QStringView text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; });
}

std::uint32_t rgbOfBgr(std::uint32_t bgr) {
    return StoredColor::toQColor(bgr).rgb() & 0xFFFFFFu;
}

int colourDistance(std::uint32_t a, std::uint32_t b) {
    const int dr = static_cast<int>((a >> 16) & 0xFF) - static_cast<int>((b >> 16) & 0xFF);
    const int dg = static_cast<int>((a >> 8) & 0xFF) - static_cast<int>((b >> 8) & 0xFF);
    const int db = static_cast<int>(a & 0xFF) - static_cast<int>(b & 0xFF);
    return dr * dr + dg * dg + db * db;
}

void writeBof(Sink& s, std::uint16_t kind) {
    s.header(Biff::Bof, 16);
    s.u16(Biff::Version8);
    s.u16(kind);
    s.u16(0x0DBB);
    s.u16(0x07CC);
    s.u32(0);
    s.u32(6);
}

void writeFont(Sink& s, bool bold) {
    const QString name = QStringLiteral("宋体");
    const qsizetype start = s.begin(Biff::Font);
    s.u16(240);                    // 12 points
    s.u16(bold ? 0x0001 : 0x0000); // readers take boldness from this bit as well as the weight
    s.u16(0x7FFF);
    s.u16(bold ? 700 : 400);
    s.u16(0);
    s.u8(0);
    s.u8(0);
    s.u8(134); // GB2312
    s.u8(0);
    s.u8(static_cast<std::uint8_t>(name.size()));
    s.u8(1);
    s.characters(name, true);
    s.end(start);
}

struct XfKey {
    bool bold = false;
    int colour = 0; // palette index, 0 = no fill
    bool borders = false;
    auto tie() const { return std::tie(bold, colour, borders); }
    bool operator<(const XfKey& o) const { return tie() < o.tie(); }
};

void writeXf(Sink& s, std::uint16_t font, bool style, const XfKey& key, std::uint8_t usedBits) {
    s.header(Biff::Xf, 20);
    s.u16(font);
    s.u16(0);
    s.u16(style ? 0xFFF5 : 0x0001);
    s.u8(0x20); // bottom aligned
    s.u8(0);
    s.u8(0);
    s.u8(usedBits);
    std::uint32_t border1 = 0;
    std::uint32_t border2 = 0;
    if (key.borders) {
        border1 = 1 | (1 << 4) | (1 << 8) | (1 << 12) | (64u << 16) | (64u << 23);
        border2 = 64u | (64u << 7);
    }
    if (key.colour != 0)
        border2 |= 1u << 26; // solid pattern
    s.u32(border1);
    s.u32(border2);
    const std::uint16_t fore = key.colour != 0 ? static_cast<std::uint16_t>(key.colour) : 64;
    s.u16(static_cast<std::uint16_t>(fore | (65u << 7)));
}

} // namespace

XlsWorkbookWriter::XlsWorkbookWriter(int columnCount, QString sheetName)
    : m_columnCount(std::clamp(columnCount, 0, MaxColumns)), m_sheetName(std::move(sheetName)),
      m_widths(static_cast<std::size_t>(m_columnCount), -1) {
    if (m_sheetName.isEmpty() || m_sheetName.size() > 31)
        m_sheetName = QStringLiteral("Sheet1");
}

int XlsWorkbookWriter::addRow() {
    if (rowCount() >= MaxRows)
        return -1;
    m_rows.emplace_back();
    return rowCount() - 1;
}

void XlsWorkbookWriter::setText(int row, int column, const QString& fullText) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= m_columnCount || fullText.isEmpty())
        return;
    QString text = fullText;
    const bool shortened = text.size() > MaxCellText;
    if (shortened) {
        qsizetype keep = MaxCellText;
        if (text.at(keep - 1).isHighSurrogate())
            --keep; // never leave half a character behind
        text.truncate(keep);
    }
    std::uint32_t index = 0;
    const auto [found, added] =
        m_stringIndex.try_emplace(text, static_cast<std::uint32_t>(m_strings.size()));
    index = found->second;
    if (added)
        m_strings.push_back(text);
    std::vector<Cell>& cells = m_rows[static_cast<std::size_t>(row)].cells;
    const Cell cell{static_cast<std::uint16_t>(column), shortened, index};
    if (cells.empty() || cells.back().column < column) {
        cells.push_back(cell);
        ++m_cellTexts;
        return;
    }
    auto at = std::lower_bound(cells.begin(), cells.end(), cell,
                               [](const Cell& a, const Cell& b) { return a.column < b.column; });
    if (at != cells.end() && at->column == column) {
        *at = cell;
    } else {
        cells.insert(at, cell);
        ++m_cellTexts;
    }
}

int XlsWorkbookWriter::shortenedCells() const {
    int count = 0;
    for (const Row& row : m_rows)
        count += static_cast<int>(std::count_if(row.cells.begin(), row.cells.end(),
                                                [](const Cell& c) { return c.shortened; }));
    return count;
}

void XlsWorkbookWriter::setRowFormat(int row, bool bold, std::uint32_t fillBgr) {
    if (row < 0 || row >= rowCount())
        return;
    m_rows[static_cast<std::size_t>(row)].bold = bold;
    m_rows[static_cast<std::size_t>(row)].fill = fillBgr & 0xFFFFFF;
}

void XlsWorkbookWriter::setColumnWidth(int column, int characters) {
    if (column < 0 || column >= m_columnCount)
        return;
    m_widths[static_cast<std::size_t>(column)] = std::clamp(characters, 0, 255);
}

QByteArray XlsWorkbookWriter::fileBytes() const {
    return CompoundFileWithWorkbook(workbookStream());
}

QByteArray XlsWorkbookWriter::workbookStream() const {
    // Palette: each distinct fill takes the next slot; beyond the palette's size a fill
    // falls back to the nearest colour already there.
    std::array<std::uint32_t, PaletteSize> palette = DefaultPalette;
    std::map<std::uint32_t, int> colourIndex; // RGB -> palette index
    int customColours = 0;
    const auto paletteIndexOf = [&](std::uint32_t bgr) {
        if (bgr == 0)
            return 0;
        const std::uint32_t rgb = rgbOfBgr(bgr);
        if (const auto it = colourIndex.find(rgb); it != colourIndex.end())
            return it->second;
        int index = 0;
        if (customColours < PaletteSize) {
            palette[static_cast<std::size_t>(customColours)] = rgb;
            index = FirstCustomColour + customColours++;
        } else {
            int best = 0;
            for (int i = 1; i < PaletteSize; ++i)
                if (colourDistance(palette[static_cast<std::size_t>(i)], rgb) <
                    colourDistance(palette[static_cast<std::size_t>(best)], rgb))
                    best = i;
            index = FirstCustomColour + best;
        }
        colourIndex.emplace(rgb, index);
        return index;
    };

    std::map<XfKey, std::uint16_t> xfIndex;
    std::vector<XfKey> xfKeys;
    std::vector<std::uint16_t> rowXf(m_rows.size(), DefaultCellXf);
    for (std::size_t r = 0; r < m_rows.size(); ++r) {
        const XfKey key{m_rows[r].bold, paletteIndexOf(m_rows[r].fill), m_borders};
        if (!key.bold && key.colour == 0 && !key.borders)
            continue;
        auto it = xfIndex.find(key);
        if (it == xfIndex.end()) {
            it = xfIndex.emplace(key, static_cast<std::uint16_t>(DefaultCellXf + 1 + xfKeys.size()))
                     .first;
            xfKeys.push_back(key);
        }
        rowXf[r] = it->second;
    }

    Sink s;
    s.reserve(static_cast<qsizetype>(m_cellTexts) * 24 +
              static_cast<qsizetype>(m_rows.size()) * 64 + 65536);

    // Workbook globals.
    writeBof(s, Biff::BofWorkbookGlobals);
    s.header(Biff::CodePage, 2);
    s.u16(1200); // UTF-16
    s.header(Biff::Window1, 18);
    for (std::uint16_t v : {0, 0, 0x3A98, 0x2328, 0x0038, 0, 0, 1, 0x0258})
        s.u16(v);
    s.header(Biff::DateMode, 2);
    s.u16(0); // dates count from 1900
    for (int i = 0; i < 4; ++i)
        writeFont(s, false);
    writeFont(s, true);
    for (int i = 0; i < 15; ++i)
        writeXf(s, 0, true, XfKey{}, i == 0 ? 0x00 : 0xF4);
    writeXf(s, 0, false, XfKey{}, 0x00);
    for (const XfKey& key : xfKeys) {
        const std::uint8_t used = static_cast<std::uint8_t>(
            (key.bold ? 0x08 : 0) | (key.borders ? 0x20 : 0) | (key.colour != 0 ? 0x40 : 0));
        writeXf(s, key.bold ? BoldFontIndex : 0, false, key, used);
    }
    s.header(Biff::Style, 4);
    s.u16(0x8000);
    s.u8(0);
    s.u8(0xFF);
    s.header(Biff::Palette, 2 + 4 * PaletteSize);
    s.u16(PaletteSize);
    for (std::uint32_t rgb : palette) {
        s.u8(static_cast<std::uint8_t>(rgb >> 16));
        s.u8(static_cast<std::uint8_t>(rgb >> 8));
        s.u8(static_cast<std::uint8_t>(rgb));
        s.u8(0);
    }
    const bool wideName = needsWide(m_sheetName);
    const qsizetype boundSheet = s.begin(Biff::BoundSheet);
    const qsizetype sheetOffsetAt = s.size();
    s.u32(0);
    s.u8(0);
    s.u8(0);
    s.u8(static_cast<std::uint8_t>(m_sheetName.size()));
    s.u8(wideName ? 1 : 0);
    s.characters(m_sheetName, wideName);
    s.end(boundSheet);

    // Shared strings, continued over CONTINUE records; a string's header never splits and
    // a split always falls between whole characters.
    const std::uint32_t bucketSize =
        std::max<std::uint32_t>(8, (static_cast<std::uint32_t>(m_strings.size()) + 127) / 128);
    std::vector<std::pair<std::uint32_t, std::uint16_t>> buckets;
    qsizetype record = s.begin(Biff::Sst);
    s.u32(m_cellTexts);
    s.u32(static_cast<std::uint32_t>(m_strings.size()));
    const auto room = [&] { return MaxRecordData - (s.size() - record); };
    const auto continueRecord = [&] {
        s.end(record);
        record = s.begin(Biff::Continue);
    };
    for (std::size_t i = 0; i < m_strings.size(); ++i) {
        const QString& text = m_strings[i];
        const bool wide = needsWide(text);
        const int unit = wide ? 2 : 1;
        if (room() < 3 + unit)
            continueRecord();
        if (i % bucketSize == 0)
            buckets.emplace_back(static_cast<std::uint32_t>(s.size()),
                                 static_cast<std::uint16_t>(s.size() - record + 4));
        s.u16(static_cast<std::uint16_t>(text.size()));
        s.u8(wide ? 1 : 0);
        QStringView rest(text);
        for (;;) {
            qsizetype fit = std::min<qsizetype>(rest.size(), room() / unit);
            if (fit < rest.size() && fit > 1 && rest.at(fit - 1).isHighSurrogate())
                --fit;
            s.characters(rest.first(fit), wide);
            rest = rest.sliced(fit);
            if (rest.isEmpty())
                break;
            continueRecord();
            s.u8(wide ? 1 : 0);
        }
    }
    s.end(record);
    s.header(Biff::ExtSst, static_cast<std::uint16_t>(2 + 8 * buckets.size()));
    s.u16(static_cast<std::uint16_t>(bucketSize));
    for (const auto& [position, offset] : buckets) {
        s.u32(position);
        s.u16(offset);
        s.u16(0);
    }
    s.header(Biff::Eof, 0);

    // The worksheet.
    s.patch32(sheetOffsetAt, static_cast<std::uint32_t>(s.size()));
    writeBof(s, Biff::BofWorksheet);
    for (int c = 0; c < m_columnCount; ++c) {
        const int width = m_widths[static_cast<std::size_t>(c)];
        if (width < 0)
            continue;
        s.header(Biff::ColumnInfo, 12);
        s.u16(static_cast<std::uint16_t>(c));
        s.u16(static_cast<std::uint16_t>(c));
        s.u16(static_cast<std::uint16_t>(width * 256));
        s.u16(DefaultCellXf);
        s.u16(width == 0 ? 0x0001 : 0x0000);
        s.u16(0);
    }

    // The extent of each row: every cell of a formatted row, the text cells of the others.
    const auto rowExtent = [&](std::size_t r) -> std::pair<int, int> {
        if (rowXf[r] != DefaultCellXf && m_columnCount > 0)
            return {0, m_columnCount};
        const std::vector<Cell>& cells = m_rows[r].cells;
        if (cells.empty())
            return {0, 0};
        return {cells.front().column, cells.back().column + 1};
    };
    int firstRow = -1;
    int lastRow = -1;
    int firstColumn = MaxColumns;
    int lastColumn = 0;
    for (std::size_t r = 0; r < m_rows.size(); ++r) {
        const auto [from, to] = rowExtent(r);
        if (from == to)
            continue;
        if (firstRow < 0)
            firstRow = static_cast<int>(r);
        lastRow = static_cast<int>(r);
        firstColumn = std::min(firstColumn, from);
        lastColumn = std::max(lastColumn, to);
    }
    s.header(Biff::Dimensions, 14);
    if (firstRow < 0) {
        s.u32(0);
        s.u32(0);
        s.u16(0);
        s.u16(0);
    } else {
        s.u32(static_cast<std::uint32_t>(firstRow));
        s.u32(static_cast<std::uint32_t>(lastRow + 1));
        s.u16(static_cast<std::uint16_t>(firstColumn));
        s.u16(static_cast<std::uint16_t>(lastColumn));
    }
    s.u16(0);

    const auto writeBlanks = [&](std::uint16_t row, int from, int to, std::uint16_t xf) {
        if (to - from == 1) {
            s.header(Biff::Blank, 6);
            s.u16(row);
            s.u16(static_cast<std::uint16_t>(from));
            s.u16(xf);
        } else if (to > from) {
            s.header(Biff::MulBlank, static_cast<std::uint16_t>(6 + 2 * (to - from)));
            s.u16(row);
            s.u16(static_cast<std::uint16_t>(from));
            for (int c = from; c < to; ++c)
                s.u16(xf);
            s.u16(static_cast<std::uint16_t>(to - 1));
        }
    };
    for (std::size_t block = 0; block < m_rows.size(); block += RowsPerBlock) {
        const std::size_t blockEnd = std::min(m_rows.size(), block + RowsPerBlock);
        for (std::size_t r = block; r < blockEnd; ++r) {
            const auto [from, to] = rowExtent(r);
            if (from == to)
                continue;
            s.header(Biff::Row, 16);
            s.u16(static_cast<std::uint16_t>(r));
            s.u16(static_cast<std::uint16_t>(from));
            s.u16(static_cast<std::uint16_t>(to));
            s.u16(0x00FF);
            s.u16(0);
            s.u16(0);
            s.u32(0x000F0100);
        }
        for (std::size_t r = block; r < blockEnd; ++r) {
            const auto row = static_cast<std::uint16_t>(r);
            const std::uint16_t xf = rowXf[r];
            const bool formatted = xf != DefaultCellXf;
            int next = 0;
            for (const Cell& cell : m_rows[r].cells) {
                if (formatted)
                    writeBlanks(row, next, cell.column, xf);
                s.header(Biff::LabelSst, 10);
                s.u16(row);
                s.u16(cell.column);
                s.u16(xf);
                s.u32(cell.stringIndex);
                next = cell.column + 1;
            }
            if (formatted)
                writeBlanks(row, next, m_columnCount, xf);
        }
    }
    s.header(Biff::Window2, 18);
    s.u16(0x06B6);
    s.u16(0);
    s.u16(0);
    s.u16(64);
    s.u16(0);
    s.u16(0);
    s.u16(0);
    s.u32(0);
    s.header(Biff::Eof, 0);
    return s.take();
}
