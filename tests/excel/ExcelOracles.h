#pragma once

#include "TestFolder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

#include <freexl.h>

#include <vector>

// Readers and writers of .xls files that are not ours: python3-xlrd, the Perl Spreadsheet
// modules of the distribution and FreeXL.
namespace ExcelOracles {

struct Script {
    const char* program;
    const char* text;
};

// xlrd: the first sheet's size and, with "full", every cell's value with its boldness (the
// font's bold bit and its weight: readers look at either), fill (RGB through the palette, null
// without one) and the line styles of its left, right, top and bottom borders, and the column
// widths; else the last row and the number of text cells (large files).
inline const Script Xlrd{"/usr/bin/python3", R"PY(
import json, sys, xlrd
full = sys.argv[2] == "full"
book = xlrd.open_workbook(sys.argv[1], formatting_info=full)
sh = book.sheet_by_index(0)
out = {"nrows": sh.nrows, "ncols": sh.ncols}
def cell(r, c):
    xf = book.xf_list[sh.cell_xf_index(r, c)]
    font, b, rgb = book.font_list[xf.font_index], xf.border, None
    if xf.background.fill_pattern == 1:
        rgb = book.colour_map.get(xf.background.pattern_colour_index)
    return [sh.cell_value(r, c), bool(font.bold) and font.weight >= 700, rgb and list(rgb),
            [b.left_line_style, b.right_line_style, b.top_line_style, b.bottom_line_style]]
if full:
    out["cells"] = [[cell(r, c) for c in range(sh.ncols)] for r in range(sh.nrows)]
    out["widths"] = {str(c): ci.width for c, ci in sh.colinfo_map.items()}
else:
    out["last"] = sh.row_values(sh.nrows - 1)
    out["textcells"] = sum(t == 1 for r in range(sh.nrows) for t in sh.row_types(r))
print(json.dumps(out, ensure_ascii=False))
)PY"};

// Spreadsheet::ParseExcel, in the shape of xlrd's "full" cells, a fill as its pattern number.
inline const Script ParseExcel{"/usr/bin/perl", R"PL(
use strict; use warnings; use Spreadsheet::ParseExcel; use JSON::PP;
my $sh = (Spreadsheet::ParseExcel->new->parse($ARGV[0]) or die "cannot parse\n")->worksheet(0);
my (undef, $rmax) = $sh->row_range(); my (undef, $cmax) = $sh->col_range();
my @cells = map { my $r = $_; [map { my $c = $sh->get_cell($r, $_); $c ? [$c->value(),
  $c->get_format()->{Font}->{Bold} ? JSON::PP::true : JSON::PP::false,
  $c->get_format()->{Fill}->[0], $c->get_format()->{BdrStyle}] : undef } 0 .. $cmax] } 0 .. $rmax;
print JSON::PP->new->ascii->encode({nrows => $rmax + 1, ncols => $cmax + 1, cells => \@cells});
)PL"};

// Spreadsheet::WriteExcel writes sheets 报关单, 第二页 and 空表. Row 1 of 报关单 holds
// every kind of cell; rows 4 and 6 (1-based) have no box text; rows 8 to 12 are short. With a
// second argument "compat" it writes as Excel does: cells in row order, ROW, DBCELL and INDEX.
inline const Script WriteExcel{"/usr/bin/perl", R"PL(
use strict; use warnings; use utf8; use Spreadsheet::WriteExcel;
my $book = Spreadsheet::WriteExcel->new($ARGV[0]) or die "cannot create\n";
$book->compatibility_mode() if ($ARGV[1] // '') eq 'compat';
my ($s, $t) = map { $book->add_worksheet($_) } '报关单', '第二页', '空表';
my $day = $book->add_format(num_format => 'yyyy-mm-dd');
my $moment = $book->add_format(num_format => 'yyyy-mm-dd hh:mm:ss');
$s->write_string(0, $_, "列$_") for 0 .. 90;
$s->write_number(@$_) for [1, 0, 1], [1, 3, 42], [1, 4, 3.14159], [1, 5, 0.1], [1, 9, -17.5],
  [1, 10, 123456789012345], [2, 0, 2], [3, 0, 3], [4, 0, 4], [6, 0, 6];
$s->write_string(@$_) for [1, 2, '0012'], [1, 6, '上海浦东'], [1, 89, '最后一格'],
  [1, 90, '超出的列'], [2, 1, '不是日期'], [2, 2, 'x'], [3, 1, '2024-05-06'], [4, 3, 'y'], [6, 4, 'z'];
$s->write_date_time(@$_) for [1, 1, '2024-03-05T', $day], [1, 7, '2024-03-05T14:30:00', $moment],
  [1, 8, '2023-12-31T', $day], [1, 11, '2024-02-02T00:00:00', $moment],
  [4, 1, '2024-01-02T08:00:00', $moment];
for my $r (7 .. 11) { $s->write_number($r, 0, $r); $s->write_string($r, 2, "r" . ($r + 1)); }
$t->write_string(@$_) for [0, 2, '表头'], [1, 2, '第二页内容'];
$book->close() or die "cannot close\n";
)PL"};

// Runs `script` from `folder` on `args`; what it printed, read as JSON (its errors are logged).
inline QJsonObject run(const QString& folder, const Script& script, const QStringList& args) {
    const QString path = folder + QStringLiteral("/oracle-script");
    QProcess p;
    if (TestFolder::write(path, script.text))
        p.start(QString::fromLatin1(script.program), QStringList{path} + args);
    if (!p.waitForFinished(240000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        qWarning("%s: %s", script.program, p.readAllStandardError().constData());
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

inline QJsonArray rgb(std::uint32_t bgr) {
    return QJsonArray{int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF)};
}

// FreeXL: the cells of the first sheet as texts (numbers in their shortest form).
inline std::vector<QStringList> readWithFreeXl(const QString& path) {
    std::vector<QStringList> cells;
    const void* handle = nullptr;
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_open(path.toLocal8Bit().constData(), &handle) != FREEXL_OK ||
        freexl_select_active_worksheet(handle, 0) != FREEXL_OK ||
        freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK)
        rows = 0;
    for (unsigned int r = 0; r < rows; ++r) {
        QStringList& row = cells.emplace_back();
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue v;
            QString& text = row.emplace_back();
            if (freexl_get_cell_value(handle, r, c, &v) != FREEXL_OK || v.type == FREEXL_CELL_NULL)
                continue;
            text = v.type == FREEXL_CELL_INT      ? QString::number(v.value.int_value)
                   : v.type == FREEXL_CELL_DOUBLE ? QString::number(v.value.double_value, 'g', 15)
                                                  : QString::fromUtf8(v.value.text_value);
        }
    }
    freexl_close(handle);
    return cells;
}

} // namespace ExcelOracles
