#pragma once

#include "CodeTables.h"

#include <QList>
#include <QString>

// A code table as the clerk brings it: the first sheet of an Excel 97-2003 workbook, or a
// CSV file (UTF-8 with or without BOM, or GBK), with the columns code, name and, when
// there, the text to print. A first row of column titles and rows without a code are left
// out.
struct CodeTableFile {
    QList<CodeRow> rows;
    // Why nothing could be read; empty when the file was read.
    QString failure;

    static CodeTableFile read(const QString& path);
    // The rows of CSV text, fields unquoted ("" inside quotes is one ").
    static QList<QStringList> parseCsv(const QString& text);
};
