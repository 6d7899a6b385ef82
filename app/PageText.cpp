#include "PageText.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>

#include <iconv.h>

#include <cerrno>
#include <string>

namespace {

bool isAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isCharsetChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == ':';
}

// The name after "charset" and "=" at `at`, quotes and blanks skipped; empty when none.
QByteArray charsetAfter(const QByteArray& text, qsizetype at) {
    qsizetype i = at + 7;
    while (i < text.size() && isAsciiSpace(text[i]))
        ++i;
    if (i >= text.size() || text[i] != '=')
        return {};
    ++i;
    while (i < text.size() && (isAsciiSpace(text[i]) || text[i] == '"' || text[i] == '\''))
        ++i;
    const qsizetype start = i;
    while (i < text.size() && isCharsetChar(text[i]))
        ++i;
    return text.mid(start, i - start);
}

QByteArray charsetOfContentType(const QByteArray& contentType) {
    const QByteArray lower = contentType.toLower();
    for (qsizetype at = lower.indexOf("charset"); at >= 0; at = lower.indexOf("charset", at + 1)) {
        QByteArray name = charsetAfter(lower, at);
        if (!name.isEmpty())
            return name;
    }
    return {};
}

// Browsers read the charset of a page from its first <meta> tags that name one.
QByteArray charsetOfMetaTags(const QByteArray& body) {
    const QByteArray head = body.left(8192).toLower();
    for (qsizetype tag = head.indexOf("<meta"); tag >= 0; tag = head.indexOf("<meta", tag + 5)) {
        qsizetype end = head.indexOf('>', tag);
        if (end < 0)
            end = head.size();
        const QByteArray inside = head.mid(tag, end - tag);
        for (qsizetype at = inside.indexOf("charset"); at >= 0;
             at = inside.indexOf("charset", at + 1)) {
            QByteArray name = charsetAfter(inside, at);
            if (!name.isEmpty())
                return name;
        }
    }
    return {};
}

// Pages labelled GB2312 or GBK are in practice written in GBK; GB18030 reads all of them.
QByteArray decoderName(const QByteArray& charset) {
    static const char* const gbkLabels[] = {
        "gb2312",   "gbk",       "x-gbk",           "gb_2312", "gb_2312-80",  "chinese",
        "csgb2312", "iso-ir-58", "csiso58gb231280", "cp936",   "windows-936", "gb18030"};
    QByteArray lower = charset.trimmed().toLower();
    for (const char* label : gbkLabels)
        if (lower == label)
            return "GB18030";
    if (lower == "utf8")
        return "UTF-8";
    return lower;
}

std::optional<QString> decodeAs(const QByteArray& bytes, const QByteArray& charset) {
    const QByteArray name = decoderName(charset);
    if (name.isEmpty())
        return std::nullopt;
    QStringDecoder decoder(name.constData());
    if (decoder.isValid())
        return decoder.decode(bytes);
    return decodeWithIconv(bytes, name.constData());
}

struct Entity {
    const char* name;
    char32_t code;
};

