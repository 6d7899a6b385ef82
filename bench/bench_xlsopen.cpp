// Opening two workbooks with our reader beside python3-xlrd, in the same run: one of 60,000
// number formats and 60,000 cell formats, and a full 65,536 x 256 sheet of numbers and short
// texts. The files are made and every open runs in a fresh process (this program again, or
// python3) started by a small parent, so each peak memory is that open's own: a child
// counts the memory of the process it was started from. Figures go to stdout.
#include "BiffRecords.h"
#include "CompoundFile.h"
#include "XlsWorkbookReader.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int Formats = 60000;
constexpr int FirstCustomFormat = 164;
constexpr int StandardXfs = 16;
constexpr int SheetRows = 65536;
constexpr int SheetColumns = 256;

class Builder {
public:
    QByteArray bytes;
    void u8(int v) { bytes.append(static_cast<char>(v)); }
    void u16(int v) {
        u8(v & 0xFF);
        u8((v >> 8) & 0xFF);
    }
    void u32(quint32 v) {
        u16(static_cast<int>(v & 0xFFFF));
        u16(static_cast<int>(v >> 16));
    }
    void f64(double d) {
        quint64 bits = 0;
        std::memcpy(&bits, &d, sizeof bits);
        u32(static_cast<quint32>(bits));
        u32(static_cast<quint32>(bits >> 32));
    }
    void wide(const QString& s) {
        for (const QChar c : s)
            u16(c.unicode());
    }
    qsizetype begin(quint16 type) {
        u16(type);
        u16(0);
        return bytes.size();
    }
    void end(qsizetype start) {
        const qsizetype length = bytes.size() - start;
        bytes[start - 2] = static_cast<char>(length & 0xFF);
        bytes[start - 1] = static_cast<char>(length >> 8);
    }
    qsizetype room(qsizetype start) const { return Biff::MaxRecordData - (bytes.size() - start); }
    void bof(int kind) {
        const qsizetype r = begin(Biff::Bof);
        u16(Biff::Version8);
        u16(kind);
        u32(0);
        u32(0);
        end(r);
    }
    void cellHead(int row, int column, int xf) {
        u16(row);
        u16(column);
        u16(xf);
    }
};

// A workbook of one sheet: `formats` custom number formats with one XF record each after the
// standard ones, the shared strings, and the sheet's cells.
QByteArray workbook(int formats, const QStringList& shared, int rows, int columns,
                    const std::function<void(Builder&)>& cells) {
    Builder b;
    b.bof(Biff::BofWorkbookGlobals);
    qsizetype r = b.begin(Biff::CodePage);
    b.u16(1200);
    b.end(r);
    for (int i = 0; i < formats; ++i) {
        const QString code = QStringLiteral("0.00\"k%1\"").arg(i);
        r = b.begin(Biff::Format);
        b.u16(FirstCustomFormat + i);
        b.u16(static_cast<int>(code.size()));
        b.u8(0);
        b.bytes.append(code.toLatin1());
        b.end(r);
    }
    for (int i = 0; i < StandardXfs + formats; ++i) {
        r = b.begin(Biff::Xf);
        b.u16(0);
        b.u16(i < StandardXfs ? 0 : FirstCustomFormat + i - StandardXfs);
        b.u16(i < StandardXfs - 1 ? 0xFFF5 : 0x0001);
        for (int k = 0; k < 14; ++k)
            b.u8(0);
        b.end(r);
    }
    r = b.begin(Biff::BoundSheet);
    const qsizetype sheetOffsetAt = b.bytes.size();
    b.u32(0);
    b.u16(0);
    b.u8(6);
    b.u8(0);
    b.bytes.append("Sheet1");
    b.end(r);
    // Short texts never straddle records: a full record goes on in a CONTINUE record.
    r = b.begin(Biff::Sst);
    b.u32(static_cast<quint32>(shared.size()));
    b.u32(static_cast<quint32>(shared.size()));
    for (const QString& text : shared) {
        if (b.room(r) < 3 + 2 * text.size()) {
            b.end(r);
            r = b.begin(Biff::Continue);
        }
        b.u16(static_cast<int>(text.size()));
        b.u8(1);
        b.wide(text);
    }
    b.end(r);
    r = b.begin(Biff::Eof);
    b.end(r);

    const auto offset = static_cast<quint32>(b.bytes.size());
    for (int i = 0; i < 4; ++i)
        b.bytes[sheetOffsetAt + i] = static_cast<char>((offset >> (8 * i)) & 0xFF);
    b.bof(Biff::BofWorksheet);
    r = b.begin(Biff::Dimensions);
    b.u32(0);
    b.u32(static_cast<quint32>(rows));
    b.u16(0);
    b.u16(columns);
    b.u16(0);
    b.end(r);
    cells(b);
    r = b.begin(Biff::Eof);
    b.end(r);
    return CompoundFileWithWorkbook(b.bytes);
}

QByteArray formatsWorkbook() {
    return workbook(Formats, {QStringLiteral("文本")}, 100, 4, [](Builder& b) {
        for (int row = 0; row < 100; ++row)
            for (int column = 0; column < 4; ++column) {
                const qsizetype r = b.begin(Biff::Number);
                b.cellHead(row, column, StandardXfs + (row * 4 + column) * 149 % Formats);
                b.f64(row * 1.25 + column);
                b.end(r);
            }
    });
}

