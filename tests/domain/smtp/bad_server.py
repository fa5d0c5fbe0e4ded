"""SMTP servers that misbehave, one connection each: trickle, endless, flood."""
import argparse
import socket
import sys
import time


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--mode", choices=["trickle", "endless", "flood"], required=True)
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
