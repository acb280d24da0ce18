#!/usr/bin/python3
"""Reads an export of the whole book back with readers nobody here wrote and
compares every field with the book as `addrivo-convert list --all` prints it.

  check_book_export.py vcard3|vcard4|csv-outlook|csv-google|xlsx|xlsx-sheetjs|xlsx-soffice BOOK.jsonl FILE

vCard through python3-vobject, CSV through Python's csv module, .xlsx through
python3-openpyxl, SheetJS (npm xlsx, in build/npm or $ADDRIVO_NODE_MODULES)
and (xlsx-soffice, slow) LibreOffice Calc. Prints one line per mismatch and exits 1 when there is any, 77 when the
reader is not installed.
"""
import csv
import json
import sys

problems = []


def expect(what, got, want):
    if got != want:
        problems.append(f"{what}: got {got!r}, want {want!r}")


def lf(text):
    return text.replace("\r\n", "\n").replace("\r", "\n")


def load(path):
    contacts, groups = [], []
    with open(path, encoding="utf-8") as f:
        for line in f:
            o = json.loads(line)
            if o["kind"] == "contact":
                contacts.append(o)
            elif o["kind"] == "group":
                groups.append(o)
    return contacts, groups


def formatted_name(o):
    if o.get("displayName"):
        return o["displayName"]
    name = " ".join(p for p in (o.get("givenName", ""), o.get("surname", "")) if p)
    if name:
        return name
    if o.get("company"):
        return o["company"]
    emails = emails_default_first(o)
    return emails[0] if emails else (o.get("nickname") or "(no name)")


def emails_default_first(o):
    es = o.get("emails", [])
    return [e["address"] for e in es if e.get("default")] + [e["address"] for e in es if not e.get("default")]


PHONES = [("businessPhone", {"WORK", "VOICE"}), ("businessFax", {"WORK", "FAX"}), ("pager", {"PAGER"}),
          ("ipPhone", {"WORK", "X-IP"}), ("homePhone", {"HOME", "VOICE"}), ("homeFax", {"HOME", "FAX"}),
          ("mobile", {"CELL"})]


