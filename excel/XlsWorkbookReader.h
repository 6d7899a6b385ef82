#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// Reads the cells of an Excel 97-2003 workbook as the texts a clerk sees:
// numbers in plain decimal form, dates as yyyy-MM-dd, date-times as yyyy-MM-dd HH:mm:ss
// (midnight as the date alone), texts as they are.
class XlsWorkbookReader {
public:
    enum class Failure {
        None,
        CannotOpen,  // missing or unreadable file
        NotWorkbook, // the content is no Excel 97-2003 workbook (text, a newer format, ...)
        NoSuchSheet,
        Damaged, // a workbook whose inner structure cannot be read; see failureCode()
    };
    // What was found damaged.
    enum DamageCode {
        BadCompoundFile = 1,
        BadRecord = 2,
        Encrypted = 3,
        BadStringTable = 4,
        BadSheet = 5,
        NoSheets = 6,
        TooLarge = 7,
    };

    XlsWorkbookReader() = default;
    ~XlsWorkbookReader();
    XlsWorkbookReader(const XlsWorkbookReader&) = delete;
    XlsWorkbookReader& operator=(const XlsWorkbookReader&) = delete;

    // With namesOnly the cells are not loaded, which is much faster for listing sheets.
    bool open(const QString& path, bool namesOnly = false);
    void close();
    QStringList sheetNames() const { return m_sheetNames; }
    bool selectSheet(const QString& name);

    // Rows and columns of the selected sheet (counts, so the last row is rowCount() − 1).
    int rowCount() const { return m_rows; }
    int columnCount() const { return m_columns; }
    // Row and column count from 0; outside the sheet the text is empty.
    QString cellText(int row, int column) const;

    Failure failure() const { return m_failure; }
    // A DamageCode for a damaged workbook, 0 otherwise.
    int failureCode() const { return m_failureCode; }

    // Plain decimal form with up to 15 significant digits.
    static QString numberText(double value);

private:
    struct Cell {
        quint16 column;
        QString text;
    };
    bool fail(Failure failure, int code = 0);
    bool readGlobals();
    bool readSheet(quint32 offset);
    QString numberCellText(double value, quint16 xf) const;
    void setCell(quint16 row, quint16 column, QString text);

    QByteArray m_stream;
    bool m_open = false;
    QStringList m_sheetNames;
    std::vector<quint32> m_sheetOffsets;
    std::vector<QString> m_strings;
    std::vector<bool> m_xfIsDate;
    std::vector<bool> m_xfIsTimeOnly;
    bool m_dates1904 = false;
    std::vector<std::vector<Cell>> m_cells; // by row, columns ascending
    int m_rows = 0;
    int m_columns = 0;
    Failure m_failure = Failure::None;
    int m_failureCode = 0;
};
