#include "CompoundFile.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr std::uint32_t SectorSize = 512;
constexpr std::uint32_t EntriesPerFatSector = SectorSize / 4;
constexpr std::uint32_t HeaderFatEntries = 109;
constexpr std::uint32_t FatEntriesPerDifatSector = EntriesPerFatSector - 1;
constexpr std::uint32_t MiniStreamCutoff = 4096;

constexpr std::uint32_t FreeSect = 0xFFFFFFFF;
constexpr std::uint32_t EndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t FatSect = 0xFFFFFFFD;
constexpr std::uint32_t DifSect = 0xFFFFFFFC;
constexpr std::uint32_t NoStream = 0xFFFFFFFF;

void put16(char* p, std::uint16_t v) {
    p[0] = static_cast<char>(v & 0xFF);
    p[1] = static_cast<char>(v >> 8);
}

void put32(char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint32_t ceilDiv(std::uint32_t a, std::uint32_t b) {
    return (a + b - 1) / b;
}

void writeDirectoryEntry(char* e, const char16_t* name, std::uint8_t type, std::uint32_t child,
                         std::uint32_t start, std::uint32_t size) {
    std::uint16_t length = 0;
    for (; name[length] != 0; ++length)
        put16(e + 2 * length, static_cast<std::uint16_t>(name[length]));
    put16(e + 64, static_cast<std::uint16_t>((length + 1) * 2));
    e[66] = static_cast<char>(type);
    e[67] = 1; // black: a tree of one node is trivially balanced
    put32(e + 68, NoStream);
    put32(e + 72, NoStream);
    put32(e + 76, child);
    put32(e + 116, start);
    put32(e + 120, size);
}

} // namespace

QByteArray CompoundFileWithWorkbook(QByteArray stream) {
    if (stream.size() < static_cast<qsizetype>(MiniStreamCutoff))
        stream.append(QByteArray(MiniStreamCutoff - stream.size(), '\0'));
    const auto streamSize = static_cast<std::uint32_t>(stream.size());
    const std::uint32_t streamSectors = ceilDiv(streamSize, SectorSize);

    // The FAT must also describe its own sectors and the DIFAT sectors: grow until it fits.
    std::uint32_t fatSectors = 1;
    std::uint32_t difatSectors = 0;
    for (;;) {
        difatSectors = fatSectors > HeaderFatEntries
                           ? ceilDiv(fatSectors - HeaderFatEntries, FatEntriesPerDifatSector)
                           : 0;
        const std::uint32_t total = streamSectors + 1 + fatSectors + difatSectors;
        if (fatSectors * EntriesPerFatSector >= total)
            break;
        ++fatSectors;
    }
    // Sector order: stream, directory, FAT, DIFAT.
    const std::uint32_t directorySector = streamSectors;
    const std::uint32_t firstFatSector = directorySector + 1;
    const std::uint32_t firstDifatSector = firstFatSector + fatSectors;
    const std::uint32_t totalSectors = firstDifatSector + difatSectors;

    QByteArray file(static_cast<qsizetype>(SectorSize) * (1 + totalSectors), '\0');
    char* const base = file.data();
    const auto sector = [base](std::uint32_t index) {
        return base + SectorSize * (static_cast<std::size_t>(index) + 1);
    };

    // Header.
    static const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::memcpy(base, signature, 8);
    put16(base + 24, 0x003E);
    put16(base + 26, 0x0003);
    put16(base + 28, 0xFFFE);
    put16(base + 30, 9);
    put16(base + 32, 6);
    put32(base + 44, fatSectors);
    put32(base + 48, directorySector);
    put32(base + 56, MiniStreamCutoff);
    put32(base + 60, EndOfChain);
    put32(base + 64, 0);
    put32(base + 68, difatSectors > 0 ? firstDifatSector : EndOfChain);
    put32(base + 72, difatSectors);
    for (std::uint32_t i = 0; i < HeaderFatEntries; ++i)
        put32(base + 76 + 4 * i, i < fatSectors ? firstFatSector + i : FreeSect);

    // The stream itself.
    std::memcpy(sector(0), stream.constData(), streamSize);

    // Directory: the root (no mini stream) and the workbook stream as its only child.
    char* dir = sector(directorySector);
    for (int i = 0; i < 4; ++i) {
        put32(dir + 128 * i + 68, NoStream);
        put32(dir + 128 * i + 72, NoStream);
        put32(dir + 128 * i + 76, NoStream);
    }
    writeDirectoryEntry(dir, u"Root Entry", 5, 1, EndOfChain, 0);
    writeDirectoryEntry(dir + 128, u"Workbook", 2, NoStream, 0, streamSize);

    // FAT.
    const auto setFat = [&](std::uint32_t index, std::uint32_t value) {
        put32(sector(firstFatSector + index / EntriesPerFatSector) +
                  4 * (index % EntriesPerFatSector),
              value);
    };
    for (std::uint32_t i = 0; i < fatSectors * EntriesPerFatSector; ++i)
        setFat(i, FreeSect);
    for (std::uint32_t i = 0; i < streamSectors; ++i)
        setFat(i, i + 1 < streamSectors ? i + 1 : EndOfChain);
    setFat(directorySector, EndOfChain);
    for (std::uint32_t i = 0; i < fatSectors; ++i)
        setFat(firstFatSector + i, FatSect);
    for (std::uint32_t i = 0; i < difatSectors; ++i)
        setFat(firstDifatSector + i, DifSect);

    // DIFAT sectors: the FAT sectors beyond the first 109, then the next DIFAT sector.
    for (std::uint32_t d = 0; d < difatSectors; ++d) {
        char* s = sector(firstDifatSector + d);
        for (std::uint32_t k = 0; k < FatEntriesPerDifatSector; ++k) {
            const std::uint32_t fat = HeaderFatEntries + d * FatEntriesPerDifatSector + k;
            put32(s + 4 * k, fat < fatSectors ? firstFatSector + fat : FreeSect);
        }
        put32(s + 4 * FatEntriesPerDifatSector,
              d + 1 < difatSectors ? firstDifatSector + d + 1 : EndOfChain);
    }
    return file;
}
