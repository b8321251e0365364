// The compound file around a workbook: the container of named streams that an
// Excel 97-2003 workbook (.xls) is stored in. Reads one named stream out of a
// file held in memory; any file, damaged or made up, gives either the stream's
// bytes or a refusal, never a read past the data, and never more memory than
// the file's own size can account for.
#pragma once

#include <QByteArray>
#include <QStringList>

namespace kvui {

// The bytes of the first stream named one of names (compared without case);
// false when the file is no compound file, is damaged or holds no such stream.
bool readCompoundStream(const QByteArray& file, const QStringList& names, QByteArray& out);

} // namespace kvui
