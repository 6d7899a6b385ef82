#include "LocalImport.h"

#include "DataBase.h"
#include "Form.h"
#include "Layouts.h"

#include <QUuid>

#include <map>

namespace {

struct Record {
    double dat = 0;
    QStringList texts = QStringList(BoxCount);
};

// The same record always gets the same key: mode, date and every text.
QString keyOf(Mode mode, const Record& record) {
    static const QUuid space(QStringLiteral("{6f1c2a52-9d0e-4b7a-8c43-2f6a1d5e9b10}"));
    QByteArray data = Catalogue::modeWord(mode).toUtf8();
    data += QByteArray::number(record.dat, 'g', 17);
    for (int i = 0; i < BoxCount; ++i)
        if (!record.texts[i].isEmpty())
            data += '\x1e' + QByteArray::number(i) + '\x1f' + record.texts[i].toUtf8();
    return QUuid::createUuidV5(space, data).toString(QUuid::WithoutBraces);
}

} // namespace

std::optional<LocalImportCount> importLocalStore(DataBase& local, DataBase& office) {
    LocalImportCount count;
    for (Mode mode : {Mode::Export, Mode::Import}) {
        std::map<int, Record> records; // oldest first, so the copies keep their order
        const bool read = local.forEachHistoryRow(mode, [&](const HistoryRow& row) {
            if (row.ord >= 0 && row.ctl >= 0 && row.ctl < BoxCount) {
                Record& record = records[row.ord];
                record.dat = row.dat;
                record.texts[row.ctl] = row.con;
            }
        });
        if (!read)
            return std::nullopt;
        for (const auto& [ord, record] : records) {
            const std::optional<bool> stored =
                office.copyRecord(mode, record.dat, record.texts, keyOf(mode, record));
            if (!stored)
                return std::nullopt;
            count.records += *stored ? 1 : 0;
        }
    }
    Layouts from(local);
    Layouts to(office);
    const std::optional<QStringList> names = from.layoutNames();
    if (!names)
        return std::nullopt;
    for (const QString& name : *names) {
        // The layout of the last exit stays the clerk's own; a name the office has is kept.
        if (name == Catalogue::fixedLayoutName())
            continue;
        const std::optional<bool> there = to.wouldReplace(name);
        if (!there)
            return std::nullopt;
        if (*there)
            continue;
        Form form;
        if (!from.LoadLayout(form, name) || !to.SaveLayout(form, name))
            return std::nullopt;
        ++count.layouts;
    }
    return count;
}