constexpr Entity namedEntities[] = {
    {"amp", U'&'},      {"lt", U'<'},       {"gt", U'>'},       {"quot", U'"'},
    {"apos", U'\''},    {"nbsp", 0x00A0},   {"copy", 0x00A9},   {"reg", 0x00AE},
    {"trade", 0x2122},  {"yen", 0x00A5},    {"middot", 0x00B7}, {"mdash", 0x2014},
    {"ndash", 0x2013},  {"hellip", 0x2026}, {"ldquo", 0x201C},  {"rdquo", 0x201D},
    {"lsquo", 0x2018},  {"rsquo", 0x2019},  {"laquo", 0x00AB},  {"raquo", 0x00BB},
    {"times", 0x00D7},  {"divide", 0x00F7}, {"deg", 0x00B0},    {"plusmn", 0x00B1},
    {"sect", 0x00A7},   {"para", 0x00B6},   {"bull", 0x2022},   {"emsp", 0x2003},
    {"ensp", 0x2002},   {"thinsp", 0x2009}, {"shy", 0x00AD},    {"cent", 0x00A2},
    {"pound", 0x00A3},  {"euro", 0x20AC},   {"larr", 0x2190},   {"rarr", 0x2192},
    {"uarr", 0x2191},   {"darr", 0x2193},   {"iexcl", 0x00A1},  {"brvbar", 0x00A6},
    {"uml", 0x00A8},    {"ordf", 0x00AA},   {"not", 0x00AC},    {"macr", 0x00AF},
    {"sup2", 0x00B2},   {"sup3", 0x00B3},   {"acute", 0x00B4},  {"micro", 0x00B5},
    {"cedil", 0x00B8},  {"sup1", 0x00B9},   {"ordm", 0x00BA},   {"frac14", 0x00BC},
    {"frac12", 0x00BD}, {"frac34", 0x00BE}, {"iquest", 0x00BF},
};

// Names that old pages write without the closing semicolon, and browsers still accept.
constexpr const char* legacyEntities[] = {"nbsp", "amp", "quot", "copy", "reg", "lt", "gt"};

QString fromCodePoint(char32_t code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = 0xFFFD;
    return QString::fromUcs4(&code, 1);
}

// The entity at html[at] == '&': its text and how many characters it takes, or the
// ampersand itself when no entity starts here.
std::pair<QString, qsizetype> entityAt(QStringView html, qsizetype at) {
    const qsizetype n = html.size();
    qsizetype i = at + 1;
    if (i < n && html[i] == u'#') {
        ++i;
        const bool hex = i < n && (html[i] == u'x' || html[i] == u'X');
        if (hex)
            ++i;
        const qsizetype digitsStart = i;
        char32_t value = 0;
        bool overflow = false;
        while (i < n) {
            const char16_t c = html[i].unicode();
            int digit = -1;
            if (c >= u'0' && c <= u'9')
                digit = c - u'0';
            else if (hex && c >= u'a' && c <= u'f')
                digit = c - u'a' + 10;
            else if (hex && c >= u'A' && c <= u'F')
                digit = c - u'A' + 10;
            if (digit < 0)
                break;
            if (!overflow) {
                value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
                overflow = value > 0x10FFFF;
            }
            ++i;
        }
        if (i == digitsStart)
            return {QStringLiteral("&"), 1};
        if (i < n && html[i] == u';')
            ++i;
        return {fromCodePoint(overflow ? 0xFFFD : value), i - at};
    }
    qsizetype end = i;
    while (end < n && end - i < 32 && html[end].unicode() < 128 && html[end].isLetterOrNumber())
        ++end;
    const QStringView name = html.mid(i, end - i);
    if (end < n && html[end] == u';') {
        for (const Entity& e : namedEntities)
            if (name == QLatin1StringView(e.name))
                return {fromCodePoint(e.code), end + 1 - at};
    }
    for (const char* legacy : legacyEntities) {
        const QLatin1StringView word(legacy);
        if (name.startsWith(word)) {
            for (const Entity& e : namedEntities)
                if (word == QLatin1StringView(e.name))
                    return {fromCodePoint(e.code), 1 + word.size()};
        }
    }
    return {QStringLiteral("&"), 1};
}

// The position of the '>' that closes the tag opened at `at`; a '>' inside a quoted
// attribute value does not close it.
qsizetype tagEnd(QStringView html, qsizetype at) {
    char16_t quote = 0;
    for (qsizetype i = at + 1; i < html.size(); ++i) {
        const char16_t c = html[i].unicode();
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'>') {
            return i;
        }
    }
    return html.size();
}

