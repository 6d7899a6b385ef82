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

} // namespace BoxText
