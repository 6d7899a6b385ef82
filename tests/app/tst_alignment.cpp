// Lining the boxes up with the paper form: one undo step per slip, the scanned form behind
// the page and the print preview beside the printed page.
#include "../print/PrintFixture.h"
#include "FormScanDialog.h"
#include "Layouts.h"
#include "PrintJob.h"
#include "PrintPreview.h"
#include "SelDialog.h"
#include "WindowSession.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QTimer>

namespace {

constexpr double TwipsPerMm = 7935.0 / 210.0;
// The black patch of the test scan, in millimetres: above the title, clear of every box.
const QRectF Patch(20, 5, 20, 10);

// The main window, active so that its shortcuts answer the keys, with the layout unlocked.
struct Window : WindowSession {
    explicit Window(QSize screen = QSize(1280, 1024)) {
        start(screen);
        named<QCheckBox>(QStringLiteral("锁定格式"))->setChecked(false);
    }

    // Keys to the control with the focus; to the page when nothing has it.
    void keys(QKeyCombination key, int times = 1) const {
        if (!QApplication::focusWidget()) {
            activate();
            page()->setFocus();
        }
        for (int n = 0; n < times; ++n)
            QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
    }
    // What a step can change: geometry, font and caption place of every box, and the texts.
    QStringList state() const {
        QStringList all;
        for (int i = 0; i < BoxCount; ++i) {
            const Box& b = form().box(i);
            const Label& l = form().label(i);
            for (float v : {b.left, b.top, b.width, b.height, b.fontSize, l.left, l.top})
                all << QString::number(v);
            all << b.fontName << b.text;
        }
        return all;
    }

