#include "FormFit.h"

#include "Form.h"
#include "Units.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// How far the boxes as a whole are looked for around where they stand: more than a scanner
// or a printer ever shifts a form.
constexpr double MaximumShiftMm = 12.0;
constexpr double MaximumScaleChange = 0.03;

// The boxes scaled about their common centre, then shifted.
struct Placing {
    QPointF centre;
    double scale = 1;
    QPointF shift;

    QRectF map(const QRectF& r) const {
        const QPointF topLeft = centre + (r.topLeft() - centre) * scale + shift;
        return QRectF(topLeft, r.size() * scale);
    }
};

// Which cell holds a point, on a half-millimetre raster: the smallest one where cells nest.
class CellMap {
public:
    explicit CellMap(const std::vector<QRectF>& cells) {
        QRectF all;
        for (const QRectF& c : cells)
            all |= c;
        m_origin = all.topLeft();
        m_columns = static_cast<int>(std::ceil(all.width() / Step)) + 1;
        m_rows = static_cast<int>(std::ceil(all.height() / Step)) + 1;
        m_cell.assign(static_cast<std::size_t>(m_columns) * static_cast<std::size_t>(m_rows), -1);
        // The cells come smallest first: drawn last, the smallest wins.
        for (int k = static_cast<int>(cells.size()) - 1; k >= 0; --k) {
            const QRectF c = cells[static_cast<std::size_t>(k)].translated(-m_origin);
            for (int y = first(c.top()); y <= last(c.bottom()); ++y)
                for (int x = first(c.left()); x <= last(c.right()); ++x)
                    m_cell[static_cast<std::size_t>(y * m_columns + x)] = k;
        }
    }

    int at(QPointF p) const {
        const double x = (p.x() - m_origin.x()) / Step;
        const double y = (p.y() - m_origin.y()) / Step;
        if (x < 0 || y < 0 || x >= m_columns || y >= m_rows)
            return -1;
        return m_cell[static_cast<std::size_t>(static_cast<int>(y) * m_columns +
                                               static_cast<int>(x))];
    }

private:
    static constexpr double Step = Units::PageTwipsPerMm / 2;
    // The raster points whose centres lie between two edges.
    static int first(double twips) { return static_cast<int>(std::ceil(twips / Step - 0.5)); }
    static int last(double twips) { return static_cast<int>(std::floor(twips / Step - 0.5)); }

    QPointF m_origin;
    int m_columns = 0;
    int m_rows = 0;
    std::vector<int> m_cell;
};

// How well a placing lays the boxes over the cells: the centre and four inner corners of
// each box that fall in the cell of its centre, then how near the centres come to the cells'.
struct Score {
    int hits = 0;
    double spread = 0;
    bool betterThan(const Score& other) const {
        return hits != other.hits ? hits > other.hits : spread < other.spread;
    }
};

Score score(const std::array<QRectF, BoxCount>& boxes, const std::vector<QRectF>& cells,
            const CellMap& map, const Placing& placing) {
    Score s;
    for (const QRectF& box : boxes) {
        const QRectF r = placing.map(box);
        const int k = map.at(r.center());
        if (k < 0)
            continue;
        const QRectF inner = r.marginsRemoved(
            QMarginsF(r.width() / 10, r.height() / 10, r.width() / 10, r.height() / 10));
        s.hits += 1 + static_cast<int>(map.at(inner.topLeft()) == k) +
                  static_cast<int>(map.at(inner.topRight()) == k) +
                  static_cast<int>(map.at(inner.bottomLeft()) == k) +
                  static_cast<int>(map.at(inner.bottomRight()) == k);
        const QPointF off = r.center() - cells[static_cast<std::size_t>(k)].center();
        s.spread += QPointF::dotProduct(off, off);
    }
    return s;
}

