#include "XlsCompoundFile.h"
#include "XlsBytes.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <vector>

namespace kvui {

namespace {

using xls::u16At;
using xls::u32At;

constexpr quint32 EndOfChain = 0xFFFFFFFE;

// A directory entry's name: up to 31 UTF-16 units before the terminating zero.
QString entryName(const QByteArray& dir, qsizetype at)
{
    const int units = std::clamp<int>(u16At(dir, at + 64) / 2 - 1, 0, 31);
    QString name;
    for (int i = 0; i < units; ++i)
        name += QChar(u16At(dir, at + 2 * i));
    return name;
}

class Container {
public:
    explicit Container(const QByteArray& data) : m_data(data) {}

    bool stream(const QStringList& names, QByteArray& out)
    {
        if (m_data.size() < 512 || !m_data.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1")))
            return false;
        const int shift = u16At(m_data, 0x1E);
        if (shift != 9 && shift != 12)
            return false;
        m_sectorSize = 1 << shift;
        // The header takes the first sector; sector n follows it.
        m_sectors = m_data.size() / m_sectorSize - 1;
        const int miniShift = u16At(m_data, 0x20);
        if (miniShift < 1 || miniShift > shift)
            return false;
        m_miniSize = 1 << miniShift;
        if (m_sectors <= 0 || !readFat())
            return false;
        QByteArray dir;
        if (!chain(u32At(m_data, 0x30), m_fat, dir))
            return false;
        const quint32 cutoff = u32At(m_data, 0x38);
        QByteArray miniStream;
        QList<quint32> miniFat;
        bool sawRoot = false;
        for (qsizetype at = 0; at + 128 <= dir.size(); at += 128) {
            const int type = quint8(dir.at(at + 66));
            const quint32 start = u32At(dir, at + 116);
            const quint32 size = u32At(dir, at + 120);
            if (type == 5 && !sawRoot) {   // the root: its chain is the mini stream
                sawRoot = true;
                if (!chain(start, m_fat, miniStream))
                    return false;
                if (u32At(m_data, 0x40) > 0) {
                    QByteArray miniFatBytes;
                    if (!chain(u32At(m_data, 0x3C), m_fat, miniFatBytes))
                        return false;
                    for (qsizetype i = 0; i + 4 <= miniFatBytes.size(); i += 4)
                        miniFat.append(u32At(miniFatBytes, i));
                }
                continue;
            }
            if (type != 2 || !names.contains(entryName(dir, at), Qt::CaseInsensitive))
                continue;
            const bool ok = size < cutoff ? miniChain(start, miniFat, miniStream, out) : chain(start, m_fat, out);
            if (!ok || out.size() < qsizetype(size))
                return false;
            out.truncate(size);
            return true;
        }
        return false;
    }

private:
    bool validSector(quint32 s) const { return qsizetype(s) < m_sectors; }
    qsizetype sectorOffset(quint32 s) const { return (qsizetype(s) + 1) * m_sectorSize; }

    // The allocation table: its sectors are listed in the header (the first
    // 109) and in a chain of further list sectors. Each sector counts once, so
    // the table is never larger than the file.
    bool readFat()
    {
        const quint32 fatCount = u32At(m_data, 0x2C);
        if (fatCount == 0 || qsizetype(fatCount) > m_sectors)
            return false;
        QList<quint32> fatSectors;
        for (int i = 0; i < 109 && quint32(fatSectors.size()) < fatCount; ++i)
            fatSectors.append(u32At(m_data, 0x4C + i * 4));
        std::vector<bool> seen(size_t(m_sectors), false);
        quint32 dif = u32At(m_data, 0x44);
        const int perList = m_sectorSize / 4 - 1;
        while (quint32(fatSectors.size()) < fatCount) {
            if (!validSector(dif) || seen[dif])
                return false;
            seen[dif] = true;
            for (int k = 0; k < perList && quint32(fatSectors.size()) < fatCount; ++k)
                fatSectors.append(u32At(m_data, sectorOffset(dif) + k * 4));
            dif = u32At(m_data, sectorOffset(dif) + perList * 4);
        }
        for (quint32 s : fatSectors) {
            if (!validSector(s))
                return false;
            for (int k = 0; k < m_sectorSize / 4; ++k)
                m_fat.append(u32At(m_data, sectorOffset(s) + k * 4));
        }
        return true;
    }

    // A chain of sectors; each sector may appear once (a loop is damage).
    bool chain(quint32 s, const QList<quint32>& fat, QByteArray& out) const
    {
        out.clear();
        std::vector<bool> seen(size_t(m_sectors), false);
        while (s != EndOfChain) {
            if (!validSector(s) || s >= quint32(fat.size()) || seen[s])
                return false;
            seen[s] = true;
            out.append(m_data.constData() + sectorOffset(s), m_sectorSize);
            s = fat[s];
        }
        return true;
    }

    bool miniChain(quint32 s, const QList<quint32>& miniFat, const QByteArray& miniStream, QByteArray& out) const
    {
        out.clear();
        std::vector<bool> seen(size_t(miniFat.size()), false);
        while (s != EndOfChain) {
            if (s >= quint32(miniFat.size()) || seen[s])
                return false;
            const qsizetype at = qsizetype(s) * m_miniSize;
            if (at + m_miniSize > miniStream.size())
                return false;
            seen[s] = true;
            out.append(miniStream.constData() + at, m_miniSize);
            s = miniFat[s];
        }
        return true;
    }

    const QByteArray& m_data;
    int m_sectorSize = 512, m_miniSize = 64;
    qsizetype m_sectors = 0;
    QList<quint32> m_fat;
};

} // namespace

bool readCompoundStream(const QByteArray& file, const QStringList& names, QByteArray& out)
{
    out.clear();
    Container container(file);
    if (container.stream(names, out))
        return true;
    out.clear();
    return false;
}

} // namespace kvui
