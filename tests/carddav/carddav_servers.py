#!/usr/bin/env python3
"""Uploads books with `addrivo-convert carddav` to real CardDAV servers started
here on 127.0.0.1 (Radicale over http and https, Xandikos), reads every card
back and compares it with `list --all`; then the second run, --update, a wrong
password, a refused card, an unknown certificate and a stopped server.
Each server is stopped by its own process id. Exit 77: skipped."""
import argparse
import base64
import json
import os
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
from http.server import BaseHTTPRequestHandler, HTTPServer
import urllib.error
import urllib.request
import xml.etree.ElementTree as ET

import vobject

PHONES = ["businessPhone", "businessFax", "pager", "ipPhone", "homePhone", "homeFax", "mobile"]
FAILURES = []


def check(ok, what):
    print(("ok    " if ok else "FAIL  ") + what, flush=True)
    if not ok:
        FAILURES.append(what)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Server:
    def __init__(self, name, argv, port, log):
        self.name, self.port = name, port
        self.proc = subprocess.Popen(argv, stdout=log, stderr=subprocess.STDOUT)
        deadline = time.time() + 30
        while time.time() < deadline:
            if self.proc.poll() is not None:
                raise SystemExit(f"{name} ended at start (exit {self.proc.returncode}); see {log.name}")
            with socket.socket() as s:
                if s.connect_ex(("127.0.0.1", port)) == 0:
                    return
            time.sleep(0.1)
        self.stop()
        raise SystemExit(f"{name} did not listen on port {port} within 30 s; see {log.name}")

    def stop(self):
        if self.proc.poll() is None:
            os.kill(self.proc.pid, signal.SIGTERM)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                os.kill(self.proc.pid, signal.SIGKILL)
                self.proc.wait()


def radicale(work, name, tls=None):
    folder = os.path.join(work, name)
    os.makedirs(folder)
    with open(os.path.join(folder, "users"), "w") as f:
        f.write("alice:secret\n")
    port = free_port()
    config = os.path.join(folder, "config")
    with open(config, "w") as f:
        f.write(f"[server]\nhosts = 127.0.0.1:{port}\nmax_content_length = 100000000\n")
        if tls:
            f.write(f"ssl = True\ncertificate = {tls[0]}\nkey = {tls[1]}\n")
        f.write(f"[auth]\ntype = htpasswd\nhtpasswd_filename = {folder}/users\nhtpasswd_encryption = plain\n")
        f.write(f"[storage]\nfilesystem_folder = {folder}/store\n[logging]\nlevel = warning\n")
    log = open(os.path.join(folder, "log"), "w")
    return Server(name, ["radicale", "--config", config], port, log)


def xandikos(work):
    folder = os.path.join(work, "xandikos")
    port = free_port()
    log = open(folder + ".log", "w")
    return Server("xandikos", ["xandikos", "-d", folder, "--defaults", "-l", "127.0.0.1", "-p", str(port)], port, log)


def redirector(target):
    """A plain http server on 127.0.0.1 that sends every request on to target with 308,
    or answers 404 to each when target is None."""
    class Redirect(BaseHTTPRequestHandler):
        def answer(self):
            self.send_response(308 if target else 404)
            if target:
                self.send_header("Location", target + self.path)
            self.send_header("Content-Length", "0")
            self.end_headers()
        do_GET = do_PUT = do_PROPFIND = do_MKCOL = answer

        def log_message(self, *args):
            pass

    server = HTTPServer(("127.0.0.1", 0), Redirect)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def make_tls(work):
    """A private authority and a certificate for 127.0.0.1 signed by it."""
    d = os.path.join(work, "tls")
    os.makedirs(d)
    ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    run_ok(["openssl", "req", "-x509", *ec, "-keyout", f"{d}/ca.key", "-out", f"{d}/ca.pem", "-days", "2",
            "-subj", "/CN=Addrivo test authority"])
    run_ok(["openssl", "req", *ec, "-keyout", f"{d}/server.key", "-out", f"{d}/server.csr", "-subj", "/CN=127.0.0.1"])
    with open(f"{d}/ext", "w") as f:
        f.write("subjectAltName=IP:127.0.0.1\n")
    run_ok(["openssl", "x509", "-req", "-in", f"{d}/server.csr", "-CA", f"{d}/ca.pem", "-CAkey", f"{d}/ca.key",
            "-CAcreateserial", "-out", f"{d}/server.pem", "-days", "2", "-extfile", f"{d}/ext"])
    return f"{d}/ca.pem", f"{d}/server.pem", f"{d}/server.key"


def run_ok(argv):
    r = subprocess.run(argv, capture_output=True, text=True)
    if r.returncode:
        raise SystemExit(f"{argv[0]} failed: {r.stderr}")
    return r.stdout


def upload(args, book, url, *options, env=None):
    r = subprocess.run([args.convert, "carddav", *options, book, url], capture_output=True, text=True,
                       env={**os.environ, **(env or {})}, stdin=subprocess.DEVNULL, timeout=600)
    return r.returncode, r.stdout, r.stderr


