#!/usr/bin/python3
"""Reads an .xls with a reader nobody here wrote and prints it for comparison.

  xls_dump.py xlrd FILE      xlrd: code page, size, heading/data fonts, every cell
  xls_dump.py gnumeric FILE  Gnumeric's ssconvert: records it dropped, size,
                             heading/data fonts, every cell

The first lines are "key=value" facts; then one line per row, cells joined by
a tab, with backslash, tab, CR and LF escaped as \\\\ \\t \\r \\n.
"""
import csv
import gzip
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET


def esc(v):
    return v.replace("\\", "\\\\").replace("\t", "\\t").replace("\r", "\\r").replace("\n", "\\n")


def font_text(name, points, bold):
    return "%s/%g/%s" % (name, points, "bold" if bold else "plain")


def dump_xlrd(path):
    import xlrd
    book = xlrd.open_workbook(path, formatting_info=True)
    sheet = book.sheet_by_index(0)
    print("codepage=%s" % book.codepage)
    print("rows=%d" % sheet.nrows)
    print("cols=%d" % sheet.ncols)

    def font(r, c):
        f = book.font_list[book.xf_list[sheet.cell_xf_index(r, c)].font_index]
        return font_text(f.name, f.height / 20.0, f.bold)

    print("heading_font=%s" % ",".join(sorted({font(0, c) for c in range(sheet.ncols)})))
    if sheet.nrows > 1:
        print("data_font=%s" % ",".join(sorted({font(r, c) for r in range(1, sheet.nrows)
                                                 for c in range(sheet.ncols)})))
    kinds = {sheet.cell_type(r, c) for r in range(sheet.nrows) for c in range(sheet.ncols)}
    print("kinds=%s" % ",".join(sorted(xlrd.sheet.ctype_text[k] for k in kinds)))
    for r in range(sheet.nrows):
        print("\t".join(esc(sheet.cell_value(r, c)) for c in range(sheet.ncols)))


def dump_gnumeric(path):
    with tempfile.TemporaryDirectory() as tmp:
        out_csv = os.path.join(tmp, "out.csv")
        out_gnm = os.path.join(tmp, "out.gnumeric")
        for target, kind in ((out_csv, "Gnumeric_stf:stf_csv"), (out_gnm, "Gnumeric_XmlIO:sax")):
            p = subprocess.run(["ssconvert", "-T", kind, path, target], capture_output=True, text=True)
            if p.returncode != 0:
                print("ssconvert failed (%d): %s" % (p.returncode, p.stderr.strip()))
                sys.exit(1)
            if kind.endswith("csv"):
                # Gnumeric says "most likely corrupted" for each record it drops;
                # those past its last row name max_rows.
                warnings = p.stderr.count("most likely corrupted")
                cut = p.stderr.count("max_rows")
        ns = {"gnm": "http://www.gnumeric.org/v10.dtd"}
        root = ET.fromstring(gzip.open(out_gnm).read())
        regions = root.findall(".//gnm:Sheet/gnm:Styles/gnm:StyleRegion", ns)

        def font(r, c):
            for reg in regions:
                if (int(reg.get("startRow")) <= r <= int(reg.get("endRow"))
                        and int(reg.get("startCol")) <= c <= int(reg.get("endCol"))):
                    f = reg.find("gnm:Style/gnm:Font", ns)
                    return font_text(f.text, float(f.get("Unit")), f.get("Bold") == "1")
            return "none"

        with open(out_csv, newline="", encoding="utf-8") as f:
            rows = list(csv.reader(f))
        cols = max((len(r) for r in rows), default=0)
        print("warnings=%d" % warnings)
        print("rows_cut_warnings=%d" % cut)
        print("rows=%d" % len(rows))
        print("cols=%d" % cols)
        print("heading_font=%s" % ",".join(sorted({font(0, c) for c in range(cols)})))
        if len(rows) > 1:
            print("data_font=%s" % ",".join(sorted({font(r, c) for r in range(1, min(len(rows), 50))
                                                     for c in range(cols)})))
        for r in rows:
            print("\t".join(esc(v) for v in r + [""] * (cols - len(r))))


if __name__ == "__main__":
    {"xlrd": dump_xlrd, "gnumeric": dump_gnumeric}[sys.argv[1]](sys.argv[2])
