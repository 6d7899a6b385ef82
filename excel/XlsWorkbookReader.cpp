#include "XlsWorkbookReader.h"
#include "LittleEndian.h"

#include "CompoundFileReader.h"

#include <QByteArrayView>
#include <QDate>
#include <QFile>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int MaxRecordData = 8224;
constexpr qint64 MaxFileSize = qint64(1) << 30;
constexpr int MaxColumns = 256;

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

struct Record {
    quint16 type = 0;
    quint16 length = 0;
    const char* data = nullptr;
};

// Walks the records of a stream from a position; false at a record that does not fit.
class Records {
public:
    Records(const QByteArray& stream, qsizetype at) : m_stream(stream), m_at(at) {}
    bool atEnd() const { return m_at + 4 > m_stream.size(); }
    bool next(Record& r) {
        if (atEnd())
            return false;
        const char* p = m_stream.constData() + m_at;
        r.type = get16(p);
        r.length = get16(p + 2);
        if (r.length > MaxRecordData || m_at + 4 + r.length > m_stream.size())
            return false;
        r.data = p + 4;
        m_at += 4 + r.length;
        return true;
    }
    // The type of the next record without moving on; 0 at the end.
    quint16 peekType() const { return atEnd() ? 0 : get16(m_stream.constData() + m_at); }

private:
    const QByteArray& m_stream;
    qsizetype m_at = 0;
};

// A record's data followed by its CONTINUE records; characters carried over into a
// CONTINUE record start with a new option byte there.
class Fragments {
public:
    void add(const Record& r) { m_parts.emplace_back(r.data, r.length); }
    bool byte(quint8& out) {
        if (!nextPartIfDone())
            return false;
        out = static_cast<quint8>(m_parts[m_part][m_pos++]);
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
            if (!nextPartIfDone())
                return false;
            const qint64 take = std::min<qint64>(count, m_parts[m_part].size() - m_pos);
            m_pos += take;
            count -= take;
        }
        return true;
    }
    bool characters(qint64 count, bool wide, QString& out) {
        out.reserve(static_cast<qsizetype>(std::min<qint64>(count, 32767)));
        while (count > 0) {
            const qsizetype unit = wide ? 2 : 1;
            if (m_part >= m_parts.size())
                return false;
            if (m_parts[m_part].size() - m_pos < unit) {
                // The characters go on in the next record, after its option byte.
                if (++m_part >= m_parts.size())
                    return false;
                m_pos = 0;
                if (m_parts[m_part].isEmpty())
                    return false;
                wide = (m_parts[m_part][m_pos++] & 0x01) != 0;
                continue;
            }
            const QByteArrayView part = m_parts[m_part];
            const qint64 take = std::min<qint64>(count, (part.size() - m_pos) / unit);
            const char* p = part.data() + m_pos;
            for (qint64 i = 0; i < take; ++i)
                out += wide ? QChar(get16(p + 2 * i)) : QChar(static_cast<unsigned char>(p[i]));
            m_pos += take * unit;
            count -= take;
        }
        return true;
    }
    // A whole Unicode string with its formatting runs and extension skipped.
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
    bool nextPartIfDone() {
        while (m_part < m_parts.size() && m_pos >= m_parts[m_part].size()) {
            ++m_part;
            m_pos = 0;
        }
        return m_part < m_parts.size();
    }
    std::vector<QByteArrayView> m_parts;
    std::size_t m_part = 0;
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

} // namespace

XlsWorkbookReader::~XlsWorkbookReader() {
    close();
}

void XlsWorkbookReader::close() {
    m_open = false;
    m_stream.clear();
    m_sheetNames.clear();
    m_sheetOffsets.clear();
    m_strings.clear();
    m_xfIsDate.clear();
    m_xfIsTimeOnly.clear();
    m_cells.clear();
    m_dates1904 = false;
    m_rows = 0;
    m_columns = 0;
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
    QByteArray file;
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return fail(Failure::CannotOpen);
        if (!CompoundFileReader::hasSignature(f.peek(8)))
            return fail(Failure::NotWorkbook);
        if (f.size() > MaxFileSize)
            return fail(Failure::Damaged, TooLarge);
        file = f.readAll();
        if (file.size() != f.size())
            return fail(Failure::CannotOpen);
    }
    CompoundFileReader compound(std::move(file));
    switch (compound.read({QStringLiteral("Workbook"), QStringLiteral("Book")}, m_stream)) {
    case CompoundFileReader::Result::Ok:
        break;
    case CompoundFileReader::Result::NotCompoundFile:
    case CompoundFileReader::Result::NoSuchStream:
        return fail(Failure::NotWorkbook); // a compound file of another program
    case CompoundFileReader::Result::Damaged:
        return fail(Failure::Damaged, BadCompoundFile);
    }
    Q_UNUSED(namesOnly); // the globals are small; cells are read when a sheet is selected
    if (!readGlobals())
        return false;
    m_open = true;
    return true;
}

