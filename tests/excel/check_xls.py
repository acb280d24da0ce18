#!/usr/bin/env python3
"""Reads a .xls back with a reader nobody here wrote and compares it with the
expectations that the test wrote as JSON.

    check_xls.py xlrd|ssconvert|soffice FILE.xls EXPECTED.json

Exit 0 when everything matches, 1 with a list of differences otherwise,
77 when the reader is not installed.
"""
import csv
import glob
import json
import os
import shutil
import subprocess
import sys
import tempfile

FONTS = [  # what the export defines: name, height in twips, bold, italic, underlined
    ("Verdana", 200, False, False, False),
    ("Verdana", 220, True, False, False),
    ("Verdana", 200, True, False, True),
    ("Courier", 320, True, True, False),
]
FORMATS = {0: "General", 2: "0.00", 3: "#,##0"}

problems = []


def problem(text):
    problems.append(text)


def expected_grid(exp):
    rows = max(c["row"] for c in exp["cells"]) + 1
    cols = max(c["col"] for c in exp["cells"]) + 1
    return rows, cols


def check_xlrd(path, exp):
    try:
        import xlrd
    except ImportError:
        print("xlrd is not installed")
        return 77
    book = xlrd.open_workbook(path, formatting_info=True)
    if book.codepage != exp["codepage"]:
        problem("code page %r, expected %r" % (book.codepage, exp["codepage"]))
    sheet = book.sheet_by_index(0)
    rows, cols = expected_grid(exp)
    if (sheet.nrows, sheet.ncols) != (rows, cols):
        problem("sheet is %dx%d, expected %dx%d" % (sheet.nrows, sheet.ncols, rows, cols))
    for c in exp["cells"]:
        r, col = c["row"], c["col"]
        where = "cell (%d,%d)" % (r, col)
        if r >= sheet.nrows or col >= sheet.ncols:
            problem(where + " missing")
            continue
        cell = sheet.cell(r, col)
        if "text" in c:
            if cell.ctype != xlrd.XL_CELL_TEXT or cell.value != c["text"]:
                problem("%s is %r (type %d), expected %r" % (where, cell.value, cell.ctype, c["text"]))
        else:
            if cell.ctype != xlrd.XL_CELL_NUMBER or cell.value != c["number"]:
                problem("%s is %r (type %d), expected %r" % (where, cell.value, cell.ctype, c["number"]))
        xf = book.xf_list[sheet.cell_xf_index(r, col)]
        font = book.font_list[xf.font_index]
        name, height, bold, italic, underlined = FONTS[c["font"]]
        got = (font.name, font.height, bool(font.bold), bool(font.italic), bool(font.underlined))
        if got != FONTS[c["font"]]:
            problem("%s font %r, expected %r" % (where, got, FONTS[c["font"]]))
        fmt = book.format_map[xf.format_key].format_str
        if fmt != FORMATS[c["format"]]:
            problem("%s format %r, expected %r" % (where, fmt, FORMATS[c["format"]]))
        if xf.alignment.hor_align != 1:
            problem("%s alignment %r, expected left" % (where, xf.alignment.hor_align))
    return 0


def as_read_in_1252(text, codepage):
    """Gnumeric's BIFF 2 import ignores the CODEPAGE record and reads every
    text as code page 1252. Undo that: the bytes must still be the right ones
    in the file's own code page."""
    raw = bytearray()
    for ch in text:
        try:
            raw += ch.encode("cp1252")
        except UnicodeEncodeError:
            if ord(ch) > 0xFF:
                return text
            raw.append(ord(ch))  # a byte 1252 leaves undefined, passed through
    return raw.decode("cp%d" % codepage, errors="replace")


UNDEFINED_IN_1252 = b"\x81\x8d\x8f\x90\x9d"


def as_gnumeric_shows(text, codepage):
    """What Gnumeric can show of a text: its 1252 conversion stops at the
    first byte that 1252 leaves undefined, so the rest of that text is lost."""
    raw = text.encode("cp%d" % codepage)
    cut = min([raw.index(bytes([b])) for b in UNDEFINED_IN_1252 if bytes([b]) in raw] or [len(raw)])
    return raw[:cut].decode("cp%d" % codepage, errors="replace")


def number_readings(text):
    """The number a reader shows, in the C locale's or a European locale's notation."""
    values = set()
    for space in ("\u00a0", "\u202f", " "):  # thousands separators of some locales
        text = text.replace(space, "")
    for candidate in (text.replace(",", ""), text.replace(".", "").replace(",", ".")):
        try:
            values.add(float(candidate))
        except ValueError:
            pass
    return values


def compare_csv(csv_path, exp, reader, fix_text=None, expect_text=lambda t: t):
    with open(csv_path, newline="", encoding="utf-8") as f:
        grid = list(csv.reader(f))
    if fix_text:
        grid = [[fix_text(v) for v in row] for row in grid]
    rows, cols = expected_grid(exp)
    if len(grid) != rows:
        problem("%s: %d rows, expected %d" % (reader, len(grid), rows))
    for c in exp["cells"]:
        r, col = c["row"], c["col"]
        got = grid[r][col] if r < len(grid) and col < len(grid[r]) else ""
        where = "%s cell (%d,%d)" % (reader, r, col)
        if "text" in c:
            want = expect_text(c["text"])
            if got != want:
                problem("%s is %r, expected %r" % (where, got, want))
        else:
            if c["number"] not in number_readings(got):
                problem("%s is %r, expected %r" % (where, got, c["number"]))


