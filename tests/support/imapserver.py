#!/usr/bin/python3
"""An IMAP server of the tests' own: Dovecot from Debian's package, unprivileged (as nobody when run as
root), on free loopback ports, with implicit TLS and STARTTLS.

  imapserver.py start STATE [--no-starttls] [--oauth2 URL]   makes and starts it; STATE/host, STATE/port_tls,
                                              STATE/port_plain, STATE/ca.crt, STATE/kennwort, STATE/skip
  imapserver.py stop STATE                    stops it and removes STATE
  imapserver.py halt STATE                    stops it, keeping everything;  resume STATE  starts it again
  imapserver.py freeze STATE                  stalls it (connections stay, nothing answers);  thaw STATE
  imapserver.py deliver STATE FILE... [--folder NAME] [--seen]   puts messages in (default INBOX)
  imapserver.py fill STATE N                  puts N small unrelated mails into INBOX
  imapserver.py list STATE [FOLDER]           prints UID<TAB>FLAGS<TAB>Subject per mail, by UID

User verkauf@example.de signs in with the password in STATE/kennwort. LOGIN without TLS is refused;
the plain port offers STARTTLS unless --no-starttls (--plain-only means the same). Folders are
separated by "/"; STATE/maildir names the Maildir root (INBOX in INBOX/, folder A/B in A/B/), and
STATE/dovecot.log is the server's log. The host is 127.0.0.2, not 127.0.0.1: Dovecot counts a client
whose address equals the server's as secure and would allow LOGIN in plaintext.
Where Dovecot is not installed, STATE/skip says so and every IMAP test skips."""
import argparse
import base64
import contextlib
import email
import email.policy
import email.utils
import grp
import hashlib
import imaplib
import os
import pwd
import re
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import time

HOST = "127.0.0.2"
USER = "verkauf@example.de"
PASSWORD = "Gavel-Post-2026"
SBIN = os.pathsep.join([os.environ.get("PATH", ""), "/usr/sbin", "/usr/local/sbin"])
OWNER = pwd.getpwnam("nobody") if os.geteuid() == 0 else pwd.getpwuid(os.getuid())

CONFIG = """base_dir = {home}/run
state_dir = {home}/lib
instance_name = gaveldesk-imap-{port_tls}
log_path = {home}/dovecot.log
protocols = imap
listen = {host}
ssl = yes
ssl_cert = <{home}/server.crt
ssl_key = <{home}/server.key
disable_plaintext_auth = yes
auth_mechanisms = plain login{oauth_mechanisms}
auth_verbose = yes
default_internal_user = {user}
default_internal_group = {group}
default_login_user = {user}
first_valid_uid = {uid}
first_valid_gid = {gid}
passdb {{
  driver = passwd-file
  args = {home}/users
}}
{oauth_passdb}userdb {{
  driver = passwd-file
  args = {home}/users
}}
mail_location = maildir:{home}/mail:LAYOUT=fs:UTF-8:INBOX={home}/mail/INBOX
# Folders made by "deliver" behind the server's back must show up at once.
mailbox_list_index = no
mail_fsync = never
namespace inbox {{
  inbox = yes
  separator = /
}}
# Chroot needs root.
service anvil {{
  chroot =
}}
service imap-login {{
  chroot =
  inet_listener imap {{
    port = 0
  }}
  inet_listener imaps {{
    port = {port_tls}
    ssl = yes
  }}
}}
# ssl is global in Dovecot; a login service of its own lets the plain port go without STARTTLS.
service imap-login-plain {{
  executable = imap-login{plain_opts}
  type = login
  protocol = imap
  user = $default_login_user
  inet_listener imap {{
    port = {port_plain}
  }}
}}
"""


def give(path):
    # What root writes must stay usable for the unprivileged server.
    if os.geteuid() == 0:
        os.chown(path, OWNER.pw_uid, OWNER.pw_gid)


def read(state, name):
    return open(os.path.join(state, name)).read().strip()


def write(folder, name, text, mode=0o644):
    with open(os.open(os.path.join(folder, name), os.O_WRONLY | os.O_CREAT | os.O_TRUNC, mode), "w") as f:
        f.write(text)


