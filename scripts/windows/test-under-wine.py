#!/usr/bin/env python3
"""make test-windows: the Windows build under Wine beside the Linux build.

A fresh Wine prefix; the portable ZIP unpacked; then the same commands on the same input
in a folder of each build, their outputs compared; the database of each opened by the
other; the window started on a virtual display and photographed. Exit code 0 only when
everything agrees.
"""
import atexit
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
LINUX = os.path.join(ROOT, "build", "release", "src", "app", "gaveldesk")
PGSERVER = os.path.join(ROOT, "tests", "support", "pgserver.py")
IMAPSERVER = os.path.join(ROOT, "tests", "support", "imapserver.py")
PACKAGE = os.path.join(ROOT, "build", "windows-package")
WINE = shutil.which("wine") or "/usr/lib/wine/wine64"
MAILS = ["verkauf.txt", "kauf.txt", "sofortkauf_verkauf.txt", "verkauf.eml", "verkauf_cp1252.txt"]

failures = []


def say(text):
    print(text, flush=True)


def check(name, ok, detail=""):
    say(("ok    " if ok else "FEHLER") + "  " + name + ("" if ok else "\n" + detail))
    if not ok:
        failures.append(name)


class Desk:
    """One build's program with its own data folder; commands run with it as working folder."""

    def __init__(self, name, folder, command, env):
        self.name, self.folder, self.command, self.env = name, folder, command, env

    def plain(self, text):
        """The folder's name as a word, whichever way the system writes it."""
        text = text.replace("\r\n", "\n")
        for form in ("Z:" + self.folder, "Z:" + self.folder.replace("/", "\\"), self.folder):
            text = text.replace(form, "ORDNER")
        # The moment of the import is part of a trade's key: the same mail, another second.
        return re.sub(time.strftime("%d[.]%m[.]%Y") + r" \d\d:\d\d:\d\d|" + time.strftime("%Y-%m-%d") +
                      r"[ T]\d\d:\d\d:\d\d", "HEUTE", text)

    def run(self, *args, timeout=300):
        started = time.time()
        p = subprocess.run(self.command + list(args), cwd=self.folder, env=self.env, capture_output=True,
                           timeout=timeout)
        out = self.plain(p.stdout.decode("utf-8", "replace"))
        err = self.plain(p.stderr.decode("utf-8", "replace"))
        say(f"  {self.name}: {' '.join(args)} -> {p.returncode} ({time.time() - started:.1f} s)")
        return p.returncode, out, err


def prepare(folder):
    # The seller the sample mails are addressed to.
    ini = os.path.join(folder, "bin", "config.ini")
    with open(ini, "rb") as f:
        text = f.read().replace(b"Username=\r\n", b"Username=gavel_haendler\r\n", 1)
    with open(ini, "wb") as f:
        f.write(text)
    os.makedirs(os.path.join(folder, "mails"), exist_ok=True)
    for m in MAILS:
        shutil.copy(os.path.join(ROOT, "tests", "data", "mails", m), os.path.join(folder, "mails", m))