// Where a tag named `name` opens at or after `from`, or -1.
qsizetype findTag(QStringView html, QLatin1StringView name, qsizetype from) {
    const QString opening = QLatin1Char('<') + name;
    for (qsizetype at = html.indexOf(opening, from, Qt::CaseInsensitive); at >= 0;
         at = html.indexOf(opening, at + 1, Qt::CaseInsensitive)) {
        const qsizetype after = at + opening.size();
        if (after >= html.size() || html[after].isSpace() || html[after] == u'>' ||
            html[after] == u'/')
            return at;
    }
    return -1;
}

bool isOneOf(const QString& name, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (name == QLatin1StringView(n))
            return true;
    return false;
}

bool isHtmlSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

// Blanks at cell and line ends are not seen; empty lines between blocks are dropped.
QString tidyLines(const QString& raw) {
    QStringList lines;
    for (const QString& line : raw.split(u'\n')) {
        QStringList cells = line.split(u'\t');
        for (QString& cell : cells)
            cell = cell.trimmed();
        cells.removeAll(QString());
        if (!cells.isEmpty())
            lines.append(cells.join(u'\t'));
    }
    return lines.join(u'\n');
}

} // namespace

QByteArray declaredCharset(const QByteArray& body, const QByteArray& contentType) {
    if (body.startsWith("\xEF\xBB\xBF"))
        return "UTF-8";
    if (body.startsWith("\xFF\xFE"))
        return "UTF-16LE";
    if (body.startsWith("\xFE\xFF"))
        return "UTF-16BE";
    QByteArray fromHeader = charsetOfContentType(contentType);
    if (!fromHeader.isEmpty())
        return fromHeader;
    return charsetOfMetaTags(body);
}

QString decodePage(const QByteArray& body, const QByteArray& contentType) {
    if (const auto text = decodeAs(body, declaredCharset(body, contentType)))
        return *text;
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString asUtf8 = utf8.decode(body);
    if (!utf8.hasError())
        return asUtf8;
    if (const auto text = decodeAs(body, "GB18030"))
        return *text;
    return asUtf8;
}

