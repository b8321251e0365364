// Little-endian numbers of a workbook file read from a byte array; zero for
// any place outside it. Shared by the compound-file and record readers.
#pragma once

#include <QByteArray>

namespace kvui::xls {

inline quint16 u16At(const QByteArray& b, qsizetype at)
{
    if (at < 0 || at + 2 > b.size())
        return 0;
    return quint16(quint8(b[at]) | quint8(b[at + 1]) << 8);
}

inline quint32 u32At(const QByteArray& b, qsizetype at)
{
    if (at < 0 || at + 4 > b.size())
        return 0;
    return quint32(u16At(b, at)) | quint32(u16At(b, at + 2)) << 16;
}

} // namespace kvui::xls
