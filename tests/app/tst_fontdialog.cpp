#include "FontColorDialog.h"
#include "FontSetup.h"

#include <QFontDialog>
#include <QTest>

// The font dialog hands back the box's own font when nothing was changed (宋体 included,
// though it is only a substitution here) and another face by its name.
class FontDialogTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerFontSubstitutions(); }
    void choice_data() {
        QTest::addColumn<QString>("face");
        QTest::addColumn<QString>("picked"); // in the dialog; empty: nothing
        QTest::newRow("substituted 宋体") << "宋体"
                                          << "";
        QTest::newRow("installed face") << "WenQuanYi Zen Hei"
                                        << "";
        QTest::newRow("another face picked") << "宋体"
                                             << "WenQuanYi Zen Hei";
    }
    void choice() {
        QFETCH(QString, face);
        QFETCH(QString, picked);
        FontColorDialog dialog(FontChoice{face, 10.5f, true, false, true, false, 0x0000FF});
        if (!picked.isEmpty())
            dialog.findChild<QFontDialog*>()->setCurrentFont(QFont(picked, 12));
        const FontChoice c = dialog.choice();
        QCOMPARE(c.name, picked.isEmpty() ? face : picked);
        QCOMPARE(c.size, picked.isEmpty() ? 10.5f : 12.f);
        QCOMPARE(c.color, 0x0000FFu); // red in the low byte, as the box holds it
        if (picked.isEmpty())
            QVERIFY(c.bold && !c.italic && c.underline);
    }
};

QTEST_MAIN(FontDialogTest)
#include "tst_fontdialog.moc"
