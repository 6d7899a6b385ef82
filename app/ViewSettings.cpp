#include "ViewSettings.h"

#include <QSettings>

namespace {

QSettings settings() {
    return QSettings(QStringLiteral("Velkordan"), QStringLiteral("Velkordan"));
}
const QString LabelsKey = QStringLiteral("View/ShowLabels");

} // namespace

bool ViewSettings::labelsShown() {
    return settings().value(LabelsKey, true).toBool();
}

void ViewSettings::setLabelsShown(bool shown) {
    settings().setValue(LabelsKey, shown);
}