std::optional<QString> decodeWithIconv(const QByteArray& bytes, const char* charset) {
    iconv_t cd = iconv_open("UTF-8", charset);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out;
    char buffer[4096];
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = static_cast<size_t>(bytes.size());
    while (true) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t result =
            iconv(cd, inLeft ? &in : nullptr, inLeft ? &inLeft : nullptr, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (result != static_cast<size_t>(-1)) {
            if (inLeft == 0)
                break;
            continue;
        }
        if (errno == E2BIG)
            continue;
        // An invalid or cut-off sequence: one replacement character, then go on after it.
        out.append("\xEF\xBF\xBD");
        if (inLeft == 0)
            break;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return QString::fromStdString(out);
}

QString htmlBodyText(QStringView html) {
    qsizetype begin = 0;
    qsizetype end = html.size();
    if (const qsizetype body = findTag(html, QLatin1StringView("body"), 0); body >= 0) {
        begin = tagEnd(html, body) + 1;
        const qsizetype close =
            html.lastIndexOf(QLatin1StringView("</body"), -1, Qt::CaseInsensitive);
        if (close >= begin)
            end = close;
    } else if (const qsizetype headClose =
                   html.indexOf(QLatin1StringView("</head"), 0, Qt::CaseInsensitive);
               headClose >= 0) {
        begin = tagEnd(html, headClose) + 1;
    }

    QString raw;
    bool pendingSpace = false;
    auto appendText = [&](QStringView text) {
        if (pendingSpace && !raw.isEmpty() && raw.back() != u'\n' && raw.back() != u'\t')
            raw += u' ';
        pendingSpace = false;
        raw += text;
    };
    auto appendBreak = [&](QChar separator) {
        pendingSpace = false;
        raw += separator;
    };

    qsizetype i = begin;
    while (i < end) {
        const QChar c = html[i];
        if (c == u'&') {
            const auto [text, length] = entityAt(html.first(end), i);
            appendText(text);
            i += length;
            continue;
        }
        if (isHtmlSpace(c)) {
            pendingSpace = true;
            ++i;
            continue;
        }
        if (c != u'<') {
            appendText(html.mid(i, 1));
            ++i;
            continue;
        }
        if (html.mid(i).startsWith(QLatin1StringView("<!--"))) {
            const qsizetype close = html.indexOf(QLatin1StringView("-->"), i + 4);
            i = close < 0 ? end : close + 3;
            continue;
        }
        qsizetype k = i + 1;
        if (k < end && (html[k] == u'!' || html[k] == u'?')) {
            i = tagEnd(html, i) + 1;
            continue;
        }
        const bool closing = k < end && html[k] == u'/';
        if (closing)
            ++k;
        const qsizetype nameStart = k;
        while (k < end && html[k].unicode() < 128 && html[k].isLetterOrNumber())
            ++k;
        if (k == nameStart || !html[nameStart].isLetter()) {
            // A lone "<" in the text, as in "a < b".
            appendText(html.mid(i, 1));
            ++i;
            continue;
        }
        const QString name = html.mid(nameStart, k - nameStart).toString().toLower();
        i = tagEnd(html, i) + 1;
        if (!closing && isOneOf(name, {"script", "style", "template", "noscript", "title"})) {
            // Their content is never shown as text.
            const qsizetype close =
                html.indexOf(QLatin1String("</") + name, i, Qt::CaseInsensitive);
            i = close < 0 ? end : tagEnd(html, close) + 1;
            continue;
        }
        if (name == QLatin1StringView("br") ||
            isOneOf(name, {"p",      "div",    "tr",      "li",         "ul",      "ol",
                           "dl",     "dt",     "dd",      "table",      "h1",      "h2",
                           "h3",     "h4",     "h5",      "h6",         "hr",      "pre",
                           "form",   "center", "section", "article",    "header",  "footer",
                           "nav",    "aside",  "address", "blockquote", "caption", "fieldset",
                           "legend", "main",   "figure",  "tbody",      "thead",   "tfoot"}))
            appendBreak(u'\n');
        else if (!closing && isOneOf(name, {"td", "th"}))
            appendBreak(u'\t');
    }
    return tidyLines(raw);
}

QString pageText(const QByteArray& body, const QByteArray& contentType) {
    const QString decoded = decodePage(body, contentType);
    QString text = contentType.trimmed().toLower().startsWith("text/plain") ? decoded.trimmed()
                                                                            : htmlBodyText(decoded);
    // The texts of a browser's "cannot be found" and "cannot be shown" pages.
    if (text.contains(QStringLiteral("无法找到该页")))
        text.clear();
    if (text.contains(QStringLiteral("无法显示网页")))
        text.clear();
    return text;
}

PageFetch::PageFetch(QObject* parent)
    : QObject(parent), m_network(new QNetworkAccessManager(this)) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &PageFetch::abandon);
}

PageFetch::~PageFetch() {
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        delete m_reply.data();
    }
}

void PageFetch::FetchPageText(const QUrl& address) {
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Mozilla/5.0 (compatible; Quillmarsh)"));
    request.setRawHeader("Accept-Language", "zh-CN,zh;q=0.9");
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::finished, this, &PageFetch::finish);
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
        if (received > maximumPageBytes && m_reply)
            m_reply->abort();
    });
    m_timer.start(m_bound);
}

void PageFetch::abandon() {
    if (m_reply)
        m_reply->abort();
}

void PageFetch::finish() {
    QNetworkReply* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply || reply != m_reply)
        return;
    m_timer.stop();
    m_reply = nullptr;
    reply->disconnect(this);
    QString text;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::NoError && status >= 200 && status < 300) {
        const QByteArray body = reply->read(maximumPageBytes + 1);
        if (body.size() <= maximumPageBytes)
            text = pageText(body, reply->rawHeader("Content-Type"));
    }
    reply->deleteLater();
    emit fetched(text);
}
