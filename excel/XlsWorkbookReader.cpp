#include "XlsWorkbookReader.h"
#include "BiffRecords.h"
#include "LittleEndian.h"

#include "CompoundFileReader.h"

#include <QDate>
#include <QFile>
#include <QHash>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace {

constexpr qint64 MaxFileSize = qint64(1) << 30;
constexpr int MaxColumns = 256;
// Records are read through a window of this size, never the whole stream at once.
constexpr qint64 WindowBytes = qint64(1) << 18;

using LittleEndian::get16;
using LittleEndian::get32;

double getDouble(const char* p) {
    quint64 bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits << 8 | static_cast<unsigned char>(p[i]);
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

double rkValue(quint32 rk) {
    double value = 0;
    if (rk & 0x02) {
        value = static_cast<double>(static_cast<qint32>(rk) >> 2);
    } else {
        const quint64 bits = static_cast<quint64>(rk & 0xFFFFFFFC) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 0x01) ? value / 100 : value;
}

// The RK form of a number, when one gives back exactly the same value: most numbers of a
// sheet then take no more room than a shared string's index.
std::optional<quint32> rkOf(double value) {
    for (const bool hundredths : {false, true}) {
        const double scaled = hundredths ? value * 100 : value;
        quint32 rk = 0;
        if (scaled == std::nearbyint(scaled) && scaled >= -(1 << 29) && scaled < (1 << 29)) {
            rk = static_cast<quint32>(static_cast<qint32>(scaled)) << 2 | 0x02;
        } else {
            quint64 bits = 0;
            std::memcpy(&bits, &scaled, sizeof bits);
            if (bits & 0x3FFFFFFFFull)
                continue;
            rk = static_cast<quint32>(bits >> 32);
        }
        rk |= hundredths ? 0x01 : 0x00;
        if (rkValue(rk) == value)
            return rk;
    }
    return std::nullopt;
}

struct Record {
    quint16 type = 0;
    quint16 length = 0;
    const char* data = nullptr;
};

// Walks the records of a stream from a position, reading the stream a window at a time.
class Records {
public:
    Records(const CompoundStream& stream, qint64 at) : m_stream(stream), m_at(at) {}
    bool atEnd() const { return m_at > m_stream.size() - 4; }
    // False at a record that does not fit; the data stays valid until the next call.
    bool next(Record& r) {
        const char* head = bytes(m_at, 4);
        if (!head)
            return false;
        r.type = get16(head);
        r.length = get16(head + 2);
        const char* data = r.length <= Biff::MaxRecordData ? bytes(m_at + 4, r.length) : nullptr;
        if (!data)
            return false;
        r.data = data;
        m_at += 4 + r.length;
        return true;
    }
    // The type of the next record without moving on; 0 at the end.
    quint16 peekType() {
        const char* head = atEnd() ? nullptr : bytes(m_at, 2);
        return head ? get16(head) : 0;
    }

private:
    const char* bytes(qint64 at, qint64 length) {
        if (at < m_windowStart || at + length > m_windowStart + m_window.size()) {
            const qint64 size = std::min<qint64>(WindowBytes, m_stream.size() - at);
            if (size < length)
                return nullptr;
            m_window.resize(size);
            if (!m_stream.read(at, size, m_window.data())) {
                m_window.clear();
                return nullptr;
            }
            m_windowStart = at;
        }
        return m_window.constData() + (at - m_windowStart);
    }

    const CompoundStream& m_stream;
    qint64 m_at = 0;
    QByteArray m_window;
    qint64 m_windowStart = 0;
};

// A record's data followed by its CONTINUE records, taken from the records only as far as
// they are read; characters carried over into a CONTINUE record start with a new option
// byte there.
class Fragments {
public:
    Fragments(Records& records, const Record& first) : m_records(records) { take(first); }
    bool byte(quint8& out) {
        if (!partLeft())
            return false;
        out = static_cast<quint8>(m_part[m_pos++]);
        return true;
    }
    bool u16(quint16& out) {
        quint8 a = 0;
        quint8 b = 0;
        if (!byte(a) || !byte(b))
            return false;
        out = static_cast<quint16>(a | b << 8);
        return true;
    }
    bool u32(quint32& out) {
        quint16 a = 0;
        quint16 b = 0;
        if (!u16(a) || !u16(b))
            return false;
        out = a | static_cast<quint32>(b) << 16;
        return true;
    }
    bool skip(qint64 count) {
        while (count > 0) {
            if (!partLeft())
                return false;
            const qint64 take = std::min<qint64>(count, m_part.size() - m_pos);
            m_pos += take;
            count -= take;
        }
        return true;
    }
    // Appends the characters to `out`.
    bool characters(qint64 count, bool wide, QString& out) {
        while (count > 0) {
            const qsizetype unit = wide ? 2 : 1;
            if (m_part.size() - m_pos < unit) {
                // The characters go on in the next record, after its option byte.
                if (!nextPart() || m_part.isEmpty())
                    return false;
                wide = (m_part[0] & 0x01) != 0;
                m_pos = 1;
                continue;
            }
            const qint64 take = std::min<qint64>(count, (m_part.size() - m_pos) / unit);
            const char* p = m_part.constData() + m_pos;
            if (wide) {
                const qsizetype old = out.size();
                out.resize(old + take);
                QChar* to = out.data() + old;
                for (qint64 i = 0; i < take; ++i)
                    to[i] = QChar(get16(p + 2 * i));
            } else {
                out.append(QLatin1StringView(p, take));
            }
            m_pos += take * unit;
            count -= take;
        }
        return true;
    }
    // A whole Unicode string appended to `out`, its formatting runs and extension skipped.
    bool richString(QString& out) {
        quint16 length = 0;
        quint8 flags = 0;
        if (!u16(length) || !byte(flags))
            return false;
        quint16 runs = 0;
        quint32 extension = 0;
        if ((flags & 0x08) && !u16(runs))
            return false;
        if ((flags & 0x04) && !u32(extension))
            return false;
        return characters(length, flags & 0x01, out) && skip(4 * qint64(runs)) && skip(extension);
    }

private:
    // False when no CONTINUE record follows or it does not fit: the input has ended.
    bool nextPart() {
        Record r;
        if (m_records.peekType() != Biff::Continue || !m_records.next(r))
            return false;
        take(r);
        return true;
    }
    bool partLeft() {
        while (m_pos >= m_part.size())
            if (!nextPart())
                return false;
        return true;
    }
    void take(const Record& r) {
        m_part.resize(r.length);
        std::memcpy(m_part.data(), r.data, r.length);
        m_pos = 0;
    }

    Records& m_records;
    QByteArray m_part;
    qsizetype m_pos = 0;
};

// A one-record string: 8- or 16-bit length, option byte, characters.
bool plainString(const Record& r, qsizetype at, bool longLength, QString& out) {
    const qsizetype header = longLength ? 3 : 2;
    if (at + header > r.length)
        return false;
    const quint16 length = longLength ? get16(r.data + at) : static_cast<quint8>(r.data[at]);
    const bool wide = r.data[at + header - 1] & 0x01;
    const qsizetype bytes = qsizetype(length) * (wide ? 2 : 1);
    if (at + header + bytes > r.length)
        return false;
    const char* p = r.data + at + header;
    out.clear();
    out.reserve(length);
    for (qsizetype i = 0; i < length; ++i)
        out += wide ? QChar(get16(p + 2 * i)) : QChar(static_cast<unsigned char>(p[i]));
    return true;
}

// Whether a number format shows a date or a time, and whether only a time.
void classifyFormat(quint16 id, const QString& code, bool& isDate, bool& timeOnly) {
    isDate = false;
    timeOnly = false;
    if ((id >= 14 && id <= 17) || id == 22 || (id >= 27 && id <= 31) || (id >= 34 && id <= 36) ||
        (id >= 50 && id <= 58)) {
        isDate = true;
        return;
    }
    if ((id >= 18 && id <= 21) || id == 32 || id == 33 || (id >= 45 && id <= 47)) {
        isDate = true;
        timeOnly = true;
        return;
    }
    if (code.isEmpty())
        return;
    QString plain;
    bool quoted = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == u'"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i; // the next character is shown as it is
        } else if (c == u'[') {
            const qsizetype close = code.indexOf(u']', i);
            const QString inside = code.mid(i + 1, close < 0 ? -1 : close - i - 1).toLower();
            if (inside == u"h" || inside == u"hh" || inside == u"m" || inside == u"mm" ||
                inside == u"s" || inside == u"ss")
                plain += u'h';
            i = close < 0 ? code.size() : close;
        } else if (c == u';') {
            break; // the first section decides
        } else {
            plain += c.toLower();
        }
    }
    plain.remove(QStringLiteral("am/pm"));
    plain.remove(QStringLiteral("a/p"));
    if (plain.contains(u"general"))
        return;
    const bool date = plain.contains(u'y') || plain.contains(u'd');
    const bool time = plain.contains(u'h') || plain.contains(u's');
    const bool month = plain.contains(u'm');
    isDate = date || time || month;
    timeOnly = !date && time;
}

