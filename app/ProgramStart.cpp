#include "ProgramStart.h"

#include "MF.h"
#include "QuitOnSignal.h"
#include "SingleInstance.h"
#include "UserDialogs.h"

#include <QApplication>

int runProgram(UserDialogs& dialogs, const QString& databasePath, QSize screenSizePixels,
               const std::function<void(MF&)>& windowMade) {
    SingleInstance instance(databasePath);
    if (!instance.acquire()) {
        // The running program keeps the database to itself: nothing here touches it.
        instance.askHolderToComeForward();
        dialogs.tell(Messages::alreadyRunning());
        return 0;
    }
    MF window(dialogs, databasePath, screenSizePixels);
    instance.setWindow(&window);
    if (windowMade)
        windowMade(window);
    window.show();
    window.offerRecovery();
    installQuitOnSignals();
    return QApplication::exec();
}