def check_vcard(version, contacts, groups, path):
    import vobject
    with open(path, encoding="utf-8", newline="") as f:
        text = f.read()
    cards = list(vobject.readComponents(text))
    expect("cards", len(cards), len(contacts) + len(groups))
    for o, card in zip(contacts + groups, cards):
        who = f"card {o['id']}"
        c = card.contents
        value = lambda name: c[name][0].value if name in c else ""
        expect(who + " VERSION", value("version"), version)
        expect(who + " FN", value("fn"), formatted_name(o))
        if "n" in c:
            n = c["n"][0].value
            expect(who + " N", [n.family, n.given, n.additional, n.prefix, n.suffix],
                   [o.get(k, "") for k in ("surname", "givenName", "middleName", "prefix", "suffix")])
        elif version == "3.0":
            problems.append(who + ": no N")
        expect(who + " NICKNAME", value("nickname"), o.get("nickname", ""))
        expect(who + " EMAIL", [e.value for e in c.get("email", [])], emails_default_first(o))
        prefs = [e.value for e in c.get("email", [])
                 if ("PREF" in [t.upper() for t in e.params.get("TYPE", [])]) or e.params.get("PREF") == ["1"]]
        expect(who + " preferred EMAIL", prefs,
               [e["address"] for e in o.get("emails", []) if e.get("default")])
        tels = {frozenset(t.upper() for t in tel.params.get("TYPE", [])): tel.value for tel in c.get("tel", [])}
        for key, types in PHONES:
            expect(who + " TEL " + key, tels.get(frozenset(types), ""), o.get(key, ""))
        adrs = {tuple(t.upper() for t in a.params.get("TYPE", [])): a.value for a in c.get("adr", [])}
        for kind, prefix in (("HOME", "home"), ("WORK", "business")):
            a = adrs.get((kind,))
            got = [a.street, a.city, a.region, a.code, a.country] if a else ["", "", "", "", ""]
            want = [lf(o.get(prefix + k, "")) for k in ("Street", "City", "State", "PostalCode", "Country")]
            expect(f"{who} ADR {kind}", got, want)
        org = value("org") or []
        expect(who + " ORG", [x for x in org if x] if org else [],
               [x for x in (o.get("company", ""), o.get("department", "")) if x])
        expect(who + " TITLE", value("title"), o.get("jobTitle", ""))
        urls = {tuple(t.upper() for t in u.params.get("TYPE", [])): u.value for u in c.get("url", [])}
        expect(who + " URL home", urls.get(("HOME",), ""), o.get("personalWeb", ""))
        expect(who + " URL work", urls.get(("WORK",), ""), o.get("businessWeb", ""))
        iso = lambda d: d.replace("-", "") if version == "4.0" else d
        expect(who + " BDAY", value("bday"), iso(o.get("birthday", "")))
        expect(who + " anniversary", value("anniversary" if version == "4.0" else "x-anniversary"),
               iso(o.get("anniversary", "")))
        gender = {"male": "M", "female": "F"} if version == "4.0" else {"male": "Male", "female": "Female"}
        expect(who + " gender", value("gender" if version == "4.0" else "x-gender"),
               gender.get(o.get("gender", ""), ""))
        if version == "4.0":
            rel = [(r.params.get("TYPE", [""])[0], r.value) for r in c.get("related", [])]
            want = ([("spouse", o["spouse"])] if o.get("spouse") else []) + [("child", x) for x in o.get("children", [])]
            expect(who + " RELATED", rel, want)
        else:
            expect(who + " X-SPOUSE", value("x-spouse"), o.get("spouse", ""))
            expect(who + " X-CHILDREN", [x.value for x in c.get("x-children", [])], o.get("children", []))
        expect(who + " NOTE", value("note"), lf(o.get("notes", "")))
        if o["kind"] == "contact":
            expect(who + " CATEGORIES", value("categories") or [], o.get("groups", []))
        else:
            member = "member" if version == "4.0" else "x-addressbookserver-member"
            uids = {}
            for other, other_card in zip(contacts + groups, cards):
                uids[other["id"]] = other_card.contents["uid"][0].value.replace("urn:uuid:", "")
            got = [m.value for m in c.get(member, [])]
            want = ["urn:uuid:" + uids[m["id"]] for m in o.get("members", []) if m.get("id") in uids]
            want += ["mailto:" + m["email"] for m in o.get("members", []) if "id" not in m and m.get("email")]
            expect(who + " members", got, want)
            kind = value("kind") if version == "4.0" else value("x-addressbookserver-kind")
            expect(who + " kind", kind, "group")


def check_csv(layout, contacts, groups, path):
    with open(path, "rb") as f:
        raw = f.read()
    if layout == "csv-outlook":
        expect("byte-order mark", raw[:3], b"\xef\xbb\xbf")
    expect("record ends", raw.count(b"\n") >= len(contacts) + 1 and b"\r\n" in raw, True)
    with open(path, encoding="utf-8-sig", newline="") as f:
        rows = list(csv.DictReader(f))
    expect("rows", len(rows), len(contacts))
    for o, r in zip(contacts, rows):
        who = f"row {o['id']}"
        emails = emails_default_first(o)
        if layout == "csv-outlook":
            given = o.get("givenName", "")
            if not (o.get("givenName") or o.get("middleName") or o.get("surname")):
                given = o.get("displayName", "")
            expect(who + " First Name", r["First Name"], given)
            expect(who + " Last Name", r["Last Name"], o.get("surname", ""))
            slots = [r["E-mail Address"], r["E-mail 2 Address"], r["E-mail 3 Address"]]
            expect(who + " e-mail slots", [s for s in slots if s], emails[:3])
            for extra in emails[3:]:
                expect(who + " extra e-mail in notes", ("E-mail: " + extra) in r["Notes"], True)
            for key, col in (("company", "Company"), ("mobile", "Mobile Phone"), ("pager", "Pager"),
                             ("businessStreet", "Business Street"), ("homeStreet", "Home Street"),
                             ("businessWeb", "Web Page"), ("spouse", "Spouse")):
                expect(f"{who} {col}", r[col], o.get(key, ""))
            expect(who + " Notes start", r["Notes"].startswith(o.get("notes", "")), True)
            expect(who + " Categories", r["Categories"], ";".join(o.get("groups", [])))
            if o.get("birthday"):
                y, m, d = (int(x) for x in o["birthday"].split("-"))
                expect(who + " Birthday", r["Birthday"], f"{m}/{d}/{y}")
        else:
            expect(who + " Name", r["Name"], formatted_name(o))
            expect(who + " Given Name", r["Given Name"], o.get("givenName", ""))
            expect(who + " Family Name", r["Family Name"], o.get("surname", ""))
            expect(who + " Given Name Yomi", r["Given Name Yomi"], o.get("phoneticGivenName", ""))
            got = [r[f"E-mail {i} - Value"] for i in range(1, 100) if r.get(f"E-mail {i} - Value")]
            expect(who + " e-mails", got, emails)
            if emails:
                expect(who + " primary", r["E-mail 1 - Type"].startswith("* "), True)
            phones = [r[f"Phone {i} - Value"] for i in range(1, 100) if r.get(f"Phone {i} - Value")]
            expect(who + " phones", phones, [o[k] for k, _ in PHONES if o.get(k)])
            expect(who + " Group Membership", r["Group Membership"], " ::: ".join(o.get("groups", [])))
            expect(who + " Notes", r["Notes"], o.get("notes", ""))
            expect(who + " Birthday", r["Birthday"], o.get("birthday", ""))