// Every fourth column whole numbers (RK), every fourth other numbers (NUMBER), the rest
// short texts from 128,000 shared ones.
QByteArray fullSheetWorkbook() {
    QStringList shared;
    for (int i = 0; i < 1000; ++i)
        for (int k = 0; k < SheetColumns / 2; ++k)
            shared.append(QStringLiteral("品名%1-%2").arg(i).arg(k));
    return workbook(0, shared, SheetRows, SheetColumns, [](Builder& b) {
        b.bytes.reserve(qsizetype(SheetRows) * SheetColumns * 16 + (qsizetype(1) << 24));
        for (int row = 0; row < SheetRows; ++row)
            for (int column = 0; column < SheetColumns; ++column) {
                if (column % 4 == 0) {
                    const qsizetype r = b.begin(Biff::Rk);
                    b.cellHead(row, column, 15);
                    b.u32(static_cast<quint32>(row * SheetColumns + column) << 2 | 0x02);
                    b.end(r);
                } else if (column % 4 == 1) {
                    const qsizetype r = b.begin(Biff::Number);
                    b.cellHead(row, column, 15);
                    b.f64(row / 7.0 + column);
                    b.end(r);
                } else {
                    const qsizetype r = b.begin(Biff::LabelSst);
                    b.cellHead(row, column, 15);
                    b.u32(static_cast<quint32>((row % 1000) * (SheetColumns / 2) + column / 2));
                    b.end(r);
                }
            }
    });
}

struct Run {
    bool ok = false;
    double wallMs = 0;
    double peakMb = 0;
    std::string out;
};

// Runs a program to its end; its peak resident memory comes from the kernel.
Run run(const std::vector<std::string>& args) {
    Run result;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    char buffer[4096];
    for (ssize_t n = 0; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        result.out.append(buffer, static_cast<std::size_t>(n));
    close(pipeEnds[0]);
    if (spawned != 0)
        return result;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    result.wallMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    result.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

// The run with the median time of `runs`.
Run median(int runs, const std::vector<std::string>& args) {
    std::vector<Run> all;
    for (int i = 0; i < runs; ++i)
        all.push_back(run(args));
    std::sort(all.begin(), all.end(),
              [](const Run& a, const Run& b) { return a.wallMs < b.wallMs; });
    return all[all.size() / 2];
}

// The child's part: one open of the workbook and its first sheet.
int openOnce(const QString& path) {
    QElapsedTimer timer;
    timer.start();
    XlsWorkbookReader reader;
    const bool ok = reader.open(path) && reader.selectSheet(reader.sheetNames().value(0));
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    std::printf("%.1f ms in the reader, %d x %d, last cell \"%s\"%s", ms, reader.rowCount(),
                reader.columnCount(),
                qPrintable(reader.cellText(reader.rowCount() - 1, reader.columnCount() - 1)),
                ok ? "" : " FAILED");
    return ok ? 0 : 1;
}

} // namespace

const std::function<QByteArray()> Makers[] = {formatsWorkbook, fullSheetWorkbook};

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--open") == 0)
        return openOnce(QString::fromLocal8Bit(argv[2]));
    if (argc == 4 && std::strcmp(argv[1], "--make") == 0) {
        const QByteArray bytes = Makers[std::atoi(argv[2])]();
        QFile file(QString::fromLocal8Bit(argv[3]));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? 0 : 1;
    }
    QTemporaryDir dir;
    const std::string self =
        QFileInfo(QString::fromLocal8Bit(argv[0])).absoluteFilePath().toStdString();
    const std::string xlrd = "import xlrd, sys; xlrd.open_workbook(sys.argv[1])";
    struct Case {
        const char* name;
        int ourRuns;
        int xlrdRuns;
    };
    const Case cases[] = {{"60,000 FORMAT + 60,000 XF records", 5, 3},
                          {"full 65,536 x 256 sheet", 3, 1}};
    for (int i = 0; i < 2; ++i) {
        const Case& c = cases[i];
        const QString path = dir.filePath(QStringLiteral("w.xls"));
        const std::string file = path.toStdString();
        if (!run({self, "--make", std::to_string(i), file}).ok)
            return 1;
        const Run ours = median(c.ourRuns, {self, "--open", file});
        const Run theirs = median(c.xlrdRuns, {"/usr/bin/python3", "-c", xlrd, file});
        std::printf("%s (%.1f MB file)\n", c.name, QFileInfo(path).size() / 1e6);
        std::printf("  ours %9.0f ms %8.1f MB peak   (%s)%s\n", ours.wallMs, ours.peakMb,
                    ours.out.c_str(), ours.ok ? "" : " FAILED");
        std::printf("  xlrd %9.0f ms %8.1f MB peak%s   time ratio ours/xlrd %.3f\n", theirs.wallMs,
                    theirs.peakMb, theirs.ok ? "" : " FAILED", ours.wallMs / theirs.wallMs);
        std::fflush(stdout);
        QFile::remove(path);
    }
    return 0;
}