// Records that name a row in their first two bytes: cells, blanks, ROW and NOTE.
bool namesRow(quint16 type) {
    switch (type) {
    case Biff::Formula:
    case Biff::Note:
    case Biff::MulRk:
    case Biff::MulBlank:
    case Biff::RichString:
    case Biff::LabelSst:
    case Biff::Blank:
    case Biff::Number:
    case Biff::Label:
    case Biff::BoolErr:
    case Biff::Row:
    case Biff::Rk:
        return true;
    default:
        return false;
    }
}

} // namespace

XlsWorkbookReader::XlsWorkbookReader() = default;

XlsWorkbookReader::~XlsWorkbookReader() {
    close();
}

void XlsWorkbookReader::clearSheet() {
    m_cells = {};
    m_numbers = {};
    m_texts = {};
    m_heldBytes = m_globalBytes;
    m_rows = 0;
    m_columns = 0;
}

void XlsWorkbookReader::close() {
    clearSheet();
    m_open = false;
    m_namesOnly = false;
    m_stream.reset();
    m_sheetNames.clear();
    m_sheetOffsets.clear();
    m_sharedText = QString();
    m_sharedEnds = {};
    m_xfFormats = {};
    m_dates1904 = false;
    m_globalBytes = 0;
    m_heldBytes = 0;
}

