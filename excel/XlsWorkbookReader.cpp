#include "XlsWorkbookReader.h"

#include <QFile>

#include <freexl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Every compound file, and so every Excel 97-2003 workbook, begins with these bytes.
constexpr char CompoundSignature[8] = {'\xD0', '\xCF', '\x11', '\xE0',
                                       '\xA1', '\xB1', '\x1A', '\xE1'};

QString fromLibraryText(const char* text) {
    return text ? QString::fromUtf8(text) : QString();
}

} // namespace

XlsWorkbookReader::~XlsWorkbookReader() {
    close();
}

void XlsWorkbookReader::close() {
    if (m_handle)
        freexl_close(m_handle);
    m_handle = nullptr;
    m_sheetNames.clear();
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
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return fail(Failure::CannotOpen);
        const QByteArray start = file.read(sizeof CompoundSignature);
        if (start.size() != sizeof CompoundSignature ||
            std::memcmp(start.constData(), CompoundSignature, sizeof CompoundSignature) != 0)
            return fail(Failure::NotWorkbook);
    }
    const QByteArray localPath = QFile::encodeName(path);
    const void* handle = nullptr;
    const int rc = namesOnly ? freexl_open_info(localPath.constData(), &handle)
                             : freexl_open(localPath.constData(), &handle);
    m_handle = handle;
    if (rc != FREEXL_OK)
        return fail(rc == FREEXL_FILE_NOT_FOUND ? Failure::CannotOpen : Failure::Damaged, rc);
    unsigned int biff = 0;
    if (freexl_get_info(m_handle, FREEXL_BIFF_VERSION, &biff) != FREEXL_OK ||
        biff == FREEXL_UNKNOWN)
        return fail(Failure::NotWorkbook);
    unsigned int password = 0;
    if (freexl_get_info(m_handle, FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK &&
        password == FREEXL_BIFF_OBFUSCATED)
        return fail(Failure::Damaged, FREEXL_BIFF_OBFUSCATED);
    unsigned int count = 0;
    if (freexl_get_info(m_handle, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK)
        return fail(Failure::Damaged, FREEXL_BIFF_WORKBOOK_NOT_FOUND);
    for (unsigned int i = 0; i < count && i < 0xFFFF; ++i) {
        const char* name = nullptr;
        if (freexl_get_worksheet_name(m_handle, static_cast<unsigned short>(i), &name) != FREEXL_OK)
            return fail(Failure::Damaged, FREEXL_BIFF_ILLEGAL_SHEET_INDEX);
        m_sheetNames.append(fromLibraryText(name));
    }
    return true;
}

bool XlsWorkbookReader::selectSheet(const QString& name) {
    m_rows = 0;
    m_columns = 0;
    const qsizetype index = m_sheetNames.indexOf(name);
    if (!m_handle || index < 0) {
        m_failure = Failure::NoSuchSheet;
        return false;
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(m_handle, static_cast<unsigned short>(index)) != FREEXL_OK ||
        freexl_worksheet_dimensions(m_handle, &rows, &columns) != FREEXL_OK) {
        m_failure = Failure::NoSuchSheet;
        return false;
    }
    m_rows = static_cast<int>(std::min<unsigned int>(rows, 1u << 20));
    m_columns = columns;
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
    if (!m_handle || row < 0 || column < 0 || row >= m_rows || column >= m_columns)
        return {};
    FreeXL_CellValue value;
    if (freexl_get_cell_value(m_handle, static_cast<unsigned int>(row),
                              static_cast<unsigned short>(column), &value) != FREEXL_OK)
        return {};
    switch (value.type) {
    case FREEXL_CELL_INT:
        return QString::number(value.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return numberText(value.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_TIME:
        return fromLibraryText(value.value.text_value);
    case FREEXL_CELL_DATETIME: {
        QString text = fromLibraryText(value.value.text_value);
        if (text.endsWith(QLatin1String(" 00:00:00")))
            text.chop(9);
        return text;
    }
    default:
        return {};
    }
}
