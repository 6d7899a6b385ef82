#include "LastPrinter.h"

#include "UserDialogs.h"

#include <QPrinter>
#include <QPrinterInfo>
#include <QSettings>

namespace {

QString key() {
    return QStringLiteral("Print/Printer");
}

QString application() {
    return QStringLiteral("Velkordan");
}

} // namespace

namespace LastPrinter {

QString name() {
    const QString kept = QSettings(application(), application()).value(key()).toString();
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
        QSettings(application(), application()).setValue(key(), printer.printerName());
    return true;
}

} // namespace LastPrinter
