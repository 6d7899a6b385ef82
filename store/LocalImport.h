#pragma once

#include <optional>

class DataBase;

// Moving an office onto its server: the history records and the named layouts of the
// clerk's local Par.db are copied into the office store. Records get new numbers after
// the server's largest; a record already copied (same mode, date and texts) and a layout
// whose name the server has are left out, so running it twice copies nothing twice.
struct LocalImportCount {
    int records = 0;
    int layouts = 0;
};

// std::nullopt when either store failed; the failing store holds the reason.
std::optional<LocalImportCount> importLocalStore(DataBase& local, DataBase& office);
