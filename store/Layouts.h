#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class DataBase;
class Form;

// Named layouts: position, size, colour and font of all 88 boxes, kept in table 格式.
class Layouts {
public:
    explicit Layouts(DataBase& db) : m_db(db) {}

    // Applies the rows of `name` to the boxes; each label keeps its offset from its box.
    // Never asks anything. CurrentLayoutName becomes `name`, also when no row was found.
    void LoadLayout(Form& form, const QString& name);
    // Stores the 88 boxes under `name`, asking before it replaces an existing layout
    // (never for the layout of the last exit).
    void SaveLayout(const Form& form, const QString& name);

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
