#include "FontColorDialog.h"
#include "FontSetup.h"

#include <QFontDialog>
#include <QTest>

class FontDialogTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerFontSubstitutions(); }
    void keepsTheBoxFontWhenUnchanged_data();
    void keepsTheBoxFontWhenUnchanged();
    void anotherFaceIsTakenByItsName();
};

void FontDialogTest::keepsTheBoxFontWhenUnchanged_data() {
    QTest::addColumn<QString>("face");
    QTest::newRow("substituted 宋体") << QStringLiteral("宋体");
    QTest::newRow("installed face") << QStringLiteral("WenQuanYi Zen Hei");
}

void FontDialogTest::keepsTheBoxFontWhenUnchanged() {
    QFETCH(QString, face);
    const FontChoice initial{face, 10.5f, true, false, true, false, 0x0000FF};
    FontColorDialog dialog(initial);
    const FontChoice c = dialog.choice();
    QCOMPARE(c.name, face);
    QCOMPARE(c.size, 10.5f);
    QVERIFY(c.bold);
    QVERIFY(!c.italic);
    QVERIFY(c.underline);
    QCOMPARE(c.color, 0x0000FFu); // red in the low byte, as the box holds it
}

void FontDialogTest::anotherFaceIsTakenByItsName() {
    FontColorDialog dialog(FontChoice{QStringLiteral("宋体"), 9});
    auto* fonts = dialog.findChild<QFontDialog*>();
    QVERIFY(fonts);
    fonts->setCurrentFont(QFont(QStringLiteral("WenQuanYi Zen Hei"), 12));
    QCOMPARE(dialog.choice().name, QStringLiteral("WenQuanYi Zen Hei"));
    QCOMPARE(dialog.choice().size, 12.f);
}

QTEST_MAIN(FontDialogTest)
#include "tst_fontdialog.moc"
