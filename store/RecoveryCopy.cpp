#include "RecoveryCopy.h"

#include "DataBase.h"
#include "Form.h"
#include "Layouts.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <vector>

namespace {
const QString Table = QStringLiteral("恢复");
}

bool RecoveryCopy::save(const Form& form, Mode mode) {
    if (!m_db.hasTable(Table))
        return true; // switched off on an older file read as it is
    return m_db.inTransaction([&](QSqlDatabase& db) {
        QSqlQuery remove(db);
        if (!remove.exec(QStringLiteral("DELETE FROM \"恢复\"")))
            return false;
        QSqlQuery insert(db);
        if (!insert.prepare(
                QStringLiteral("INSERT INTO \"恢复\" (Mode, Ctl, Con, ") + LayoutColumns::names() +
                QStringLiteral(
                    ") VALUES (?, ?, CAST(? AS TEXT), ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")))
            return false;
        for (int i = 0; i < BoxCount; ++i) {
            insert.bindValue(0, static_cast<int>(mode));
            insert.bindValue(1, i);
            insert.bindValue(2, DataBase::exactText(form.text(i)));
            LayoutColumns::bind(insert, 3, form.box(i));
            if (!insert.exec())
                return false;
        }
        return true;
    });
}

std::optional<Mode> RecoveryCopy::pending() {
    std::optional<Mode> mode;
    if (!m_db.hasTable(Table))
        return mode;
    m_db.withConnection([&](QSqlDatabase& db) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT Mode FROM \"恢复\" LIMIT 1")))
            return false;
        if (q.next())
            mode =
                q.value(0).toInt() == static_cast<int>(Mode::Export) ? Mode::Export : Mode::Import;
        return true;
    });
    return mode;
}

bool RecoveryCopy::restore(Form& form) {
    struct Row {
        int index;
        QString text;
        QVariantList layout;
    };
    std::vector<Row> rows;
    const bool ok = m_db.withConnection([&](QSqlDatabase& db) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT Ctl, CAST(Con AS BLOB), ") + LayoutColumns::names() +
                    QStringLiteral(" FROM \"恢复\" ORDER BY rowid")))
            return false;
        while (q.next())
            if (const std::optional<int> index = LayoutColumns::boxIndex(q.value(0)))
                rows.push_back({*index, DataBase::textOf(q.value(1)), LayoutColumns::read(q, 2)});
        return q.lastError().type() == QSqlError::NoError;
    });
    if (!ok)
        return false;
    for (int i = 0; i < BoxCount; ++i)
        form.setText(i, QString());
    for (const Row& row : rows) {
        form.setText(row.index, row.text);
        LayoutColumns::apply(form, row.index, row.layout, 0);
    }
    return true;
}

bool RecoveryCopy::discard() {
    if (!m_db.hasTable(Table))
        return true;
    return m_db.inTransaction([](QSqlDatabase& db) {
        QSqlQuery remove(db);
        return remove.exec(QStringLiteral("DELETE FROM \"恢复\""));
    });
}
