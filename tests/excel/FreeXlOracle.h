#pragma once

#include <QString>
#include <QStringList>

#include <freexl.h>

#include <vector>

// FreeXL as an independent reader of the workbooks we write: the cells of the first sheet
// as texts (integers and doubles in their shortest form).
struct FreeXlSheet {
    int rc = FREEXL_OK;
    QStringList sheets;
    unsigned int rows = 0;
    unsigned short columns = 0;
    std::vector<QStringList> cells;
};

inline FreeXlSheet readWithFreeXl(const QString& path) {
    FreeXlSheet out;
    const void* handle = nullptr;
    out.rc = freexl_open(path.toLocal8Bit().constData(), &handle);
    unsigned int count = 0;
    if (out.rc == FREEXL_OK)
        freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &count);
    for (unsigned int i = 0; i < count; ++i) {
        const char* name = nullptr;
        if (freexl_get_worksheet_name(handle, static_cast<unsigned short>(i), &name) == FREEXL_OK)
            out.sheets.append(QString::fromUtf8(name));
    }
    if (count > 0 && freexl_select_active_worksheet(handle, 0) == FREEXL_OK &&
        freexl_worksheet_dimensions(handle, &out.rows, &out.columns) == FREEXL_OK) {
        for (unsigned int r = 0; r < out.rows; ++r) {
            QStringList& row = out.cells.emplace_back();
            for (unsigned short c = 0; c < out.columns; ++c) {
                FreeXL_CellValue v;
                QString& text = row.emplace_back();
                if (freexl_get_cell_value(handle, r, c, &v) != FREEXL_OK)
                    continue;
                if (v.type == FREEXL_CELL_INT)
                    text = QString::number(v.value.int_value);
                else if (v.type == FREEXL_CELL_DOUBLE)
                    text = QString::number(v.value.double_value, 'g', 15);
                else if (v.type != FREEXL_CELL_NULL)
                    text = QString::fromUtf8(v.value.text_value);
            }
        }
    }
    freexl_close(handle);
    return out;
}