bool XlsWorkbookReader::readGlobals() {
    Records records(m_stream, 0);
    Record r;
    if (!records.next(r) || r.type != 0x0809 || r.length < 4)
        return fail(Failure::NotWorkbook);
    if (get16(r.data) != 0x0600)
        return fail(Failure::NotWorkbook); // older than Excel 97
    std::vector<std::pair<quint16, QString>> formats;
    std::vector<quint16> xfFormats;
    bool ended = false;
    while (!ended) {
        if (!records.next(r))
            return fail(Failure::Damaged, BadRecord);
        switch (r.type) {
        case 0x002F:
            return fail(Failure::Damaged, Encrypted);
        case 0x0022:
            if (r.length >= 2)
                m_dates1904 = get16(r.data) == 1;
            break;
        case 0x041E: {
            QString code;
            if (r.length >= 2 && plainString(r, 2, true, code))
                formats.emplace_back(get16(r.data), code);
            break;
        }
        case 0x00E0:
            if (r.length >= 4)
                xfFormats.push_back(get16(r.data + 2));
            break;
        case 0x0085: {
            QString name;
            if (r.length < 6 || !plainString(r, 6, false, name))
                return fail(Failure::Damaged, BadRecord);
            if (r.data[5] == 0) { // worksheets only, no charts or macro sheets
                m_sheetNames.append(name);
                m_sheetOffsets.push_back(get32(r.data));
            }
            break;
        }
        case 0x00FC: {
            Fragments sst;
            sst.add(r);
            while (records.peekType() == 0x003C) {
                records.next(r);
                sst.add(r);
            }
            quint32 total = 0;
            quint32 unique = 0;
            if (!sst.u32(total) || !sst.u32(unique))
                return fail(Failure::Damaged, BadStringTable);
            // The count is not trusted for reserving: each string takes at least 3 bytes.
            m_strings.reserve(std::min<quint32>(unique, static_cast<quint32>(m_stream.size() / 3)));
            for (quint32 i = 0; i < unique; ++i) {
                QString text;
                if (!sst.richString(text))
                    return fail(Failure::Damaged, BadStringTable);
                m_strings.push_back(std::move(text));
            }
            break;
        }
        case 0x000A:
            ended = true;
            break;
        default:
            break;
        }
    }
    if (m_sheetNames.isEmpty())
        return fail(Failure::Damaged, NoSheets);
    for (const quint16 id : xfFormats) {
        QString code;
        for (const auto& [fid, fcode] : formats)
            if (fid == id)
                code = fcode;
        bool isDate = false;
        bool timeOnly = false;
        classifyFormat(id, code, isDate, timeOnly);
        m_xfIsDate.push_back(isDate);
        m_xfIsTimeOnly.push_back(timeOnly);
    }
    return true;
}

bool XlsWorkbookReader::selectSheet(const QString& name) {
    m_rows = 0;
    m_columns = 0;
    m_cells.clear();
    const qsizetype index = m_sheetNames.indexOf(name);
    if (!m_open || index < 0) {
        m_failure = Failure::NoSuchSheet;
        return false;
    }
    if (!readSheet(m_sheetOffsets[static_cast<std::size_t>(index)])) {
        m_cells.clear();
        m_rows = 0;
        m_columns = 0;
        m_failure = Failure::Damaged;
        m_failureCode = BadSheet;
        return false;
    }
    return true;
}

void XlsWorkbookReader::setCell(quint16 row, quint16 column, QString text) {
    if (column >= MaxColumns || text.isEmpty())
        return;
    if (row >= m_cells.size())
        m_cells.resize(static_cast<std::size_t>(row) + 1);
    std::vector<Cell>& cells = m_cells[row];
    const auto at = std::lower_bound(cells.begin(), cells.end(), column,
                                     [](const Cell& c, quint16 col) { return c.column < col; });
    if (at != cells.end() && at->column == column)
        at->text = std::move(text);
    else
        cells.insert(at, Cell{column, std::move(text)});
    m_rows = std::max(m_rows, row + 1);
    m_columns = std::max(m_columns, column + 1);
}

