#include "CodeTableFile.h"

#include "XlsWorkbookReader.h"

#include <QFile>
#include <QStringDecoder>

namespace {

constexpr qint64 LargestCsvBytes = qint64(64) << 20;

bool isColumnTitle(const QStringList& row) {
    static const QStringList titles{QStringLiteral("代码"), QStringLiteral("编码"),
                                    QStringLiteral("编号"), QStringLiteral("code"),
                                    QStringLiteral("名称"), QStringLiteral("name")};
    for (qsizetype i = 0; i < std::min<qsizetype>(row.size(), 2); ++i)
        if (titles.contains(row[i].trimmed(), Qt::CaseInsensitive))
            return true;
    return false;
}

QList<CodeRow> codeRows(const QList<QStringList>& table) {
    QList<CodeRow> rows;
    for (qsizetype r = 0; r < table.size(); ++r) {
        const QStringList& cells = table[r];
        if (r == 0 && isColumnTitle(cells))
            continue;
        CodeRow row{cells.value(0).trimmed(), cells.value(1).trimmed(), cells.value(2).trimmed()};
        if (!row.code.isEmpty())
            rows.append(row);
    }
    return rows;
}

// UTF-8 when the bytes are UTF-8 (a BOM is dropped), otherwise GBK, as Chinese Windows
// writes CSV.
std::optional<QString> decodeCsv(const QByteArray& bytes) {
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder gbk("GB18030");
    if (!gbk.isValid())
        return std::nullopt;
    text = gbk(bytes);
    if (gbk.hasError())
        return std::nullopt;
    return text;
}

} // namespace

QList<QStringList> CodeTableFile::parseCsv(const QString& text) {
    QList<QStringList> rows;
    const qsizetype firstLineEnd = text.indexOf(u'\n');
    const QStringView firstLine = QStringView(text).left(firstLineEnd < 0 ? text.size() : firstLineEnd);
    // A table copied out of a spreadsheet comes with tabs.
    const QChar separator = !firstLine.contains(u',') && firstLine.contains(u'\t') ? u'\t' : u',';
    QStringList row;
    QString field;
    bool quoted = false;
    bool any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
            any = true;
        } else if (c == separator) {
            row.append(std::exchange(field, QString()));
            any = true;
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            if (any || !field.isEmpty()) {
                row.append(std::exchange(field, QString()));
                rows.append(std::exchange(row, QStringList()));
            }
            any = false;
        } else {
            field += c;
        }
    }
    if (any || !field.isEmpty()) {
        row.append(field);
        rows.append(row);
    }
    return rows;
}

CodeTableFile CodeTableFile::read(const QString& path) {
    CodeTableFile result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.failure = QStringLiteral("文件无法打开");
        return result;
    }
    const QByteArray head = file.peek(8);
    if (head.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1"))) {
        file.close();
        XlsWorkbookReader reader;
        if (!reader.open(path) || reader.sheetNames().isEmpty() ||
            !reader.selectSheet(reader.sheetNames().first())) {
            result.failure = QStringLiteral("不是可以读取的Excel工作簿");
            return result;
        }
        QList<QStringList> table;
        for (int r = 0; r < reader.rowCount(); ++r)
            table.append({reader.cellText(r, 0), reader.cellText(r, 1), reader.cellText(r, 2)});
        result.rows = codeRows(table);
    } else {
        if (file.size() > LargestCsvBytes) {
            result.failure = QStringLiteral("文件太大");
            return result;
        }
        const QByteArray bytes = file.readAll();
        // A newer workbook (a zip) or any other binary file is no CSV text.
        const std::optional<QString> text =
            bytes.contains('\0') || head.startsWith("PK") ? std::nullopt : decodeCsv(bytes);
        if (!text) {
            result.failure = QStringLiteral("不是Excel 97-2003工作簿（.xls），也不是UTF-8或GBK编码的CSV文件");
            return result;
        }
        result.rows = codeRows(parseCsv(*text));
    }
    if (result.rows.isEmpty())
        result.failure = QStringLiteral("文件中没有代码（第一列为代码，第二列为名称，第三列为打印内容）");
    return result;
}
