#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

class DataBase;
class Form;
class QSqlQuery;
struct Box;

// The columns X to fStrikethru that a layout row and a recovery row share: position,
// size, colour and font of one box.
namespace LayoutColumns {
inline constexpr int Count = 11;
QString names();
// Binds the box's values to positions first .. first + Count − 1.
void bind(QSqlQuery& query, int first, const Box& box);
// The values at positions first .. first + Count − 1 of a query's current row.
QVariantList read(const QSqlQuery& query, int first);
// Applies values read by `read` (from position `first` on) to box `index`: an empty or
// unconvertible value leaves its attribute as it is, and the label keeps its offset.
void apply(Form& form, int index, const QVariantList& values, int first);
// The box a stored Ctl names, or nothing when it names none.
std::optional<int> boxIndex(const QVariant& stored);
} // namespace LayoutColumns

// Named layouts: position, size, colour and font of all 88 boxes, kept in table 格式.
class Layouts {
public:
    explicit Layouts(DataBase& db) : m_db(db) {}

    // Applies the rows of `name` to the boxes; each label keeps its offset from its box.
    // CurrentLayoutName becomes `name`, also when no row was found. False (boxes and name
    // as they were) when the store failed.
    bool LoadLayout(Form& form, const QString& name);
    // Whether saving under `name` replaces a stored layout, the one of the last exit
    // included; std::nullopt when the store failed.
    std::optional<bool> wouldReplace(const QString& name);
    // Stores the 88 boxes under `name` in one transaction. False when nothing was stored.
    bool SaveLayout(const Form& form, const QString& name);
    // The file and the reason of the last failure, for the message.
    QString failureDetails() const;

    // Each layout name once, in the store's text order; std::nullopt when unreadable.
    std::optional<QStringList> layoutNames();

    const QString& CurrentLayoutName() const { return m_currentName; }

    bool SelSaveMode() const { return m_selSaveMode; }
    void setSelSaveMode(bool save) { m_selSaveMode = save; }

private:
    DataBase& m_db;
    QString m_currentName;
    bool m_selSaveMode = false;
};
