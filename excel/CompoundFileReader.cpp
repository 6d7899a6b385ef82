#include "CompoundFileReader.h"
#include "LittleEndian.h"

#include <QBuffer>
#include <QStringList>

#include <algorithm>
#include <cstring>

namespace {

constexpr quint32 EndOfChain = 0xFFFFFFFE;
constexpr quint32 MaxRegularSector = 0xFFFFFFFA;
constexpr quint32 MiniSectorSize = 64;
constexpr quint32 MiniStreamCutoff = 4096;
constexpr int HeaderFatEntries = 109;
constexpr int DirectoryEntrySize = 128;

using LittleEndian::get16;
using LittleEndian::get32;

// A last sector cut short reads as if padded with zeros.
bool readPadded(QIODevice& device, qint64 deviceSize, qint64 offset, qint64 length, char* out) {
    const qint64 present = std::clamp<qint64>(deviceSize - offset, 0, length);
    if (present > 0 && (!device.seek(offset) || device.read(out, present) != present))
        return false;
    std::memset(out + present, 0, static_cast<std::size_t>(length - present));
    return true;
}

qint64 entrySize(const char* entry, quint32 sectorSize) {
    const quint64 size =
        get32(entry + 120) | (sectorSize == 512 ? 0 : quint64(get32(entry + 124)) << 32);
    return static_cast<qint64>(std::min<quint64>(size, quint64(1) << 40));
}

} // namespace

bool CompoundStream::read(qint64 offset, qint64 length, char* out) const {
    if (offset < 0 || length < 0 || offset > m_size - length)
        return false;
    if (m_isSmall) {
        std::memcpy(out, m_small.constData() + offset, static_cast<std::size_t>(length));
        return true;
    }
    const auto sectorCount = static_cast<qint64>(m_sectors.size());
    while (length > 0) {
        const qint64 index = offset / m_sectorSize;
        const qint64 within = offset % m_sectorSize;
        // Neighbouring sectors are read in one go.
        qint64 run = 1;
        while (index + run < sectorCount && run * m_sectorSize - within < length &&
               qint64(m_sectors[index + run]) == qint64(m_sectors[index]) + run)
            ++run;
        const qint64 take = std::min(length, run * m_sectorSize - within);
        const qint64 at = (qint64(m_sectors[index]) + 1) * m_sectorSize + within;
        if (!readPadded(*m_device, m_deviceSize, at, take, out))
            return false;
        offset += take;
        out += take;
        length -= take;
    }
    return true;
}

bool CompoundFileReader::hasSignature(const QByteArray& start) {
    static const char signature[8] = {'\xD0', '\xCF', '\x11', '\xE0',
                                      '\xA1', '\xB1', '\x1A', '\xE1'};
    return start.size() >= 8 && std::memcmp(start.constData(), signature, 8) == 0;
}

CompoundFileReader::CompoundFileReader(std::shared_ptr<QIODevice> device)
    : m_device(std::move(device)) {}

CompoundFileReader::CompoundFileReader(QByteArray file) {
    auto buffer = std::make_shared<QBuffer>();
    buffer->setData(file);
    buffer->open(QIODevice::ReadOnly);
    m_device = std::move(buffer);
}

bool CompoundFileReader::readAt(qint64 offset, qint64 length, char* out) const {
    return readPadded(*m_device, m_deviceSize, offset, length, out);
}

bool CompoundFileReader::readSector(quint32 sector, QByteArray& out) const {
    out.resize(m_sectorSize);
    return sector < m_sectorCount &&
           readAt((qint64(sector) + 1) * m_sectorSize, m_sectorSize, out.data());
}

bool CompoundFileReader::loadFat(const char* header) {
    const quint32 entriesPerSector = m_sectorSize / 4;
    const quint32 fatSectors = get32(header + 44);
    if (fatSectors == 0 || fatSectors > m_sectorCount)
        return false;
    // FAT sectors past the ones that describe sectors of the file are never needed.
    const quint32 needed =
        std::min(fatSectors, (m_sectorCount + entriesPerSector - 1) / entriesPerSector);
    std::vector<quint32> fatList;
    for (int i = 0; i < HeaderFatEntries && fatList.size() < needed; ++i)
        fatList.push_back(get32(header + 76 + 4 * i));
    std::vector<bool> seen(m_sectorCount);
    quint32 difat = get32(header + 68);
    QByteArray sector;
    while (fatList.size() < needed) {
        if (difat >= m_sectorCount || seen[difat] || !readSector(difat, sector))
            return false;
        seen[difat] = true;
        for (quint32 k = 0; k + 1 < entriesPerSector && fatList.size() < needed; ++k)
            fatList.push_back(get32(sector.constData() + 4 * k));
        difat = get32(sector.constData() + 4 * (entriesPerSector - 1));
    }
    m_fat.clear();
    m_fat.reserve(std::size_t(needed) * entriesPerSector);
    for (const quint32 s : fatList) {
        if (!readSector(s, sector))
            return false;
        for (quint32 k = 0; k < entriesPerSector; ++k)
            m_fat.push_back(get32(sector.constData() + 4 * k));
    }
    return true;
}

std::optional<std::vector<quint32>> CompoundFileReader::chain(quint32 start, qint64 count) const {
    // With a count the chain must have that many sectors; without, it runs to its end mark.
    std::vector<quint32> out;
    if (count > 0)
        out.reserve(static_cast<std::size_t>(std::min<qint64>(count, m_sectorCount)));
    std::vector<bool> seen(m_sectorCount);
    quint32 sector = start;
    while (count < 0 ? sector != EndOfChain : qint64(out.size()) < count) {
        if (sector >= m_sectorCount || sector >= m_fat.size() || seen[sector])
            return std::nullopt;
        seen[sector] = true;
        out.push_back(sector);
        sector = m_fat[sector];
    }
    return out;
}

