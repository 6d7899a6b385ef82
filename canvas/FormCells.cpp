#include "FormCells.h"

#include "Units.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace {

// Finer than this the lines are no better found, only more slowly: about 200 dpi.
constexpr double WorkingPixelsPerMm = 8.0;
// A run of ink this long along a row or a column is a ruled line; no stroke of a caption is.
constexpr double LineRunMm = 5.0;
// The window the paper's own brightness is measured over, so that grey scans and shadows
// still give clean lines.
constexpr double BrightnessWindowMm = 3.0;
constexpr double InkBelowPaper = 12.0;
// A region that fills less of its rectangle than this is two cells run together through a
// break in a line, or no cell at all.
constexpr double MinimumFill = 0.8;
constexpr double MaximumSkewDegrees = 5.0;
// A region larger than this share of the picture is the paper inside a dark scanner lid.
constexpr double MaximumPageShare = 0.6;

int odd(double pixels) {
    const int whole = std::max(3, static_cast<int>(std::lround(pixels)));
    return whole | 1;
}

} // namespace

std::vector<QRectF> FormCells::find(const QImage& scan, const QRectF& pageRect) {
    if (scan.isNull() || pageRect.width() <= 0 || pageRect.height() <= 0)
        return {};
    const QImage gray = scan.convertToFormat(QImage::Format_Grayscale8);
    const cv::Mat full(gray.height(), gray.width(), CV_8UC1, const_cast<uchar*>(gray.constBits()),
                       static_cast<std::size_t>(gray.bytesPerLine()));
    const double pageWidthMm = pageRect.width() / Units::PageTwipsPerMm;
    cv::Mat picture = full;
    if (const double perMm = full.cols / pageWidthMm; perMm > WorkingPixelsPerMm)
        cv::resize(full, picture, cv::Size(), WorkingPixelsPerMm / perMm,
                   WorkingPixelsPerMm / perMm, cv::INTER_AREA);
    const double perMm = picture.cols / pageWidthMm;

    cv::Mat ink;
    cv::adaptiveThreshold(picture, ink, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY_INV,
                          odd(perMm * BrightnessWindowMm), InkBelowPaper);
    const int run = odd(perMm * LineRunMm);
    cv::Mat across;
    cv::Mat down;
    cv::morphologyEx(ink, across, cv::MORPH_OPEN,
                     cv::getStructuringElement(cv::MORPH_RECT, cv::Size(run, 1)));
    cv::morphologyEx(ink, down, cv::MORPH_OPEN,
                     cv::getStructuringElement(cv::MORPH_RECT, cv::Size(1, run)));
    cv::Mat lines = across | down;
    // Closes the pixel-wide gaps a faint scan leaves where lines meet; given back below.
    constexpr double Thickened = 1.0;
    cv::dilate(lines, lines, cv::Mat());

    std::vector<std::vector<cv::Point>> contours;
    std::vector<cv::Vec4i> hierarchy;
    cv::findContours(lines, contours, hierarchy, cv::RETR_CCOMP, cv::CHAIN_APPROX_SIMPLE);

    const double twipsPerPixelX = pageRect.width() / picture.cols;
    const double twipsPerPixelY = pageRect.height() / picture.rows;
    const double minimumSide = MinimumSideMm * perMm;
    const double maximumArea = MaximumPageShare * picture.cols * picture.rows;
    std::vector<QRectF> cells;
    for (std::size_t i = 0; i < contours.size(); ++i) {
        // Second-level contours are the holes in the lines: the cells.
        if (hierarchy[i][3] < 0)
            continue;
        const cv::RotatedRect r = cv::minAreaRect(contours[i]);
        double angle = r.angle;
        double width = r.size.width;
        double height = r.size.height;
        // The side nearest the page's width is the cell's width, whichever way it is reported.
        if (std::abs(angle) > 45) {
            angle -= std::copysign(90.0, angle);
            std::swap(width, height);
        }
        width += 2 * Thickened;
        height += 2 * Thickened;
        if (width < minimumSide || height < minimumSide || width * height > maximumArea ||
            std::abs(angle) > MaximumSkewDegrees ||
            cv::contourArea(contours[i]) < MinimumFill * r.size.area())
            continue;
        // Pixel n covers n to n + 1, so its centre lies half a pixel further on.
        const QPointF centre(pageRect.left() + (r.center.x + 0.5) * twipsPerPixelX,
                             pageRect.top() + (r.center.y + 0.5) * twipsPerPixelY);
        const QSizeF size(width * twipsPerPixelX, height * twipsPerPixelY);
        cells.emplace_back(centre - QPointF(size.width(), size.height()) / 2, size);
    }
    std::sort(cells.begin(), cells.end(), [](const QRectF& a, const QRectF& b) {
        return a.width() * a.height() < b.width() * b.height();
    });
    return cells;
}
