#!/usr/bin/env python3
"""Uploading a book to a local Radicale: `addrivo-convert carddav` against curl
PUTting the same cards one by one over one connection, in the same run.

Makes a book of CONTACTS generated contacts (600 unless asked), splits the
cards `addrivo-convert vcard` writes of it into files, starts Radicale on
127.0.0.1 (stopped by its own pid), then times, best of RUNS (3), each into a
new address book: the whole carddav upload (discovery, MKCOL, one PUT with
If-None-Match a card) and one curl process PUTting every card with the same
headers. Prints both and the ratio (target: at most 1.5).

Usage: carddav_bench.py CONVERT MAKE_BOOKS [CONTACTS [RUNS]]"""
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time

MKCOL = ("<mkcol xmlns='DAV:' xmlns:c='urn:ietf:params:xml:ns:carddav'><set><prop><resourcetype><collection/>"
         "<c:addressbook/></resourcetype></prop></set></mkcol>")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    convert, make_books = sys.argv[1], sys.argv[2]
    contacts = int(sys.argv[3]) if len(sys.argv) > 3 else 600
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 3
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([make_books, work, str(contacts)], check=True)
        book = os.path.join(work, "generated.wab")
        subprocess.run([convert, "vcard", book, work], check=True, stdout=subprocess.DEVNULL)
        text = open(os.path.join(work, "generated.vcf"), encoding="utf-8", newline="").read()
        cards = [c + "END:VCARD\r\n" for c in text.split("END:VCARD\r\n") if c.strip()]
        os.makedirs(os.path.join(work, "cards"))
        names = []
        for card in cards:
            uid = next(l[4:] for l in card.split("\r\n") if l.startswith("UID:"))
            names.append(uid + ".vcf")
            with open(os.path.join(work, "cards", names[-1]), "w", encoding="utf-8", newline="") as f:
                f.write(card)
        with open(os.path.join(work, "users"), "w") as f:
            f.write("alice:secret\n")
        with open(os.path.join(work, "password"), "w") as f:
            f.write("secret\n")
        port = free_port()
        with open(os.path.join(work, "config"), "w") as f:
            f.write(f"[server]\nhosts = 127.0.0.1:{port}\n[auth]\ntype = htpasswd\n"
                    f"htpasswd_filename = {work}/users\nhtpasswd_encryption = plain\n"
                    f"[storage]\nfilesystem_folder = {work}/store\n[logging]\nlevel = warning\n")
        log = open(os.path.join(work, "radicale.log"), "w")
        server = subprocess.Popen(["radicale", "--config", os.path.join(work, "config")], stdout=log,
                                  stderr=subprocess.STDOUT)
        try:
            for _ in range(300):
                with socket.socket() as s:
                    if s.connect_ex(("127.0.0.1", port)) == 0:
                        break
                time.sleep(0.1)
            base = f"http://127.0.0.1:{port}/"
            ours, theirs = [], []
            for run in range(runs):
                start = time.perf_counter()
                r = subprocess.run([convert, "carddav", "--user", "alice", "--password-file",
                                    os.path.join(work, "password"), "--address-book", f"Run {run}", book, base],
                                   capture_output=True, text=True)
                ours.append(time.perf_counter() - start)
                print(f"run {run}: addrivo-convert carddav {ours[-1]:.3f} s", flush=True)
                if r.returncode or f"{len(cards)} uploaded" not in r.stdout:
                    raise SystemExit(f"addrivo-convert carddav failed: {r.stdout}{r.stderr}")
                collection = f"{base}alice/curl-{run}/"
                subprocess.run(["curl", "-sf", "-u", "alice:secret", "-X", "MKCOL", "-H", "Content-Type: application/xml",
                                "--data", MKCOL, collection], check=True, stdout=subprocess.DEVNULL)
                config = os.path.join(work, f"curl-{run}.config")
                with open(config, "w") as f:
                    for n in names:
                        f.write(f'upload-file = "{work}/cards/{n}"\nurl = "{collection}{n}"\noutput = "/dev/null"\n')
                # Like the upload, curl sends each body at once ("Expect:"): Radicale
                # answers in HTTP/1.0 and never sends 100 Continue, so curl would
                # wait a second a card for it.
                start = time.perf_counter()
                subprocess.run(["curl", "-sf", "-u", "alice:secret", "-H", "Expect:", "-H", "If-None-Match: *", "-H",
                                "Content-Type: text/vcard; charset=utf-8", "--config", config], check=True)
                theirs.append(time.perf_counter() - start)
                print(f"run {run}: curl {theirs[-1]:.3f} s", flush=True)
        finally:
            os.kill(server.pid, signal.SIGTERM)
            server.wait(10)
    print(f"{len(cards)} cards ({contacts} contacts), best of {runs}")
    print(f"addrivo-convert carddav  {min(ours):8.3f} s")
    print(f"curl, one connection     {min(theirs):8.3f} s")
    print(f"ratio                    {min(ours) / min(theirs):8.2f}  (target at most 1.5)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