CompoundFileReader::Result CompoundFileReader::smallStream(const char* header, const char* root,
                                                           quint32 start, qint64 size,
                                                           CompoundStream& stream) const {
    // Small streams live in the mini stream, which the root entry holds.
    const qint64 rootSize = entrySize(root, m_sectorSize);
    if (rootSize > qint64(m_sectorCount) * m_sectorSize)
        return Result::Damaged;
    const auto rootSectors = chain(get32(root + 116), (rootSize + m_sectorSize - 1) / m_sectorSize);
    const auto miniFat = chain(get32(header + 60), -1);
    if (!rootSectors || !miniFat)
        return Result::Damaged;
    const quint32 entriesPerSector = m_sectorSize / 4;
    QByteArray bytes(size, '\0');
    std::vector<quint32> visited; // a chain that comes back to a mini sector is a loop
    quint32 mini = start;
    for (qint64 done = 0; done < size; done += MiniSectorSize) {
        if (mini >= rootSize / MiniSectorSize ||
            std::find(visited.begin(), visited.end(), mini) != visited.end())
            return Result::Damaged;
        visited.push_back(mini);
        const qint64 at = qint64(mini) * MiniSectorSize;
        const qint64 file =
            (qint64((*rootSectors)[at / m_sectorSize]) + 1) * m_sectorSize + at % m_sectorSize;
        if (!readAt(file, std::min<qint64>(MiniSectorSize, size - done), bytes.data() + done))
            return Result::Damaged;
        if (done + MiniSectorSize >= size)
            break;
        char next[4];
        if (mini / entriesPerSector >= miniFat->size() ||
            !readAt((qint64((*miniFat)[mini / entriesPerSector]) + 1) * m_sectorSize +
                        4 * (mini % entriesPerSector),
                    4, next))
            return Result::Damaged;
        mini = get32(next);
    }
    stream = CompoundStream();
    stream.m_small = std::move(bytes);
    stream.m_isSmall = true;
    stream.m_size = size;
    return Result::Ok;
}

CompoundFileReader::Result CompoundFileReader::find(const QStringList& names,
                                                    CompoundStream& stream) {
    m_deviceSize = m_device->size();
    QByteArray header(512, '\0');
    if (!readAt(0, std::min<qint64>(m_deviceSize, 512), header.data()))
        return Result::Damaged;
    if (!hasSignature(header))
        return Result::NotCompoundFile;
    if (m_deviceSize < 512)
        return Result::Damaged;
    const char* h = header.constData();
    const quint16 shift = get16(h + 30);
    if ((shift != 9 && shift != 12) || get16(h + 32) != 6)
        return Result::Damaged;
    m_sectorSize = 1u << shift;
    const qint64 whole = (m_deviceSize + m_sectorSize - 1) / m_sectorSize;
    if (whole < 2)
        return Result::Damaged;
    m_sectorCount = static_cast<quint32>(std::min<qint64>(whole - 1, MaxRegularSector));
    // Every writer uses this cutoff; another one would send large streams through the
    // mini stream.
    if (get32(h + 56) != MiniStreamCutoff || !loadFat(h))
        return Result::Damaged;

    // The directory has no size of its own: its chain ends it.
    const auto directory = chain(get32(h + 48), -1);
    if (!directory || directory->empty())
        return Result::Damaged;
    QByteArray sector;
    QByteArray root;
    for (const quint32 s : *directory) {
        if (!readSector(s, sector))
            return Result::Damaged;
        for (qsizetype at = 0; at + DirectoryEntrySize <= sector.size(); at += DirectoryEntrySize) {
            const char* e = sector.constData() + at;
            if (root.isEmpty()) {
                if (e[66] != 5)
                    return Result::Damaged;
                root = QByteArray(e, DirectoryEntrySize);
                continue;
            }
            const quint16 nameBytes = get16(e + 64);
            if (e[66] != 2 || nameBytes < 2 || nameBytes > 64)
                continue;
            QString name;
            for (int i = 0; i + 1 < nameBytes / 2; ++i)
                name += QChar(get16(e + 2 * i));
            if (!names.contains(name, Qt::CaseInsensitive))
                continue;
            const qint64 size = entrySize(e, m_sectorSize);
            const quint32 start = get32(e + 116);
            if (size < MiniStreamCutoff)
                return smallStream(h, root.constData(), start, size, stream);
            if (size > qint64(m_sectorCount) * m_sectorSize)
                return Result::Damaged;
            auto sectors = chain(start, (size + m_sectorSize - 1) / m_sectorSize);
            if (!sectors)
                return Result::Damaged;
            stream = CompoundStream();
            stream.m_device = m_device;
            stream.m_deviceSize = m_deviceSize;
            stream.m_sectorSize = m_sectorSize;
            stream.m_sectors = std::move(*sectors);
            stream.m_size = size;
            return Result::Ok;
        }
    }
    return Result::NoSuchStream;
}

CompoundFileReader::Result CompoundFileReader::read(const QStringList& names, QByteArray& bytes) {
    CompoundStream stream;
    const Result result = find(names, stream);
    if (result != Result::Ok)
        return result;
    bytes.resize(stream.size());
    return stream.read(0, stream.size(), bytes.data()) ? Result::Ok : Result::Damaged;
}
