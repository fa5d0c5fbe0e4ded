"""An OAuth 2.0 provider and an SMTP server that signs in with its tokens (SASL XOAUTH2),
in one process for one test. The authorization endpoint redirects at once; the token
endpoint checks the PKCE verifier and hands out access and refresh tokens.
POST /introspect answers a mail server's question about a token (RFC 7662).
Test hooks: POST /expire (every access token stops working), POST /revoke?token=R,
GET /stats (what the endpoints saw)."""
import argparse
import base64
import hashlib
import itertools
import json
import os
import ssl
import sys
import threading
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from smtp_server import Handler  # noqa: E402

lock = threading.Lock()
counter = itertools.count(1)
codes = {}        # code -> (challenge, redirect_uri, scope)
grants = {}       # refresh token -> the scopes consented to at its sign-in
access = set()    # valid access tokens
refresh = set()   # valid refresh tokens
stats = {"pkce_ok": 0, "pkce_bad": 0, "refreshed": 0, "refused_refresh": 0,
         "xoauth2_ok": 0, "xoauth2_bad": 0, "challenge_method": "", "introspect_ok": 0, "introspect_bad": 0,
         "refused_scope": 0, "signin_scope": "", "refresh_scope": ""}


def b64url(data):
    return base64.urlsafe_b64encode(data).rstrip(b"=").decode()


class OAuth(BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def answer(self, code, obj):
        body = json.dumps(obj).encode()
        self.send_response(code)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def issue(self, scope):
        n = next(counter)
        a, r = "ya29.A%d" % n, "1//R%d" % n
        access.add(a)
        refresh.add(r)
        grants[r] = set(scope.split()) - {"offline_access"}
        return {"access_token": a, "refresh_token": r, "expires_in": 3600, "token_type": "Bearer",
                "scope": " ".join(sorted(grants[r]))}

    def do_GET(self):
        url = urllib.parse.urlparse(self.path)
        q = dict(urllib.parse.parse_qsl(url.query))
        if url.path == "/stats":
            return self.answer(200, stats)
        if url.path == "/authorize":
            with lock:
                stats["challenge_method"] = q.get("code_challenge_method", "")
                code = "C%d" % next(counter)
                codes[code] = (q.get("code_challenge", ""), q.get("redirect_uri", ""), q.get("scope", ""))
                stats["signin_scope"] = q.get("scope", "")
            target = q["redirect_uri"] + "?" + urllib.parse.urlencode({"code": code, "state": q.get("state", "")})
            self.send_response(302)
            self.send_header("Location", target)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        self.answer(404, {})

    def do_POST(self):
        url = urllib.parse.urlparse(self.path)
        length = int(self.headers.get("Content-Length", "0"))
        form = dict(urllib.parse.parse_qsl(self.rfile.read(length).decode()))
        q = dict(urllib.parse.parse_qsl(url.query))
        with lock:
            if url.path == "/expire":
                access.clear()
                return self.answer(200, {})
            if url.path == "/revoke":
                refresh.discard(q.get("token", ""))
                return self.answer(200, {})
            # RFC 7662: a mail server (the tests' IMAP server) asks whether a token is good.
            if url.path == "/introspect":
                good = form.get("token", "") in access
                stats["introspect_ok" if good else "introspect_bad"] += 1
                return self.answer(200, {"active": True, "username": self.server.user} if good else {"active": False})
            if url.path != "/token":
                return self.answer(404, {})
            grant = form.get("grant_type")
            if grant == "authorization_code":
                challenge, redirect, scope = codes.pop(form.get("code", ""), ("", "", ""))
                verifier = form.get("code_verifier", "")
                if not challenge or b64url(hashlib.sha256(verifier.encode()).digest()) != challenge \
                        or form.get("redirect_uri") != redirect:
                    stats["pkce_bad"] += 1
                    return self.answer(400, {"error": "invalid_grant"})
                stats["pkce_ok"] += 1
                return self.answer(200, self.issue(scope))
            if grant == "refresh_token":
                if form.get("refresh_token") not in refresh:
                    stats["refused_refresh"] += 1
                    return self.answer(400, {"error": "invalid_grant",
                                             "error_description": "Token has been expired or revoked."})
                # As Microsoft's: a renewal may ask only for what the user consented to at sign-in.
                asked = set(form.get("scope", "").split()) - {"offline_access"}
                stats["refresh_scope"] = form.get("scope", "")
                if not asked <= grants.get(form["refresh_token"], set()):
                    stats["refused_scope"] += 1
                    return self.answer(400, {"error": "invalid_grant",
                                             "error_description": "AADSTS65001: The user or administrator has not "
                                                                  "consented to use the application."})
                stats["refreshed"] += 1
                n = next(counter)
                a = "ya29.A%d" % n
                access.add(a)
                return self.answer(200, {"access_token": a, "expires_in": 3600, "token_type": "Bearer"})
            return self.answer(400, {"error": "unsupported_grant_type"})


class TokenHandler(Handler):
    def __init__(self, outdir, user):
        super().__init__(outdir)
        self.user = user

    async def auth_XOAUTH2(self, server, args):
        try:
            fields = base64.b64decode(args[1]).decode().split("\x01")
            user = fields[0][len("user="):]
            token = fields[1][len("auth=Bearer "):]
            ok = fields[0].startswith("user=") and fields[1].startswith("auth=Bearer ") \
                and fields[2:] == ["", ""] and user == self.user
        except Exception:
            ok, token = False, ""
        with lock:
            ok = ok and token in access
            stats["xoauth2_ok" if ok else "xoauth2_bad"] += 1
        if ok:
            return AuthResult(success=True)
        # As Gmail does: the reason as a challenge, then 535 after the client's empty answer.
        await server.challenge_auth(json.dumps({"status": "401", "schemes": "bearer"}))
        return AuthResult(success=False, handled=False)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--smtp-port", type=int, required=True)
    p.add_argument("--http-port", type=int, required=True)
    p.add_argument("--outdir", required=True)
    p.add_argument("--cert", required=True)
    p.add_argument("--key", required=True)
    p.add_argument("--user", required=True)
    a = p.parse_args()
    ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    ctx.load_cert_chain(a.cert, a.key)
    controller = Controller(TokenHandler(a.outdir, a.user), hostname="127.0.0.1", port=a.smtp_port,
                            tls_context=ctx, auth_require_tls=True, auth_exclude_mechanism=["LOGIN", "PLAIN"])
    controller.start()
    http = ThreadingHTTPServer(("127.0.0.1", a.http_port), OAuth)
    http.user = a.user
    threading.Thread(target=http.serve_forever, daemon=True).start()
    print("READY", flush=True)
    try:
        sys.stdin.read()  # ends with the test: stdin closes when the test process goes away
    finally:
        http.shutdown()
        controller.stop()


if __name__ == "__main__":
    main()