def main():
    zips = sorted(glob.glob(os.path.join(PACKAGE, "gaveldesk-*-win64.zip")))
    if not zips or not os.access(LINUX, os.X_OK):
        say("Erst bauen: make windows build-release")
        return 2
    work = tempfile.mkdtemp(prefix="gaveldesk-wine-")
    env = dict(os.environ, WINEPREFIX=os.path.join(work, "prefix"), WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=", LC_ALL="C.UTF-8")
    env.pop("GAVELDESK_HOME", None)
    # A virtual display for all of it: Windows paints an invoice with its own platform, and
    # the window is photographed at the end.
    env["DISPLAY"] = ":57"
    display = [subprocess.Popen(["Xvfb", ":57", "-screen", "0", "1280x900x24", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)]
    time.sleep(2)
    display.append(subprocess.Popen(["openbox"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    atexit.register(lambda: [p.terminate() for p in reversed(display)])
    started = time.time()
    subprocess.run([WINE, "wineboot", "-i"], env=env, capture_output=True, timeout=600)
    say(f"Wine-Umgebung angelegt in {time.time() - started:.0f} s: {env['WINEPREFIX']}")

    with zipfile.ZipFile(zips[-1]) as z:
        z.extractall(os.path.join(work, "zip"))
    (top,) = os.listdir(os.path.join(work, "zip"))
    win_folder = os.path.join(work, "zip", top)
    imports_only_shipped_or_system(win_folder)
    lin_folder = os.path.join(work, "linux")
    shutil.copytree(os.path.join(ROOT, "resources"), lin_folder)
    for f in (win_folder, lin_folder):
        prepare(f)
    # The Windows program keeps its data beside itself (a writable folder with bin/).
    win = Desk("Windows", win_folder, [WINE, os.path.join(win_folder, "gaveldesk.exe")], env)
    lin_env = dict(env, GAVELDESK_HOME=lin_folder)
    lin_env.pop("DISPLAY")
    lin = Desk("Linux", lin_folder, [LINUX], lin_env)

    results = {}
    for d in (win, lin):
        r = {}
        r["version"] = d.run("--version")
        r["create"] = d.run("--create-database", "gaveldesk.mdb")
        r["import"] = d.run("--import", *[os.path.join("mails", m) for m in MAILS])
        r["list"] = d.run("--list")
        r["search"] = d.run("--search", "Müller")
        r["csv"] = d.run("--export-csv", "export.csv")
        results[d.name] = r

    for step in ["version", "create", "import", "list", "search", "csv"]:
        (wc, wo, we), (lc, lo, le) = results["Windows"][step], results["Linux"][step]
        check(f"--{step}: gleiche Ausgabe", wc == lc and wo == lo,
              f"Windows {wc}:\n{wo}{we}\nLinux {lc}:\n{lo}{le}")
    check("--list zeigt die eingelesenen Auktionen", len(results["Linux"]["list"][1].splitlines()) >= 3,
          results["Linux"]["list"][1])
    exported = [win.plain(open(os.path.join(d.folder, "export.csv"), encoding="utf-8").read()) for d in (win, lin)]
    check("--export-csv: gleiche Datei", exported[0] == exported[1] and exported[0].count("\n") >= 3,
          "\n".join(exported))

    # An invoice for the first sale, the same text in both PDFs.
    sale = results["Linux"]["list"][1].splitlines()[1].split("\t")[1]
    texts = {}
    for d in (win, lin):
        code, out, err = d.run("--invoice", sale or "0", "rechnung.pdf")
        pdf = os.path.join(d.folder, "rechnung.pdf")
        ok = code == 0 and os.path.exists(pdf)
        check(f"--invoice unter {d.name}", ok, out + err)
        # The words, not their places: the fonts of the systems differ in width.
        texts[d.name] = " ".join(subprocess.run(["pdftotext", pdf, "-"], capture_output=True).stdout.decode().split()) \
            if ok else ""
    check("--invoice: gleicher Text der Rechnung", texts["Windows"] == texts["Linux"] and texts["Linux"] != "",
          f"Windows: {texts['Windows']}\nLinux: {texts['Linux']}")

    # Backup and restore, each build into a new folder of its own.
    for d in (win, lin):
        code, out, err = d.run("--backup", "sicherung.gdsicherung")
        check(f"--backup unter {d.name}", code == 0, out + err)
    for d in (win, lin):
        os.rename(os.path.join(d.folder, "gaveldesk.mdb"), os.path.join(d.folder, "vorher.mdb"))
        code, out, err = d.run("--restore", "sicherung.gdsicherung")
        check(f"--restore unter {d.name}", code == 0, out + err)
        check(f"nach --restore unter {d.name} dieselbe Liste", d.run("--list")[1] == results[d.name]["list"][1])

    # The file moves between the systems: each opens the other's, adds to it, hands it back.
    shutil.copy(os.path.join(lin_folder, "gaveldesk.mdb"), os.path.join(win_folder, "gaveldesk.mdb"))
    check("Windows liest die Linux-Datenbank", win.run("--list")[1] == results["Linux"]["list"][1])
    win.run("--import", os.path.join("mails", "verkauf_cp1252.txt"))
    extra = os.path.join(lin_folder, "mails", "sofortkauf_kauf.txt")
    shutil.copy(os.path.join(ROOT, "tests", "data", "mails", "sofortkauf_kauf.txt"), extra)
    shutil.copy(extra, os.path.join(win_folder, "mails"))
    code, out, err = win.run("--import", os.path.join("mails", "sofortkauf_kauf.txt"))
    check("Windows schreibt in die Linux-Datenbank", code == 0, out + err)
    after_windows = win.run("--list")[1]
    shutil.copy(os.path.join(win_folder, "gaveldesk.mdb"), os.path.join(lin_folder, "gaveldesk.mdb"))
    back = lin.run("--list")[1]
    check("Linux liest die von Windows ergänzte Datenbank, nichts fehlt",
          back == after_windows and len(back.splitlines()) == len(results["Linux"]["list"][1].splitlines()) + 1,
          f"Windows:\n{after_windows}\nLinux:\n{back}")

    carried_over(win, lin)
    team_server(win, lin)
    mailbox(win)
    installer(env)
    refused_writes(win, lin)
    screenshot(win_folder, env)
    quits_by_menu(zips[-1], os.path.join(work, "beenden"), env)
    subprocess.run([shutil.which("wineserver") or "/usr/lib/wine/wineserver", "-k"], env=env, capture_output=True)
    shutil.rmtree(work, ignore_errors=True)
    say(f"{len(failures)} Fehler" if failures else "Alles gleich unter Windows (Wine) und Linux.")
    return 1 if failures else 0


def carried_over(win, lin):
    """A file of the previous release (SQLCipher 3) opened by each build: carried over once, the
    old file kept beside it, the same trades listed."""
    old = os.path.join(ROOT, "tests", "data", "db", "release-sqlcipher3.mdb")
    with open(old, "rb") as f:
        original = f.read()
    lists = {}
    for d in (win, lin):
        db = os.path.join(d.folder, "gaveldesk.mdb")
        for leftover in glob.glob(db + ".sqlcipher3*"):
            os.remove(leftover)
        shutil.copy(old, db)
        code, out, err = d.run("--list")
        lists[d.name] = out
        check(f"{d.name} überträgt eine Datei der Vorversion (SQLCipher 3)",
              code == 0 and "SQLCipher 4" in err and len(out.splitlines()) > 1, out + err)
        kept = db + ".sqlcipher3.bak"
        check(f"{d.name} hebt die alte Datei unverändert auf",
              os.path.exists(kept) and open(kept, "rb").read() == original)
        code, again, err = d.run("--list")
        check(f"{d.name}: beim zweiten Start nichts mehr zu übertragen", code == 0 and again == out and
              "SQLCipher" not in err, err)
    check("übertragene Datei: dieselben Auktionen unter Windows und Linux", lists["Windows"] == lists["Linux"],
          f"Windows:\n{lists['Windows']}\nLinux:\n{lists['Linux']}")


SYSTEM_DLLS = {
    "advapi32", "authz", "bcrypt", "comdlg32", "crypt32", "d3d11", "d3d9", "dnsapi", "dwmapi", "dwrite", "dxgi",
    "gdi32", "imm32", "iphlpapi", "kernel32", "mpr", "msvcrt", "netapi32", "ole32", "oleaut32", "secur32", "shcore",
    "shell32", "shlwapi", "user32", "userenv", "uxtheme", "version", "winhttp", "winmm", "winspool.drv", "ws2_32",
    "wtsapi32"}


def set_main(folder, key, value):
    """A key of [Main] in the folder's bin/config.ini, as the options write it."""
    ini = os.path.join(folder, "bin", "config.ini")
    with open(ini, "rb") as f:
        lines = [l for l in f.read().split(b"\r\n") if not l.startswith(key.encode() + b"=")]
    at = lines.index(b"[Main]") + 1
    lines.insert(at, (key + "=" + value).encode("cp1252"))
    with open(ini, "wb") as f:
        f.write(b"\r\n".join(lines))


def team_server(win, lin):
    """A team's server started on this machine: the Windows seat joins it over TLS (the server's
    certificate checked against the team's CA), makes its tables, imports, and sees what the Linux
    seat adds; a server its CA does not vouch for is refused."""
    state = tempfile.mkdtemp(prefix="gaveldesk-wine-pg-")
    subprocess.run(["python3", PGSERVER, "start", state], capture_output=True)
    skip = os.path.join(state, "skip")
    if os.path.exists(skip) or not os.path.exists(os.path.join(state, "port")):
        check("PostgreSQL-Server für die Plätze", False, open(skip).read() if os.path.exists(skip) else "")
        return
    try:
        port = open(os.path.join(state, "port")).read().strip()
        subprocess.run(["psql", "-X", "-q", "-h", "127.0.0.1", "-p", port, "-U", "gaveldesk", "-d", "postgres", "-c",
                        "CREATE DATABASE team"], env=dict(os.environ, PGSSLMODE="disable"), check=True)
        url = f"postgresql://gaveldesk@localhost:{port}/team"
        ca = os.path.join(state, "ca.crt")
        seats = []
        for d, path in ((win, "Z:" + ca.replace("/", "\\")), (lin, ca)):
            folder = os.path.join(os.path.dirname(d.folder), "team-" + d.name.lower())
            shutil.copytree(d.folder, folder)
            set_main(folder, "ServerZertifikat", path)
            set_main(folder, "Database", url)
            if d.name == "Windows":
                seats.append(Desk("Windows am Server", folder, [WINE, os.path.join(folder, "gaveldesk.exe")], d.env))
            else:
                seats.append(Desk("Linux am Server", folder, [LINUX], dict(d.env, GAVELDESK_HOME=folder)))
        wseat, lseat = seats
        code, out, err = wseat.run("--import", os.path.join("mails", "verkauf.txt"))
        check("Windows-Platz: Verbindung zum Server über TLS (Zertifikat geprüft), Tabellen angelegt, eingelesen",
              code == 0, out + err)
        listed = lseat.run("--list")[1]
        check("Linux-Platz sieht die Auktion des Windows-Platzes", "1234567890" in listed, listed)
        code, out, err = lseat.run("--import", os.path.join("mails", "kauf.txt"))
        check("Linux-Platz liest eine Auktion ein", code == 0, out + err)
        seen = wseat.run("--list")[1]
        check("Windows-Platz sieht die Auktion des Linux-Platzes", seen == lseat.run("--list")[1] and
              len(seen.splitlines()) == len(listed.splitlines()) + 1, seen)
        # Another team's CA: the server's certificate does not verify, nothing is read.
        other = os.path.join(state, "fremd.crt")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                        "/CN=Fremde CA", "-keyout", os.path.join(state, "fremd.key"), "-out", other],
                       capture_output=True, check=True)
        set_main(wseat.folder, "ServerZertifikat", "Z:" + other.replace("/", "\\"))
        code, out, err = wseat.run("--list")
        check("Windows-Platz: ein Server, dessen Zertifikat die eingestellte CA nicht bestätigt, wird abgelehnt",
              code != 0 and "1234567890" not in out, out + err)
        set_main(wseat.folder, "ServerZertifikat", "Z:" + ca.replace("/", "\\"))
        stale_save_refused(wseat, port)
    finally:
        subprocess.run(["python3", PGSERVER, "stop", state], capture_output=True)
        shutil.rmtree(state, ignore_errors=True)


def scrambled(password):
    """A password as the options keep it in config.ini."""
    key = "QMR (KVX-Zentral)".encode("cp1252")
    return "".join("%02X" % (b ^ key[i % len(key)]) for i, b in enumerate(password.encode("cp1252")))


def mailbox(win):
    """The Windows program fetches the seller's mailbox from the tests' own IMAP server: TLS with the
    server's certificate trusted by its fingerprint, the notification stored once and filed, the
    platform's other mail left unread where it was."""
    state = os.path.join(tempfile.mkdtemp(prefix="gaveldesk-wine-imap-"), "imap")
    subprocess.run(["python3", IMAPSERVER, "start", state], capture_output=True)
    if os.path.exists(os.path.join(state, "skip")) or not os.path.exists(os.path.join(state, "port_tls")):
        check("IMAP-Server für den Posteingang", False, "Dovecot fehlt oder startet nicht")
        return
    try:
        read = lambda name: open(os.path.join(state, name)).read().strip()
        host, port = read("host"), read("port_tls")
        with open(os.path.join(ROOT, "tests", "data", "mails", "verkauf.eml"), "rb") as f:
            notice = f.read().replace(b"1234567890", b"5550001111")
        other = (b"From: Plattform <news@ebay.example>\r\nTo: verkauf@example.de\r\nSubject: Angebote\r\n"
                 b"MIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\nNur Werbung.\r\n")
        files = []
        for name, data in (("notice.eml", notice), ("other.eml", other)):
            files.append(os.path.join(os.path.dirname(state), name))
            with open(files[-1], "wb") as f:
                f.write(data)
        subprocess.run(["python3", IMAPSERVER, "deliver", state] + files, check=True, capture_output=True)
        fingerprint = subprocess.run(["openssl", "x509", "-noout", "-fingerprint", "-sha256", "-in",
                                      os.path.join(state, "ca.crt")], capture_output=True, text=True,
                                     check=True).stdout.strip().split("=", 1)[1].upper()
        folder = os.path.join(os.path.dirname(win.folder), "posteingang-windows")
        shutil.copytree(win.folder, folder)
        with open(os.path.join(folder, "bin", "config.ini"), "ab") as f:
            f.write(("\r\n[Posteingang]\r\nServer=%s\r\nPort=%s\r\nSicherheit=SSL\r\nBenutzer=verkauf@example.de"
                     "\r\nKennwort=%s\r\nAbsender=ebay.example\r\n[Zertifikate]\r\n%s:%s=%s\r\n"
                     % (host, port, scrambled(read("kennwort")), host, port, fingerprint)).encode("cp1252"))
        seat = Desk("Windows-Posteingang", folder, [WINE, os.path.join(folder, "gaveldesk.exe")], win.env)
        code, out, err = seat.run("--fetch")
        check("Windows: Posteingang über TLS abgerufen (Zertifikat nach Fingerabdruck), Verkauf gespeichert",
              code == 0 and "1 Auktion gespeichert" in out, out + err)
        listed = seat.run("--list")[1]
        check("Windows: der abgerufene Verkauf steht in der Liste", "5550001111" in listed, listed)
        lines = lambda box: subprocess.run(["python3", IMAPSERVER, "list", state, box], capture_output=True,
                                           text=True).stdout.splitlines()
        inbox, filed = lines("INBOX"), lines("Gaveldesk/Eingelesen")
        check("Windows: die Benachrichtigung abgelegt, die andere E-Mail ungelesen im Posteingang",
              len(filed) == 1 and len(inbox) == 1 and "Seen" not in inbox[0], f"{inbox}\n{filed}")
        code, out, err = seat.run("--fetch")
        check("Windows: ein zweiter Abruf speichert nichts doppelt", code == 0 and "0 Auktionen gespeichert" in out,
              out + err)
    finally:
        subprocess.run(["python3", IMAPSERVER, "stop", state], capture_output=True)
        shutil.rmtree(os.path.dirname(state), ignore_errors=True)


# From the search box (Ctrl+F) to the pane's field "Mitteilung", and on from it to "Speichern",
# by Tab as a keyboard user goes: the order of the form's controls.
TABS_TO_NOTE, TABS_TO_SAVE = 22, 10


def stale_save_refused(seat, port):
    """The Windows window shows a trade; while a note is typed there, the trade is changed at the
    server; "Speichern" is refused and the change stays; reloaded, the note goes in beside it."""
    def server(sql):
        return subprocess.run(["psql", "-X", "-q", "-A", "-t", "-h", "127.0.0.1", "-p", port, "-U", "gaveldesk",
                               "-d", "team", "-c", sql], env=dict(os.environ, PGSSLMODE="disable"),
                              capture_output=True, text=True).stdout.strip()

    def keys(*names, text=None):
        for name in names:
            subprocess.run(["xdotool", "key", "--delay", "80", name], env=seat.env, capture_output=True)
            time.sleep(0.15)
        if text:
            subprocess.run(["xdotool", "type", "--delay", "60", text], env=seat.env, capture_output=True)
        time.sleep(0.5)

    def to_note():
        keys("ctrl+f", *(["Tab"] * TABS_TO_NOTE))

    app = subprocess.Popen([WINE, os.path.join(seat.folder, "gaveldesk-fenster.exe")], cwd=seat.folder, env=seat.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        window = window_of(seat.env, 90)
        if window is None:
            check("Windows-Fenster am Server", False, "kein Fenster")
            return
        time.sleep(5)
        subprocess.run(["xdotool", "windowactivate", "--sync", window], env=seat.env, capture_output=True)
        to_note()
        keys(text="Paket gepackt (Windows)")
        server("update auktionen set hinweise = 'Abholung am Freitag (Linux)'")
        time.sleep(3)
        keys(*(["Tab"] * TABS_TO_SAVE), "space")
        time.sleep(3)
        shot = os.path.join(PACKAGE, "wine-platz-abgelehnt.png")
        subprocess.run(["import", "-window", "root", shot], env=seat.env)
        notes = server("select count(*) from auktionen where mitteilungen like '%Windows%'")
        kept = server("select count(*) from auktionen where hinweise <> 'Abholung am Freitag (Linux)'")
        check("Windows-Fenster: Speichern über eine inzwischen geänderte Auktion abgelehnt, die Änderung bleibt "
              f"(Bildschirmfoto {shot})", notes == "0" and kept == "0", f"gespeichert: {notes}, überschrieben: {kept}")
        keys("alt+j")  # reload
        time.sleep(3)
        to_note()
        keys(text="Paket gepackt (Windows)")
        keys(*(["Tab"] * TABS_TO_SAVE), "space")
        time.sleep(3)
        check("Windows-Fenster: neu geladen, dann gespeichert, beide Änderungen stehen",
              server("select count(*) from auktionen where mitteilungen like '%Windows%' and hinweise = "
                     "'Abholung am Freitag (Linux)'") == "1")
    finally:
        app.kill()
        app.wait()


def imports_only_shipped_or_system(folder):
    """objdump -p of every program and library: each import is in the ZIP or part of Windows."""
    shipped, binaries = set(), []
    for here, _, files in os.walk(folder):
        for f in files:
            if f.lower().endswith((".exe", ".dll")):
                shipped.add(f.lower())
                binaries.append(os.path.join(here, f))
    missing = set()
    for b in binaries:
        out = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", b], capture_output=True, text=True).stdout
        for name in re.findall(r"DLL Name: (\S+)", out):
            n = name.lower()
            if n not in shipped and n.removesuffix(".dll") not in SYSTEM_DLLS and not n.startswith("api-ms-win-"):
                missing.add(f"{os.path.basename(b)} -> {name}")
    check(f"objdump -p: {len(binaries)} Programme und Bibliotheken brauchen nur Mitgeliefertes und Windows",
          not missing, "\n".join(sorted(missing)))


def installer(env):
    """The installer unattended: program, start-menu entry; the uninstaller keeps the user's data."""
    setups = sorted(glob.glob(os.path.join(PACKAGE, "gaveldesk-*-setup.exe")))
    if not setups:
        check("Installationsprogramm vorhanden", False)
        return
    drive = os.path.join(env["WINEPREFIX"], "drive_c")
    code = subprocess.run([WINE, setups[-1], "/S"], env=env, capture_output=True, timeout=300).returncode
    target = os.path.join(drive, "Program Files", "Gaveldesk")
    check("Installation: Programm unter C:\\Program Files\\Gaveldesk",
          code == 0 and os.path.exists(os.path.join(target, "gaveldesk-fenster.exe")), f"Rückgabe {code}")
    links = [p for p in glob.glob(os.path.join(drive, "**", "Start Menu", "**", "*.lnk"), recursive=True)
             if "gaveldesk" in p.lower()]
    check("Installation: Eintrag im Startmenü", bool(links))
    check("Installation: Deinstallieren heißt im Startmenü „Gaveldesk entfernen“",
          any(os.path.basename(p) == "Gaveldesk entfernen.lnk" for p in links)
          and not any(os.path.basename(p) == "Uninstall.lnk" for p in links), str(links))
    size = ""
    for hive in ("HKLM", "HKCU"):
        size += subprocess.run([WINE, "reg", "query", hive + r"\Software\Microsoft\Windows\CurrentVersion\Uninstall",
                                "/s"], env=env, capture_output=True, text=True, errors="replace").stdout
    check("Installation: Größe in der Liste der installierten Programme", "EstimatedSize" in size,
          size[-2000:])
    installed = Desk("Windows (installiert)", target, [WINE, os.path.join(target, "gaveldesk.exe")], env)
    code, out, _ = installed.run("--version")
    check("installiertes Programm startet", code == 0 and "Gaveldesk" in out, out)
    # Program Files is no place for data, whoever may write there: the user's profile is.
    check("installiertes Programm: Daten in %APPDATA%\\Gaveldesk",
          "AppData" in out.split("Daten:")[-1] and "Program Files" not in out.split("Daten:")[-1], out)
    for name in ("LIZENZEN.txt", os.path.join("Lizenzen", "Qt.txt"), os.path.join("Lizenzen", "LGPL-3.txt"),
                 os.path.join("Lizenzen", "OpenSSL.txt"), os.path.join("Lizenzen", "SQLCipher.txt")):
        check(f"Installation: {name}", os.path.exists(os.path.join(target, name)))
    data = glob.glob(os.path.join(drive, "users", "*", "AppData", "Roaming"))
    kept = os.path.join(data[0] if data else drive, "Gaveldesk", "gaveldesk.mdb")
    code, out, err = installed.run("--create-database")
    check("installiertes Programm legt seine Datenbank in %APPDATA%\\Gaveldesk an",
          code == 0 and os.path.exists(kept) and not os.path.exists(os.path.join(target, "gaveldesk.mdb")),
          out + err)
    subprocess.run([WINE, os.path.join(target, "Uninstall.exe"), "/S"], env=env, capture_output=True, timeout=300)
    for _ in range(60):  # the uninstaller runs on as a copy of itself
        if not os.path.exists(os.path.join(target, "gaveldesk.exe")):
            break
        time.sleep(1)
    check("Deinstallation entfernt das Programm", not os.path.exists(os.path.join(target, "gaveldesk.exe")))
    check("Deinstallation lässt die Daten in %APPDATA%\\Gaveldesk", os.path.exists(kept))


def reason(text):
    """The German cause after the path-bearing first sentence."""
    return text.strip().splitlines()[-1].split(".", 1)[-1].strip() if text.strip() else ""


def refused_writes(win, lin):
    """A read-only file and a full disk: each build refuses alike and keeps the old file."""
    # root may write a read-only file on Linux; Windows (and Wine) refuse anyone.
    for d in (win, lin) if os.geteuid() != 0 else (win,):
        target = os.path.join(d.folder, "export.csv")
        before = open(target, "rb").read()
        os.chmod(target, 0o444)
        code, out, err = d.run("--export-csv", "export.csv")
        check(f"schreibgeschützte Datei unter {d.name}: abgelehnt, alter Inhalt bleibt",
              code != 0 and open(target, "rb").read() == before and "Berechtigung" in err + out, out + err)
        os.chmod(target, 0o644)
    if os.geteuid() != 0:
        say("übersprungen: voller Datenträger (nur als root)")
        return
    small = tempfile.mkdtemp(prefix="gaveldesk-voll-")
    if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", small]).returncode != 0:
        say("übersprungen: voller Datenträger (kein tmpfs)")
        return
    try:
        with open(os.path.join(small, "alt.csv"), "wb") as f:
            f.write(b"alt")
        try:
            with open(os.path.join(small, "fueller"), "wb", buffering=0) as f:
                while True:
                    f.write(b"x" * 1024)
        except OSError:
            pass
        said = {}
        for d in (win, lin):
            code, out, err = d.run("--export-csv", os.path.join(small, "alt.csv"))
            said[d.name] = err + out
            check(f"voller Datenträger unter {d.name}: gemeldet, alte Datei unverändert",
                  code != 0 and open(os.path.join(small, "alt.csv"), "rb").read() == b"alt"
                  and "voll" in err + out, out + err)
        leftovers = [n for n in os.listdir(small) if ".gdtmp-" in n]
        check("voller Datenträger: keine halbe Datei bleibt liegen", not leftovers, str(leftovers))
    finally:
        subprocess.run(["umount", small])
        os.rmdir(small)


def screenshot(folder, env):
    """The window under Wine on a virtual display, photographed into build/windows-package."""
    shot = os.path.join(PACKAGE, "wine-fenster.png")
    genv = env
    app = subprocess.Popen([WINE, os.path.join(folder, "gaveldesk-fenster.exe")], cwd=folder, env=genv,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(25)
    subprocess.run(["import", "-window", "root", shot], env=genv)
    check("Fenster unter Wine läuft", app.poll() is None, "das Programm hat sich beendet")
    # A second start hands over to the first (single-instance lock) and ends.
    second = subprocess.Popen([WINE, os.path.join(folder, "gaveldesk-fenster.exe")], cwd=folder, env=genv,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        second.wait(timeout=60)
        check("zweiter Start endet, das erste Fenster bleibt", app.poll() is None)
    except subprocess.TimeoutExpired:
        second.kill()
        check("zweiter Start endet, das erste Fenster bleibt", False, "der zweite Start läuft weiter")
    check("Bildschirmfoto " + shot, os.path.exists(shot))
    app.kill()
    app.wait()
    # Killed, it left its lock: the next start takes it over, says so in the protocol and runs.
    again = subprocess.Popen([WINE, os.path.join(folder, "gaveldesk-fenster.exe")], cwd=folder, env=genv,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(25)
    noted = any("übernommen" in open(f, encoding="cp1252", errors="replace").read()
                for f in glob.glob(os.path.join(folder, "*.ERR")))
    check("nach einem Abbruch startet das Fenster wieder (Sperre übernommen, im Protokoll)",
          again.poll() is None and noted, f"läuft: {again.poll() is None}, im Protokoll: {noted}")
    again.kill()
    again.wait()


def window_of(env, seconds):
    """The X window of the main form once it is shown, else None."""
    for _ in range(seconds * 2):
        found = subprocess.run(["xdotool", "search", "--name", "Orvo Gaveldesk"], env=env, capture_output=True,
                               text=True).stdout.split()
        if found:
            return found[0]
        time.sleep(0.5)
    return None


def quits_by_menu(package, folder, env, times=20):
    """Started and ended by "Beenden" (its key, Ctrl+B) twenty times: no crash, no process left.

    A fresh portable folder with a few sales (the folders above hold a file that came from
    Linux, about which the window rightly warns). Every other start finds today's backup
    missing, so the program is ended while the backup runs beside the window: that is how
    threads end during the quit.
    """
    with zipfile.ZipFile(package) as z:
        z.extractall(folder)
    (top,) = os.listdir(folder)
    folder = os.path.join(folder, top)
    prepare(folder)
    desk = Desk("Windows (Beenden)", folder, [WINE, os.path.join(folder, "gaveldesk.exe")], env)
    desk.run("--create-database", "gaveldesk.mdb")
    desk.run("--import", *[os.path.join("mails", m) for m in MAILS])
    # A crash prints its trace and ends instead of waiting in Wine's dialog.
    subprocess.run([WINE, "reg", "add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog", "/t", "REG_DWORD",
                    "/d", "0", "/f"], env=env, capture_output=True)
    faults, started = [], time.time()
    for n in range(1, times + 1):
        if n % 2:
            for old in glob.glob(os.path.join(folder, "Sicherungen", "gaveldesk-*.gdsicherung")):
                os.remove(old)
        p = subprocess.Popen([WINE, os.path.join(folder, "gaveldesk-fenster.exe")], cwd=folder, env=env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        window = window_of(env, 60)
        if window is None:
            p.kill()
            faults.append(f"{n}: kein Fenster")
            continue
        # A key pressed while the window is still being set up may go nowhere: pressed again
        # while the window is there, as a user would. Once it is gone, the process must end.
        for _ in range(6):
            subprocess.run(["xdotool", "windowactivate", "--sync", window], env=env, capture_output=True)
            subprocess.run(["xdotool", "key", "ctrl+b"], env=env, capture_output=True)  # typed, not sent to the window
            try:
                p.wait(timeout=10)
                break
            except subprocess.TimeoutExpired:
                if window_of(env, 1) is None:
                    break
        try:
            _, err = p.communicate(timeout=60)
            if p.returncode != 0 or b"Unhandled" in err:
                faults.append(f"{n}: Rückgabe {p.returncode} {err.decode(errors='replace').strip()[:300]}")
        except subprocess.TimeoutExpired:
            shown = window_of(env, 1) is not None
            p.kill()
            p.communicate()
            faults.append(f"{n}: das Fenster schließt nicht" if shown
                          else f"{n}: das Fenster ist zu, das Programm läuft nach einer Minute noch")
        left = subprocess.run(["pgrep", "-f", "gaveldesk-fenster.exe"], capture_output=True, text=True).stdout.split()
        if left:
            faults.append(f"{n}: Prozess bleibt: {left}")
            subprocess.run(["pkill", "-9", "-f", "gaveldesk-fenster.exe"])
    check(f"{times}-mal über „Beenden“ geschlossen ({time.time() - started:.0f} s): kein Absturz, kein Hängen, "
          "kein Prozess bleibt", not faults, "\n".join(faults))


if __name__ == "__main__":
    sys.exit(main())
