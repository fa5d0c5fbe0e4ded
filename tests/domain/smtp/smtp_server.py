"""A real SMTP server for the tests: aiosmtpd on loopback, messages saved as JSON."""
import argparse
import json
import os
import ssl
import sys
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


class Handler:
    def __init__(self, outdir):
        self.outdir = outdir
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        path = os.path.join(self.outdir, "%04d.json" % self.count)
        with open(path + ".tmp", "w", encoding="utf-8") as f:
            json.dump({"from": envelope.mail_from, "rcpt": envelope.rcpt_tos,
                       "data": envelope.original_content.decode("latin-1")}, f)
        os.replace(path + ".tmp", path)
        return "250 OK Nachricht angenommen"


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, required=True)
    p.add_argument("--outdir", required=True)
    p.add_argument("--auth", default="")
    p.add_argument("--cert", default="")
    p.add_argument("--key", default="")
    p.add_argument("--implicit-tls", action="store_true")
    a = p.parse_args()
    kwargs = {"auth_require_tls": False}
    if a.auth:
        user, password = a.auth.split(":", 1)

        def authenticator(server, session, envelope, mechanism, auth_data):
            ok = isinstance(auth_data, LoginPassword) and auth_data.login == user.encode() \
                and auth_data.password == password.encode()
            return AuthResult(success=ok, handled=False)
        kwargs["authenticator"] = authenticator
    ctx = None
    if a.cert:
        ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        ctx.load_cert_chain(a.cert, a.key)
    if ctx and a.implicit_tls:
        controller = Controller(Handler(a.outdir), hostname="127.0.0.1", port=a.port, ssl_context=ctx,
                                server_hostname="127.0.0.1", **kwargs)
    else:
        if ctx:
            kwargs["tls_context"] = ctx
        controller = Controller(Handler(a.outdir), hostname="127.0.0.1", port=a.port, **kwargs)
    controller.start()
    print("READY", flush=True)
    try:
        # ends with the test: stdin closes when the test process goes away
        while sys.stdin.read(1):
            pass
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
