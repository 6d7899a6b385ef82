#include "LastPrinter.h"

#include "UserDialogs.h"

#include <QPrinter>
#include <QPrinterInfo>
#include "UserSettings.h"

#include <QSettings>

namespace {

QString key() {
    return QStringLiteral("Print/Printer");
}

} // namespace

namespace LastPrinter {

QString name() {
    const QString kept = userSettings().value(key()).toString();
    if (!kept.isEmpty() && QPrinterInfo::availablePrinterNames().contains(kept))
        return kept;
    return QPrinterInfo::defaultPrinterName();
}

void preselect(QPrinter& printer) {
    if (const QString chosen = name(); !chosen.isEmpty())
        printer.setPrinterName(chosen);
}

bool choose(UserDialogs& dialogs, QPrinter& printer) {
    if (!dialogs.choosePrinter(printer))
        return false;
    // PDF output is no printer to come back to.
    if (printer.outputFormat() == QPrinter::NativeFormat && !printer.printerName().isEmpty())
        userSettings().setValue(key(), printer.printerName());
    return true;
}

} // namespace LastPrinter
