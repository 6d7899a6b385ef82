#include "CompletionPopup.h"
#include "WindowSession.h"

#include "../excel/ExcelOracles.h"

#include <QComboBox>
#include <QDialog>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStringEncoder>
#include <QTimer>

namespace {

constexpr int Port = 5; // a single-line box

QListWidget* list() {
    auto* popup = named<CompletionPopup>(QStringLiteral("输入提示"));
    return popup && popup->isVisible() ? popup->findChild<QListWidget*>() : nullptr;
}

QStringList listed() {
    QStringList rows;
    if (QListWidget* l = list())
        for (int i = 0; i < l->count(); ++i)
            rows.append(l->item(i)->text());
    return rows;
}

// Types `text` into an emptied box as the clerk does.
void typeInto(WindowSession& s, const QString& text) {
    QWidget* box = s.box(Port);
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());
    static_cast<QLineEdit*>(box)->clear();
    s.form().setText(Port, {});
    // Chinese comes from an input method, as one commit.
    QInputMethodEvent commit;
    commit.setCommitString(text);
    text.front().unicode() < 128 ? QTest::keyClicks(box, text) : void(QApplication::sendEvent(box, &commit));
}

} // namespace

// The list of earlier texts and codes under the box being typed in: its keys, and code
// tables brought from a workbook or a CSV file through "代码表…".
class CompletionPopupTest : public QObject {
    Q_OBJECT
private slots:
    void keysTakeOrClose();
    void codeTableImported_data();
    void codeTableImported();
};

void CompletionPopupTest::keysTakeOrClose() {
    WindowSession s;
    {
        DataBase db(s.dbPath);
        const auto save = [&](double dat, const QString& text) {
            QVERIFY(db.appendNewRecord(Mode::Import, dat, [&](int i) { return i == Port ? text : QString(); }));
        };
        save(45000, QStringLiteral("NINGBO"));
        save(45001, QStringLiteral("Ningbo Beilun"));
        save(45002, QStringLiteral("Ningbo Beilun"));
        save(45003, QStringLiteral("宁波ningbo"));
    }
    s.start();
    QVERIFY(!s.page()->boxWidget(Port)->inherits("QPlainTextEdit"));
    typeInto(s, QStringLiteral("nin"));
    QCOMPARE(listed(), QStringList({QStringLiteral("Ningbo Beilun"), QStringLiteral("宁波ningbo"),
                                    QStringLiteral("NINGBO")}));
    // Moving through the list changes no text; Esc closes it.
    QTest::keyClick(s.box(Port), Qt::Key_Down);
    QTest::keyClick(s.box(Port), Qt::Key_Down);
    QCOMPARE(s.shown(Port), QStringLiteral("nin"));
    QTest::keyClick(s.box(Port), Qt::Key_Escape);
    QVERIFY(!list());
    QCOMPARE(s.form().text(Port), QStringLiteral("nin"));
    // Down twice and Enter take the second line into the box and the model.
    QTest::keyClick(s.box(Port), Qt::Key_Backspace);
    QCOMPARE(listed().size(), 3);
    QTest::keyClick(s.box(Port), Qt::Key_Down);
    QTest::keyClick(s.box(Port), Qt::Key_Down);
    QTest::keyClick(s.box(Port), Qt::Key_Up);
    QTest::keyClick(s.box(Port), Qt::Key_Down);
    QTest::keyClick(s.box(Port), Qt::Key_Return);
    QVERIFY(!list());
    QCOMPARE(s.form().text(Port), QStringLiteral("宁波ningbo"));
    QVERIFY(s.box(Port)->hasFocus());
    // Enter with no line chosen goes on to the next box and keeps the typed text.
    typeInto(s, QStringLiteral("beil"));
    QVERIFY(list());
    QTest::keyClick(s.box(Port), Qt::Key_Return);
    QVERIFY(!list());
    QVERIFY(!s.box(Port)->hasFocus());
    QCOMPARE(s.form().text(Port), QStringLiteral("beil"));
    s.close();
}

