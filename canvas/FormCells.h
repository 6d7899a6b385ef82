#pragma once

#include <QImage>
#include <QRectF>

#include <vector>

// The ruled cells of a scanned blank form: the regions its printed lines close all round.
// Captions and other print inside the cells are passed over, and a scan lying up to a few
// degrees askew gives each cell upright, centred where the cell shows and as large as the
// cell is along its own lines.
class FormCells {
public:
    // Narrower or lower than this a cell holds no box 1 mm inside its lines.
    static constexpr double MinimumSideMm = 3.0;

    // The cells of `scan` stretched over `pageRect` (page twips), as the page shows the
    // scan; in page twips, smallest first. None when the picture is null or holds no lines.
    static std::vector<QRectF> find(const QImage& scan, const QRectF& pageRect);
};
