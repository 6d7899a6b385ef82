#include "FontSetup.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velkordan"));
    registerFontSubstitutions();
    installChineseTranslations(app);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Quillmarsh报关单打印软件1.13"));
    window.show();
    return QApplication::exec();
}
