#include "BoxGeometry.h"

#include "Form.h"
#include "Units.h"

#include <cmath>

namespace {

// Typed values are read to the tenth of a millimetre shown, so half of it is no fault.
constexpr double ToleranceMm = 0.05;

std::array<double, BoxGeometry::SideCount> sidesMm(const Box& b) {
    const double k = Units::PageTwipsPerMm;
    return {b.left / k, b.top / k, b.width / k, b.height / k};
}

// The box's sides after the typed ones are applied, in millimetres.
std::array<double, BoxGeometry::SideCount> afterTyping(const Box& b,
                                                       const BoxGeometry::Millimetres& typed) {
    std::array<double, BoxGeometry::SideCount> sides = sidesMm(b);
    for (int s = 0; s < BoxGeometry::SideCount; ++s)
        if (typed[s])
            sides[s] = *typed[s];
    return sides;
}

} // namespace

bool BoxGeometry::anySelected(const Form& form) {
    for (int i = 0; i < BoxCount; ++i)
        if (form.box(i).selected())
            return true;
    return false;
}

std::array<QString, BoxGeometry::SideCount> BoxGeometry::shownText(const Form& form) {
    std::array<QString, SideCount> shown;
    std::array<bool, SideCount> differ{};
    bool first = true;
    for (int i = 0; i < BoxCount; ++i) {
        if (!form.box(i).selected())
            continue;
        const auto sides = sidesMm(form.box(i));
        for (int s = 0; s < SideCount; ++s) {
            const QString text = QString::number(sides[s], 'f', 1);
            if (first)
                shown[s] = text;
            else if (text != shown[s])
                differ[s] = true;
        }
        first = false;
    }
    for (int s = 0; s < SideCount; ++s)
        if (differ[s])
            shown[s].clear();
    return shown;
}

std::optional<QString> BoxGeometry::check(const Form& form, const Millimetres& typed) {
    const double smallest = Form::MinimumExtent / Units::PageTwipsPerMm;
    for (const Side s : {Width, Height})
        if (typed[s] && *typed[s] < smallest - ToleranceMm / 10)
            return QStringLiteral("宽度和高度至少为 %1 毫米。").arg(smallest, 0, 'f', 1);
    for (int i = 0; i < BoxCount; ++i) {
        if (!form.box(i).selected())
            continue;
        const auto sides = afterTyping(form.box(i), typed);
        if (sides[Left] < -ToleranceMm || sides[Top] < -ToleranceMm ||
            sides[Left] + sides[Width] > Units::PageWidthMm + ToleranceMm ||
            sides[Top] + sides[Height] > Units::PageHeightMm + ToleranceMm)
            return QStringLiteral(
                "输入框将超出纸张（宽 210 毫米，高 297 毫米）：请改小位置或大小。");
    }
    return std::nullopt;
}

void BoxGeometry::apply(Form& form, const Millimetres& typed) {
    const double k = Units::PageTwipsPerMm;
    for (int i = 0; i < BoxCount; ++i) {
        const Box& b = form.box(i);
        if (!b.selected())
            continue;
        // An untyped side keeps its exact twips, not the tenth of a millimetre shown.
        const auto twips = [&](Side s, float now) {
            return typed[s] ? static_cast<float>(*typed[s] * k) : now;
        };
        const float left = twips(Left, b.left);
        const float top = twips(Top, b.top);
        const Label& label = form.label(i);
        form.setLabelPosition(i, label.left + left - b.left, label.top + top - b.top);
        form.setGeometry(i, left, top, twips(Width, b.width), twips(Height, b.height));
    }
}
