"""SMTP servers that misbehave, one connection each: trickle, endless, flood, or a script of replies."""
import argparse
import socket
import sys
import time


def scripted(conn, replies):
    """One reply a command line, in DATA one for the final dot. "-" says nothing, a reply
    ending in "!" hangs up after it; when the replies run out the connection closes."""
    def say():
        reply = replies.pop(0) if replies else "!"
        if reply != "-" and reply != "!":
            conn.sendall(reply.rstrip("!").encode() + b"\r\n")
        return not reply.endswith("!")

    in_data = False
    if say():
        for line in conn.makefile("rb"):
            if in_data and line != b".\r\n":
                continue
            in_data = not in_data and line.upper() == b"DATA\r\n"
            if not say():
                break


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--mode", choices=["trickle", "endless", "flood", "script"], required=True)
    p.add_argument("--replies", default="", help="script: the replies, greeting first, joined by |")
    a = p.parse_args()
    srv = socket.socket()
    srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    srv.bind(("127.0.0.1", 0))
    srv.listen(1)
    print("PORT %d" % srv.getsockname()[1], flush=True)
    conn, _ = srv.accept()
    conn.settimeout(120)
    try:
        if a.mode == "trickle":
            for ch in b"220 mx.example ESMTP ready\r\n":
                conn.sendall(bytes([ch]))
                time.sleep(4)
        elif a.mode == "script":
            scripted(conn, a.replies.split("|"))
        elif a.mode == "endless":
            while True:
                conn.sendall(b"220-noch eine Zeile der Begruessung\r\n")
                time.sleep(0.001)
        else:
            chunk = b"x" * (1 << 20)
            for _ in range(64):
                conn.sendall(chunk)
            time.sleep(30)
    except OSError:
        pass  # the client gave up: what the test wants
    finally:
        conn.close()
    sys.exit(0)


if __name__ == "__main__":
    main()
