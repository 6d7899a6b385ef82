#include "BiffRecords.h"
#include "CompoundFile.h"
#include "ExcelOracles.h"
#include "TestFolder.h"
#include "XlsWorkbookReader.h"
#include "XlsWorkbookWriter.h"

#include <QTest>
#include <QtEndian>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

// The faults of FreeXL 1.0.6 that are why the program reads workbooks with its own reader.
// The day a case here fails, FreeXL has been fixed for that fault and we could switch to it.
class FreeXlFaultsTest : public QObject {
    Q_OBJECT
private slots:
    void textOverManyRecordsIsMisread();
    void damagedWorkbookCrashesOpen();

private:
    TestFolder m_folder;
};

void FreeXlFaultsTest::textOverManyRecordsIsMisread() {
    // 10,000 CJK characters take three CONTINUE records after the shared-string record.
    QString text;
    for (int i = 0; i < 10000; ++i)
        text += QChar(0x4E00 + i % 500);
    XlsWorkbookWriter writer(1);
    writer.setText(writer.addRow(), 0, text);
    const QString path = m_folder.file(QStringLiteral("long.xls"));
    QVERIFY(TestFolder::write(path, writer.fileBytes()));
    // What FreeXL makes of it differs from run to run; it is never the text.
    const auto theirs = ExcelOracles::readWithFreeXl(path);
    QVERIFY(theirs.empty() || theirs[0].value(0) != text);
    XlsWorkbookReader ours;
    QVERIFY(ours.open(path) && ours.selectSheet(QStringLiteral("Sheet1")));
    QCOMPARE(ours.cellText(0, 0), text);
}

void FreeXlFaultsTest::damagedWorkbookCrashesOpen() {
    // Texts of 3,000 CJK characters; the first one's option byte then says one byte per
    // character where there are two, so FreeXL reads past its buffer. Where the overread
    // lands depends on the heap, so workbooks of several sizes are tried: one crash shows it.
    QList<QByteArray> paths;
    for (int copy = 0; copy < 8; ++copy) {
        XlsWorkbookWriter writer(1);
        for (int r = 0; r < 40 + 7 * copy; ++r)
            writer.setText(writer.addRow(), 0, QString(3000, QChar(0x4E00 + r)));
        QByteArray stream = writer.workbookStream();
        qsizetype sst = 0;
        while (sst + 4 <= stream.size() &&
               qFromLittleEndian<quint16>(stream.data() + sst) != Biff::Sst)
            sst += 4 + qFromLittleEndian<quint16>(stream.data() + sst + 2);
        QVERIFY(sst + 15 <= stream.size());
        stream[sst + 14] = char(stream[sst + 14] & ~0x01);
        const QString path = m_folder.file(QStringLiteral("damaged%1.xls").arg(copy));
        QVERIFY(TestFolder::write(path, CompoundFileWithWorkbook(stream)));
        paths.append(path.toLocal8Bit());
    }

    const pid_t child = fork();
    if (child == 0) {
        // The crash itself ends the child, not the sanitizer's report of it; a hang ends in
        // the alarm, which is no crash.
        std::signal(SIGSEGV, SIG_DFL);
        std::signal(SIGBUS, SIG_DFL);
        alarm(60);
        for (const QByteArray& path : paths) {
            const void* handle = nullptr;
            if (freexl_open(path.constData(), &handle) == FREEXL_OK)
                freexl_close(handle);
        }
        _exit(0);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    if (!WIFSIGNALED(status))
        QSKIP("FreeXL read past its buffer without crashing in this run");
    QVERIFY(WTERMSIG(status) == SIGSEGV || WTERMSIG(status) == SIGBUS);
    XlsWorkbookReader ours;
    QVERIFY(!(ours.open(QString::fromLocal8Bit(paths.first())) &&
              ours.selectSheet(QStringLiteral("Sheet1"))));
    QCOMPARE(ours.failure(), XlsWorkbookReader::Failure::Damaged);
}

QTEST_GUILESS_MAIN(FreeXlFaultsTest)
#include "tst_freexlfaults.moc"
