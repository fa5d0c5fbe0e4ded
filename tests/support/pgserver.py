#!/usr/bin/python3
"""A PostgreSQL server of the tests' own: initdb and pg_ctl from Debian's package, as an
unprivileged user (nobody when run as root), on a free loopback port, with TLS.

  pgserver.py start STATE   makes and starts it; STATE/port, STATE/ca.crt, STATE/skip
  pgserver.py stop STATE    stops it and removes its files
  pgserver.py halt STATE    stops it, keeping its files;  pgserver.py resume STATE  starts it again

User "gaveldesk" is trusted; user "kasse" signs in over TLS with the password in STATE/kennwort.
Where PostgreSQL is not installed, STATE/skip says so and every server test skips."""
import glob
import os
import pwd
import shutil
import socket
import subprocess
import sys
import tempfile

PASSWORD = "Kasse-2026"


def bindir():
    found = sorted(glob.glob("/usr/lib/postgresql/*/bin/initdb"))
    return os.path.dirname(found[-1]) if found else None


def as_owner(cmd, owner):
    if os.geteuid() == 0:
        cmd = ["setpriv", "--reuid=%d" % owner.pw_uid, "--regid=%d" % owner.pw_gid, "--clear-groups"] + cmd
    return subprocess.run(cmd, check=True, capture_output=True, text=True)


def owner():
    return pwd.getpwnam("nobody") if os.geteuid() == 0 else pwd.getpwuid(os.getuid())


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def pg_ctl(state, action):
    home = open(os.path.join(state, "home")).read()
    port = open(os.path.join(state, "port")).read()
    b = bindir()
    opts = "-p %s -k %s -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off" % (port, home)
    args = [os.path.join(b, "pg_ctl"), "-D", os.path.join(home, "data"), "-l", os.path.join(home, "log"), "-w"]
    if action == "start":
        as_owner(args + ["-o", opts, "start"], owner())
    else:
        as_owner(args + ["-m", "fast", "stop"], owner())


def start(state):
    os.makedirs(state, exist_ok=True)
    for f in ("skip", "port"):
        if os.path.exists(os.path.join(state, f)):
            os.remove(os.path.join(state, f))
    b = bindir()
    if not b or not shutil.which("openssl"):
        open(os.path.join(state, "skip"), "w").write("PostgreSQL (initdb) ist nicht installiert")
        return
    who = owner()
    home = tempfile.mkdtemp(prefix="gaveldesk-pg-")
    os.chown(home, who.pw_uid, who.pw_gid)
    os.chmod(home, 0o700)
    open(os.path.join(state, "home"), "w").write(home)
    data = os.path.join(home, "data")
    as_owner([os.path.join(b, "initdb"), "-D", data, "-U", "gaveldesk", "-A", "trust", "-E", "UTF8",
              "--locale=C.UTF-8"], who)
    # A CA of the tests' own and a server certificate for localhost and 127.0.0.1.
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30", "-subj",
                    "/CN=Gaveldesk Test-CA", "-keyout", os.path.join(state, "ca.key"), "-out",
                    os.path.join(state, "ca.crt")], check=True, capture_output=True)
    ext = os.path.join(state, "san.ext")
    open(ext, "w").write("subjectAltName=DNS:localhost,IP:127.0.0.1\n")
    key, csr, crt = (os.path.join(data, n) for n in ("server.key", "server.csr", "server.crt"))
    subprocess.run(["openssl", "req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost", "-keyout", key,
                    "-out", csr], check=True, capture_output=True)
    subprocess.run(["openssl", "x509", "-req", "-in", csr, "-CA", os.path.join(state, "ca.crt"), "-CAkey",
                    os.path.join(state, "ca.key"), "-CAcreateserial", "-days", "30", "-extfile", ext, "-out", crt],
                   check=True, capture_output=True)
    for f in (key, crt):
        os.chown(f, who.pw_uid, who.pw_gid)
        os.chmod(f, 0o600)
    with open(os.path.join(data, "postgresql.conf"), "a") as conf:
        conf.write("ssl = on\nmax_connections = 60\nshared_buffers = 64MB\n")
    with open(os.path.join(data, "pg_hba.conf"), "w") as hba:
        hba.write("local all all trust\nhostssl all kasse 127.0.0.1/32 scram-sha-256\n"
                  "host all gaveldesk 127.0.0.1/32 trust\n")
    open(os.path.join(state, "port"), "w").write(str(free_port()))
    pg_ctl(state, "start")
    psql(state, "postgres", "CREATE ROLE kasse LOGIN CREATEDB PASSWORD '%s'" % PASSWORD)
    open(os.path.join(state, "kennwort"), "w").write(PASSWORD)
    os.chmod(os.path.join(state, "kennwort"), 0o600)


def psql(state, db, sql):
    port = open(os.path.join(state, "port")).read()
    subprocess.run(["psql", "-X", "-q", "-h", "127.0.0.1", "-p", port, "-U", "gaveldesk", "-d", db, "-c", sql],
                   check=True, capture_output=True, env=dict(os.environ, PGSSLMODE="disable"))


def stop(state):
    if not os.path.exists(os.path.join(state, "home")):
        return
    home = open(os.path.join(state, "home")).read()
    try:
        pg_ctl(state, "stop")
    except subprocess.CalledProcessError:
        pass
    shutil.rmtree(home, ignore_errors=True)
    for f in ("home", "port"):
        if os.path.exists(os.path.join(state, f)):
            os.remove(os.path.join(state, f))


if __name__ == "__main__":
    action, where = sys.argv[1], os.path.abspath(sys.argv[2])
    {"start": start, "stop": stop, "halt": lambda s: pg_ctl(s, "stop"),
     "resume": lambda s: pg_ctl(s, "start")}[action](where)
