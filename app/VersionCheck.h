#pragma once

#include "PageText.h"

#include <QObject>
#include <QString>
#include <QStringView>
#include <QUrl>

#include <chrono>

class QTimer;
class QWidget;
class UserDialogs;

// Keeps only the digits and points of a text: "V1.14 " gives "1.14".
QString digitsAndPoints(QStringView text);

// What the product page says about the newest version, read against the program's own.
struct VersionFinding {
    // The version announced on the page; empty when the page announces none that counts.
    QString webVersion;
    // True when the announced version differs from the own one, older versions included.
    bool offerUpgrade = false;
};

// The version stands after the first "软件版本：" and before the first "软件售价："
// that follows it, with at least one character between them; the own version is the
// number the window caption ends with.
VersionFinding readWebVersion(QStringView pageText, QStringView ownCaption);

// The question that offers the newer version for download.
QString upgradeQuestion(const QString& webVersion);

// The new-version check: once per run it reads the product page in the background and,
// when the page announces a different version, offers to open the page for download.
class VersionCheck : public QObject {
    Q_OBJECT
public:
    explicit VersionCheck(UserDialogs& dialogs, QObject* parent = nullptr);

    // Arms the check for this run: the next CheckNewVersion does the work.
    void ResetVersionCheck();

    // Called on every timer tick. Only the first call after the reset starts the fetch;
    // every later one returns at once, also while the page is still loading. The result
    // arrives through `checkFinished`.
    void CheckNewVersion(const QUrl& productPage, const QString& ownCaption);

    // How long the page may take, from the request to the last byte.
    void setFetchBound(std::chrono::milliseconds bound) { m_fetch.setBound(bound); }

signals:
    // The check is over: the version read from the page, or an empty text.
    void checkFinished(const QString& webVersion);

private:
    void pageArrived(const QString& text);

    UserDialogs& m_dialogs;
    PageFetch m_fetch;
    // Empty: no check made yet; "0": a check has started or found nothing; otherwise the
    // version last read from the product page.
    QString m_lastWebVersion;
    QUrl m_productPage;
    QString m_ownCaption;
};

// Makes `timer` the main window's Timer1: every 500 ms from now on it calls the check with
// the product page and the window's caption, which ends with the program's version.
void armTimer1(QTimer& timer, VersionCheck& check, const QWidget& window, const QUrl& productPage);
