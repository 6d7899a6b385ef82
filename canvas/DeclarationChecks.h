#pragma once

#include "Catalogue.h"

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class Form;

// The 88 box texts of one declaration, by box index.
using DeclarationTexts = std::array<QString, BoxCount>;

// Whether a box's text (blanks trimmed) begins with a code of the box's code table;
// std::nullopt for a box that has no table.
using KnownCode = std::function<std::optional<bool>(int box, const QString& text)>;

// A possible mistake in one box: the box and what looks wrong, the field named.
struct CheckFinding {
    int box = 0;
    QString message;
    bool operator==(const CheckFinding&) const = default;
};

// The checks made before a declaration goes to paper. The rules are one table in
// DeclarationChecks.cpp; an empty box passes every rule.
namespace DeclarationChecks {

// The findings in box index order; field names in `mode`'s captions.
std::vector<CheckFinding> check(const DeclarationTexts& texts, Mode mode,
                                const KnownCode& knownCode = {});
std::vector<CheckFinding> check(const Form& form, Mode mode, const KnownCode& knownCode = {});

// The messages, one a finding.
QStringList messages(const std::vector<CheckFinding>& findings);

} // namespace DeclarationChecks
