#!/usr/bin/env python3
"""Writes messages of the kinds today's mail programs send, built with Python's
email package, and what Python itself reads out of them (expected.json), so
that the program's decoding is checked against an independent implementation.

    make_messages.py OUTDIR
"""
import json
import mimetypes
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
    yield from real_world()


def part(maintype, subtype, payload, **params):
    """A base64 part of any type; params become Content-Disposition ones."""
    p = MIMEApplication(payload, subtype)
    p.set_type(maintype + "/" + subtype)
    disposition = params.pop("disposition", None)
    if disposition:
        p.add_header("Content-Disposition", disposition, **params)
    return p


def real_world():
    """Mail as phones, lists, gateways, bounces and Outlook send it."""
    jpeg = b"\xff\xd8\xff\xe0" + bytes(range(256)) * 4
    phone = MIMEMultipart()
    phone.attach(text("Look at this:\n", "utf-8", None))
    phone.attach(part("image", "jpeg", jpeg, disposition="inline", filename="IMG_1.jpg"))
    phone.attach(text("Nice, isn't it?\n", "utf-8", None))
    yield "phone", headers(phone, "Photo", None, "Ana <ana@example.org>")

    posts = MIMEMultipart("digest")
    for n in range(1, 111):
        post = MIMEMultipart("alternative")
        post.attach(text(f"Post {n}: send it as multipart/alternative.\n", "utf-8", None))
        post.attach(MIMEText(f"<p>Post {n}</p>", "html", "utf-8"))
        posts.attach(MIMEMessage(headers(post, f"Topic {n}", None, f"P{n} <p{n}@example.org>")))
    digest = MIMEMultipart()
    digest.attach(text("Send list submissions to list@example.org\n", "utf-8", None))
    digest.attach(text("Today's Topics:\n  1. Topic 1\n", "utf-8", None))
    digest.attach(posts)
    digest.attach(text("_______________\nlist mailing list\n", "utf-8", None))
    yield "digest", headers(digest, "list Digest, Vol 1, Issue 110", None, "list@example.org")

    bounce = MIMEMultipart("report", report_type="delivery-status")
    bounce.attach(text("Your message could not be delivered.\n", "us-ascii", None))
    returned = MIMEText("", "rfc822-headers")
    returned.set_payload("To: someone@else.test\nSubject: lost\n")
    bounce.attach(returned)
    yield "bounce", headers(bounce, "Undelivered Mail Returned to Sender", None,
                            "MAILER DAEMON <>")

    gateway = MIMEMultipart()
    gateway.attach(part("image", "jpeg", jpeg, disposition="inline", filename="photo.jpg"))
    body = text("Sent from the gateway.\n", "utf-8", None)
    body.set_param("name", "text_0.txt")
    gateway.attach(body)
    yield "gateway", headers(gateway, "MMS", None, "+4917012345 <mms@gateway.example>")

    unnamed = MIMEMultipart()
    unnamed.attach(text("Two files.\n", "utf-8", None))
    unnamed.attach(part("application", "pdf", b"%PDF-1.4" + bytes(100), disposition="attachment"))
    unnamed.attach(part("application", "octet-stream", bytes(33), disposition="attachment",
                        file="x.bin"))
    yield "unnamed", headers(unnamed, "Files", None, "Ana <ana@example.org>")

    gb = text("你好，世界\n", "gb2312", "base64")
    gb.set_param("charset", "euc_cn")
    yield "aliases", headers(gb, "中文主题", "gb2312",
                             formataddr((Header("김민수", "ks_c_5601-1987").encode(),
                                         "kim@example.kr")))

    damaged = MIMEMultipart()
    damaged.attach(text("", "utf-8", "base64"))
    damaged.get_payload(0).set_payload("SGVsbG8gd29ybGQsIGhv\nd2Fy=ZSB5b3U/\n")
    notb64 = text("", "utf-8", "base64")
    notb64.set_payload("This was never base64, whatever the header says.\n")
    damaged.attach(notb64)
    short = part("application", "octet-stream", b"", disposition="attachment", filename="s.bin")
    short.set_payload("SGVsbG8gd29\n")
    damaged.attach(short)
    yield "base64", headers(damaged, "Damaged", None, "Ana <ana@example.org>")

    yield "headersonly", headers(MIMEMultipart(), "Nothing more", None, "Ana <ana@example.org>")

    folded = headers(text("Hi.\n", "utf-8", None), "Folded", None,
                     "\"=?utf-8?q?J=C3=B6rg?=\r\n Bauer\" <jb@example.de>")
    yield "from", folded

    html = MIMEText('<p>See <img src="cid:logo@x"></p>', "html", "utf-8")
    alt = MIMEMultipart("alternative")
    alt.attach(text("See the logo.\n", "utf-8", None))
    alt.attach(html)
    related = MIMEMultipart("related")
    related.attach(alt)
    logo = part("image", "png", b"\x89PNG" + bytes(60), disposition="inline",
                filename="image001.png")
    logo.add_header("Content-ID", "<logo@x>")
    related.attach(logo)
    outer = MIMEMultipart()
    outer.attach(related)
    external = MIMEText("", "external-body")
    external.set_type("message/external-body")
    external.set_param("access-type", "URL")
    external.set_param("URL", "http://127.0.0.1:9/big.iso")
    external.set_param("name", "big.iso")
    external.set_payload("Content-Type: application/octet-stream\n\n")
    outer.attach(external)
    yield "outlookimages", headers(outer, "Logo", None, "Ana <ana@example.org>")


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