bool XlsWorkbookReader::fail(Failure failure, int code) {
    close();
    m_failure = failure;
    m_failureCode = code;
    return false;
}

bool XlsWorkbookReader::open(const QString& path, bool namesOnly) {
    close();
    m_failure = Failure::None;
    m_failureCode = 0;
    // The file is read a window at a time as the records are walked, never held whole.
    auto file = std::make_shared<QFile>(path);
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return fail(Failure::CannotOpen);
    if (!CompoundFileReader::hasSignature(file->read(8)))
        return fail(Failure::NotWorkbook);
    if (file->size() > MaxFileSize)
        return fail(Failure::Damaged, TooLarge);
    auto stream = std::make_unique<CompoundStream>();
    CompoundFileReader compound(std::move(file));
    switch (compound.find({QStringLiteral("Workbook"), QStringLiteral("Book")}, *stream)) {
    case CompoundFileReader::Result::Ok:
        break;
    case CompoundFileReader::Result::NotCompoundFile:
    case CompoundFileReader::Result::NoSuchStream:
        return fail(Failure::NotWorkbook); // a compound file of another program
    case CompoundFileReader::Result::Damaged:
        return fail(Failure::Damaged, BadCompoundFile);
    }
    m_stream = std::move(stream);
    if (!readGlobals(namesOnly))
        return false;
    m_namesOnly = namesOnly;
    m_open = true;
    return true;
}