// The best placing on a grid of shifts and scales around `around`.
Placing search(const std::array<QRectF, BoxCount>& boxes, const std::vector<QRectF>& cells,
               const CellMap& map, Placing around, double shiftRangeMm, double shiftStepMm,
               double scaleRange, double scaleStep) {
    Placing best = around;
    Score bestScore = score(boxes, cells, map, around);
    const int shifts = static_cast<int>(std::round(shiftRangeMm / shiftStepMm));
    const int scales = static_cast<int>(std::round(scaleRange / scaleStep));
    for (int k = -scales; k <= scales; ++k)
        for (int j = -shifts; j <= shifts; ++j)
            for (int i = -shifts; i <= shifts; ++i) {
                Placing p = around;
                p.scale += k * scaleStep;
                p.shift += QPointF(i, j) * shiftStepMm * Units::PageTwipsPerMm;
                if (const Score s = score(boxes, cells, map, p); s.betterThan(bestScore)) {
                    best = p;
                    bestScore = s;
                }
            }
    return best;
}

// The smallest cell that holds `p`, or −1.
int cellOf(const std::vector<QRectF>& cells, QPointF p) {
    for (std::size_t k = 0; k < cells.size(); ++k)
        if (cells[k].contains(p))
            return static_cast<int>(k);
    return -1;
}

// [from, to) of a box laid into [low, high): all of it, or its own extent moved inside.
std::pair<double, double> into(double from, double to, double low, double high, bool whole) {
    if (whole || to - from >= high - low)
        return {low, high};
    const double shift = std::max(low - from, 0.0) + std::min(high - to, 0.0);
    return {from + shift, to + shift};
}

} // namespace

namespace FormFit {

Result fit(Form& form, const std::vector<QRectF>& cells) {
    Result result;
    std::array<QRectF, BoxCount> boxes;
    QRectF all;
    for (int i = 0; i < BoxCount; ++i) {
        const Box& b = form.box(i);
        boxes[static_cast<std::size_t>(i)] = QRectF(b.left, b.top, b.width, b.height);
        all |= boxes[static_cast<std::size_t>(i)];
    }
    if (cells.empty()) {
        for (int i = 0; i < BoxCount; ++i)
            result.unfitted.push_back(i);
        return result;
    }
    const CellMap map(cells);
    Placing placing;
    placing.centre = all.center();
    placing = search(boxes, cells, map, placing, MaximumShiftMm, 1.0, MaximumScaleChange, 0.005);
    placing = search(boxes, cells, map, placing, 1.0, 0.25, 0.005, 0.001);

    std::array<QRectF, BoxCount> placed;
    std::array<int, BoxCount> cell;
    for (std::size_t i = 0; i < BoxCount; ++i) {
        placed[i] = placing.map(boxes[i]);
        cell[i] = cellOf(cells, placed[i].center());
    }
    const double inset = InsetMm * Units::PageTwipsPerMm;
    for (std::size_t i = 0; i < BoxCount; ++i) {
        const int index = static_cast<int>(i);
        if (cell[i] < 0) {
            result.unfitted.push_back(index);
            continue;
        }
        bool beside = false;
        bool above = false;
        for (std::size_t j = 0; j < BoxCount; ++j) {
            if (j == i || cell[j] != cell[i])
                continue;
            beside |= placed[j].top() < placed[i].bottom() && placed[i].top() < placed[j].bottom();
            above |= placed[j].left() < placed[i].right() && placed[i].left() < placed[j].right();
        }
        const QRectF inner =
            cells[static_cast<std::size_t>(cell[i])].adjusted(inset, inset, -inset, -inset);
        const QRectF& p = placed[i];
        const auto [left, right] = into(p.left(), p.right(), inner.left(), inner.right(), !beside);
        const auto [top, bottom] = into(p.top(), p.bottom(), inner.top(), inner.bottom(), !above);
        const float l = static_cast<float>(std::round(left));
        const float t = static_cast<float>(std::round(top));
        const Box& b = form.box(index);
        const Label& label = form.label(index);
        form.setLabelPosition(index, label.left + l - b.left, label.top + t - b.top);
        form.setGeometry(index, l, t, static_cast<float>(std::round(right - left)),
                         static_cast<float>(std::round(bottom - top)));
        ++result.fitted;
    }
    return result;
}

} // namespace FormFit
