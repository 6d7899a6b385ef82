#pragma once

#include <QString>
#include <QUrl>

// The maker's web addresses. The host is set when building (QUILLMARSH_MAKER_HOST), so a
// test build or a reseller's build points the program at another site in one place.
namespace MakerSite {

inline constexpr int productNumber = 27;

inline QString host() {
    return QString::fromUtf8(QUILLMARSH_MAKER_HOST);
}

inline QUrl homePage() {
    return QUrl(QStringLiteral("http://") + host() + QStringLiteral("/"));
}

// The product page that announces the newest version and offers it for download.
inline QUrl productPage(int number = productNumber) {
    return QUrl(QStringLiteral("http://") + host() +
                QStringLiteral("/quillmarshsoft/downpage/Product.asp?ID=") +
                QString::number(number));
}

// Where the two online-help buttons lead: the maker's chat help.
inline QUrl chatHelpPage() {
    return QUrl(QStringLiteral("http://") + host() +
                QStringLiteral("/quillmarshsoft/chathelp.asp"));
}

// Opens the chat help in the desktop's default browser; a failure is not reported.
void OpenChatHelp();
// Opens the home page in the desktop's default browser; a failure is not reported.
void OpenHomePage();

} // namespace MakerSite
