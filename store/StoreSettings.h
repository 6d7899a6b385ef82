#pragma once

#include <QString>

// Which store the program uses, a per-user setting (group Database, key Connection):
// empty means the local Par.db; otherwise a libpq connection string of the office's
// PostgreSQL server ("host=… dbname=… user=…" or "service=…"). A password is never kept
// here: libpq's password file or service file supplies it. Read once at start.
namespace StoreSettings {
QString connection();
void setConnection(const QString& conninfo);
// The connection string with any password=… taken out, for messages and details.
QString withoutPassword(const QString& conninfo);
} // namespace StoreSettings
