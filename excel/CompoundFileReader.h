#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// Reads one stream out of an OLE2 compound file held in memory. Every sector number, chain
// and size is checked against the file, so a damaged file yields no stream, never a read
// outside the data.
class CompoundFileReader {
public:
    enum class Result { Ok, NotCompoundFile, Damaged, NoSuchStream };

    explicit CompoundFileReader(QByteArray file);
    // The stream of the first directory entry with one of the names (any case).
    Result read(const QStringList& names, QByteArray& stream);

    static bool hasSignature(const QByteArray& start);

private:
    bool sectorOk(quint32 sector) const;
    const char* sectorData(quint32 sector) const;
    std::optional<QByteArray> chain(quint32 start, const std::vector<quint32>& table, bool mini,
                                    qint64 size) const;

    QByteArray m_file;
    quint32 m_sectorSize = 512;
    quint32 m_sectorCount = 0;
    std::vector<quint32> m_fat;
    std::vector<quint32> m_miniFat;
    QByteArray m_miniStream;
};
