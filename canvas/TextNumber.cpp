#include "TextNumber.h"

#include <QString>

#include <cmath>

double numericValue(QStringView text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\u3000'))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Digits are gathered as text and converted once, so 0.1 reads exactly as 0.1 would.
    QString digits;
    bool any = false;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
        digits += text[i++];
        any = true;
    }
    if (i < n && text[i] == u'.') {
        digits += u'.';
        ++i;
        while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
            digits += text[i++];
            any = true;
        }
    }
    if (!any)
        return 0.0;
    if (digits.startsWith(u'.'))
        digits.prepend(u'0');
    bool ok = false;
    const double value = digits.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return 0.0;
    return negative ? -value : value;
}
