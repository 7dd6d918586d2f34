#!/usr/bin/env python3
"""Writes messages of the kinds today's mail programs send, built with Python's
email package, and what Python itself reads out of them (expected.json), so
that the program's decoding is checked against an independent implementation.

    make_messages.py OUTDIR
"""
import json
import os
import sys
from email import message_from_bytes, policy
from email.charset import BASE64, QP, Charset
from email.header import Header
from email.mime.application import MIMEApplication
from email.mime.message import MIMEMessage
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText
from email.utils import formataddr
from html.parser import HTMLParser

HTML = ("<html><head><style>p { color: red }</style><script>alert('tracked')</script></head>"
        "<body><p>Dear Ana,</p><p>the meeting moves to <b>Friday</b>.<br>Room 4.</p>"
        "<img src=\"http://127.0.0.1:9/pixel.png\"><p>Grüße, Jörg</p></body></html>")


def text(body, charset, cte, subtype="plain"):
    """A text part in the given charset and transfer encoding (None: 7 or 8 bit)."""
    chosen = Charset(charset)
    chosen.body_encoding = {"base64": BASE64, "quoted-printable": QP, None: None}[cte]
    part = MIMEText("", subtype)
    del part["Content-Transfer-Encoding"]
    part.set_payload(body, chosen)
    return part


def headers(msg, subject, charset, sender, extra=()):
    msg["Subject"] = Header(subject, charset) if charset else subject
    msg["From"] = sender
    msg["To"] = "qbtest@localhost"
    msg["Date"] = "Mon, 07 Dec 2026 10:00:00 +0100"
    for name, value in extra:
        msg[name] = value
    return msg


def messages():
    joerg = formataddr((str(Header("Jörg Bauer", "utf-8")), "jb@example.de"))
    yield "utf8", headers(text("Hallo Ana,\nschöne Grüße aus Köln.\n", "utf-8", "base64"),
                          "Grüße aus Köln", "utf-8", joerg)
    yield "latin1", headers(text("Le café est prêt à 8 h.\n", "iso-8859-1", "quoted-printable"),
                            "Café crème", "iso-8859-1",
                            formataddr((str(Header("Hélène", "iso-8859-1")), "h@example.fr")))
    yield "iso2022jp", headers(text("今日は会議があります。\n", "iso-2022-jp", None),
                               "会議のお知らせ", "iso-2022-jp", "Taro <taro@example.jp>")
    alt = MIMEMultipart("alternative")
    alt.attach(text("Plain words win.\n", "utf-8", "quoted-printable"))
    alt.attach(MIMEText("<p>HTML words lose.</p>", "html", "utf-8"))
    yield "alternative", headers(alt, "Alternative parts", None, "Ana <ana@example.org>")
    yield "htmlonly", headers(MIMEText(HTML, "html", "utf-8"), "Nur HTML: Grüße", "utf-8",
                              "News <news@example.com>")
    mixed = MIMEMultipart()
    mixed.attach(text("The report is attached.\n", "utf-8", None))
    pdf = MIMEApplication(bytes(range(256)) * 12, "pdf")
    pdf.add_header("Content-Disposition", "attachment", filename="report.pdf")
    mixed.attach(pdf)
    yield "attachment", headers(mixed, "Report", None, "Ana <ana@example.org>")

    # In the manner of Outlook: Windows-1252 quoted-printable beside HTML,
    # a quoted display name with a comma.
    outlook = MIMEMultipart("alternative", boundary="_000_DB9PR01MB1234_")
    outlook.attach(text("Thanks \u2013 that\u2019s \u20ac 20.\n", "windows-1252",
                        "quoted-printable"))
    outlook.attach(MIMEText("<p>Thanks</p>", "html", "windows-1252"))
    yield "outlook", headers(outlook, "AW: Rechnung \u2013 M\u00e4rz", "windows-1252",
                             formataddr(("Müller, Hans", "hm@example.de")),
                             [("X-Mailer", "Microsoft Outlook 16.0"),
                              ("Thread-Topic", "Rechnung")])
    # In the manner of Gmail: base64 parts, long encoded subject folded over lines.
    gmail = MIMEMultipart("alternative", boundary="000000000000a1b2c3d4e5f6")
    gmail.attach(text("Sure, see you then!\n", "utf-8", "base64"))
    gmail.attach(text("<div dir=\"ltr\">Sure, see you then!</div>", "utf-8", "base64", "html"))
    yield "gmail", headers(gmail, "Re: Ünser Treffen nächste Woche – noch ein paar Gedanken "
                           "zum Ablauf und zur Anreise", "utf-8", "Ana Lima <ana.lima@gmail.com>")
    # In the manner of Apple Mail: quoted-printable text and an inline image.
    apple = MIMEMultipart("mixed", boundary="Apple-Mail=_5F1E2D3C-4B5A")
    apple.attach(text("Photo from the trip \U0001F600\n", "utf-8", "quoted-printable"))
    img = MIMEApplication(b"\x89PNG\r\n\x1a\n" + bytes(500), "png")
    img.set_type("image/png")
    img.add_header("Content-Disposition", "inline", filename="IMG_0042.png")
    apple.attach(img)
    yield "apple", headers(apple, "Trip", None, "Ana <ana@icloud.com>",
                           [("X-Mailer", "Apple Mail (2.3774.300.61.1.2)")])
    # In the manner of Thunderbird forwarding as attachment.
    inner = headers(text("The original words.\n", "utf-8", None), "Original", None,
                    "Bob <bob@example.net>")
    fwd = MIMEMultipart()
    fwd.attach(text("See below.\n", "utf-8", None))
    fwd.attach(MIMEMessage(inner))
    yield "forward", headers(fwd, "Fwd: Original", None, "Ana <ana@example.org>",
                             [("User-Agent", "Mozilla Thunderbird")])


