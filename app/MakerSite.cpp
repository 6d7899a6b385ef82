#include "MakerSite.h"

#include <QDesktopServices>

namespace MakerSite {

void OpenChatHelp() {
    QDesktopServices::openUrl(chatHelpPage());
}

void OpenHomePage() {
    QDesktopServices::openUrl(homePage());
}

} // namespace MakerSite