def soffice_rows(path):
    """The first sheet as LibreOffice Calc saves it to UTF-8 CSV; None when
    LibreOffice is not installed."""
    import glob, os, shutil, subprocess, tempfile
    soffice = shutil.which("soffice") or shutil.which("libreoffice")
    if not soffice:
        return None
    with tempfile.TemporaryDirectory() as tmp:
        profile = "file://" + os.path.join(tmp, "profile")
        run = subprocess.run([soffice, "-env:UserInstallation=" + profile, "--headless", "--convert-to",
                              "csv:Text - txt - csv (StarCalc):44,34,76,1", "--outdir", tmp, path],
                             capture_output=True, text=True, timeout=300)
        found = glob.glob(os.path.join(tmp, "*.csv"))
        if run.returncode != 0 or not found:
            problems.append(f"soffice failed ({run.returncode}): {run.stdout} {run.stderr}")
            return []
        with open(found[0], encoding="utf-8", newline="") as f:
            return [[v if v != "" else None for v in r] for r in csv.reader(f)]


def sheetjs_sheets(path):
    """Every sheet as SheetJS formats it (dates by their cell format), by name."""
    import os, subprocess
    here = os.path.dirname(os.path.abspath(__file__))
    modules = os.environ.get("ADDRIVO_NODE_MODULES") or os.path.join(here, "..", "..", "build", "npm", "node_modules")
    if not os.path.isfile(os.path.join(modules, "xlsx", "package.json")):
        problems.append(f"SheetJS is not installed in {modules} (scripts/setup.sh installs it)")
        return None
    script = ("const X = require('xlsx'); const wb = X.readFile(process.argv[1]); const out = {};"
              "for (const n of wb.SheetNames) out[n] = X.utils.sheet_to_json(wb.Sheets[n],"
              " {header: 1, raw: false, defval: null, blankrows: true});"
              "process.stdout.write(JSON.stringify(out));")
    run = subprocess.run(["node", "-e", script, path], capture_output=True, text=True, timeout=120,
                         env=dict(os.environ, NODE_PATH=modules))
    if run.returncode != 0:
        problems.append(f"SheetJS failed ({run.returncode}): {run.stderr}")
        return None
    return {n: [[v if v != "" else None for v in r] for r in rows] for n, rows in json.loads(run.stdout).items()}


