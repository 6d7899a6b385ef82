#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

// One stream of a compound file, read on demand: only the part asked for is held in memory,
// and the file stays open as long as the stream lives.
class CompoundStream {
public:
    qint64 size() const { return m_size; }
    // Copies `length` bytes from `offset`; false when they are not all in the stream or the
    // file could not be read.
    bool read(qint64 offset, qint64 length, char* out) const;

private:
    friend class CompoundFileReader;
    std::shared_ptr<QIODevice> m_device;
    qint64 m_deviceSize = 0;
    quint32 m_sectorSize = 512;
    std::vector<quint32> m_sectors; // the stream's sectors in order
    QByteArray m_small;             // a stream of the mini stream, held whole
    bool m_isSmall = false;
    qint64 m_size = 0;
};

// Finds one stream in an OLE2 compound file. Every sector number, chain and size is checked
// against the file, and a chain that comes back to a sector it has visited is damage, so a
// damaged file yields no stream, never a read outside the data or a walk without end.
class CompoundFileReader {
public:
    enum class Result { Ok, NotCompoundFile, Damaged, NoSuchStream };

    // `device` is open for reading and seekable.
    explicit CompoundFileReader(std::shared_ptr<QIODevice> device);
    explicit CompoundFileReader(QByteArray file);
    // The stream of the first directory entry with one of the names (any case).
    Result find(const QStringList& names, CompoundStream& stream);
    // The same stream read whole.
    Result read(const QStringList& names, QByteArray& stream);

    static bool hasSignature(const QByteArray& start);

private:
    bool readAt(qint64 offset, qint64 length, char* out) const;
    bool readSector(quint32 sector, QByteArray& out) const;
    bool loadFat(const char* header);
    std::optional<std::vector<quint32>> chain(quint32 start, qint64 count) const;
    Result smallStream(const char* header, const char* root, quint32 start, qint64 size,
                       CompoundStream& stream) const;

    std::shared_ptr<QIODevice> m_device;
    qint64 m_deviceSize = 0;
    quint32 m_sectorSize = 512;
    quint32 m_sectorCount = 0;
    std::vector<quint32> m_fat;
};
