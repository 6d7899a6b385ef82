#pragma once

#include <QStringView>

// The numeric value of a text: its leading decimal number (blanks before it skipped,
// an optional sign, "." as the decimal point), 0 when the text does not begin with one.
double numericValue(QStringView text);