bool XlsWorkbookReader::readGlobals(bool namesOnly) {
    Records records(*m_stream, 0);
    Record r;
    if (!records.next(r) || r.type != Biff::Bof || r.length < 4)
        return fail(Failure::NotWorkbook);
    if (get16(r.data) != Biff::Version8)
        return fail(Failure::NotWorkbook); // older than Excel 97
    // Each number format is classified once, and XF records find theirs by its number.
    QHash<quint16, NumberFormat> formats;
    const auto classify = [](quint16 id, const QString& code) {
        bool isDate = false;
        bool timeOnly = false;
        classifyFormat(id, code, isDate, timeOnly);
        return timeOnly ? TimeOnly : isDate ? Date : Plain;
    };
    std::vector<quint16> xfFormatIds;
    for (;;) {
        if (!records.next(r))
            return fail(Failure::Damaged, BadRecord);
        // A run of zeros reads as records of type 0, which no writer makes, and a walk that has
        // fallen out of step with the records often meets an EOF carrying data.
        if (r.type == 0 || (r.type == Biff::Eof && r.length != 0))
            return fail(Failure::Damaged, BadRecord);
        if (r.type == Biff::Eof)
            break;
        switch (r.type) {
        case Biff::FilePass:
            return fail(Failure::Damaged, Encrypted);
        case Biff::DateMode:
            if (r.length >= 2)
                m_dates1904 = get16(r.data) == 1;
            break;
        case Biff::Format: {
            QString code;
            if (!namesOnly && r.length >= 2 && plainString(r, 2, true, code))
                formats.insert(get16(r.data), classify(get16(r.data), code));
            break;
        }
        case Biff::Xf:
            if (!namesOnly && r.length >= 4)
                xfFormatIds.push_back(get16(r.data + 2));
            break;
        case Biff::BoundSheet: {
            QString name;
            if (r.length < 6 || !plainString(r, 6, false, name))
                return fail(Failure::Damaged, BadRecord);
            if (r.data[5] == 0) { // worksheets only, no charts or macro sheets
                m_sheetNames.append(name);
                m_sheetOffsets.push_back(get32(r.data));
            }
            break;
        }
        case Biff::Sst: {
            if (namesOnly)
                break;
            Fragments sst(records, r);
            quint32 total = 0;
            quint32 unique = 0;
            if (!sst.u32(total) || !sst.u32(unique))
                return fail(Failure::Damaged, BadStringTable);
            // The count is not trusted for reserving; the loop ends with the records anyway.
            m_sharedEnds.reserve(std::min<quint32>(unique, 1u << 20));
            for (quint32 i = 0; i < unique; ++i) {
                if (!sst.richString(m_sharedText))
                    return fail(Failure::Damaged, BadStringTable);
                m_sharedEnds.push_back(static_cast<quint32>(m_sharedText.size()));
                m_globalBytes = 2 * m_sharedText.size() + 4 * qint64(m_sharedEnds.size());
                if (m_globalBytes > MaxHeldBytes)
                    return fail(Failure::Damaged, TooLarge);
            }
            break;
        }
        default:
            break;
        }
    }
    if (m_sheetNames.isEmpty())
        return fail(Failure::Damaged, NoSheets);
    m_xfFormats.reserve(xfFormatIds.size());
    for (const quint16 id : xfFormatIds) {
        const auto known = formats.constFind(id);
        m_xfFormats.push_back(known != formats.cend() ? *known : classify(id, {}));
    }
    m_globalBytes += qint64(m_xfFormats.size());
    m_heldBytes = m_globalBytes;
    return true;
}

bool XlsWorkbookReader::selectSheet(const QString& name) {
    clearSheet();
    const qsizetype index = m_sheetNames.indexOf(name);
    if (!m_open || m_namesOnly || index < 0) {
        m_failure = Failure::NoSuchSheet;
        return false;
    }
    if (const int code = readSheet(m_sheetOffsets[static_cast<std::size_t>(index)]); code != 0) {
        clearSheet();
        m_failure = Failure::Damaged;
        m_failureCode = code;
        return false;
    }
    return true;
}

XlsWorkbookReader::NumberFormat XlsWorkbookReader::formatOfXf(quint16 xf) const {
    return xf < m_xfFormats.size() ? m_xfFormats[xf] : Plain;
}

bool XlsWorkbookReader::setCell(quint16 row, int column, CellKind kind, quint32 value,
                                NumberFormat format) {
    if (column >= MaxColumns)
        return true;
    if (row >= m_cells.size())
        m_cells.resize(static_cast<std::size_t>(row) + 1);
    std::vector<Cell>& cells = m_cells[row];
    const Cell cell{static_cast<quint8>(column), static_cast<quint8>(kind | format << 4),
                    static_cast<quint16>(value), static_cast<quint16>(value >> 16)};
    if (cells.empty() || cells.back().column < column) {
        cells.push_back(cell);
        m_heldBytes += sizeof(Cell);
    } else {
        const auto at = std::lower_bound(cells.begin(), cells.end(), column,
                                         [](const Cell& c, int col) { return c.column < col; });
        if (at != cells.end() && at->column == column) {
            *at = cell; // what the old value took in a pool stays counted
        } else {
            cells.insert(at, cell);
            m_heldBytes += sizeof(Cell);
        }
    }
    m_rows = std::max(m_rows, row + 1);
    m_columns = std::max(m_columns, column + 1);
    return m_heldBytes <= MaxHeldBytes;
}

bool XlsWorkbookReader::setNumberCell(quint16 row, int column, double value, quint16 xf) {
    if (column >= MaxColumns)
        return true;
    if (const std::optional<quint32> rk = rkOf(value))
        return setCell(row, column, RkNumber, *rk, formatOfXf(xf));
    m_numbers.push_back(value);
    m_heldBytes += sizeof(double);
    return setCell(row, column, PooledNumber, static_cast<quint32>(m_numbers.size() - 1),
                   formatOfXf(xf));
}

