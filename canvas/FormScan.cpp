#include "FormScan.h"

#include "Units.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QPdfDocument>

#include <algorithm>

QRectF FormScan::pageRect() const {
    const double twipsPerMm = Units::PageTwipsPerMm;
    const double scale = scalePercent / 100.0;
    return QRectF(offsetXMm * twipsPerMm, offsetYMm * twipsPerMm, Units::PageWidth * scale,
                  Units::PageHeight * scale);
}

namespace FormScanImage {
namespace {

QSize keptSize(QSizeF size) {
    if (size.width() <= MaximumSize.width() && size.height() <= MaximumSize.height())
        return size.toSize();
    return size.scaled(QSizeF(MaximumSize), Qt::KeepAspectRatio).toSize().expandedTo(QSize(1, 1));
}

// PDF pages are drawn on white: the page of a scanner has no transparent parts.
std::optional<QImage> firstPdfPage(const QByteArray& bytes, QString* reason) {
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    QPdfDocument document;
    document.load(&buffer);
    if (document.status() != QPdfDocument::Status::Ready || document.pageCount() < 1) {
        if (reason)
            *reason = QStringLiteral("PDF文件无法打开");
        return std::nullopt;
    }
    // The page at 200 dpi, no larger than what is kept of any scan.
    const QSize size = keptSize(document.pagePointSize(0) * 200.0 / 72.0);
    const QImage page = document.render(0, size);
    if (page.isNull()) {
        if (reason)
            *reason = QStringLiteral("PDF第一页无法显示");
        return std::nullopt;
    }
    QImage flat(page.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter(&flat).drawImage(0, 0, page);
    return flat;
}

} // namespace

std::optional<QImage> decode(const QByteArray& bytes, QString* reason) {
    if (bytes.startsWith("%PDF"))
        return firstPdfPage(bytes, reason);
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    // A scan at 600 dpi and more is larger than Qt reads by default; it is read once here.
    QImageReader::setAllocationLimit(std::max(QImageReader::allocationLimit(), 1024));
    QImageReader reader(&buffer);
    const QSize full = reader.size();
    if (full.isValid())
        reader.setScaledSize(keptSize(QSizeF(full)));
    QImage image = reader.read();
    if (image.isNull()) {
        if (reason)
            *reason = reader.errorString();
        return std::nullopt;
    }
    if (image.width() > MaximumSize.width() || image.height() > MaximumSize.height())
        image = image.scaled(keptSize(QSizeF(image.size())), Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
    if (image.hasAlphaChannel()) {
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, image);
        image = flat;
    }
    return image;
}

QString fileFilter() {
    return QStringLiteral("底图 (*.png *.jpg *.jpeg *.bmp *.tif *.tiff *.pdf);;所有文件 (*)");
}

} // namespace FormScanImage
