#pragma once

#include <array>

// The clerk's own zoom of the page, a factor over the zoom that fits the page's width
// into the viewport. It changes in the steps a clerk knows from other programs.
namespace PageZoom {

inline constexpr std::array<double, 13> Steps{0.5, 0.67, 0.75, 0.9, 1.0, 1.1, 1.25,
                                              1.5, 1.75, 2.0,  2.5, 3.0, 4.0};
inline constexpr double Minimum = Steps.front();
inline constexpr double Maximum = Steps.back();
inline constexpr double FitWidth = 1.0;

// The next step above (`steps` > 0) or below (`steps` < 0) `factor`, kept within the limits.
double stepped(double factor, int steps);

} // namespace PageZoom