    // "设置底图…" with our drawing of a blank form (the patch, 5 px/mm) or another file.
    void setScan(double offsetXMm, QString file = {}) {
        if (file.isEmpty()) {
            QImage image(1050, 1485, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter(&image).fillRect(QRectF(Patch.topLeft() * 5, Patch.size() * 5), Qt::black);
            image.save(file = folder.file(QStringLiteral("form.png")));
        }
        QTimer::singleShot(0, [this, file, offsetXMm] {
            QVERIFY(qobject_cast<FormScanDialog*>(QApplication::activeModalWidget()));
            dialogs.openFiles.enqueue(file);
            named(QStringLiteral("选择底图"))->click();
            named<QDoubleSpinBox>(QStringLiteral("横向偏移"))->setValue(offsetXMm);
            named(QStringLiteral("确   定"))->click();
        });
        named(QStringLiteral("设置底图…"))->click();
    }
    // How much darker than the canvas colour the page shows a point, in millimetres.
    int darkening(QPointF mm) const {
        const QImage shown = page()->grab().toImage();
        const QPoint at = page()->pageToPixel(mm * TwipsPerMm).toPoint();
        return qGray(page()->backColor().rgb()) - qGray(shown.pixel(at));
    }
    // The ink of a printed page inside a rectangle in millimetres, at 50 dpi.
    PrintCheck::Ink ink(const QString& pdf, const QRectF& mm) const {
        const QImage sheet = PrintCheck::renderPage(pdf, folder.path(), 50);
        return PrintCheck::inkOf(
            sheet.copy(QRectF(mm.topLeft() * 50 / 25.4, mm.size() * 50 / 25.4).toRect()), 50);
    }
};

} // namespace

class AlignmentTest : public QObject {
    Q_OBJECT
private slots:
    void oneSlipIsOneStep_data();
    void oneSlipIsOneStep();
    void undoKeepsTypedTexts_data();
    void undoKeepsTypedTexts();
    void scanBehindThePage();
    void previewShowsWhatPrints();
};

void AlignmentTest::oneSlipIsOneStep_data() {
    QTest::addColumn<QString>("slip");
    for (const char* slip : {"drag", "second drag", "arrow run", "layout load", "clear"})
        QTest::newRow(slip) << QString::fromLatin1(slip);
}

// One Ctrl+Z undoes a slip, Ctrl+Y and Ctrl+Shift+Z redo it (after a drag from the box).
void AlignmentTest::oneSlipIsOneStep() {
    QFETCH(QString, slip);
    Window w;
    const int a = 2, b = 3;
    w.form().setText(a, QStringLiteral("宁波甬港进出口有限公司"));
    DataBase db(w.dbPath);
    Layouts(db).SaveLayout(w.form(), QStringLiteral("kept"));
    const QStringList kept = w.state();
    QStringList before = kept;
    w.form().setSelected(a, true);
    w.form().setSelected(b, true);
    w.page()->setFocus();

    if (slip.endsWith(QLatin1String("drag"))) {
        if (slip == QLatin1String("second drag")) { // two drags are two steps
            w.dragBox(a, QPointF(30, 30), QPointF(600, 450));
            before = w.state();
        }
        w.dragBox(a, QPointF(30, 30), QPointF(600, 450));
    } else if (slip == QLatin1String("arrow run")) {
        w.keys(Qt::Key_Left, 4);
        w.keys(Qt::Key_Up, 3);
    } else if (slip == QLatin1String("layout load")) {
        w.form().CtlSelect(false);
        for (int i = 0; i < BoxCount; ++i)
            w.form().CtlMove(i, 100, 50);
        before = w.state(); // undo brings back the moved boxes
        click(QStringLiteral("读 取 格 式"));
        w.mf->findChild<Sel*>()->nameBox()->setEditText(QStringLiteral("kept"));
        click(w.mf->findChild<Sel*>()->okButton());
        QCOMPARE(w.state(), kept); // every box where the layout put it
    } else {
        click(QStringLiteral("清 空 内 容"));
    }
    const QStringList after = w.state();
    QVERIFY(after != before);

    w.keys(Qt::ControlModifier | Qt::Key_Z);
    QCOMPARE(w.state(), before);
    w.keys(Qt::ControlModifier | Qt::Key_Y);
    QCOMPARE(w.state(), after);
    w.keys(Qt::ControlModifier | Qt::Key_Z);
    w.keys(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_Z);
    QCOMPARE(w.state(), after);
    if (slip != QLatin1String("clear"))
        return;
    // Inside a box Ctrl+Z undoes its typing; a clear is never undone into the other mode.
    QWidget* box = w.box(7);
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("ABC"));
    w.keys(Qt::ControlModifier | Qt::Key_Z);
    QCOMPARE(w.form().text(7) + w.form().text(a), QString());
    w.tabs("SS1")->setCurrentIndex(0);
    w.form().setText(a, QStringLiteral("出口的发货单位"));
    w.keys(Qt::ControlModifier | Qt::Key_Z);
    QCOMPARE(w.form().text(a), QStringLiteral("出口的发货单位"));
}

void AlignmentTest::undoKeepsTypedTexts_data() {
    // Each key goes to the box that Enter entered after the typing, or to the page.
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("texts"); // boxes 2, 3 and 4 afterwards
    QTest::addColumn<float>("moved");       // by the Right arrow on the page, kept or undone
    const QStringList cleared{"", "typed", ""}, back{"A2", "typed", "A4"};
    QTest::newRow("Ctrl+Z in the box") << QStringList{"box Z", "box Z"} << cleared << 0.f;
    QTest::newRow("Ctrl+Z, Ctrl+Y in the box") << QStringList{"box Z", "box Y"} << cleared << 0.f;
    QTest::newRow("Ctrl+Z on the page") << QStringList{"page Z"} << back << 0.f;
    QTest::newRow("Ctrl+Z on the page, Ctrl+Y in the box")
        << QStringList{"page Z", "box Y", "box ShiftZ"} << back << 0.f;
    QTest::newRow("Ctrl+Z, Ctrl+Shift+Z, Ctrl+Z on the page")
        << QStringList{"page Z", "page ShiftZ", "page Z"} << back << 0.f;
    QTest::newRow("Ctrl+Z, typing, Ctrl+Y on the page")
        << QStringList{"page Z", "A2 X", "page Y"} << QStringList{"A2X", "typed", ""} << 0.f;
    QTest::newRow("a move after the typing, Ctrl+Z in the box")
        << QStringList{"page Right", "box Z", "box Z"} << cleared << 0.f;
    QTest::newRow("a move after the typing, Ctrl+Z, Ctrl+Y in the box")
        << QStringList{"page Right", "box Z", "box Y"} << cleared << 10.f;
}

