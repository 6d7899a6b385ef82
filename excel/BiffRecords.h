#pragma once

#include <QtGlobal>

// Identifiers of the BIFF8 records this program reads or writes, and the values of the BOF
// record that tell a workbook's parts apart.
namespace Biff {

inline constexpr quint16 Formula = 0x0006;
inline constexpr quint16 Eof = 0x000A;
inline constexpr quint16 Note = 0x001C;     // a cell's comment
inline constexpr quint16 DateMode = 0x0022; // dates count from 1904
inline constexpr quint16 FilePass = 0x002F; // the workbook is encrypted
inline constexpr quint16 Font = 0x0031;
inline constexpr quint16 Continue = 0x003C;
inline constexpr quint16 Window1 = 0x003D;
inline constexpr quint16 CodePage = 0x0042;
inline constexpr quint16 ColumnInfo = 0x007D;
inline constexpr quint16 BoundSheet = 0x0085;
inline constexpr quint16 Palette = 0x0092;
inline constexpr quint16 MulRk = 0x00BD;
inline constexpr quint16 MulBlank = 0x00BE;
inline constexpr quint16 RichString = 0x00D6;
inline constexpr quint16 DbCell = 0x00D7; // ends a block of rows
inline constexpr quint16 Xf = 0x00E0;
inline constexpr quint16 Sst = 0x00FC;
inline constexpr quint16 LabelSst = 0x00FD;
inline constexpr quint16 ExtSst = 0x00FF;
inline constexpr quint16 Dimensions = 0x0200;
inline constexpr quint16 Blank = 0x0201;
inline constexpr quint16 Number = 0x0203;
inline constexpr quint16 Label = 0x0204;
inline constexpr quint16 BoolErr = 0x0205;
inline constexpr quint16 String = 0x0207; // a formula's text result
inline constexpr quint16 Row = 0x0208;
inline constexpr quint16 Index = 0x020B; // where the sheet's DBCELL records lie
inline constexpr quint16 Window2 = 0x023E;
inline constexpr quint16 Rk = 0x027E;
inline constexpr quint16 Style = 0x0293;
inline constexpr quint16 Format = 0x041E;
inline constexpr quint16 Bof = 0x0809;

inline constexpr quint16 Version8 = 0x0600;
inline constexpr quint16 BofWorkbookGlobals = 0x0005;
inline constexpr quint16 BofWorksheet = 0x0010;

// Record data never exceeds this; longer contents go on in CONTINUE records.
inline constexpr int MaxRecordData = 8224;

} // namespace Biff
