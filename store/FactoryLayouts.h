#pragma once

class QSqlDatabase;

// Writes the factory layout into table 格式 of a database that was just created, under
// "标准格式" and under the layout of the last exit, so that the first start shows it.
// Runs inside the caller's transaction; false when a row could not be written.
bool writeFactoryLayouts(QSqlDatabase& db);