def free_ports():
    with socket.socket() as a, socket.socket() as b:
        a.bind((HOST, 0))
        b.bind((HOST, 0))
        return a.getsockname()[1], b.getsockname()[1]


# A token is the provider's to judge: Dovecot asks its introspection endpoint (RFC 7662).
OAUTH_PASSDB = """passdb {{
  driver = oauth2
  mechanisms = xoauth2 oauthbearer
  args = {home}/oauth2.conf
}}
"""
OAUTH_CONF = """introspection_mode = post
introspection_url = {url}
force_introspection = yes
username_attribute = username
active_attribute = active
active_value = true
"""


def start(state, starttls, oauth2=None):
    if os.path.exists(os.path.join(state, "home")):
        stop(state)
    os.makedirs(state, mode=0o700, exist_ok=True)
    if not shutil.which("dovecot", path=SBIN) or not shutil.which("openssl"):
        write(state, "skip", "Dovecot ist nicht installiert (dovecot-imapd)")
        return
    who = OWNER
    # Not inside STATE: socket paths must stay short, and nobody may not reach a STATE under /root.
    home = tempfile.mkdtemp(prefix="gaveldesk-imap-")
    write(state, "home", home)
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30",
                    "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1,IP:" + HOST,
                    "-keyout", os.path.join(home, "server.key"), "-out", os.path.join(home, "server.crt")],
                   check=True, capture_output=True)
    shutil.copyfile(os.path.join(home, "server.crt"), os.path.join(state, "ca.crt"))
    salt = os.urandom(8)
    hashed = base64.b64encode(hashlib.sha256(PASSWORD.encode() + salt).digest() + salt).decode()
    write(home, "users", "%s:{SSHA256}%s:%d:%d::%s/mail::\n" % (USER, hashed, who.pw_uid, who.pw_gid, home), 0o600)
    for sub in ("cur", "new", "tmp"):
        os.makedirs(os.path.join(home, "mail", "INBOX", sub), mode=0o700)
    port_tls, port_plain = free_ports()
    if oauth2:
        write(home, "oauth2.conf", OAUTH_CONF.format(url=oauth2))
    write(home, "dovecot.conf", CONFIG.format(
        home=home, host=HOST, user=who.pw_name, group=grp.getgrgid(who.pw_gid).gr_name, uid=who.pw_uid,
        gid=who.pw_gid, port_tls=port_tls, port_plain=port_plain, plain_opts="" if starttls else " -o ssl=no",
        oauth_mechanisms=" xoauth2 oauthbearer" if oauth2 else "",
        oauth_passdb=OAUTH_PASSDB.format(home=home) if oauth2 else ""))
    os.chmod(os.path.join(home, "server.key"), 0o600)
    for root, _, files in os.walk(home):
        for name in [root] + [os.path.join(root, f) for f in files]:
            give(name)
    for name, text in (("host", HOST), ("port_tls", port_tls), ("port_plain", port_plain),
                       ("maildir", os.path.join(home, "mail"))):
        write(state, name, str(text))
    write(state, "kennwort", PASSWORD, 0o600)
    os.symlink(os.path.join(home, "dovecot.log"), os.path.join(state, "dovecot.log"))
    resume(state)


def greets(port, context=None):
    try:
        with socket.create_connection((HOST, port), timeout=1) as raw:
            sock = context.wrap_socket(raw, server_hostname=HOST) if context else raw
            return sock.recv(256).startswith(b"* OK")
    except OSError:
        return False


def fail(state, why):
    log = os.path.join(read(state, "home"), "dovecot.log")
    sys.exit(why + "\n" + (open(log).read() if os.path.exists(log) else ""))


def resume(state):
    home = read(state, "home")
    cmd = [shutil.which("dovecot", path=SBIN), "-c", os.path.join(home, "dovecot.conf")]
    if os.geteuid() == 0:
        cmd = ["setpriv", "--reuid=%d" % OWNER.pw_uid, "--regid=%d" % OWNER.pw_gid, "--clear-groups"] + cmd
    # A file, not a pipe: the daemonised master keeps it open, so reading a pipe would never end.
    with open(os.path.join(home, "start.err"), "w+") as err:
        if subprocess.run(cmd, stdin=subprocess.DEVNULL, stdout=err, stderr=err).returncode != 0:
            err.seek(0)
            fail(state, "Dovecot startete nicht: " + err.read())
    context = ssl.create_default_context(cafile=os.path.join(state, "ca.crt"))
    deadline = time.monotonic() + 10
    # Greetings, not just open ports: the login process greets only once auth is ready.
    while not (greets(int(read(state, "port_plain"))) and greets(int(read(state, "port_tls")), context)):
        if time.monotonic() > deadline:
            fail(state, "Dovecot meldet sich nicht binnen 10 s")
        time.sleep(0.05)


