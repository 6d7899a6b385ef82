#include "FontSetup.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void registerFontSubstitutions() {
    const QStringList substitutes{QStringLiteral("AR PL UMing CN"),
                                  QStringLiteral("AR PL UMing TW"),
                                  QStringLiteral("WenQuanYi Zen Hei")};
    QFont::insertSubstitutions(QStringLiteral("宋体"), substitutes);
    QFont::insertSubstitutions(QStringLiteral("SimSun"), substitutes);
}

void installChineseTranslations(QApplication& app) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
}
