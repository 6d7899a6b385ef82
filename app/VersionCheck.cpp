#include "VersionCheck.h"

#include "MakerSite.h"
#include "TextNumber.h"
#include "UserDialogs.h"

#include <QDesktopServices>
#include <QPointer>
#include <QTimer>
#include <QWidget>

QString digitsAndPoints(QStringView text) {
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text)
        if ((c >= u'0' && c <= u'9') || c == u'.')
            kept += c;
    return kept;
}

VersionFinding readWebVersion(QStringView pageText, QStringView ownCaption) {
    static const QString versionLabel = QStringLiteral("软件版本：");
    static const QString priceLabel = QStringLiteral("软件售价：");
    const qsizetype label = pageText.indexOf(versionLabel);
    if (label < 0)
        return {};
    const QStringView rest = pageText.mid(label + versionLabel.size());
    const qsizetype price = rest.indexOf(priceLabel);
    if (price < 1)
        return {};
    const QString webVersion = digitsAndPoints(rest.first(price));
    const double web = numericValue(webVersion);
    const double own = numericValue(digitsAndPoints(ownCaption));
    if (web == 0.0 || own == 0.0)
        return {};
    return {webVersion, web != own};
}

QString upgradeQuestion(const QString& webVersion) {
    return QStringLiteral("本软件已升级，最新版本号为：") + webVersion +
           QStringLiteral("\r\n\r\n") + QStringLiteral("现在就从") + MakerSite::host() +
           QStringLiteral("网站下载最新版软件？");
}

VersionCheck::VersionCheck(UserDialogs& dialogs, QObject* parent)
    : QObject(parent), m_dialogs(dialogs) {
    connect(&m_fetch, &PageFetch::fetched, this, &VersionCheck::pageArrived);
}

void VersionCheck::ResetVersionCheck() {
    m_lastWebVersion.clear();
}

void VersionCheck::CheckNewVersion(const QUrl& productPage, const QString& ownCaption) {
    if (!m_lastWebVersion.isEmpty())
        return;
    // Set before the fetch starts, so that ticks arriving while the page loads return.
    m_lastWebVersion = QStringLiteral("0");
    m_productPage = productPage;
    m_ownCaption = ownCaption;
    m_fetch.FetchPageText(productPage);
}

void VersionCheck::pageArrived(const QString& text) {
    const VersionFinding finding = readWebVersion(text, m_ownCaption);
    if (finding.webVersion.isEmpty()) {
        emit checkFinished({});
        return;
    }
    // Remembered before the question, which waits for the user while ticks go on.
    m_lastWebVersion = finding.webVersion;
    if (finding.offerUpgrade && m_dialogs.askYesNo(upgradeQuestion(finding.webVersion)))
        QDesktopServices::openUrl(m_productPage);
    emit checkFinished(finding.webVersion);
}

void armTimer1(QTimer& timer, VersionCheck& check, const QWidget& window, const QUrl& productPage) {
    timer.setInterval(500);
    QObject::connect(&timer, &QTimer::timeout, &check,
                     [&check, page = productPage, caption = QPointer<const QWidget>(&window)] {
                         if (caption)
                             check.CheckNewVersion(page, caption->windowTitle());
                     });
    timer.start();
}