def check_xlsx(contacts, groups, path, soffice=False, sheetjs=False):
    sheets = None
    if sheetjs:
        sheets = sheetjs_sheets(path)
        if sheets is None:
            return
        expect("sheets", list(sheets), ["Contacts", "Groups"])
        rows = sheets["Contacts"]
    elif soffice:
        rows = soffice_rows(path)
        if rows is None:
            print("LibreOffice is not installed")
            sys.exit(77)
        if not rows:
            return
    else:
        import openpyxl
        wb = openpyxl.load_workbook(path, read_only=True)
        expect("sheets", wb.sheetnames, ["Contacts", "Groups"])
        rows = list(wb["Contacts"].iter_rows(values_only=True))
    heads = list(rows[0])
    expect("rows", len(rows) - 1, len(contacts))
    col = {h: i for i, h in enumerate(heads)}
    fields = {"First Name": "givenName", "Middle Name": "middleName", "Last Name": "surname",
              "Company": "company", "Office": "office", "Business Web Page": "businessWeb",
              "Department": "department", "Business Street": "businessStreet", "Business City": "businessCity",
              "Business Postal Code": "businessPostalCode", "Business State": "businessState",
              "Business Country": "businessCountry", "Business Phone": "businessPhone",
              "Business Fax": "businessFax", "Pager": "pager", "Home Street": "homeStreet",
              "Home Country": "homeCountry", "Home Phone": "homePhone", "Home Fax": "homeFax", "Notes": "notes",
              "Display Name": "displayName", "Name Prefix": "prefix", "Name Suffix": "suffix",
              "Nickname": "nickname", "Phonetic First Name": "phoneticGivenName",
              "Phonetic Last Name": "phoneticSurname", "Job Title": "jobTitle", "Home City": "homeCity",
              "Home State": "homeState", "Home Postal Code": "homePostalCode", "Mobile Phone": "mobile",
              "IP Phone": "ipPhone", "IM Address": "im", "Personal Web Page": "personalWeb", "Spouse": "spouse",
              "Folder": "folder"}
    expect("designed order first", heads[:3], ["First Name", "Middle Name", "Last Name"])
    for h in fields:
        if h not in col:
            problems.append("no column " + h)
    for o, r in zip(contacts, rows[1:]):
        who = f"row {o['id']}"
        text = lambda v: "" if v is None else v
        for h, k in fields.items():
            if h in col:
                expect(f"{who} {h}", lf(text(r[col[h]])), lf(o.get(k, "")))
        emails = [text(r[i]) for h, i in col.items() if h.startswith("E-mail ")]
        expect(who + " e-mails", [e for e in emails if e], emails_default_first(o))
        expect(who + " Children", text(r[col["Children"]]), ", ".join(o.get("children", [])))
        expect(who + " Groups", text(r[col["Groups"]]), "; ".join(o.get("groups", [])))
        bday = r[col["Birthday"]]
        if bday and not isinstance(bday, str):
            bday = bday.strftime("%Y-%m-%d")
        expect(who + " Birthday", bday or "", o.get("birthday", ""))
    if soffice:
        return
    grows = sheets["Groups"] if sheets else list(wb["Groups"].iter_rows(values_only=True))
    expect("Groups heading", list(grows[0]), ["Group", "Member", "Member's E-mail", "Group's Details"])
    # Each group's own fields, on its first row: every value and address.
    fields = ("prefix givenName middleName surname suffix nickname phoneticGivenName phoneticSurname im "
              "company department jobTitle office businessStreet businessCity businessState "
              "businessPostalCode businessCountry businessPhone businessFax pager ipPhone businessWeb "
              "homeStreet homeCity homeState homePostalCode homeCountry homePhone homeFax mobile "
              "personalWeb spouse notes").split()
    for g in groups:
        first = next((r for r in grows[1:] if r[0] == g["displayName"]), None)
        details = (first[3] if first and len(first) > 3 else None) or ""
        for v in [lf(g[k]) for k in fields if g.get(k)] + [e["address"] for e in g.get("emails", [])]:
            if v not in details:
                problems.append("group %s: %r is not among its details %r" % (g["displayName"], v, details))
    grows = [r[:3] for r in grows]
    want = []
    for g in groups:
        members = [m for m in g.get("members", []) if m.get("displayName") or m.get("email")]
        if not members:
            want.append((g["displayName"], None, None))
        for m in members:
            mail = None
            for c in contacts:
                if c["id"] == m.get("id"):
                    e = emails_default_first(c)
                    mail = e[0] if e else None
            want.append((g["displayName"], m.get("displayName") or m.get("email"), mail or m.get("email")))
    expect("Groups rows", [tuple(r) for r in grows[1:]], want)


def main():
    mode, model, path = sys.argv[1:4]
    contacts, groups = load(model)
    if mode in ("vcard3", "vcard4"):
        check_vcard("3.0" if mode == "vcard3" else "4.0", contacts, groups, path)
    elif mode in ("csv-outlook", "csv-google"):
        check_csv(mode, contacts, groups, path)
    elif mode in ("xlsx", "xlsx-soffice", "xlsx-sheetjs"):
        check_xlsx(contacts, groups, path, soffice=mode == "xlsx-soffice", sheetjs=mode == "xlsx-sheetjs")
    else:
        sys.exit("unknown mode " + mode)
    for p in problems:
        print(p)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
