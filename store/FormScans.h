#pragma once

#include "Catalogue.h"
#include "FormScan.h"

#include <optional>

class DataBase;

// The scanned blank form of each mode, kept in table 底图 of Par.db so that a copy of the
// file carries it: one row a mode, the image bytes as chosen, their file name and the
// adjustment. A failure is returned; the database holds its reason.
class FormScans {
public:
    explicit FormScans(DataBase& db) : m_db(db) {}

    // An empty scan when the mode has none; std::nullopt when the store failed.
    std::optional<FormScan> load(Mode mode);
    // Replaces the mode's scan; an empty scan removes it.
    bool save(Mode mode, const FormScan& scan);
    // The file and the reason of the last failure, for the message.
    QString failureDetails() const;

private:
    static const QString Table;
    DataBase& m_db;
};
