"""Reads a delivered mail as a mail program would: prints its decoded parts as JSON."""
import base64
import email
import email.policy
import json
import sys


def read(path):
    with open(path, encoding="utf-8") as f:
        raw = json.load(f)["data"].encode("latin-1")
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    head = raw.split(b"\r\n\r\n", 1)[0].split(b"\r\n")
    out = {"subject": str(msg["subject"] or ""), "message_id": str(msg["message-id"] or ""),
           "charset": msg.get_content_charset() or "", "body": "", "attachments": [],
           "header_lines": [line.decode("latin-1") for line in head],
           "defects": [type(d).__name__ for d in msg.defects]}
    # A mail with files: the text part is the body, the files come base64 encoded.
    if msg.is_multipart():
        text = msg.get_body(preferencelist=("plain",))
        out["body"] = text.get_content() if text else ""
        out["charset"] = text.get_content_charset() or "" if text else ""
        for part in msg.iter_attachments():
            out["attachments"].append({"filename": part.get_filename() or "", "type": part.get_content_type(),
                                       "data": base64.b64encode(part.get_content()).decode("ascii")})
    else:
        out["body"] = msg.get_content()
    for field in ("to", "from"):
        addresses = msg[field].addresses if msg[field] else ()
        out[field + "_name"] = addresses[0].display_name if addresses else ""
        out[field + "_address"] = addresses[0].addr_spec if addresses else ""
    return out


if __name__ == "__main__":
    json.dump(read(sys.argv[1]), sys.stdout, ensure_ascii=True)
