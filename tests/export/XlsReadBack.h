#pragma once
#include <QDate>
#include <QString>
#include <QVariant>
#include <freexl.h>

// A workbook read back through FreeXL: the first sheet's values, Null for empty cells.
struct XlsSheet {
    int error = 0;
    QList<QVariantList> rows;
    QVariant at(int r, int c) const { return rows.value(r).value(c); }
};

inline XlsSheet ReadXlsSheet(const QString& AFileName)
{
    XlsSheet sheet;
    const void* handle = nullptr;
    sheet.error = freexl_open(AFileName.toLocal8Bit().constData(), &handle);
    if (sheet.error != FREEXL_OK)
        return sheet;
    unsigned int rows = 0;
    unsigned short columns = 0;
    sheet.error = freexl_select_active_worksheet(handle, 0);
    if (sheet.error == FREEXL_OK)
        sheet.error = freexl_worksheet_dimensions(handle, &rows, &columns);
    for (unsigned int r = 0; sheet.error == FREEXL_OK && r < rows; ++r) {
        QVariantList row;
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue v;
            if (freexl_get_cell_value(handle, r, c, &v) != FREEXL_OK) {
                row.append(QVariant());
                continue;
            }
            switch (v.type) {
            case FREEXL_CELL_INT: row.append(double(v.value.int_value)); break;
            case FREEXL_CELL_DOUBLE: row.append(v.value.double_value); break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT: row.append(QString::fromUtf8(v.value.text_value)); break;
            case FREEXL_CELL_DATE: row.append(QDate::fromString(QString::fromUtf8(v.value.text_value), "yyyy-MM-dd")); break;
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME: row.append(QString::fromUtf8(v.value.text_value)); break;
            default: row.append(QVariant()); break;
            }
        }
        sheet.rows.append(row);
    }
    freexl_close(handle);
    return sheet;
}