QString XlsWorkbookReader::numberCellText(double value, quint16 xf) const {
    if (xf >= m_xfIsDate.size() || !m_xfIsDate[xf] || !std::isfinite(value) || value < 0 ||
        value >= 2958466)
        return numberText(value);
    qint64 days = static_cast<qint64>(std::floor(value));
    qint64 seconds = std::llround((value - static_cast<double>(days)) * 86400.0);
    if (seconds >= 86400) {
        ++days;
        seconds -= 86400;
    }
    const QString time = QTime(0, 0).addSecs(static_cast<int>(seconds)).toString(u"HH:mm:ss");
    if (m_xfIsTimeOnly[xf] && days == 0)
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

bool XlsWorkbookReader::readSheet(quint32 offset) {
    if (offset >= static_cast<quint32>(m_stream.size()))
        return false;
    Records records(m_stream, offset);
    Record r;
    if (!records.next(r) || r.type != 0x0809 || r.length < 4 || get16(r.data + 2) != 0x0010)
        return false;
    int depth = 1;
    // A formula's text result follows it in a STRING record.
    int pendingRow = -1;
    quint16 pendingColumn = 0;
    while (depth > 0) {
        if (!records.next(r))
            return records.atEnd(); // a sheet cut short after its last record still reads
        if (r.type == 0x0809) {
            ++depth;
            continue;
        }
        if (r.type == 0x000A) {
            --depth;
            continue;
        }
        if (depth != 1)
            continue; // an embedded chart
        const quint16 row = r.length >= 2 ? get16(r.data) : 0;
        const quint16 column = r.length >= 4 ? get16(r.data + 2) : 0;
        const quint16 xf = r.length >= 6 ? get16(r.data + 4) : 0;
        switch (r.type) {
        case 0x00FD: // LABELSST
            if (r.length < 10)
                return false;
            if (get32(r.data + 6) >= m_strings.size())
                return false;
            setCell(row, column, m_strings[get32(r.data + 6)]);
            break;
        case 0x0204:   // LABEL
        case 0x00D6: { // RSTRING
            QString text;
            if (r.length < 6 || !plainString(r, 6, true, text))
                return false;
            setCell(row, column, text);
            break;
        }
        case 0x0203: // NUMBER
            if (r.length < 14)
                return false;
            setCell(row, column, numberCellText(getDouble(r.data + 6), xf));
            break;
        case 0x027E: // RK
            if (r.length < 10)
                return false;
            setCell(row, column, numberCellText(rkValue(get32(r.data + 6)), xf));
            break;
        case 0x00BD: { // MULRK
            if (r.length < 6 || (r.length - 6) % 6 != 0)
                return false;
            const int count = (r.length - 6) / 6;
            for (int i = 0; i < count; ++i) {
                const char* p = r.data + 4 + 6 * i;
                setCell(row, static_cast<quint16>(column + i),
                        numberCellText(rkValue(get32(p + 2)), get16(p)));
            }
            break;
        }
        case 0x0205: // BOOLERR
            if (r.length < 8)
                return false;
            if (r.data[7] == 0)
                setCell(row, column, r.data[6] ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
            break;
        case 0x0006: { // FORMULA: its cached result
            if (r.length < 14)
                return false;
            const char* result = r.data + 6;
            if (get16(result + 6) != 0xFFFF) {
                setCell(row, column, numberCellText(getDouble(result), xf));
            } else if (result[0] == 0) {
                pendingRow = row;
                pendingColumn = column;
            } else if (result[0] == 1) {
                setCell(row, column, result[2] ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
            }
            break;
        }
        case 0x0207: { // STRING, possibly continued
            Fragments text;
            text.add(r);
            while (records.peekType() == 0x003C) {
                records.next(r);
                text.add(r);
            }
            quint16 length = 0;
            quint8 flags = 0;
            QString value;
            if (!text.u16(length) || !text.byte(flags) ||
                !text.characters(length, flags & 1, value))
                return false;
            if (pendingRow >= 0)
                setCell(static_cast<quint16>(pendingRow), pendingColumn, value);
            pendingRow = -1;
            break;
        }
        default:
            break;
        }
    }
    return true;
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

QString XlsWorkbookReader::cellText(int row, int column) const {
    if (row < 0 || column < 0 || row >= static_cast<int>(m_cells.size()))
        return {};
    const std::vector<Cell>& cells = m_cells[static_cast<std::size_t>(row)];
    const auto at = std::lower_bound(cells.begin(), cells.end(), column,
                                     [](const Cell& c, int col) { return c.column < col; });
    return at != cells.end() && at->column == column ? at->text : QString();
}
