#pragma once

#include <QtGlobal>

// Little-endian fields of the compound file and of BIFF8 records.
namespace LittleEndian {

inline quint16 get16(const char* p) {
    return static_cast<quint16>(static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1])
                                                                       << 8);
}

inline quint32 get32(const char* p) {
    return static_cast<quint32>(get16(p)) | static_cast<quint32>(get16(p + 2)) << 16;
}

} // namespace LittleEndian
