#include "PrintGate.h"

#include "CalibrationPage.h"
#include "CalibrationSetting.h"
#include "UserDialogs.h"

std::vector<CheckFinding> PrintGate::check(const Form& form) const {
    return DeclarationChecks::check(form, mode, knownCode);
}

std::vector<CheckFinding> PrintGate::check(const DeclarationTexts& texts) const {
    return DeclarationChecks::check(texts, mode, knownCode);
}

bool PrintGate::pass(UserDialogs& dialogs, int count, const QStringList& details) const {
    if (count > 0 && !dialogs.askYesNoWithDetails(PrintGateMessages::findingsQuestion(count),
                                                  details.join(u'\n')))
        return false;
    if (CalibrationSetting::isStored() ||
        !dialogs.askYesNo(PrintGateMessages::calibrationQuestion()))
        return true;
    CalibrateFirst(dialogs, parent);
    return false;
}

bool PrintGate::pass(UserDialogs& dialogs, const std::vector<CheckFinding>& findings) const {
    return pass(dialogs, static_cast<int>(findings.size()), DeclarationChecks::messages(findings));
}
