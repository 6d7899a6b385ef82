#pragma once

#include "Catalogue.h"

#include <QList>
#include <QString>

#include <map>
#include <optional>

class DataBase;

// One row of a code table: the code, its name, and the text printed for it (empty when
// the code itself is printed).
struct CodeRow {
    QString code;
    QString name;
    QString printText;

    QString textToPrint() const { return printText.isEmpty() ? code : printText; }
    bool operator==(const CodeRow&) const = default;
};

// The code tables the clerk has brought, one a box, kept in table 代码表: read once when
// first needed, replaced whole. A failure is returned; the database holds its reason.
class CodeTables {
public:
    explicit CodeTables(DataBase& db) : m_db(db) {}

    // Whether this database keeps code tables (an older file read as it is does not).
    bool available();
    // The table of each box that has one; std::nullopt when the store failed.
    std::optional<std::map<int, QList<CodeRow>>> all();
    // The box's table (empty when it has none); std::nullopt when the store failed.
    std::optional<QList<CodeRow>> table(int box);
    // Replaces the box's table in one transaction; no rows removes it.
    bool replace(int box, const QList<CodeRow>& rows);
    // std::nullopt when the box has no table (or it cannot be read), or when the text does
    // not begin like a code; otherwise whether it begins with one of the table's codes or
    // print texts, followed by nothing or by a character that is not a letter or a digit
    // ("0110 一般贸易" begins with 0110, "01101" does not), or is one of its names.
    std::optional<bool> knownCode(int box, const QString& text);
    // The file and the reason of the last failure, for the message.
    QString failureDetails() const;

private:
    bool read();

    DataBase& m_db;
    std::map<int, QList<CodeRow>> m_tables;
    bool m_read = false;
};
