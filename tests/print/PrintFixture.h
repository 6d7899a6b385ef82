#pragma once

#include "TestFolder.h"

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QList>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <optional>

// Helpers for looking at printed pages with tools that are not ours: pdftotext for
// where each word landed, pdftoppm for where the ink is.
namespace PrintCheck {

inline constexpr double PointsPerMm = 72.0 / 25.4;

// Points the per-user settings at a folder of the test, so no test reads or writes the
// user's own calibration.
inline void isolateSettings(const QString& folder) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

inline void storeSetting(const QString& key, const std::optional<QString>& value) {
    QSettings settings(QStringLiteral("Velkordan"), QStringLiteral("Velkordan"));
    settings.beginGroup(QStringLiteral("Collate"));
    if (value)
        settings.setValue(key, *value);
    else
        settings.remove(key);
    settings.sync();
}

inline std::optional<QString> storedSetting(const QString& key) {
    QSettings settings(QStringLiteral("Velkordan"), QStringLiteral("Velkordan"));
    settings.beginGroup(QStringLiteral("Collate"));
    if (!settings.contains(key))
        return std::nullopt;
    return settings.value(key).toString();
}

inline bool run(const QString& program, const QStringList& arguments, QByteArray* out = nullptr) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000))
        return false;
    if (out)
        *out = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// One word as pdftotext found it, in millimetres from the page's top-left corner.
struct Word {
    QString text;
    QRectF mm;
};

// Every page, or page `page` (from 1) alone.
inline QList<Word> words(const QString& pdf, int page = 0) {
    QByteArray html;
    QList<Word> result;
    QStringList arguments{QStringLiteral("-bbox"), pdf, QStringLiteral("-")};
    if (page > 0)
        arguments = QStringList{QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                QString::number(page)} +
                    arguments;
    if (!run(QStringLiteral("pdftotext"), arguments, &html))
        return result;
    static const QRegularExpression word(QStringLiteral(
        R"re(<word xMin="([-\d.]+)" yMin="([-\d.]+)" xMax="([-\d.]+)" yMax="([-\d.]+)">([^<]*)</word>)re"));
    for (auto it = word.globalMatch(QString::fromUtf8(html)); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QPointF topLeft(m.captured(1).toDouble(), m.captured(2).toDouble());
        const QPointF bottomRight(m.captured(3).toDouble(), m.captured(4).toDouble());
        result.append({m.captured(5), QRectF(topLeft / PointsPerMm, bottomRight / PointsPerMm)});
    }
    return result;
}

inline int pageCount(const QString& pdf) {
    QByteArray info;
    if (!run(QStringLiteral("pdfinfo"), {pdf}, &info))
        return -1;
    static const QRegularExpression pages(QStringLiteral(R"re(Pages:\s+(\d+))re"));
    const QRegularExpressionMatch m = pages.match(QString::fromUtf8(info));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The first page rendered in grey at `dpi`.
inline QImage renderPage(const QString& pdf, const QString& folder, int dpi) {
    QImageReader::setAllocationLimit(1024); // an A4 page at 600 dpi is larger than the default
    const QString base = QDir(folder).filePath(QStringLiteral("page"));
    if (!run(QStringLiteral("pdftoppm"),
             {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-gray"),
              QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, base}))
        return {};
    return QImage(base + QStringLiteral(".png")).convertToFormat(QImage::Format_Grayscale8);
}

// The bounding box, in millimetres from the page corner, of every pixel darker than
// half grey, and how many such pixels there are.
struct Ink {
    QRectF mm;
    qint64 pixels = 0;
};

inline Ink inkOf(const QImage& page, int dpi) {
    int left = page.width(), top = page.height(), right = -1, bottom = -1;
    Ink ink;
    for (int y = 0; y < page.height(); ++y) {
        const uchar* line = page.constScanLine(y);
        for (int x = 0; x < page.width(); ++x) {
            if (line[x] >= 128)
                continue;
            ++ink.pixels;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0)
        return ink;
    const double mmPerPixel = 25.4 / dpi;
    ink.mm = QRectF(QPointF(left * mmPerPixel, top * mmPerPixel),
                    QPointF((right + 1) * mmPerPixel, (bottom + 1) * mmPerPixel));
    return ink;
}

} // namespace PrintCheck
