#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class CompoundStream;

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
        BadRecord = 2, // a record that does not fit, or of type 0, which no writer makes
        Encrypted = 3,
        BadStringTable = 4,
        BadSheet = 5,
        NoSheets = 6,
        TooLarge = 7,
        MissingCells = 8, // the sheet ends before the rows its DIMENSIONS or INDEX announce
    };
    // What the reader holds for one workbook's cells and texts at most; a larger workbook is
    // Damaged with TooLarge. A full sheet of numbers and short texts takes about 150 MB.
    static constexpr qint64 MaxHeldBytes = qint64(512) << 20;

    XlsWorkbookReader();
    ~XlsWorkbookReader();
    XlsWorkbookReader(const XlsWorkbookReader&) = delete;
    XlsWorkbookReader& operator=(const XlsWorkbookReader&) = delete;

    // With namesOnly only the sheets are listed, which is much faster; selectSheet then
    // fails.
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
    // Six bytes a cell: a full sheet holds 16.7 million of them. The value is read by kind.
    struct Cell {
        quint8 column;
        quint8 kind; // CellKind, and the NumberFormat in the high four bits
        quint16 low;
        quint16 high;
        quint32 value() const { return low | quint32(high) << 16; }
    };
    enum CellKind : quint8 { SharedText, OwnText, RkNumber, PooledNumber, Boolean };
    enum NumberFormat : quint8 { Plain, Date, TimeOnly };

    bool fail(Failure failure, int code = 0);
    bool readGlobals(bool namesOnly);
    int readSheet(quint32 offset);
    QString numberCellText(double value, NumberFormat format) const;
    QString textOf(const Cell& cell) const;
    NumberFormat formatOfXf(quint16 xf) const;
    bool setCell(quint16 row, int column, CellKind kind, quint32 value,
                 NumberFormat format = Plain);
    bool setNumberCell(quint16 row, int column, double value, quint16 xf);
    bool setTextCell(quint16 row, int column, QString text);
    void clearSheet();

    std::unique_ptr<CompoundStream> m_stream;
    bool m_open = false;
    bool m_namesOnly = false;
    QStringList m_sheetNames;
    std::vector<quint32> m_sheetOffsets;
    // The shared strings end to end; m_sharedEnds[i] is where string i ends.
    QString m_sharedText;
    std::vector<quint32> m_sharedEnds;
    std::vector<NumberFormat> m_xfFormats;
    bool m_dates1904 = false;
    std::vector<std::vector<Cell>> m_cells; // by row, columns ascending
    std::vector<double> m_numbers;          // numbers that have no RK form
    std::vector<QString> m_texts;           // texts that are not shared strings
    qint64 m_globalBytes = 0;
    qint64 m_heldBytes = 0;
    int m_rows = 0;
    int m_columns = 0;
    Failure m_failure = Failure::None;
    int m_failureCode = 0;
};
