#include "PageZoom.h"

#include <algorithm>

double PageZoom::stepped(double factor, int steps) {
    // A factor between two steps goes to the next one in the direction asked.
    constexpr double Slack = 1e-6;
    double result = std::clamp(factor, Minimum, Maximum);
    for (; steps > 0; --steps) {
        const auto up =
            std::find_if(Steps.begin(), Steps.end(), [&](double s) { return s > result + Slack; });
        result = up == Steps.end() ? Maximum : *up;
    }
    for (; steps < 0; ++steps) {
        const auto down = std::find_if(Steps.rbegin(), Steps.rend(),
                                       [&](double s) { return s < result - Slack; });
        result = down == Steps.rend() ? Minimum : *down;
    }
    return result;
}
