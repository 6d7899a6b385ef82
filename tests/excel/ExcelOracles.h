#pragma once

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

// Readers and writers of .xls files that are not ours: python3-xlrd and the Perl
// Spreadsheet modules of the distribution. Each script prints one JSON object.
namespace ExcelOracles {

inline const QString Python = QStringLiteral("/usr/bin/python3");
inline const QString Perl = QStringLiteral("/usr/bin/perl");

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
};

inline Run run(const QString& program, const QStringList& args, int timeoutMs = 240000) {
    Run r;
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted() || !p.waitForFinished(timeoutMs))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

inline bool haveXlrd() {
    return run(Python, {QStringLiteral("-c"), QStringLiteral("import xlrd")}, 30000).exitCode == 0;
}
inline bool havePerlModule(const QString& module) {
    return run(Perl, {QStringLiteral("-M") + module, QStringLiteral("-e1")}, 30000).exitCode == 0;
}
inline bool haveParseExcel() {
    return havePerlModule(QStringLiteral("Spreadsheet::ParseExcel"));
}
inline bool haveWriteExcel() {
    return havePerlModule(QStringLiteral("Spreadsheet::WriteExcel"));
}

// xlrd with formatting: sheet names, the first sheet's size, every cell's value with its
// boldness (the font's bold bit and its weight: readers look at either), fill colour (RGB
// through the palette, null without a fill) and the line styles of its left, right, top and
// bottom borders, and the column widths.
// With "values" only the values of the given rows are reported (large files).
inline const char* XlrdScript = R"PY(
import json, sys, xlrd
path, mode = sys.argv[1], sys.argv[2]
full = mode == "full"
book = xlrd.open_workbook(path, formatting_info=full, on_demand=False)
sh = book.sheet_by_index(0)
out = {"sheets": book.sheet_names(), "nrows": sh.nrows, "ncols": sh.ncols}
def fmt(r, c):
    xf = book.xf_list[sh.cell_xf_index(r, c)]
    font = book.font_list[xf.font_index]
    fill = None
    if xf.background.fill_pattern == 1:
        rgb = book.colour_map.get(xf.background.pattern_colour_index)
        fill = list(rgb) if rgb else None
    b = xf.border
    return [bool(font.bold) and font.weight >= 700, fill, [b.left_line_style, b.right_line_style, b.top_line_style, b.bottom_line_style]]
if full:
    out["cells"] = [[[sh.cell_value(r, c)] + fmt(r, c) for c in range(sh.ncols)] for r in range(sh.nrows)]
    out["types"] = [[sh.cell_type(r, c) for c in range(sh.ncols)] for r in range(sh.nrows)]
    out["widths"] = {str(c): ci.width for c, ci in sh.colinfo_map.items()}
else:
    rows = [int(x) for x in sys.argv[3:]]
    out["rows"] = {str(r): [sh.cell_value(r, c) for c in range(sh.ncols)] for r in rows}
    out["textcells"] = sum(1 for r in range(sh.nrows) for c in range(sh.ncols) if sh.cell_type(r, c) == 1)
print(json.dumps(out, ensure_ascii=False))
)PY";

// Spreadsheet::ParseExcel, in the shape of xlrd's "full" cells, a fill as its pattern number.
inline const char* ParseExcelScript = R"PL(
use strict; use warnings; use Spreadsheet::ParseExcel; use JSON::PP;
my $sh = (Spreadsheet::ParseExcel->new->parse($ARGV[0]) or die "cannot parse\n")->worksheet(0);
my (undef, $rmax) = $sh->row_range(); my (undef, $cmax) = $sh->col_range();
my @cells = map { my $r = $_; [map { my $c = $sh->get_cell($r, $_); $c ? [$c->value(),
  $c->get_format()->{Font}->{Bold} ? JSON::PP::true : JSON::PP::false,
  $c->get_format()->{Fill}->[0], $c->get_format()->{BdrStyle}] : undef } 0 .. $cmax] } 0 .. $rmax;
print JSON::PP->new->ascii->encode({nrows => $rmax + 1, ncols => $cmax + 1, cells => \@cells});
)PL";

inline QString writeScript(const QString& folder, const QString& name, const char* text) {
    const QString path = folder + u'/' + name;
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
    return path;
}

// Runs one of the scripts above on `args` and returns what it printed.
inline QJsonObject read(const QString& folder, const char* script, const QStringList& args) {
    const bool perl = script == ParseExcelScript;
    const QString path =
        writeScript(folder, perl ? QStringLiteral("read.pl") : QStringLiteral("read.py"), script);
    const Run r = run(perl ? Perl : Python, QStringList{path} + args);
    if (r.exitCode != 0)
        qWarning("%s: %s", perl ? "ParseExcel" : "xlrd", r.err.constData());
    return r.json();
}

} // namespace ExcelOracles
