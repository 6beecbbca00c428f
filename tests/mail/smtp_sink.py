"""A real SMTP server for the mail tests: aiosmtpd on 127.0.0.1 with AUTH LOGIN
and PLAIN over plain TCP. Each message it accepts is decoded with Python's
email package and written as DIR/msg-N.json; DIR/ready appears once it listens.

usage: smtp_sink.py DIR PORT USER PASSWORD [EXCLUDED_MECHANISM...]
"""
import asyncio
import base64
import email
import email.header
import email.utils
import json
import os
import signal
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

out_dir, port, user, password = sys.argv[1], int(sys.argv[2]), sys.argv[3].encode(), sys.argv[4].encode()
excluded = sys.argv[5:]


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = isinstance(auth_data, LoginPassword) and auth_data.login == user and auth_data.password == password
    # Kept per session, so that each message shows how its own session logged in.
    session.__dict__.setdefault("hw_logins", []).append({"mechanism": mechanism, "ok": ok})
    return AuthResult(success=ok)


def decoded_header(value):
    if value is None:
        return None
    return str(email.header.make_header(email.header.decode_header(value)))


class Handler:
    def __init__(self):
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        raw = envelope.content
        msg = email.message_from_bytes(raw)
        head, _, body = raw.partition(b"\r\n\r\n")
        charset = msg.get_content_charset()
        payload = msg.get_payload(decode=True)
        record = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "logins": getattr(session, "hw_logins", []),
            "header_names": list(msg.keys()),
            "subject": decoded_header(msg["Subject"]),
            "subject_raw": msg["Subject"],
            "from": decoded_header(msg["From"]),
            "to": decoded_header(msg["To"]),
            "reply_to": decoded_header(msg["Reply-To"]),
            "date": msg["Date"],
            "date_parsed": email.utils.parsedate_tz(msg["Date"]) is not None,
            "mime_version": msg["MIME-Version"],
            "content_type": msg.get_content_type(),
            "charset": charset,
            "cte": msg["Content-Transfer-Encoding"],
            "body": payload.decode("gbk" if charset == "gb2312" else charset),
            "body_line_lengths": [len(line) for line in body.split(b"\r\n")],
            "raw_base64": base64.b64encode(raw).decode(),
        }
        path = os.path.join(out_dir, "msg-%d.json" % self.count)
        self.count += 1
        with open(path + ".tmp", "w") as f:
            json.dump(record, f, ensure_ascii=False)
        os.rename(path + ".tmp", path)
        return "250 Message accepted"


controller = Controller(Handler(), hostname="127.0.0.1", port=port, authenticator=authenticator,
                        auth_require_tls=False, auth_exclude_mechanism=excluded)
controller.start()
open(os.path.join(out_dir, "ready"), "w").close()
done = threading.Event()
signal.signal(signal.SIGTERM, lambda *_: done.set())
done.wait(120)
controller.stop()
