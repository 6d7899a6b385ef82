#pragma once

#include <QString>
#include <QStringList>

// Reads the cells of an Excel 97-2003 workbook (through FreeXL) as the texts a clerk sees:
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
    // The library's own code for a damaged workbook (negative), 0 otherwise.
    int failureCode() const { return m_failureCode; }

    // Plain decimal form with up to 15 significant digits.
    static QString numberText(double value);

private:
    bool fail(Failure failure, int code = 0);

    const void* m_handle = nullptr;
    QStringList m_sheetNames;
    int m_rows = 0;
    int m_columns = 0;
    Failure m_failure = Failure::None;
    int m_failureCode = 0;
};
