#pragma once

#include "TestFolder.h"

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>

#include <optional>

// Printed pages seen by tools that are not ours: pdftotext for where each word landed,
// pdftoppm for where the ink is, pdfinfo for the pages.
namespace PrintCheck {

// Writes a stored calibration margin, "X" or "Y", or removes it.
inline void storeSetting(const QString& key, const std::optional<QString>& value) {
    QSettings settings(QStringLiteral("Velkordan"), QStringLiteral("Velkordan"));
    const QString path = QStringLiteral("Collate/") + key;
    value ? settings.setValue(path, *value) : settings.remove(path);
}
inline void storeMargins(const std::optional<QString>& x, const std::optional<QString>& y) {
    storeSetting(QStringLiteral("X"), x);
    storeSetting(QStringLiteral("Y"), y);
}

// What a tool wrote to its standard output; empty when it did not end well.
inline QByteArray run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    const bool ended = process.waitForFinished(120000) &&
                       process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return ended ? process.readAllStandardOutput() : QByteArray();
}

// One word as pdftotext found it, in millimetres from the page's top-left corner.
struct Word {
    QString text;
    QRectF mm;
};

// Every page, or page `page` (from 1) alone.
inline QList<Word> words(const QString& pdf, int page = 0) {
    QStringList arguments{QStringLiteral("-bbox"), pdf, QStringLiteral("-")};
    if (page > 0)
        arguments =
            QStringList{"-f", QString::number(page), "-l", QString::number(page)} + arguments;
    static const QRegularExpression word(QStringLiteral(
        R"re(<word xMin="([-\d.]+)" yMin="([-\d.]+)" xMax="([-\d.]+)" yMax="([-\d.]+)">([^<]*)</word>)re"));
    QList<Word> result;
    for (auto it = word.globalMatch(QString::fromUtf8(run(QStringLiteral("pdftotext"), arguments)));
         it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const auto mm = [&m](int i) { return m.captured(i).toDouble() * 25.4 / 72; };
        result.append({m.captured(5), QRectF(QPointF(mm(1), mm(2)), QPointF(mm(3), mm(4)))});
    }
    return result;
}

inline int pageCount(const QString& pdf) {
    static const QRegularExpression pages(QStringLiteral(R"re(Pages:\s+(\d+))re"));
    const auto m = pages.match(QString::fromUtf8(run(QStringLiteral("pdfinfo"), {pdf})));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The first page rendered in grey at `dpi`.
inline QImage renderPage(const QString& pdf, const QString& folder, int dpi) {
    QImageReader::setAllocationLimit(1024); // an A4 page at 600 dpi is larger than the default
    const QString base = QDir(folder).filePath(QStringLiteral("page"));
    QFile::remove(base + QStringLiteral(".png"));
    run(QStringLiteral("pdftoppm"),
        {"-r", QString::number(dpi), "-gray", "-png", "-singlefile", pdf, base});
    return QImage(base + QStringLiteral(".png")).convertToFormat(QImage::Format_Grayscale8);
}

// The pixels darker than half grey: their bounding box in mm from the corner, their number.
struct Ink {
    QRectF mm;
    qint64 pixels = 0;
};

inline Ink inkOf(const QImage& page, int dpi) {
    Ink ink;
    QRect dark;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (page.constScanLine(y)[x] < 128) {
                ++ink.pixels;
                dark |= QRect(x, y, 1, 1);
            }
    ink.mm = QRectF(QPointF(dark.topLeft()) * 25.4 / dpi, QSizeF(dark.size()) * 25.4 / dpi);
    return ink;
}

} // namespace PrintCheck
