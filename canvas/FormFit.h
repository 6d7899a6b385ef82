#pragma once

#include <QRectF>

#include <vector>

class Form;

// Lays the boxes of a form into the ruled cells of its scanned paper form.
namespace FormFit {

// How far inside its cell's lines a fitted box stays on every side.
inline constexpr double InsetMm = 1.0;

struct Result {
    int fitted = 0;
    std::vector<int> unfitted; // by index; these boxes stay where they were
};

// First the shift and scale that lay the boxes as a whole best over `cells` (page twips),
// then each box into the cell that holds its centre, 1 mm inside the lines, its caption
// label moved along. Boxes that share a cell keep their order in it: each takes the cell's
// full width (or height) only where no other box of the cell stands beside it (or above it).
Result fit(Form& form, const std::vector<QRectF>& cells);

} // namespace FormFit
