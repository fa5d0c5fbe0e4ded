#!/usr/bin/python3
"""An IMAP server that misbehaves in one way, for one test: plain text on a free loopback port.

  lying_imap.py MODE     prints "PORT n", then answers connections until stdin closes

Modes: no-uidvalidity (SELECT names none), short-literal (a mail announced longer than sent, then
the line cut), trickle (the greeting a byte every second), flood (an endless line), bye (BYE
after the sign-in)."""
import socket
import sys
import threading
import time

MAIL = (b"From: Plattform <mitglied@ebay.example>\r\nSubject: x\r\n\r\nArtikelnummer: 1\r\n")


def serve(conn, mode):
    f = conn.makefile("rb")

    def send(data):
        conn.sendall(data)

    if mode == "trickle":
        for b in b"* OK bereit\r\n":
            send(bytes([b]))
            time.sleep(1)
        return
    send(b"* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN SASL-IR] bereit\r\n")
    for line in f:
        tag, _, rest = line.rstrip(b"\r\n").partition(b" ")
        cmd = rest.split(b" ")[0].upper()
        if cmd == b"CAPABILITY":
            send(b"* CAPABILITY IMAP4rev1 AUTH=PLAIN SASL-IR\r\n" + tag + b" OK fertig\r\n")
        elif cmd in (b"AUTHENTICATE", b"LOGIN"):
            if mode == "bye":
                send(b"* BYE Wartungsarbeiten\r\n")
                return
            send(tag + b" OK angemeldet\r\n")
        elif cmd == b"SELECT":
            if mode != "no-uidvalidity":
                send(b"* OK [UIDVALIDITY 77] gut\r\n")
            send(b"* 1 EXISTS\r\n" + tag + b" OK [READ-WRITE] gewaehlt\r\n")
        elif rest.upper().startswith(b"UID SEARCH"):
            send(b"* SEARCH 5\r\n" + tag + b" OK gesucht\r\n")
        elif rest.upper().startswith(b"UID FETCH") and b"RFC822.SIZE" in rest.upper():
            send(b"* 1 FETCH (UID 5 RFC822.SIZE %d)\r\n" % len(MAIL) + tag + b" OK\r\n")
        elif rest.upper().startswith(b"UID FETCH"):
            if mode == "flood":
                send(b"* 1 FETCH (UID 5 BODY[] \"")
                chunk = b"x" * 65536
                while True:
                    send(chunk)
            send(b"* 1 FETCH (UID 5 BODY[] {5000}\r\n" + MAIL)
            return
        elif cmd == b"LOGOUT":
            send(b"* BYE\r\n" + tag + b" OK\r\n")
            return
        else:
            send(tag + b" BAD unbekannt\r\n")


def main():
    mode = sys.argv[1]
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", 0))
    s.listen()

    def accept():
        while True:
            conn, _ = s.accept()

            def run(c=conn):
                try:
                    serve(c, mode)
                except OSError:
                    pass
                finally:
                    c.close()
            threading.Thread(target=run, daemon=True).start()
    threading.Thread(target=accept, daemon=True).start()
    print("PORT %d" % s.getsockname()[1], flush=True)
    sys.stdin.read()


main()