bool XlsWorkbookReader::setTextCell(quint16 row, int column, QString text) {
    if (column >= MaxColumns || text.isEmpty())
        return true;
    m_heldBytes += qint64(sizeof(QString)) + 2 * text.size();
    m_texts.push_back(std::move(text));
    return setCell(row, column, OwnText, static_cast<quint32>(m_texts.size() - 1));
}

QString XlsWorkbookReader::numberCellText(double value, NumberFormat format) const {
    if (format == Plain || !std::isfinite(value) || value < 0 || value >= 2958466)
        return numberText(value);
    qint64 days = static_cast<qint64>(std::floor(value));
    qint64 seconds = std::llround((value - static_cast<double>(days)) * 86400.0);
    if (seconds >= 86400) {
        ++days;
        seconds -= 86400;
    }
    const QString time = QTime(0, 0).addSecs(static_cast<int>(seconds)).toString(u"HH:mm:ss");
    if (format == TimeOnly && days == 0)
        return time;
    QDate date;
    if (m_dates1904)
        date = QDate(1904, 1, 1).addDays(days);
    else if (days >= 61)
        date = QDate(1899, 12, 30).addDays(days);
    else
        date = QDate(1899, 12, 31).addDays(std::min<qint64>(days, 59)); // before the 1900 leap bug
    const QString day = date.toString(u"yyyy-MM-dd");
    return seconds == 0 ? day : day + u' ' + time;
}

int XlsWorkbookReader::readSheet(quint32 offset) {
    if (offset >= m_stream->size())
        return BadSheet;
    Records records(*m_stream, offset);
    Record r;
    if (!records.next(r) || r.type != Biff::Bof || r.length < 4 ||
        get16(r.data + 2) != Biff::BofWorksheet)
        return BadSheet;
    int depth = 1;
    // A formula's text result follows it in a STRING record.
    int pendingRow = -1;
    quint16 pendingColumn = 0;
    // What the sheet announces against what its records reach; see the end of the walk.
    qint64 lastAnnouncedRow = -1;
    qint64 lastNamedRow = -1;
    qint64 dbCellsAnnounced = 0;
    qint64 dbCellsMet = 0;
    while (depth > 0) {
        if (!records.next(r)) {
            if (!records.atEnd())
                return BadSheet;
            break; // cut short after its last record, it still reads if nothing announced is lost
        }
        // Zeros, as in the globals; an EOF with data ends no sheet but a walk out of step.
        if (r.type == 0)
            return BadRecord;
        if (r.type == Biff::Eof && r.length != 0)
            return BadSheet;
        if (r.type == Biff::Bof) {
            ++depth;
            continue;
        }
        if (r.type == Biff::Eof) {
            --depth;
            continue;
        }
        if (depth != 1)
            continue; // an embedded chart
        const quint16 row = r.length >= 2 ? get16(r.data) : 0;
        const quint16 column = r.length >= 4 ? get16(r.data + 2) : 0;
        const quint16 xf = r.length >= 6 ? get16(r.data + 4) : 0;
        if (namesRow(r.type) && r.length >= 2)
            lastNamedRow = std::max<qint64>(lastNamedRow, row);
        bool held = true;
        switch (r.type) {
        case Biff::Dimensions:
            if (r.length >= 8 && get32(r.data + 4) > get32(r.data))
                lastAnnouncedRow = qint64(get32(r.data + 4)) - 1;
            break;
        case Biff::Index:
            if (r.length >= 16)
                dbCellsAnnounced = (r.length - 16) / 4;
            break;
        case Biff::DbCell:
            ++dbCellsMet;
            break;
        case Biff::LabelSst: {
            if (r.length < 10 || get32(r.data + 6) >= m_sharedEnds.size())
                return BadSheet;
            const quint32 index = get32(r.data + 6);
            if (m_sharedEnds[index] > (index == 0 ? 0 : m_sharedEnds[index - 1]))
                held = setCell(row, column, SharedText, index);
            break;
        }
        case Biff::Label:
        case Biff::RichString: {
            QString text;
            if (r.length < 6 || !plainString(r, 6, true, text))
                return BadSheet;
            held = setTextCell(row, column, std::move(text));
            break;
        }
        case Biff::Number:
            if (r.length < 14)
                return BadSheet;
            held = setNumberCell(row, column, getDouble(r.data + 6), xf);
            break;
        case Biff::Rk:
            if (r.length < 10)
                return BadSheet;
            held = setCell(row, column, RkNumber, get32(r.data + 6), formatOfXf(xf));
            break;
        case Biff::MulRk: {
            if (r.length < 6 || (r.length - 6) % 6 != 0)
                return BadSheet;
            const int count = (r.length - 6) / 6;
            for (int i = 0; i < count && held; ++i) {
                const char* p = r.data + 4 + 6 * i;
                held = setCell(row, column + i, RkNumber, get32(p + 2), formatOfXf(get16(p)));
            }
            break;
        }
        case Biff::BoolErr:
            if (r.length < 8)
                return BadSheet;
            if (r.data[7] == 0)
                held = setCell(row, column, Boolean, r.data[6] != 0 ? 1 : 0);
            break;
        case Biff::Formula: { // its cached result
            if (r.length < 14)
                return BadSheet;
            const char* result = r.data + 6;
            if (get16(result + 6) != 0xFFFF) {
                held = setNumberCell(row, column, getDouble(result), xf);
            } else if (result[0] == 0) {
                pendingRow = row;
                pendingColumn = column;
            } else if (result[0] == 1) {
                held = setCell(row, column, Boolean, result[2] != 0 ? 1 : 0);
            }
            break;
        }
        case Biff::String: { // possibly continued
            Fragments text(records, r);
            quint16 length = 0;
            quint8 flags = 0;
            QString value;
            if (!text.u16(length) || !text.byte(flags) ||
                !text.characters(length, flags & 1, value))
                return BadSheet;
            if (pendingRow >= 0)
                held =
                    setTextCell(static_cast<quint16>(pendingRow), pendingColumn, std::move(value));
            pendingRow = -1;
            break;
        }
        default:
            break;
        }
        if (!held)
            return TooLarge;
    }
    // The last row DIMENSIONS announces need not hold a cell: LibreOffice counts rows that have
    // only a ROW record (a height of their own), Spreadsheet::WriteExcel rows that have only a
    // comment or a set_row, so any record that names the row reaches it. A DIMENSIONS of no
    // rows, which some writers leave, announces nothing. Each DBCELL follows its block's cells,
    // so the count INDEX gives tells whether the last block was read, which the ROW records
    // ahead of its cells cannot; LibreOffice, our export and WriteExcel outside its
    // compatibility mode write no INDEX.
    if (lastNamedRow < lastAnnouncedRow || dbCellsMet < dbCellsAnnounced)
        return MissingCells;
    return 0;
}