def dav(method, url, body=None, headers=None, auth=True, cafile=None):
    request = urllib.request.Request(url, data=body.encode() if body else None, method=method, headers=headers or {})
    if auth:
        request.add_header("Authorization", "Basic " + base64.b64encode(b"alice:secret").decode())
    context = ssl.create_default_context(cafile=cafile) if cafile else None
    try:
        with urllib.request.urlopen(request, context=context) as r:
            return r.status, r.headers, r.read().decode()
    except urllib.error.HTTPError as e:
        return e.code, e.headers, e.read().decode()


def cards_at(book_url, cafile=None):
    status, _, body = dav("PROPFIND", book_url, "<propfind xmlns='DAV:'><prop><getetag/></prop></propfind>",
                          {"Depth": "1", "Content-Type": "application/xml"}, cafile=cafile)
    assert status == 207, (status, body)
    cards = {}
    for href in ET.fromstring(body).iter("{DAV:}href"):
        if href.text.endswith(".vcf"):
            url = book_url.split("/", 3)[0] + "//" + book_url.split("/", 3)[2] + href.text
            cards[href.text.rsplit("/", 1)[1]] = dav("GET", url, cafile=cafile)[2]
    return cards


def one(card, name):
    return [l for l in card.lines() if l.name.upper() == name]


def card_signature(text):
    card = vobject.readOne(text)
    for prop in ("FN", "N", "UID"):
        if len(one(card, prop)) != 1:
            return ("card without exactly one " + prop, text)
    n = card.n.value
    group = any(l.value.lower() == "group" for l in one(card, "KIND") + one(card, "X-ADDRESSBOOKSERVER-KIND"))
    members = len(one(card, "MEMBER") + one(card, "X-ADDRESSBOOKSERVER-MEMBER"))
    return ("group" if group else "contact", card.fn.value, (n.family, n.given, n.additional, n.prefix, n.suffix),
            sorted(l.value for l in one(card, "EMAIL")), sorted(l.value for l in one(card, "TEL")),
            "\n".join(l.value for l in one(card, "NOTE")), members)


def record_signature(r, ids):
    members = sum(1 for m in r.get("members", []) if m.get("id") in ids or m.get("email"))
    return (r["kind"], r.get("displayName") or "", (r.get("surname", ""), r.get("givenName", ""),
            r.get("middleName", ""), r.get("prefix", ""), r.get("suffix", "")),
            sorted(e["address"] for e in r.get("emails", []) if e.get("address")),
            sorted(r[k] for k in PHONES if r.get(k)), r.get("notes", "").replace("\r\n", "\n"), members)


def expected(args, book):
    rows = [json.loads(l) for l in run_ok([args.convert, "list", "--all", book]).splitlines()]
    records = [r for r in rows if r["kind"] in ("contact", "group")]
    ids = {r["id"] for r in records}
    return sorted(record_signature(r, ids) for r in records)


def read_back(book_url, want, what, cafile=None):
    got = sorted(card_signature(c) for c in cards_at(book_url, cafile).values())
    check(got == want, f"{what}: every card read back equals list --all ({len(got)} of {len(want)})")
    if got != want:
        for g, w in zip(got, want):
            if g != w:
                print("   got ", g, "\n   want", w)
                break