class Paragraphs(HTMLParser):
    """The lines an HTML reader shows: one per paragraph or line break."""

    def __init__(self):
        super().__init__()
        self.lines, self.current, self.skip = [], "", 0

    def handle_starttag(self, tag, attrs):
        if tag in ("script", "style"):
            self.skip += 1
        if tag in ("p", "br", "div"):
            self.flush()

    def handle_endtag(self, tag):
        if tag in ("script", "style"):
            self.skip -= 1
        if tag in ("p", "div"):
            self.flush()

    def handle_data(self, data):
        if not self.skip:
            self.current += data

    def flush(self):
        if self.current.strip():
            self.lines.append(self.current.strip())
        self.current = ""


def expected(name, raw):
    msg = message_from_bytes(raw, policy=policy.default)
    entry = {"file": name + ".eml", "kind": name,
             "subject": str(msg["subject"]), "from": str(msg["from"])}
    plain = msg.get_body(preferencelist=("plain",))
    if plain is not None:
        entry["body"] = plain.get_content()
    else:
        parser = Paragraphs()
        parser.feed(msg.get_body(preferencelist=("html",)).get_content())
        parser.flush()
        entry["lines"] = parser.lines
    entry["forwarded"] = [{"from": str(inner["from"]), "subject": str(inner["subject"]),
                           "body": inner.get_body(preferencelist=("plain",)).get_content()}
                          for part in msg.walk() if part.get_content_type() == "message/rfc822"
                          for inner in [part.get_content()]]
    entry["attachments"] = [{"name": p.get_filename(), "size": len(p.get_content())}
                            for p in msg.iter_attachments() if p.get_filename()]
    return entry


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    table = []
    for name, msg in messages():
        raw = msg.as_bytes(policy=policy.compat32.clone(linesep="\r\n"))
        with open(os.path.join(out, name + ".eml"), "wb") as f:
            f.write(raw)
        table.append(expected(name, raw))
    with open(os.path.join(out, "expected.json"), "w", encoding="utf-8") as f:
        json.dump(table, f, ensure_ascii=False, indent=1)


if __name__ == "__main__":
    main()
