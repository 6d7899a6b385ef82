#pragma once

#include "Catalogue.h"

#include <optional>

class DataBase;
class Form;

// A copy of what a crash would lose: the form view's mode, its 88 texts and the 88 boxes'
// geometry and fonts. It lives in a table of its own, apart from the working records,
// and only a clean exit removes it.
class RecoveryCopy {
public:
    explicit RecoveryCopy(DataBase& db) : m_db(db) {}

    // Replaces the copy in one transaction; a failure leaves the previous copy whole.
    bool save(const Form& form, Mode mode);
    // The mode of a copy left behind, or nothing when there is none (or it is unreadable).
    std::optional<Mode> pending();
    // Puts the copy's texts and layout onto the boxes; false when it cannot be read.
    bool restore(Form& form);
    bool discard();

private:
    DataBase& m_db;
};