def proc_stat(pid):
    try:
        return open("/proc/%s/stat" % pid).read().rsplit(")", 1)[1].split()
    except OSError:
        return None


def alive(pid):
    # A zombie holds no ports; whatever reaps orphans here may take seconds.
    stat = proc_stat(pid)
    return stat is not None and stat[0] != "Z"


def descendants(pid):
    children = {}
    for entry in filter(str.isdigit, os.listdir("/proc")):
        stat = proc_stat(entry)
        if stat:
            children.setdefault(int(stat[1]), []).append(int(entry))
    found, todo = [], [pid]
    while todo:
        found.append(todo.pop())
        todo += children.get(found[-1], [])
    return found


def server_procs(state):
    home = read(state, "home")
    pidfile = os.path.join(home, "run", "master.pid")
    if not os.path.exists(pidfile):
        return []
    pid = int(open(pidfile).read())
    # A stale pid may since belong to someone else.
    try:
        return descendants(pid) if home.encode() in open("/proc/%d/cmdline" % pid, "rb").read() else []
    except OSError:
        return []


def halt(state):
    pidfile = os.path.join(read(state, "home"), "run", "master.pid")
    procs = server_procs(state)
    thaw(state)  # a stalled server must see its SIGTERM
    # Sessions outlive the master until their client hangs up; a halt must cut them off as a crash
    # would, and a resume must not find the ports or the pid file taken.
    for sig, targets in ((signal.SIGTERM, procs[:1]), (signal.SIGTERM, procs), (signal.SIGKILL, procs)):
        for p in filter(alive, targets):
            with contextlib.suppress(ProcessLookupError):  # ended meanwhile
                os.kill(p, sig)
        deadline = time.monotonic() + 5
        while any(map(alive, targets)) and time.monotonic() < deadline:
            time.sleep(0.02)
        if not any(map(alive, procs)):
            break
    if os.path.exists(pidfile):
        os.remove(pidfile)


# A server that stalls: its connections stay open, nothing answers.
def freeze(state):
    for p in server_procs(state):
        with contextlib.suppress(ProcessLookupError):
            os.kill(p, signal.SIGSTOP)


def thaw(state):
    for p in server_procs(state):
        with contextlib.suppress(ProcessLookupError):
            os.kill(p, signal.SIGCONT)


def stop(state):
    # Only what start made: a mistyped STATE must not be wiped.
    if not any(os.path.exists(os.path.join(state, f)) for f in ("home", "skip")):
        return
    if os.path.exists(os.path.join(state, "home")):
        halt(state)
        shutil.rmtree(read(state, "home"), ignore_errors=True)
    shutil.rmtree(state, ignore_errors=True)


def folder_dir(state, folder):
    parts = ["INBOX"] if folder.upper() == "INBOX" else folder.split("/")
    if any(p in ("", ".", "..", "cur", "new", "tmp") for p in parts):
        sys.exit("Ungültiger Ordnername: %r" % folder)
    path = read(state, "maildir")
    for part in parts:
        path = os.path.join(path, part)
        if not os.path.isdir(path):
            os.mkdir(path, 0o700)
            give(path)
    for sub in ("cur", "new", "tmp"):
        if not os.path.isdir(os.path.join(path, sub)):
            os.mkdir(os.path.join(path, sub), 0o700)
            give(os.path.join(path, sub))
    return path


def put(path, messages, seen=False):
    # Dovecot numbers new files by the seconds and microseconds leading their names.
    first = time.time_ns() // 1000
    for n, data in enumerate(messages):
        secs, usecs = divmod(first + n, 1000000)
        name = "%d.M%06dP%dQ%d.gaveldesk" % (secs, usecs, os.getpid(), n)
        tmp = os.path.join(path, "tmp", name)
        with open(os.open(tmp, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600), "wb") as f:
            f.write(data)
        give(tmp)
        os.rename(tmp, os.path.join(path, "cur", name + ":2,S") if seen else os.path.join(path, "new", name))


