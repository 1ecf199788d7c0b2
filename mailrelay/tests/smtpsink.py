#!/usr/bin/python3
"""An SMTP sink for the relay's tests: accepts mail on 127.0.0.1 (a free port,
printed on the first line of standard output), requires AUTH with the user and
password given, and writes each message as it arrived (N.eml) and as the
standard library's parser reads it (N.json). A recipient whose address holds
"fail451" is answered 451."""
import asyncio
import email
import email.policy
import json
import logging
import os
import sys
import time
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

# AUTH without TLS is the point here: TLS ends in the stunnel in front.
warnings.filterwarnings("ignore")
logging.getLogger("mail.log").setLevel(logging.CRITICAL)

out_dir, user, password = sys.argv[1], sys.argv[2], sys.argv[3]
counter = 0


def describe(raw):
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    parts = []
    for part in msg.walk():
        if part.is_multipart():
            parts.append({"type": part.get_content_type()})
            continue
        entry = {
            "type": part.get_content_type(),
            "disposition": part.get_content_disposition(),
            "filename": part.get_filename(),
            "cid": part.get("Content-ID"),
            "encoding": part.get("Content-Transfer-Encoding"),
        }
        payload = part.get_payload(decode=True) or b""
        if part.get_content_maintype() == "text":
            entry["text"] = payload.decode(part.get_content_charset() or "utf-8", "replace")
        else:
            entry["bytes"] = payload.hex()
        parts.append(entry)
    return {
        "subject": str(msg.get("Subject", "")),
        "from": str(msg.get("From", "")),
        "to": str(msg.get("To", "")),
        "cc": str(msg.get("Cc", "")),
        "rawTo": msg.get("To", "") and raw.split(b"\r\nTo: ", 1)[1].split(b"\r\n", 1)[0].decode(),
        "hasBcc": "Bcc" in msg,
        "contentType": msg.get_content_type(),
        "parts": parts,
        "defects": len(msg.defects),
    }


class Handler:
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if "fail451" in address:
            return "451 4.3.0 Try again later"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        global counter
        counter += 1
        base = os.path.join(out_dir, "%04d" % counter)
        raw = envelope.original_content
        info = describe(raw)
        info["receivedAt"] = time.time() * 1000.0
        info["mailFrom"] = envelope.mail_from
        info["rcptTos"] = envelope.rcpt_tos
        with open(base + ".eml.tmp", "wb") as f:
            f.write(raw)
        with open(base + ".json.tmp", "w") as f:
            json.dump(info, f)
        os.rename(base + ".eml.tmp", base + ".eml")
        os.rename(base + ".json.tmp", base + ".json")
        return "250 Message accepted"


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = (isinstance(auth_data, LoginPassword)
          and auth_data.login.decode() == user
          and auth_data.password.decode() == password)
    return AuthResult(success=ok)


async def main():
    loop = asyncio.get_running_loop()
    srv = await loop.create_server(
        lambda: SMTP(Handler(), authenticator=authenticator, auth_required=True,
                     auth_require_tls=False, decode_data=False, hostname="sink.test"),
        "127.0.0.1", 0)
    print(srv.sockets[0].getsockname()[1], flush=True)
    await srv.serve_forever()

asyncio.run(main())
