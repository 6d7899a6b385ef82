#include "FactoryLayouts.h"

#include "Catalogue.h"
#include "FactoryLayout.h"
#include "Form.h"

#include <QSqlQuery>
#include <QVariant>

bool writeFactoryLayouts(QSqlDatabase& db) {
    QSqlQuery insert(db);
    if (!insert.prepare(QStringLiteral(
            "INSERT INTO \"格式\" (Name, Ctl, X, Y, W, H, Color, fName, fSize, fBold, fItalic, "
            "fUnderline, fStrikethru) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, 0, 0, 0, 0)")))
        return false;
    // Colour and font are those every box starts with.
    const Box defaults;
    for (const QString& name : {FactoryLayout::name(), Catalogue::fixedLayoutName()}) {
        for (int i = 0; i < BoxCount; ++i) {
            const QRectF& r = FactoryLayout::geometry()[static_cast<std::size_t>(i)];
            insert.bindValue(0, name);
            insert.bindValue(1, i);
            insert.bindValue(2, r.left());
            insert.bindValue(3, r.top());
            insert.bindValue(4, r.width());
            insert.bindValue(5, r.height());
            insert.bindValue(6, static_cast<qint64>(defaults.foreColor));
            insert.bindValue(7, defaults.fontName);
            insert.bindValue(8, static_cast<double>(defaults.fontSize));
            if (!insert.exec())
                return false;
        }
    }
    return true;
}