// After a clear the clerk types a new declaration: no undo or redo, from a box just entered
// or from the page, writes over or empties what was typed since.
void AlignmentTest::undoKeepsTypedTexts() {
    QFETCH(QStringList, keys);
    QFETCH(QStringList, texts);
    QFETCH(float, moved);
    Window w;
    for (int i : {2, 3, 4})
        w.form().setText(i, QStringLiteral("A%1").arg(i));
    w.form().setSelected(0, true);
    const float left = w.form().box(0).left;
    click(QStringLiteral("清 空 内 容"));
    w.box(3)->setFocus();
    QTest::keyClicks(w.box(3), QStringLiteral("typed"));
    QTest::keyClick(w.box(3), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), w.box(4));
    const QHash<QString, QKeyCombination> combination{
        {"Z", Qt::ControlModifier | Qt::Key_Z},
        {"Y", Qt::ControlModifier | Qt::Key_Y},
        {"ShiftZ", Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_Z},
        {"Right", QKeyCombination(Qt::Key_Right)}};
    for (const QString& key : keys) {
        const QStringList where = key.split(u' ');
        if (where[0] == QLatin1String("A2")) { // typing at the end of box 2
            w.box(2)->setFocus();
            QTest::keyClicks(w.box(2), where[1]);
            continue;
        }
        QWidget* target = where[0] == QLatin1String("box") ? w.box(4) : w.page();
        target->setFocus();
        QTest::keyClick(target, combination[where[1]].key(),
                        combination[where[1]].keyboardModifiers());
    }
    QCOMPARE((QStringList{w.form().text(2), w.form().text(3), w.form().text(4)}), texts);
    QCOMPARE(w.form().box(0).left, left + moved);
}

void AlignmentTest::scanBehindThePage() {
    Window w(QSize(1024, 768));
    QVERIFY(!named(QStringLiteral("显示底图"))->isChecked());
    w.setScan(10);
    QVERIFY(named(QStringLiteral("显示底图"))->isChecked());
    // The patch, 10 mm to the right; the paper around it keeps the mode's colour.
    const QPointF inside = Patch.center() + QPointF(10, 0);
    QVERIFY2(w.darkening(inside) > 60, qPrintable(QString::number(w.darkening(inside))));
    QCOMPARE(w.darkening(Patch.center() - QPointF(12, 0)), 0);

    // An unreadable file is refused with a message naming it; the scan shown stays.
    const QString broken = w.folder.file(QStringLiteral("broken.png"));
    QVERIFY(TestFolder::write(broken, "\x89PNG\r\n\x1a\n not really"));
    w.setScan(10, broken);
    QVERIFY(w.dialogs.messages().value(0).contains(QStringLiteral("broken.png")));
    QVERIFY(w.darkening(inside) > 60);

    // The export form has no scan of its own; unticking hides the import one.
    w.tabs("SS1")->setCurrentIndex(0);
    QCOMPARE(w.darkening(inside), 0);
    w.tabs("SS1")->setCurrentIndex(1);
    named(QStringLiteral("显示底图"))->click();
    QCOMPARE(w.darkening(inside), 0);
}

