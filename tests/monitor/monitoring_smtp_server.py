#!/usr/bin/python3
"""A mail sink on loopback for the monitoring test.

monitoring_smtp_server.py DIR HOST PORT ACCOUNT PASSWORD

Offers AUTH LOGIN and PLAIN without TLS and accepts only ACCOUNT/PASSWORD.
Each mail is kept as DIR/N.eml (the message as received) with DIR/N.env
(the envelope sender, then one recipient per line). Prints "ready" once it
listens; runs until killed.
"""
import os
import signal
import sys
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

# aiosmtpd warns about its own use of a deprecated attribute
warnings.simplefilter("ignore", DeprecationWarning)

outdir, host, port, account, password = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4], sys.argv[5]


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = (isinstance(auth_data, LoginPassword) and auth_data.login == account.encode()
          and auth_data.password == password.encode())
    return AuthResult(success=ok)


class Sink:
    async def handle_DATA(self, server, session, envelope):
        if not session.authenticated:
            return "530 Authentication required"
        n = len([f for f in os.listdir(outdir) if f.endswith(".eml")]) + 1
        with open(os.path.join(outdir, f"{n}.env"), "w") as f:
            f.write("\n".join([envelope.mail_from] + envelope.rcpt_tos) + "\n")
        tmp = os.path.join(outdir, f".{n}.tmp")
        with open(tmp, "wb") as f:
            f.write(envelope.original_content)
        os.rename(tmp, os.path.join(outdir, f"{n}.eml"))
        return "250 OK"


controller = Controller(Sink(), hostname=host, port=port, authenticator=authenticator, auth_require_tls=False)
controller.start()
print("ready", flush=True)
signal.signal(signal.SIGTERM, lambda *_: (controller.stop(), os._exit(0)))
while True:
    signal.pause()
