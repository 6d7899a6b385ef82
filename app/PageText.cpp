#include "PageText.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>
#include <QTextDocument>
#include <QTextDocumentFragment>

namespace {

// ICU matches charset names loosely, so quotes around the name do no harm.
QByteArray charsetOfContentType(const QByteArray& contentType) {
    for (const QByteArray& parameter : contentType.split(';'))
        if (parameter.trimmed().toLower().startsWith("charset="))
            return parameter.trimmed().mid(8);
    return {};
}

// Pages labelled GB2312 or GBK are in practice written in GBK, which GB18030 reads whole.
QStringDecoder readingGbkAsGb18030(QStringDecoder decoder) {
    const QByteArray name = QByteArray(decoder.isValid() ? decoder.name() : "").toLower();
    if (name == "gb2312" || name == "gbk" || name == "gb_2312-80")
        return QStringDecoder("GB18030");
    return decoder;
}

QString decodePage(const QByteArray& body, const QByteArray& contentType) {
    QStringDecoder decoder(charsetOfContentType(contentType).constData());
    // A byte order mark outranks the header, and the header outranks the page's <meta>.
    const bool byHeader = decoder.isValid() && !QStringConverter::encodingForData(body);
    if (!byHeader)
        decoder = QStringDecoder::decoderForHtml(body);
    decoder = readingGbkAsGb18030(std::move(decoder));
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    QString text = decoder.decode(body);
    // Undeclared pages of the Chinese web that are not UTF-8 are GBK.
    const bool declared = byHeader || body.left(1024).toLower().contains("charset=");
    if (decoder.hasError() && !declared)
        return QStringDecoder("GB18030").decode(body);
    return text;
}

// Nothing a page names is read: it could name any local file, /dev/zero among them.
class NothingLoaded : public QTextDocument {
protected:
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

} // namespace

QString pageText(const QByteArray& body, const QByteArray& contentType) {
    const QString decoded = decodePage(body, contentType);
    QString text;
    if (contentType.trimmed().toLower().startsWith("text/plain")) {
        text = decoded.trimmed();
    } else {
        // Qt's converter slows down sharply on deeply nested markup; the version line of the
        // product page sits near its top, so only the page's start is converted.
        constexpr qsizetype ConvertedCharacters = 64 * 1024;
        const NothingLoaded resources;
        text = QTextDocumentFragment::fromHtml(decoded.left(ConvertedCharacters), &resources)
                   .toPlainText();
        text = text.remove(QChar::ObjectReplacementCharacter).trimmed();
    }
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
