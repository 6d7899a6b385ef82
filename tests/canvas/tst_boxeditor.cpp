#include "BoxEditor.h"
#include "Form.h"
#include "ScriptedDialogs.h"

#include <QTest>

// The limits of box editing: a drag of the resize grip stops at the smallest box, font
// sizes stay between their bounds and only the boxes meant change.
class BoxEditorTest : public QObject {
    Q_OBJECT
private slots:
    void limits() {
        Form form;
        ScriptedDialogs dialogs;
        BoxEditor editor(form, dialogs);
        editor.setLocked(false);
        form.setGeometry(0, 1000, 1000, 500, 270);
        editor.boxMouseMove(0, Qt::NoButton, QPointF(450, 230)); // on the resize grip
        editor.boxMouseMove(0, Qt::LeftButton, QPointF(-2000, -2000));
        QCOMPARE(QSizeF(form.box(0).width, form.box(0).height),
                 QSizeF(Form::MinimumExtent, Form::MinimumExtent));
        form.setSelected(4, true);
        form.FontSizeChange(-1, -20); // the selected boxes
        QCOMPARE(form.box(4).fontSize, Form::MinimumFontSize);
        form.FontSizeChange(4, 1000);
        QCOMPARE(form.box(4).fontSize, Form::MaximumFontSize);
        QCOMPARE(form.box(5).fontSize, 9.f);
    }
};

QTEST_GUILESS_MAIN(BoxEditorTest)
#include "tst_boxeditor.moc"
