#pragma once

#include <QColor>

#include <cstdint>

// Colours are stored as one number with red in the low byte (0x00BBGGRR), the way layouts
// and the Excel exchange keep them; they cross to QColor only here.
namespace StoredColor {

inline QColor toQColor(std::uint32_t stored) {
    return QColor(static_cast<int>(stored & 0xFF), static_cast<int>((stored >> 8) & 0xFF),
                  static_cast<int>((stored >> 16) & 0xFF));
}

inline std::uint32_t fromQColor(const QColor& color) {
    return static_cast<std::uint32_t>(color.red()) |
           (static_cast<std::uint32_t>(color.green()) << 8) |
           (static_cast<std::uint32_t>(color.blue()) << 16);
}

} // namespace StoredColor
