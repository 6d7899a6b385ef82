#include "Layouts.h"

#include "DataBase.h"
#include "Form.h"
#include "UserDialogs.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cmath>
#include <limits>
#include <vector>

namespace {

// One stored value, or nothing when the column is empty or does not convert.
std::optional<double> number(const QVariant& v) {
    if (v.isNull())
        return std::nullopt;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return std::nullopt;
    return d;
}

std::optional<QString> text(const QVariant& v) {
    if (v.isNull())
        return std::nullopt;
    return v.toString();
}

std::optional<bool> flag(const QVariant& v) {
    const std::optional<double> d = number(v);
    if (!d)
        return std::nullopt;
    return *d != 0.0;
}

struct LayoutRow {
    std::optional<double> ctl, x, y, w, h, color, size;
    std::optional<QString> fontName;
    std::optional<bool> bold, italic, underline, strikethru;
};

} // namespace

void Layouts::LoadLayout(Form& form, const QString& name) {
    std::vector<LayoutRow> rows;
    const bool ok = m_db.withConnection([&](QSqlDatabase& db) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.prepare(QStringLiteral(
                "SELECT Ctl, X, Y, W, H, Color, fName, fSize, fBold, fItalic, fUnderline, "
                "fStrikethru FROM \"格式\" WHERE Name = ? ORDER BY rowid")))
            return false;
        q.bindValue(0, name);
        if (!q.exec())
            return false;
        while (q.next()) {
            rows.push_back({number(q.value(0)), number(q.value(1)), number(q.value(2)),
                            number(q.value(3)), number(q.value(4)), number(q.value(5)),
                            number(q.value(7)), text(q.value(6)), flag(q.value(8)),
                            flag(q.value(9)), flag(q.value(10)), flag(q.value(11))});
        }
        return q.lastError().type() == QSqlError::NoError;
    });
    if (!ok)
        return; // boxes and the current name stay as they were

    for (const LayoutRow& row : rows) {
        if (!row.ctl)
            continue;
        const double index = std::nearbyint(*row.ctl); // halves go to the even neighbour
        if (index < 0 || index >= BoxCount)
            continue;
        const int i = static_cast<int>(index);
        const Box before = form.box(i);
        const Label& label = form.label(i);
        // The label keeps its offset from the box as it stood before this row.
        if (row.x)
            form.setLabelPosition(i, static_cast<float>(*row.x) + label.left - before.left,
                                  label.top);
        if (row.y)
            form.setLabelPosition(i, form.label(i).left,
                                  static_cast<float>(*row.y) + form.label(i).top - before.top);
        if (row.x)
            form.setLeft(i, static_cast<float>(*row.x));
        if (row.y)
            form.setTop(i, static_cast<float>(*row.y));
        if (row.w)
            form.setWidth(i, static_cast<float>(*row.w));
        if (row.h)
            form.setHeight(i, static_cast<float>(*row.h));
        if (row.color && *row.color >= std::numeric_limits<std::int32_t>::min() &&
            *row.color <= std::numeric_limits<std::uint32_t>::max())
            form.setForeColor(i, static_cast<std::uint32_t>(static_cast<std::int64_t>(*row.color)));
        if (row.fontName)
            form.setFontName(i, *row.fontName);
        if (row.size)
            form.setFontSize(i, static_cast<float>(*row.size));
        if (row.bold)
            form.setFontBold(i, *row.bold);
        if (row.italic)
            form.setFontItalic(i, *row.italic);
        if (row.underline)
            form.setFontUnderline(i, *row.underline);
        if (row.strikethru)
            form.setFontStrikethru(i, *row.strikethru);
    }
    m_currentName = name;
}

void Layouts::SaveLayout(const Form& form, const QString& name) {
    if (name != Catalogue::fixedLayoutName()) {
        bool exists = false;
        const bool ok = m_db.withConnection([&](QSqlDatabase& db) {
            QSqlQuery q(db);
            if (!q.prepare(QStringLiteral("SELECT 1 FROM \"格式\" WHERE Name = ? LIMIT 1")))
                return false;
            q.bindValue(0, name);
            if (!q.exec())
                return false;
            exists = q.next();
            return true;
        });
        if (!ok)
            return;
        if (exists && !m_db.dialogs().askYesNo(QStringLiteral("该记录已存在，是否覆盖？")))
            return;
    }
    // The old rows are removed and the 88 new ones written in one transaction, so a
    // failure leaves the old layout whole.
    const bool saved = m_db.inTransaction([&](QSqlDatabase& db) {
        QSqlQuery remove(db);
        if (!remove.prepare(QStringLiteral("DELETE FROM \"格式\" WHERE Name = ?")))
            return false;
        remove.bindValue(0, name);
        if (!remove.exec())
            return false;
        QSqlQuery insert(db);
        if (!insert.prepare(QStringLiteral(
                "INSERT INTO \"格式\" (Name, Ctl, X, Y, W, H, Color, fName, fSize, fBold, "
                "fItalic, fUnderline, fStrikethru) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                "?)")))
            return false;
        for (int i = 0; i < BoxCount; ++i) {
            const Box& b = form.box(i);
            insert.bindValue(0, name);
            insert.bindValue(1, i);
            insert.bindValue(2, static_cast<double>(b.left));
            insert.bindValue(3, static_cast<double>(b.top));
            insert.bindValue(4, static_cast<double>(b.width));
            insert.bindValue(5, static_cast<double>(b.height));
            insert.bindValue(6, static_cast<qint64>(static_cast<std::int32_t>(b.foreColor)));
            insert.bindValue(7, b.fontName);
            insert.bindValue(8, static_cast<double>(b.fontSize));
            insert.bindValue(9, b.fontBold ? 1 : 0);
            insert.bindValue(10, b.fontItalic ? 1 : 0);
            insert.bindValue(11, b.fontUnderline ? 1 : 0);
            insert.bindValue(12, b.fontStrikethru ? 1 : 0);
            if (!insert.exec())
                return false;
        }
        return true;
    });
    if (saved)
        m_currentName = name;
}

std::optional<QStringList> Layouts::layoutNames() {
    QStringList names;
    const bool ok = m_db.withConnection([&](QSqlDatabase& db) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT Name FROM \"格式\" GROUP BY Name ORDER BY Name")))
            return false;
        while (q.next())
            names.append(q.value(0).toString());
        return true;
    });
    if (!ok)
        return std::nullopt;
    return names;
}