// The preview's page beside the printed page: the same texts in the same places, the scan
// on the preview only and at paper coordinates, overflow marked on the preview and page.
void AlignmentTest::previewShowsWhatPrints() {
    Window w;
    w.setScan(0);
    PrintCheck::storeSetting(QStringLiteral("X"), QStringLiteral("15"));
    PrintCheck::storeSetting(QStringLiteral("Y"), QStringLiteral("12"));
    Form& form = w.mf->form();
    const int longBox = 19, shortBox = 21; // 成交方式, one line
    form.setText(6, QStringLiteral("宁波甬港进出口有限公司"));
    form.setText(longBox, QStringLiteral("FOB SHANGHAI CIF ROTTERDAM"));
    form.setText(shortBox, QStringLiteral("502/1.2/1"));
    form.setText(24, QStringLiteral("0")); // 件数: a finding
    const QString printed = w.folder.file(QStringLiteral("printed.pdf"));
    const QString preview = w.folder.file(QStringLiteral("preview.pdf"));
    w.dialogs.printer = [&](QPrinter& p) { return w.toPdf(p, printed); };
    w.dialogs.yesNo << true << false;               // printed despite the finding, not kept
    const qsizetype asked = w.dialogs.shown.size(); // by setting the scan
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<PrintPreviewDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        // Shown at once, no print dialog first; the finding listed beside the page.
        QCOMPARE(w.dialogs.shown.size(), asked);
        QVERIFY(named<QComboBox>(QStringLiteral("打印机")));
        QCOMPARE(named<QListWidget>(QStringLiteral("可能的错误"))->count(), 1);
        // What the preview paints, caught on a page of its own.
        QPrinter page(QPrinter::HighResolution);
        QVERIFY(w.toPdf(page, preview) && preparePrinter(page));
        emit dialog->previewWidget()->paintRequested(&page);
        dialog->printButton()->click();
    });
    named(QStringLiteral("打印预览"))->click();
    QCOMPARE(w.dialogs.allTexts().mid(asked),
             (QStringList{PrintGateMessages::findingsQuestion(1), "",
                          PrintMessages::saveRecordQuestion()}));

    const auto places = [](const QString& pdf) {
        QStringList all;
        for (const PrintCheck::Word& word : PrintCheck::words(pdf))
            all << word.text + QString::asprintf(" %.1f %.1f", word.mm.left(), word.mm.top());
        return all;
    };
    QVERIFY(!places(printed).isEmpty());
    QCOMPARE(places(preview), places(printed));

    // The scan is not moved by the calibration, which moves the texts 5 mm left, 2 mm up.
    const QRectF around = Patch.adjusted(-8, -4, 8, 4);
    QCOMPARE(w.ink(printed, around).pixels, 0);
    const QPointF patch = w.ink(preview, around).mm.topLeft() + around.topLeft();
    QVERIFY((patch - Patch.topLeft()).manhattanLength() < 1.5);

    const auto printedBox = [&](int i) {
        const Box& b = form.box(i);
        return QRectF(b.left / TwipsPerMm - 6, b.top / TwipsPerMm - 3, b.width / TwipsPerMm + 2,
                      b.height / TwipsPerMm + 2);
    };
    const auto frameInk = [&](int i) {
        return w.ink(preview, printedBox(i)).pixels - w.ink(printed, printedBox(i)).pixels;
    };
    QVERIFY2(frameInk(longBox) > 40, qPrintable(QString::number(frameInk(longBox))));
    QVERIFY2(frameInk(shortBox) < 10, qPrintable(QString::number(frameInk(shortBox))));
    const auto redFrameOnPage = [&](int i) {
        const QImage shown = w.page()->grab().toImage();
        const Box& b = form.box(i);
        const QRect r = w.page()->pageRectToPixels(QRectF(b.left, b.top, b.width, b.height));
        return QColor(shown.pixel(r.center().x(), r.top() - 2)) == QColor(230, 0, 0);
    };
    QVERIFY(redFrameOnPage(longBox));
    QVERIFY(!redFrameOnPage(shortBox));
    form.setText(longBox, QStringLiteral("FOB"));
    QVERIFY(!redFrameOnPage(longBox));
}

QTEST_MAIN(AlignmentTest)
#include "tst_alignment.moc"
