#pragma once

#include <QString>

class QPrinter;
class UserDialogs;

// The printer the clerk chose last, kept in the per-user settings, so that the preview
// and the print dialog start on it.
namespace LastPrinter {

// The printer chosen last, when it is still installed; otherwise the system's default.
QString name();
// Sets `printer` to that printer; a printer without a name (PDF output) is left as it is.
void preselect(QPrinter& printer);
// The print dialog on `printer`; the printer chosen is kept. False when cancelled.
bool choose(UserDialogs& dialogs, QPrinter& printer);

} // namespace LastPrinter
