#pragma once

#include <QByteArray>

// Wraps one workbook stream into an OLE2 compound file (version 3, 512-byte sectors) with a
// single stream named "Workbook". The stream is padded to 4096 bytes, so it never lives in
// the mini stream; FAT sectors past the 109 that the header lists are chained through DIFAT
// sectors.
QByteArray CompoundFileWithWorkbook(QByteArray workbookStream);