void CompletionPopupTest::codeTableImported_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("workbook by another program") << "xls";
    QTest::newRow("CSV, UTF-8 with BOM") << "utf8";
    QTest::newRow("CSV, GBK") << "gbk";
}

void CompletionPopupTest::codeTableImported() {
    QFETCH(QString, kind);
    WindowSession s;
    const QString path = s.folder.file(QStringLiteral("codes.") + (kind == u"xls" ? QStringLiteral("xls") : QStringLiteral("csv")));
    // A title row, a numeric code cell, a quoted name with a comma, a print text.
    if (kind == u"xls") {
        const ExcelOracles::Script writer{"/usr/bin/perl", R"PL(
use strict; use warnings; use utf8; use Spreadsheet::WriteExcel;
my $book = Spreadsheet::WriteExcel->new($ARGV[0]) or die; my $s = $book->add_worksheet('代码');
$s->write_string(0, $_->[0], $_->[1]) for [0, '代码'], [1, '名称'], [2, '打印'];
$s->write_string(1, 0, '0110'); $s->write_string(1, 1, '一般贸易, 出口');
$s->write_number(2, 0, 1210); $s->write_string(2, 1, '保税电商'); $s->write_string(2, 2, '电商');
$book->close() or die;
)PL"};
        ExcelOracles::run(s.folder.path(), writer, {path});
    } else {
        const QString text = QStringLiteral("代码,名称,打印\r\n0110,\"一般贸易, 出口\"\r\n1210,保税电商,电商\r\n");
        QByteArray bytes = kind == u"gbk" ? QStringEncoder("GB18030").encode(text)
                                          : QByteArray("\xEF\xBB\xBF") + text.toUtf8();
        QVERIFY(TestFolder::write(path, bytes));
    }
    s.start();
    s.dialogs.openFiles.enqueue(path);
    QString readLine;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        auto* boxes = named<QComboBox>(QStringLiteral("栏目"));
        if (!dialog || !boxes)
            return;
        boxes->setCurrentIndex(boxes->findData(Port));
        click(QStringLiteral("选择文件…"));
        for (QLabel* label : dialog->findChildren<QLabel*>())
            if (label->text().startsWith(QStringLiteral("已读取")))
                readLine = label->text();
        click(QStringLiteral("导入"));
        click(QStringLiteral("关闭"));
    });
    click(QStringLiteral("代码表…"));
    QCOMPARE(readLine, QStringLiteral("已读取2行：") + QFileInfo(path).fileName());
    QCOMPARE(s.dialogs.messages(), QStringList());
    s.activate();
    typeInto(s, QStringLiteral("出口"));
    QCOMPARE(listed(), QStringList{QStringLiteral("0110 一般贸易, 出口")});
    typeInto(s, QStringLiteral("电"));
    QCOMPARE(listed(), QStringList{QStringLiteral("1210 保税电商")});
    QTest::keyClick(s.box(Port), Qt::Key_Down);
    QTest::keyClick(s.box(Port), Qt::Key_Enter);
    QCOMPARE(s.form().text(Port), QStringLiteral("电商"));
    // Before paper, the picked print text passes the code table, a code it lacks does not
    // (the box, a date box in this mode, is also checked as a date either way).
    const auto findings = [&] {
        s.dialogs.shown.clear();
        s.dialogs.yesNo.enqueue(false);
        click(QStringLiteral("打   印"));
        return s.dialogs.shown.value(0).text;
    };
    QCOMPARE(findings(), QStringLiteral("发现1处可能的错误，是否仍然打印？"));
    s.form().setText(Port, QStringLiteral("9999 其他"));
    QCOMPARE(findings(), QStringLiteral("发现2处可能的错误，是否仍然打印？"));
    s.close();
}

QTEST_MAIN(CompletionPopupTest)
#include "tst_completionpopup.moc"