def counts(out):
    return out.rsplit(": ", 1)[-1].strip()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--convert", required=True)
    p.add_argument("--make-books", required=True)
    p.add_argument("--real-book", required=True)
    args = p.parse_args()
    ci = os.environ.get("CI", "") not in ("", "0", "false")
    for tool in ("radicale", "xandikos", "openssl"):
        if subprocess.run(["which", tool], capture_output=True).returncode:
            print(f"{tool} is not installed (scripts/setup.sh installs it)")
            return 1 if ci else 77
    books = []
    if os.path.exists(args.real_book):
        books.append(("real book", args.real_book))
    elif ci:
        check(False, f"the real book {args.real_book} is missing")
    else:
        print(f"skipping the real book: {args.real_book} is missing (scripts/fetch-testdata.sh)")

    servers = []
    with tempfile.TemporaryDirectory() as work:
        try:
            run_ok([args.make_books, work, "120"])
            books.append(("generated book", os.path.join(work, "generated.wab")))
            pw = os.path.join(work, "password")
            with open(pw, "w") as f:
                f.write("secret\n")
            login = ["--user", "alice", "--password-file", pw]

            plain = radicale(work, "radicale")
            servers.append(plain)
            base = f"http://127.0.0.1:{plain.port}/"
            for i, (what, book) in enumerate(books):
                want = expected(args, book)
                name = f"Book {i}"
                rc, out, err = upload(args, book, base, *login, "--address-book", name)
                check(rc == 0 and f"{len(want)} uploaded, 0 already there" in out, f"radicale {what}: {out}{err}")
                book_url = base + f"alice/book-{i}/"
                read_back(book_url, want, f"radicale {what}")
                rc, out, err = upload(args, book, base, *login, "--address-book", name)
                check(rc == 0 and counts(out) == f"0 uploaded, {len(want)} already there, 0 updated, 0 refused.",
                      f"radicale {what}, second run adds none: {out}{err}")

            # A card changed on the server is put back by --update, and only it.
            book_url = base + "alice/book-0/"
            href, text = sorted(cards_at(book_url).items())[0]
            status, _, _ = dav("PUT", book_url + href, text.replace("\r\nFN:", "\r\nFN:Changed "),
                               {"Content-Type": "text/vcard"})
            check(status in (201, 204), f"the card {href} is changed on the server ({status})")
            rc, out, err = upload(args, books[0][1], book_url, "--update", "--user", "alice",
                                  env={"ADDRIVO_CARDDAV_PASSWORD": "secret"})
            check(rc == 0 and ", 1 updated, 0 refused" in out, f"--update replaces the changed card: {out}{err}")
            read_back(book_url, expected(args, books[0][1]), "after --update")

            rc, out, err = upload(args, books[0][1], base, "--user", "alice",
                                  env={"ADDRIVO_CARDDAV_PASSWORD": "wrong-horse"})
            check(rc == 1 and "refused the user name or password (401)" in err and "wrong-horse" not in out + err,
                  f"a wrong password is named, never shown: {err.strip()}")

            # A card whose UID another card already has is refused and named; the rest go on.
            dav("MKCOL", base + "alice/refusals/", "<mkcol xmlns='DAV:' xmlns:c='urn:ietf:params:xml:ns:carddav'>"
                "<set><prop><resourcetype><collection/><c:addressbook/></resourcetype></prop></set></mkcol>",
                {"Content-Type": "application/xml"})
            dup = sorted(cards_at(book_url).values())[0]
            uid = vobject.readOne(dup).uid.value
            dav("PUT", base + "alice/refusals/imported-by-hand.vcf", dup, {"Content-Type": "text/vcard"})
            rc, out, err = upload(args, books[0][1], base + "alice/refusals/", *login)
            check(rc == 1 and f"({uid}.vcf) was refused: 409 (no-uid-conflict)" in err and ", 1 refused." in out,
                  f"a refused card is named with the server's reason: {err.strip()} {out.strip()}")

            rc, out, err = upload(args, books[0][1], base, "--user", "alice", "--password", "secret")
            check(rc == 2 and "secret" not in out + err.replace("--password-file", ""),
                  f"a password on the command line is refused: {err.splitlines()[0] if err else ''}")
            # A web server that knows nothing of CardDAV.
            nothing = redirector(None)
            rc, out, err = upload(args, books[0][1], f"http://127.0.0.1:{nothing.server_port}/", *login)
            nothing.shutdown()
            check(rc == 1 and f"There is no CardDAV address book at http://127.0.0.1:{nothing.server_port}/" in err,
                  f"an address without CardDAV is named: {err.strip()}")

            plain.stop()
            rc, out, err = upload(args, books[0][1], base, *login)
            check(rc == 1 and f"Cannot reach the server 127.0.0.1 at port {plain.port}" in err,
                  f"a stopped server is named with host and port: {err.strip()}")

            ca, cert, key = make_tls(work)
            secure = radicale(work, "radicale-https", (cert, key))
            servers.append(secure)
            https = f"https://127.0.0.1:{secure.port}/"
            rc, out, err = upload(args, books[0][1], https, *login, "--ca-file", ca)
            want = expected(args, books[0][1])
            check(rc == 0 and f"{len(want)} uploaded" in out, f"https with --ca-file: {out}{err}")
            read_back(https + "alice/wab-contacts/", want, "radicale over https", cafile=ca)
            rc, out, err = upload(args, books[0][1], https, *login)
            check(rc == 1 and "The certificate of 127.0.0.1 could not be verified" in err,
                  f"an unknown authority is refused: {err.strip()}")
            moved = redirector(f"https://127.0.0.1:{secure.port}")
            rc, out, err = upload(args, books[0][1], f"http://127.0.0.1:{moved.server_port}/", *login, "--ca-file", ca)
            moved.shutdown()
            check(rc == 0 and out.startswith(f"{len(want)} cards to {https}") and f"{len(want)} already there" in out,
                  f"a redirect from http to https is followed: {out}{err}")

            x = xandikos(work)
            servers.append(x)
            xbase = f"http://127.0.0.1:{x.port}/"
            for what, book in books:
                want = expected(args, book)
                rc, out, err = upload(args, book, xbase, "--address-book", what)
                check(rc == 0 and f"{len(want)} uploaded" in out, f"xandikos {what}: {out}{err}")
                book_url = out.split(" cards to ", 1)[1].split(" ", 1)[0] if " cards to " in out else xbase
                read_back(book_url, want, f"xandikos {what}")
                rc, out, err = upload(args, book, xbase, "--address-book", what)
                check(rc == 0 and f"0 uploaded, {len(want)} already there" in out, f"xandikos {what} again: {out}")
        finally:
            for s in servers:
                s.stop()
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
