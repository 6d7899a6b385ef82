#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <chrono>

class QNetworkAccessManager;
class QNetworkReply;

// What a reader sees of a fetched page: the body's text in the charset its byte order mark,
// Content-Type header or <meta> declares (GB18030 for GBK, GB2312 and an undeclared page that
// is not UTF-8), trimmed; empty when the page is one of the "cannot be shown" pages.
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
