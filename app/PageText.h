#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringView>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// The charset a page is written in, as its bytes, its Content-Type header and its
// <meta> tags declare it, in that order of precedence; empty when nothing declares one.
QByteArray declaredCharset(const QByteArray& body, const QByteArray& contentType);

// The page's bytes as text, in the declared charset; an undeclared page is read as UTF-8
// when it is valid UTF-8 and as GB18030 (a superset of GBK and GB2312) otherwise.
QString decodePage(const QByteArray& body, const QByteArray& contentType);

// Decodes through the C library's iconv; std::nullopt when it does not know the charset.
// Bytes that are not valid in the charset become U+FFFD.
std::optional<QString> decodeWithIconv(const QByteArray& bytes, const char* charset);

// What a reader sees of a page's body: markup removed, entities decoded, blanks collapsed
// as a browser lays them out, cells and lines separated, trimmed.
QString htmlBodyText(QStringView html);

// The text of a fetched page, empty when the page is one of the "cannot be shown" pages.
QString pageText(const QByteArray& body, const QByteArray& contentType);

// Fetches one page in the background and hands back its text; the whole wait is bounded.
class PageFetch : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds defaultBound{15000};
    // Larger answers are not a product page; they are cut off rather than held in memory.
    static constexpr qint64 maximumPageBytes = 4 * 1024 * 1024;

    explicit PageFetch(QObject* parent = nullptr);
    ~PageFetch() override;

    void setBound(std::chrono::milliseconds bound) { m_bound = bound; }
    std::chrono::milliseconds bound() const { return m_bound; }
    bool isBusy() const { return !m_reply.isNull(); }

    // Starts fetching the address; `fetched` follows exactly once, with the page text or
    // an empty text (no network, no answer within the bound, an error status, an error
    // page). A fetch still running is abandoned.
    void FetchPageText(const QUrl& address);

signals:
    void fetched(const QString& text);

private:
    void finish();
    void abandon();

    QNetworkAccessManager* m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    QTimer m_timer;
    std::chrono::milliseconds m_bound = defaultBound;
};