QString XlsWorkbookReader::numberText(double value) {
    if (!std::isfinite(value))
        return QString::number(value);
    if (value == 0)
        return QStringLiteral("0");
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e15 || magnitude < 1e-15)
        return QString::number(value, 'g', 15);
    const int exponent = static_cast<int>(std::floor(std::log10(magnitude)));
    QString text = QString::number(value, 'f', std::max(0, 14 - exponent));
    if (text.contains(u'.')) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    if (text == QLatin1String("-0"))
        return QStringLiteral("0");
    return text;
}

QString XlsWorkbookReader::textOf(const Cell& cell) const {
    const quint32 value = cell.value();
    const auto format = static_cast<NumberFormat>(cell.kind >> 4);
    switch (static_cast<CellKind>(cell.kind & 0x0F)) {
    case SharedText: {
        const quint32 start = value == 0 ? 0 : m_sharedEnds[value - 1];
        return m_sharedText.mid(start, m_sharedEnds[value] - start);
    }
    case OwnText:
        return m_texts[value];
    case RkNumber:
        return numberCellText(rkValue(value), format);
    case PooledNumber:
        return numberCellText(m_numbers[value], format);
    case Boolean:
        return value != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    }
    return {};
}

QString XlsWorkbookReader::cellText(int row, int column) const {
    if (row < 0 || column < 0 || row >= static_cast<int>(m_cells.size()))
        return {};
    const std::vector<Cell>& cells = m_cells[static_cast<std::size_t>(row)];
    const auto at = std::lower_bound(cells.begin(), cells.end(), column,
                                     [](const Cell& c, int col) { return c.column < col; });
    return at != cells.end() && at->column == column ? textOf(*at) : QString();
}
