#include "ViewSettings.h"

#include "UserSettings.h"

#include <QSettings>

namespace {

const QString LabelsKey = QStringLiteral("View/ShowLabels");

} // namespace

bool ViewSettings::labelsShown() {
    return userSettings().value(LabelsKey, true).toBool();
}

void ViewSettings::setLabelsShown(bool shown) {
    userSettings().setValue(LabelsKey, shown);
}
