#include "CompoundFileReader.h"
#include "LittleEndian.h"

#include <QStringList>

#include <algorithm>
#include <cstring>

namespace {

constexpr quint32 EndOfChain = 0xFFFFFFFE;
constexpr quint32 MaxRegularSector = 0xFFFFFFFA;
constexpr quint32 MiniSectorSize = 64;

using LittleEndian::get16;
using LittleEndian::get32;

} // namespace

bool CompoundFileReader::hasSignature(const QByteArray& start) {
    static const char signature[8] = {'\xD0', '\xCF', '\x11', '\xE0',
                                      '\xA1', '\xB1', '\x1A', '\xE1'};
    return start.size() >= 8 && std::memcmp(start.constData(), signature, 8) == 0;
}

CompoundFileReader::CompoundFileReader(QByteArray file) : m_file(std::move(file)) {}

bool CompoundFileReader::sectorOk(quint32 sector) const {
    return sector < m_sectorCount;
}

const char* CompoundFileReader::sectorData(quint32 sector) const {
    return m_file.constData() + static_cast<qint64>(sector + 1) * m_sectorSize;
}

std::optional<QByteArray> CompoundFileReader::chain(quint32 start,
                                                    const std::vector<quint32>& table, bool mini,
                                                    qint64 size) const {
    const quint32 unit = mini ? MiniSectorSize : m_sectorSize;
    const qint64 available = mini ? m_miniStream.size() / MiniSectorSize : m_sectorCount;
    if (size < 0 || size > available * unit)
        return std::nullopt;
    QByteArray out;
    out.reserve(size);
    quint32 sector = start;
    // A chain can visit each sector once at most; a longer walk is a loop.
    for (qint64 steps = 0; out.size() < size; ++steps) {
        if (steps > available || sector >= table.size() || sector >= available)
            return std::nullopt;
        const char* data = mini ? m_miniStream.constData() + static_cast<qint64>(sector) * unit
                                : sectorData(sector);
        out.append(data, static_cast<qsizetype>(std::min<qint64>(unit, size - out.size())));
        sector = table[sector];
    }
    return out;
}

CompoundFileReader::Result CompoundFileReader::read(const QStringList& names, QByteArray& stream) {
    if (!hasSignature(m_file) || m_file.size() < 512)
        return hasSignature(m_file) ? Result::Damaged : Result::NotCompoundFile;
    const char* h = m_file.constData();
    const quint16 shift = get16(h + 30);
    if ((shift != 9 && shift != 12) || get16(h + 32) != 6)
        return Result::Damaged;
    m_sectorSize = 1u << shift;
    // A last sector cut short is read as if padded with zeros.
    const qint64 whole = (m_file.size() + m_sectorSize - 1) / m_sectorSize;
    if (whole < 2)
        return Result::Damaged;
    m_file.append(QByteArray(static_cast<qsizetype>(whole * m_sectorSize - m_file.size()), '\0'));
    h = m_file.constData();
    m_sectorCount = static_cast<quint32>(std::min<qint64>(whole - 1, MaxRegularSector));

    // The FAT's sectors: 109 in the header, the rest in the DIFAT chain.
    const quint32 fatSectors = get32(h + 44);
    if (fatSectors == 0 || fatSectors > m_sectorCount)
        return Result::Damaged;
    std::vector<quint32> fatList;
    for (quint32 i = 0; i < 109 && fatList.size() < fatSectors; ++i)
        fatList.push_back(get32(h + 76 + 4 * i));
    quint32 difat = get32(h + 68);
    const quint32 perDifat = m_sectorSize / 4 - 1;
    for (quint32 steps = 0; fatList.size() < fatSectors; ++steps) {
        if (!sectorOk(difat) || steps > m_sectorCount)
            return Result::Damaged;
        const char* d = sectorData(difat);
        for (quint32 k = 0; k < perDifat && fatList.size() < fatSectors; ++k)
            fatList.push_back(get32(d + 4 * k));
        difat = get32(d + 4 * perDifat);
    }
    m_fat.clear();
    m_fat.reserve(static_cast<std::size_t>(fatSectors) * (m_sectorSize / 4));
    for (quint32 s : fatList) {
        if (!sectorOk(s))
            return Result::Damaged;
        const char* f = sectorData(s);
        for (quint32 k = 0; k < m_sectorSize / 4; ++k)
            m_fat.push_back(get32(f + 4 * k));
    }

    // The directory has no size of its own: its chain ends it.
    QByteArray directory;
    {
        quint32 sector = get32(h + 48);
        for (quint32 steps = 0; sector != EndOfChain; ++steps) {
            if (!sectorOk(sector) || sector >= m_fat.size() || steps > m_sectorCount)
                return Result::Damaged;
            directory.append(sectorData(sector), static_cast<qsizetype>(m_sectorSize));
            sector = m_fat[sector];
        }
    }
    if (directory.size() < 128)
        return Result::Damaged;
    const char* root = directory.constData();
    if (root[66] != 5)
        return Result::Damaged;

    const quint32 cutoff = get32(h + 56);
    const auto entrySize = [&](const char* e) {
        const quint64 size =
            get32(e + 120) | (m_sectorSize == 512 ? 0 : quint64(get32(e + 124)) << 32);
        return static_cast<qint64>(std::min<quint64>(size, quint64(1) << 40));
    };
    for (qsizetype at = 128; at + 128 <= directory.size(); at += 128) {
        const char* e = directory.constData() + at;
        const quint16 nameBytes = get16(e + 64);
        if (e[66] != 2 || nameBytes < 2 || nameBytes > 64)
            continue;
        QString name;
        for (int i = 0; i + 1 < nameBytes / 2; ++i)
            name += QChar(get16(e + 2 * i));
        if (!names.contains(name, Qt::CaseInsensitive))
            continue;
        const qint64 size = entrySize(e);
        const quint32 start = get32(e + 116);
        std::optional<QByteArray> data;
        if (size < cutoff) {
            // Small streams live in the mini stream, which the root entry holds.
            std::optional<QByteArray> ministream =
                chain(get32(root + 116), m_fat, false, entrySize(root));
            if (!ministream)
                return Result::Damaged;
            m_miniStream = *ministream;
            m_miniFat.clear();
            quint32 sector = get32(h + 60);
            const quint32 miniFatSectors = get32(h + 64);
            for (quint32 steps = 0; sector != EndOfChain && steps < miniFatSectors; ++steps) {
                if (!sectorOk(sector) || sector >= m_fat.size())
                    return Result::Damaged;
                const char* f = sectorData(sector);
                for (quint32 k = 0; k < m_sectorSize / 4; ++k)
                    m_miniFat.push_back(get32(f + 4 * k));
                sector = m_fat[sector];
            }
            data = chain(start, m_miniFat, true, size);
        } else {
            data = chain(start, m_fat, false, size);
        }
        if (!data)
            return Result::Damaged;
        stream = *data;
        return Result::Ok;
    }
    return Result::NoSuchStream;
}
