#pragma once

#include "Catalogue.h"

#include <QRectF>
#include <QString>

#include <array>

// The layout a new database starts with: every box on the page, no two boxes or captions
// over each other, the goods lines in order under the captions of line 1. Lengths are page
// twips; fonts and colours are the catalogue's defaults.
namespace FactoryLayout {

// "标准格式": the name the layout is kept under, beside the layout of the last exit.
const QString& name();

// Left, top, width and height of every box, by index.
const std::array<QRectF, BoxCount>& geometry();

} // namespace FactoryLayout
