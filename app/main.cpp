#include "DataBase.h"
#include "FontSetup.h"
#include "MF.h"
#include "ProgramStart.h"
#include "QtUserDialogs.h"

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
    return runProgram(dialogs, DataBase::defaultFilePath(), screen,
                      [&dialogs](MF& window) { dialogs.setParent(&window); });
}