SENDERS = ["newsletter@baumarkt-beispiel.de", "info@stadtwerke-beispiel.de", "Oma Gerda <gerda@example.org>",
           "Verein Frohsinn <vorstand@example.net>", "rechnung@telefon-beispiel.de", "noreply@paket-beispiel.de"]
SUBJECTS = ["Ihr Newsletter für diese Woche", "Abschlagszahlung angepasst", "Kuchen am Sonntag?",
            "Einladung zur Mitgliederversammlung", "Ihre Rechnung ist da", "Sendungsstatus aktualisiert"]


def fill(state, count):
    subjects = ["=?utf-8?b?%s?=" % base64.b64encode(s.encode()).decode() for s in SUBJECTS]
    date = email.utils.formatdate(localtime=True)

    def filler(n):
        return ("From: %s\r\nTo: %s\r\nSubject: %s %d\r\nDate: %s\r\nMessage-ID: <fill-%d-%d@example.org>\r\n"
                "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n"
                "Hallo,\r\nnur Post Nummer %d.\r\n" % (SENDERS[n % len(SENDERS)], USER, subjects[n % len(subjects)],
                                                       n, date, os.getpid(), n, n)).encode()
    put(folder_dir(state, "INBOX"), map(filler, range(count)))


def mutf7(name):
    # IMAP folder names travel in modified UTF-7 (RFC 3501, 5.1.3).
    def wide(m):
        if m.group() == "&":
            return "&-"
        return "&" + base64.b64encode(m.group().encode("utf-16-be")).decode().rstrip("=").replace("/", ",") + "-"
    return re.sub(r"[^\x20-\x7e]+|&", wide, name)


def listing(state, folder):
    context = ssl.create_default_context(cafile=os.path.join(state, "ca.crt"))
    imap = imaplib.IMAP4_SSL(HOST, int(read(state, "port_tls")), ssl_context=context, timeout=30)
    imap.login(USER, read(state, "kennwort"))
    typ, data = imap.select('"%s"' % mutf7(folder).replace("\\", "\\\\").replace('"', '\\"'), readonly=True)
    if typ != "OK":
        sys.exit("Ordner %s: %s" % (folder, data))
    rows = []
    if int(data[0]) > 0:
        for item in imap.uid("FETCH", "1:*", "(UID FLAGS BODY.PEEK[HEADER.FIELDS (SUBJECT)])")[1]:
            if not isinstance(item, tuple):
                continue
            uid = int(re.search(rb"UID (\d+)", item[0]).group(1))
            flags = re.search(rb"FLAGS \(([^)]*)\)", item[0]).group(1).decode().split()
            subject = email.message_from_bytes(item[1], policy=email.policy.default)["Subject"] or ""
            # \Recent belongs to whichever session looked first; tests cannot rely on it.
            rows.append((uid, " ".join(f for f in flags if f != "\\Recent"), re.sub(r"[\t\r\n]", " ", subject)))
    imap.logout()
    for row in sorted(rows):
        print("%d\t%s\t%s" % row)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("action", choices=["start", "stop", "halt", "resume", "freeze", "thaw", "deliver", "fill", "list"])
    parser.add_argument("state")
    parser.add_argument("args", nargs="*")
    parser.add_argument("--no-starttls", "--plain-only", action="store_true")
    parser.add_argument("--folder", default="INBOX")
    parser.add_argument("--seen", action="store_true")
    parser.add_argument("--oauth2", help="the token provider's introspection URL")
    a = parser.parse_intermixed_args()
    where = os.path.abspath(a.state)
    if a.action == "start":
        start(where, not a.no_starttls, a.oauth2)
    elif a.action == "deliver":
        put(folder_dir(where, a.folder), [open(f, "rb").read() for f in a.args], a.seen)
    elif a.action == "fill":
        fill(where, int(a.args[0]))
    elif a.action == "list":
        listing(where, a.args[0] if a.args else "INBOX")
    else:
        {"stop": stop, "halt": halt, "resume": resume, "freeze": freeze, "thaw": thaw}[a.action](where)