def check_ssconvert(path, exp):
    if not shutil.which("ssconvert"):
        print("ssconvert is not installed")
        return 77
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "out.csv")
        run = subprocess.run(["ssconvert", "--export-type=Gnumeric_stf:stf_csv", path, out],
                             capture_output=True, text=True, timeout=120)
        messages = (run.stdout + run.stderr).strip()
        if messages:
            print("ssconvert said:\n" + messages)
        if run.returncode != 0:
            problem("ssconvert failed with %d" % run.returncode)
            return 0
        if "corrupt" in messages.lower():
            problem("ssconvert warns that the file is corrupted")
        cp = exp["codepage"]
        if cp == 1252:
            compare_csv(out, exp, "ssconvert")
        else:
            print("ssconvert reads BIFF 2 texts as code page 1252; checking the bytes under %d" % cp)
            compare_csv(out, exp, "ssconvert", lambda t: as_read_in_1252(t, cp),
                        lambda t: as_gnumeric_shows(t, cp))
    return 0


def check_soffice(path, exp):
    soffice = shutil.which("soffice") or shutil.which("libreoffice")
    if not soffice:
        print("LibreOffice is not installed")
        return 77
    with tempfile.TemporaryDirectory() as tmp:
        profile = "file://" + os.path.join(tmp, "profile")
        # UTF-8 CSV, comma-separated, quoted texts.
        run = subprocess.run([soffice, "-env:UserInstallation=" + profile, "--headless",
                              "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76,1",
                              "--outdir", tmp, path],
                             capture_output=True, text=True, timeout=300)
        found = glob.glob(os.path.join(tmp, "*.csv"))
        if run.returncode != 0 or not found:
            problem("soffice failed (%d): %s %s" % (run.returncode, run.stdout, run.stderr))
            return 0
        compare_csv(found[0], exp, "soffice")
        # Fonts: LibreOffice's flat XML names each cell's font.
        run = subprocess.run([soffice, "-env:UserInstallation=" + profile, "--headless",
                              "--convert-to", "fods", "--outdir", tmp, path],
                             capture_output=True, text=True, timeout=300)
        found = glob.glob(os.path.join(tmp, "*.fods"))
        if run.returncode != 0 or not found:
            problem("soffice failed (%d): %s %s" % (run.returncode, run.stdout, run.stderr))
            return 0
        compare_fods_fonts(found[0], exp)
    return 0


def compare_fods_fonts(fods_path, exp):
    import xml.etree.ElementTree as ET
    ns = {
        "office": "urn:oasis:names:tc:opendocument:xmlns:office:1.0",
        "table": "urn:oasis:names:tc:opendocument:xmlns:table:1.0",
        "style": "urn:oasis:names:tc:opendocument:xmlns:style:1.0",
        "fo": "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0",
    }
    attr = lambda prefix, name: "{%s}%s" % (ns[prefix], name)
    root = ET.parse(fods_path).getroot()
    styles = {}
    for st in root.iter(attr("style", "style")):
        tp = st.find("style:text-properties", ns)
        if tp is not None:
            styles[st.get(attr("style", "name"))] = tp
    sheet = root.find(".//table:table", ns)
    column_styles = []
    for col in sheet.iter(attr("table", "table-column")):
        repeat = int(col.get(attr("table", "number-columns-repeated"), "1"))
        column_styles += [col.get(attr("table", "default-cell-style-name"))] * min(repeat, 256)
    grid = []
    for row in sheet.iter(attr("table", "table-row")):
        cells = []
        for cell in row.findall("table:table-cell", ns):
            repeat = int(cell.get(attr("table", "number-columns-repeated"), "1"))
            cells += [cell.get(attr("table", "style-name"))] * min(repeat, 256)
        repeat = int(row.get(attr("table", "number-rows-repeated"), "1"))
        grid += [cells] * min(repeat, 100)
    for c in exp["cells"]:
        r, col = c["row"], c["col"]
        name = grid[r][col] if r < len(grid) and col < len(grid[r]) else None
        name = name or (column_styles[col] if col < len(column_styles) else None)
        tp = styles.get(name)
        if tp is None:
            problem("soffice cell (%d,%d) has no font" % (r, col))
            continue
        got = (tp.get(attr("style", "font-name")),
               round(float(tp.get(attr("fo", "font-size"), "0pt")[:-2]) * 20),
               tp.get(attr("fo", "font-weight")) == "bold",
               tp.get(attr("fo", "font-style")) == "italic",
               tp.get(attr("style", "text-underline-style"), "none") != "none")
        want = FONTS[c["font"]]
        if got[0] == "Courier New":  # LibreOffice's stand-in for Courier
            got = ("Courier",) + got[1:]
        if got != want:
            problem("soffice cell (%d,%d) font %r, expected %r" % (r, col, got, want))


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("xlrd", "ssconvert", "soffice"):
        print(__doc__)
        return 2
    mode, path, exp_path = sys.argv[1:]
    with open(exp_path, encoding="utf-8") as f:
        exp = json.load(f)
    status = {"xlrd": check_xlrd, "ssconvert": check_ssconvert, "soffice": check_soffice}[mode](path, exp)
    if status:
        return status
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