def is_attachment(p):
    return p.get_content_disposition() == "attachment"


def html_of(p):
    if p.is_multipart():
        return "".join(html_of(k) for k in p.get_payload())
    return p.get_content() if p.get_content_type() == "text/html" else ""


def garbage(data, charset):
    """More than a tenth control characters or undecodable bytes."""
    chars = data.decode(charset or "utf-8", "replace")
    bad = sum(1 for c in chars if (ord(c) < 32 and c not in "\t\n\r\f")
              or 0x7f <= ord(c) <= 0x9f or c == "\ufffd")
    return bad * 10 > len(chars)


class Reading:
    """The texts and files of a message, in order, as the rules for display say,
    with Python doing all the decoding."""

    def __init__(self):
        self.pieces, self.files, self.between, self.texts = [], [], [], 0

    def message(self, msg, depth=0):
        saved, self.texts = self.texts, 0
        self.walk(msg, depth)
        self.texts = saved

    def walk(self, p, depth):
        ctype = p.get_content_type()
        if depth > 32 or ctype == "message/external-body":
            return
        if ctype == "message/rfc822":
            inner = p.get_payload(0)
            self.add("From: %s\nSubject: %s" % (sender(inner), inner["subject"]), "text")
            self.message(inner, depth + 1)
        elif p.is_multipart():
            kids = p.get_payload()
            if ctype == "multipart/alternative":
                choice = [k for k in kids if k.get_content_type() == "text/plain"
                          and not is_attachment(k)] or \
                         [k for k in kids if k.get_content_type() == "text/html"
                          and not is_attachment(k)] or [k for k in kids if k.is_multipart()]
                if choice:
                    self.walk(choice[0], depth + 1)
            elif ctype == "multipart/related":
                html = html_of(kids[0])
                for k in kids:
                    cid = (k["content-id"] or "").strip("<>")
                    if k is kids[0] or is_attachment(k) or not cid or "cid:" + cid not in html:
                        self.walk(k, depth + 1)
            else:
                for k in kids:
                    self.walk(k, depth + 1)
        elif p.get_content_maintype() != "multipart":  # one without its parts
            self.leaf(p)

    def leaf(self, p):
        if (not is_attachment(p) and p.get_content_maintype() == "text"
                and (self.texts == 0 or not p.get_filename())):
            self.texts += 1
            data = p.get_payload(decode=True)
            if p["content-transfer-encoding"] == "base64" and garbage(data, p.get_content_charset()):
                self.add(p.get_payload(), "text")
            else:
                self.add(p.get_content(), p.get_content_subtype())
            return
        name = p.get_filename() or "attachment." + (
            "bin" if p.get_content_type() == "application/octet-stream"
            else mimetypes.guess_extension(p.get_content_type())[1:])
        self.files.append({"name": name, "size": len(p.get_payload(decode=True))})
        if self.pieces:
            self.between.append(name)

    def add(self, text, kind):
        if not text.strip():
            return
        if self.between:
            self.pieces.append(("\n".join("[Attached: %s]" % n for n in self.between), "text"))
            self.between = []
        self.pieces.append((text.replace("\r\n", "\n").rstrip(), kind))


def sender(msg):
    """The From header, or its names when it holds no address."""
    header = msg["from"]
    if any(a.username for a in header.addresses):
        return str(header)
    return ", ".join(a.display_name for a in header.addresses if a.display_name) or str(header)


def expected(name, raw):
    msg = message_from_bytes(raw, policy=policy.default)
    entry = {"file": name + ".eml", "kind": name,
             "subject": str(msg["subject"]), "from": sender(msg)}
    reading = Reading()
    reading.message(msg)
    if [kind for _, kind in reading.pieces] == ["html"]:
        parser = Paragraphs()
        parser.feed(reading.pieces[0][0])
        parser.flush()
        entry["lines"] = parser.lines
    else:
        entry["body"] = "\n\n".join(text for text, _ in reading.pieces)
    entry["attachments"] = reading.files
    return entry


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    table = []
    for name, msg in messages():
        raw = msg.as_bytes(policy=policy.compat32.clone(linesep="\r\n"))
        if name == "headersonly":
            raw = raw[:raw.index(b"\r\n\r\n") + 2]
        with open(os.path.join(out, name + ".eml"), "wb") as f:
            f.write(raw)
        table.append(expected(name, raw))
    with open(os.path.join(out, "expected.json"), "w", encoding="utf-8") as f:
        json.dump(table, f, ensure_ascii=False, indent=1)


if __name__ == "__main__":
    main()
