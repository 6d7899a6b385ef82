#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

#include <optional>

// A scan of the blank paper form, shown behind the boxes so that they can be lined up
// with its cells. It is taken to cover the A4 page, then scaled about the page's top-left
// corner and shifted, since scanners shrink and shift a little.
struct FormScan {
    QByteArray bytes; // the file exactly as chosen
    QString fileName;
    double offsetXMm = 0;
    double offsetYMm = 0;
    double scalePercent = 100;

    bool isEmpty() const { return bytes.isEmpty(); }
    bool operator==(const FormScan&) const = default;
    // Where the scan lies on the page, in page twips.
    QRectF pageRect() const;
};

namespace FormScanImage {

// The largest picture kept in memory: A4 at 200 dpi, finer than the page is ever shown.
inline constexpr QSize MaximumSize(1654, 2339);

// The picture of an image file (PNG, JPEG, BMP, TIFF) or of the first page of a PDF,
// scaled down once to MaximumSize; std::nullopt with a reason when it cannot be read.
std::optional<QImage> decode(const QByteArray& bytes, QString* reason = nullptr);

// The file names the open dialog offers.
QString fileFilter();

} // namespace FormScanImage
