#pragma once

#include <QString>

#include <array>
#include <optional>

class Form;

// Position and size of the selected boxes in millimetres of paper, as the clerk reads them
// off a ruler laid on the printed form, and typed values applied to every selected box.
namespace BoxGeometry {

enum Side { Left, Top, Width, Height };
inline constexpr int SideCount = 4;

// Millimetres by side; nothing for a side left as it is.
using Millimetres = std::array<std::optional<double>, SideCount>;

bool anySelected(const Form& form);

// What the selected boxes share, each side to 0.1 mm; an empty text where they differ.
std::array<QString, SideCount> shownText(const Form& form);

// Why `typed` cannot be applied to the selected boxes (a box too small, or one lying off
// the page afterwards), or nothing when it can.
std::optional<QString> check(const Form& form, const Millimetres& typed);

// Sets the typed sides of every selected box; a moved box takes its caption label along.
void apply(Form& form, const Millimetres& typed);

} // namespace BoxGeometry
