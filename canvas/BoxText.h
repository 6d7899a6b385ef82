#pragma once

#include <QString>

// The model keeps line breaks as CR LF, the way stored records hold them; a plain-text
// edit shows them as LF. Texts cross between the two only through these functions.
namespace BoxText {

inline QString toWidget(const QString& model) {
    QString shown = model;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

inline QString toModel(const QString& widget) {
    QString stored = widget;
    stored.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    stored.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    stored.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return stored;
}

// A lone UTF-16 surrogate (from a paste or a damaged workbook) would be merged with its
// neighbour when the text is stored as UTF-8; it becomes U+FFFD and nothing else changes.
inline QString wellFormed(const QString& text) {
    QString out = text;
    const qsizetype n = out.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = out.at(i);
        if (c.isHighSurrogate() && i + 1 < n && out.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

} // namespace BoxText
