#pragma once

#include <QSettings>

// The program's per-user settings ("Velkordan"): the calibration, the office connection,
// the view and the last folders and printer all live in this one store.
inline QSettings userSettings() {
    return QSettings(QStringLiteral("Velkordan"), QStringLiteral("Velkordan"));
}
