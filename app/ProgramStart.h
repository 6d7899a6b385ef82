#pragma once

#include <QSize>
#include <QString>

#include <functional>

class MF;
class UserDialogs;

// The whole life of the program on one database: one program per database, the main
// window, the offer to recover typed work left by a crash, the event loop, the exit.
// `windowMade` runs once the window exists, before it shows or asks anything.
int runProgram(UserDialogs& dialogs, const QString& databasePath, QSize screenSizePixels,
               const std::function<void(MF&)>& windowMade = {});

namespace Messages {
inline QString alreadyRunning() {
    return QStringLiteral("程序已经在运行，请使用已打开的窗口！");
}
} // namespace Messages
