#pragma once

#include "DeclarationChecks.h"

#include <QString>
#include <QStringList>

#include <vector>

class Form;
class QWidget;
class UserDialogs;

namespace PrintGateMessages {
inline QString findingsQuestion(int count) {
    return QStringLiteral("发现%1处可能的错误，是否仍然打印？").arg(count);
}
inline QString calibrationQuestion() {
    return QStringLiteral("打印机尚未校准，是否先打印校验图形？");
}
} // namespace PrintGateMessages

// What every print asks before paper: first whether to print despite the checks'
// findings, then, while no calibration is stored, whether to calibrate first.
struct PrintGate {
    Mode mode = Mode::Import;  // the findings name the fields as this mode's form does
    KnownCode knownCode;       // the code tables, where there are any
    QWidget* parent = nullptr; // where the margin dialog and progress window open

    std::vector<CheckFinding> check(const Form& form) const;
    std::vector<CheckFinding> check(const DeclarationTexts& texts) const;

    // True when the print goes on. `count` findings were made, listed in `details`; No
    // to them stops the print. Yes to calibrating prints the calibration page and opens
    // the margin dialog instead of the print.
    bool pass(UserDialogs& dialogs, int count, const QStringList& details) const;
    bool pass(UserDialogs& dialogs, const std::vector<CheckFinding>& findings) const;
};
