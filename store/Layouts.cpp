#include "Layouts.h"

#include "BoxText.h"
#include "DataBase.h"
#include "Form.h"

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

} // namespace

QString LayoutColumns::names() {
    return QStringLiteral(
        "X, Y, W, H, Color, fName, fSize, fBold, fItalic, fUnderline, fStrikethru");
}

void LayoutColumns::bind(QSqlQuery& query, int first, const Box& b) {
    query.bindValue(first, static_cast<double>(b.left));
    query.bindValue(first + 1, static_cast<double>(b.top));
    query.bindValue(first + 2, static_cast<double>(b.width));
    query.bindValue(first + 3, static_cast<double>(b.height));
    query.bindValue(first + 4, static_cast<qint64>(static_cast<std::int32_t>(b.foreColor)));
    query.bindValue(first + 5, b.fontName);
    query.bindValue(first + 6, static_cast<double>(b.fontSize));
    query.bindValue(first + 7, b.fontBold ? 1 : 0);
    query.bindValue(first + 8, b.fontItalic ? 1 : 0);
    query.bindValue(first + 9, b.fontUnderline ? 1 : 0);
    query.bindValue(first + 10, b.fontStrikethru ? 1 : 0);
}

void LayoutColumns::apply(Form& form, int i, const QVariantList& row, int first) {
    const std::optional<double> x = number(row.value(first));
    const std::optional<double> y = number(row.value(first + 1));
    const std::optional<double> w = number(row.value(first + 2));
    const std::optional<double> h = number(row.value(first + 3));
    const std::optional<double> color = number(row.value(first + 4));
    const QVariant fontName = row.value(first + 5);
    const std::optional<double> size = number(row.value(first + 6));
    const Box before = form.box(i);
    const Label& label = form.label(i);
    // The label keeps its offset from the box as it stood before this row.
    if (x)
        form.setLabelPosition(i, static_cast<float>(*x) + label.left - before.left, label.top);
    if (y)
        form.setLabelPosition(i, form.label(i).left,
                              static_cast<float>(*y) + form.label(i).top - before.top);
    if (x)
        form.setLeft(i, static_cast<float>(*x));
    if (y)
        form.setTop(i, static_cast<float>(*y));
    if (w)
        form.setWidth(i, static_cast<float>(*w));
    if (h)
        form.setHeight(i, static_cast<float>(*h));
    if (color && *color >= std::numeric_limits<std::int32_t>::min() &&
        *color <= std::numeric_limits<std::uint32_t>::max())
        form.setForeColor(i, static_cast<std::uint32_t>(static_cast<std::int64_t>(*color)));
    if (!fontName.isNull())
        form.setFontName(i, fontName.toString());
    if (size)
        form.setFontSize(i, static_cast<float>(*size));
    if (const std::optional<double> on = number(row.value(first + 7)))
        form.setFontBold(i, *on != 0.0);
    if (const std::optional<double> on = number(row.value(first + 8)))
        form.setFontItalic(i, *on != 0.0);
    if (const std::optional<double> on = number(row.value(first + 9)))
        form.setFontUnderline(i, *on != 0.0);
    if (const std::optional<double> on = number(row.value(first + 10)))
        form.setFontStrikethru(i, *on != 0.0);
}

QVariantList LayoutColumns::read(const QSqlQuery& query, int first) {
    QVariantList values;
    for (int c = first; c < first + Count; ++c)
        values.append(query.value(c));
    return values;
}

std::optional<int> LayoutColumns::boxIndex(const QVariant& stored) {
    const std::optional<double> ctl = number(stored);
    if (!ctl)
        return std::nullopt;
    const double index = std::nearbyint(*ctl); // halves go to the even neighbour
    if (index < 0 || index >= BoxCount)
        return std::nullopt;
    return static_cast<int>(index);
}

bool Layouts::LoadLayout(Form& form, const QString& name) {
    const QString key = BoxText::wellFormed(name);
    std::vector<std::pair<int, QVariantList>> rows;
    const bool ok = m_db.withConnection([&](QSqlDatabase& db) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.prepare(
                QStringLiteral("SELECT Ctl, ") + LayoutColumns::names() +
                QStringLiteral(" FROM \"格式\" WHERE Name = %1 ORDER BY %2")
                    .arg(m_db.textParam(), m_db.insertionOrder())))
            return false;
        q.bindValue(0, DataBase::exactText(key));
        if (!q.exec())
            return false;
        while (q.next())
            if (const std::optional<int> index = LayoutColumns::boxIndex(q.value(0)))
                rows.emplace_back(*index, LayoutColumns::read(q, 1));
        return q.lastError().type() == QSqlError::NoError;
    });
    if (!ok)
        return false; // boxes and the current name stay as they were
    for (const auto& [index, values] : rows)
        LayoutColumns::apply(form, index, values, 0);
    m_currentName = key;
    return true;
}

std::optional<bool> Layouts::wouldReplace(const QString& givenName) {
    const QString name = BoxText::wellFormed(givenName);
    bool exists = false;
    const bool ok = m_db.withConnection([&](QSqlDatabase& db) {
        QSqlQuery q(db);
        if (!q.prepare(
                QStringLiteral("SELECT 1 FROM \"格式\" WHERE Name = %1 LIMIT 1").arg(m_db.textParam())))
            return false;
        q.bindValue(0, DataBase::exactText(name));
        if (!q.exec())
            return false;
        exists = q.next();
        return true;
    });
    if (!ok)
        return std::nullopt;
    return exists;
}

QString Layouts::failureDetails() const {
    return m_db.failureDetails();
}

bool Layouts::SaveLayout(const Form& form, const QString& givenName) {
    const QString name = BoxText::wellFormed(givenName);
    // The old rows are removed and the 88 new ones written in one transaction, so a
    // failure leaves the old layout whole.
    const bool saved = m_db.inTransaction([&](QSqlDatabase& db) {
        QSqlQuery remove(db);
        if (!remove.prepare(
                QStringLiteral("DELETE FROM \"格式\" WHERE Name = %1").arg(m_db.textParam())))
            return false;
        remove.bindValue(0, DataBase::exactText(name));
        if (!remove.exec())
            return false;
        QSqlQuery insert(db);
        if (!insert.prepare(
                QStringLiteral("INSERT INTO \"格式\" (Name, Ctl, ") + LayoutColumns::names() +
                QStringLiteral(") VALUES (%1, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                    .arg(m_db.textParam())))
            return false;
        for (int i = 0; i < BoxCount; ++i) {
            insert.bindValue(0, DataBase::exactText(name));
            insert.bindValue(1, i);
            LayoutColumns::bind(insert, 2, form.box(i));
            if (!insert.exec())
                return false;
        }
        return true;
    });
    if (saved)
        m_currentName = name;
    return saved;
}

std::optional<QStringList> Layouts::layoutNames() {
    QStringList names;
    const bool ok = m_db.withConnection([&](QSqlDatabase& db) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT %1 FROM \"格式\" GROUP BY Name ORDER BY Name")
                        .arg(m_db.textColumn(QStringLiteral("Name")))))
            return false;
        while (q.next())
            names.append(DataBase::textOf(q.value(0)));
        return true;
    });
    if (!ok)
        return std::nullopt;
    return names;
}
