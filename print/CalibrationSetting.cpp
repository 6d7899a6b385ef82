#include "CalibrationSetting.h"

#include "TextNumber.h"

#include "UserSettings.h"

#include <QSettings>

namespace {

QString group() {
    return QStringLiteral("Collate");
}

} // namespace

CalibrationSetting::Margins CalibrationSetting::read() {
    QSettings settings = userSettings();
    settings.beginGroup(group());
    return {settings.value(QStringLiteral("X")).toString(),
            settings.value(QStringLiteral("Y")).toString()};
}

bool CalibrationSetting::isStored() {
    const Margins margins = read();
    return !margins.x.isEmpty() || !margins.y.isEmpty();
}

bool CalibrationSetting::write(const QString& x, const QString& y) {
    QSettings settings = userSettings();
    settings.beginGroup(group());
    settings.setValue(QStringLiteral("X"), x);
    settings.setValue(QStringLiteral("Y"), y);
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

double CalibrationSetting::offsetMm(const QString& stored) {
    if (stored.isEmpty())
        return DefaultOffsetMm;
    return numericValue(stored) - MarkDistanceMm;
}
