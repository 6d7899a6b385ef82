#include "CodeTables.h"
#include "CompletionIndex.h"
#include "Form.h"
#include "OfficeFixture.h"
#include "TestFolder.h"

namespace {

QStringList shown(const QList<CompletionChoice>& choices) {
    QStringList texts;
    for (const CompletionChoice& c : choices)
        texts.append(c.shown);
    return texts;
}

} // namespace

// What a box offers while the clerk types, read from the histories and the code tables of
// the local file and of the office server alike.
class CompletionTest : public QObject {
    Q_OBJECT
private slots:
    void offered_data();
    void offered();
};

void CompletionTest::offered_data() {
    QTest::addColumn<bool>("onServer");
    QTest::newRow("local file") << false;
    QTest::newRow("office server") << true;
}

void CompletionTest::offered() {
    QFETCH(bool, onServer);
    TestFolder folder;
    std::optional<OfficeFixture> office;
    if (onServer) {
        office.emplace();
        NEED_OFFICE(*office);
    }
    std::unique_ptr<DataBase> db = onServer ? office->clerk()
                                            : std::make_unique<DataBase>(folder.file(QStringLiteral("Par.db")));
    constexpr int Box = 5;
    const auto save = [&](Mode mode, double dat, const QString& text) {
        QVERIFY(db->appendNewRecord(mode, dat, [&](int i) { return i == Box ? text : QString(); }));
    };
    save(Mode::Export, 45000, QStringLiteral("Port A"));
    save(Mode::Export, 45001, QStringLiteral("Port A"));
    save(Mode::Export, 45002, QStringLiteral("port b"));
    save(Mode::Import, 45003, QStringLiteral("port b"));
    save(Mode::Export, 44000, QStringLiteral("上海Port"));
    save(Mode::Import, 44001, QStringLiteral("上海Port"));
    save(Mode::Import, 44002, QStringLiteral("上海Port"));
    save(Mode::Export, 45004, QStringLiteral("行1\r\n行2"));
    // The working record is no earlier declaration.
    int working = WorkingRecordOrd;
    Form form;
    form.setText(Box, QStringLiteral("Port W"));
    QVERIFY(db->SaveHistoryRecord(form, Mode::Export, working));

    CodeTables codes(*db);
    CompletionIndex index(*db, codes);
    // Most used first, then most recent; Latin in either case; any part of the text.
    QCOMPARE(shown(index.choices(Box, QStringLiteral("PORT"))),
             QStringList({QStringLiteral("上海Port"), QStringLiteral("port b"), QStringLiteral("Port A")}));
    QCOMPARE(shown(index.choices(Box, QStringLiteral("海p"))), QStringList{QStringLiteral("上海Port")});
    QCOMPARE(index.choices(Box, QStringLiteral("行")).value(0).taken, QStringLiteral("行1\r\n行2"));
    QVERIFY(index.choices(Box + 1, QStringLiteral("Port")).isEmpty());
    // A record saved later counts at once.
    save(Mode::Import, 45010, QStringLiteral("Port A"));
    save(Mode::Import, 45011, QStringLiteral("Port A"));
    QCOMPARE(index.choices(Box, QStringLiteral("port")).value(0).shown, QStringLiteral("Port A"));

    // Codes match by code or name and put in the text to print, or the code.
    QCOMPARE(codes.knownCode(Box, QStringLiteral("0110")), std::nullopt);
    QVERIFY(codes.replace(Box, {{QStringLiteral("0110"), QStringLiteral("一般贸易"), {}},
                                {QStringLiteral("1210"), QStringLiteral("保税电商"), QStringLiteral("电商")}}));
    CodeTables again(*db); // read back from the store, not from what was written
    CompletionIndex fresh(*db, again);
    const QList<CompletionChoice> byName = fresh.choices(Box, QStringLiteral("贸易"));
    QCOMPARE(shown(byName), QStringList{QStringLiteral("0110 一般贸易")});
    QCOMPARE(byName[0].taken, QStringLiteral("0110"));
    QCOMPARE(fresh.choices(Box, QStringLiteral("121")).value(0).taken, QStringLiteral("电商"));
    QCOMPARE(again.knownCode(Box, QStringLiteral("0110 一般贸易")), std::optional(true));
    QCOMPARE(again.knownCode(Box, QStringLiteral("01101")), std::optional(false));
    QCOMPARE(again.knownCode(Box + 1, QStringLiteral("0110")), std::nullopt);
}

QTEST_MAIN(CompletionTest)
#include "tst_completion.moc"
