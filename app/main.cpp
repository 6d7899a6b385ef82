#include "DataBase.h"
#include "FontSetup.h"
#include "MF.h"
#include "QtUserDialogs.h"
#include "QuitOnSignal.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velkordan"));
    registerFontSubstitutions();
    installChineseTranslations(app);

    QtUserDialogs dialogs;
    const QSize screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->size()
                                                          : QSize(1024, 768);
    MF window(dialogs, DataBase::defaultFilePath(), screen);
    dialogs.setParent(&window);
    window.show();
    installQuitOnSignals();
    return QApplication::exec();
}
