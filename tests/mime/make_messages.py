#!/usr/bin/env python3
"""Writes messages of the kinds today's mail programs send, built with Python's
email package, and what Python itself reads out of them (expected.json), so
that the program's decoding is checked against an independent implementation.

    make_messages.py OUTDIR
"""
import binascii
import hashlib
import json
import mimetypes
import os
import re
import sys
from email import message_from_bytes, policy
from email.charset import BASE64, QP, Charset
from email.header import Header
from email.mime.application import MIMEApplication
from email.mime.message import MIMEMessage
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText
from email.message import Message
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
    yield from awkward()


def plain(body, subject="Agenda for Monday", sender="Bob Builder <bob@example.org>"):
    """Mail without MIME, as scripts, cron and older mailers send it."""
    msg = Message()
    msg.set_payload(body)
    return headers(msg, subject, None, sender)


def uu_block(mode, name, data):
    lines = [binascii.b2a_uu(data[i:i + 45]).decode() for i in range(0, len(data), 45)]
    return "begin %s %s\n%s`\nend\n" % (mode, name, "".join(lines))


def awkward():
    """Legal or common shapes that simple readers get wrong."""
    # The keywords of a body line must not stand in for the header fields.
    yield "plainheaders", plain("Hi all,\n\nthe date in the last Subject: was wrong, sorry.\n"
                                "Please add this to: the shared calendar.\n",
                                Header("Grüße vom Bauhof: die Tagesordnung für Montag und "
                                       "die Woche danach", "utf-8"),
                                formataddr((str(Header("Bärbel Builder", "utf-8")),
                                            "bb@example.org")))
    # Header lines that run into the text (mangled below: no empty line).
    yield "plainnoblank", plain("Hello there,\nno empty line after the header.\n")
    yield "mimenoblank", headers(text("Hello, the header ran into me.\n", "utf-8", None),
                                 "Run-on", None, "Ana <ana@example.org>")
    runon = MIMEMultipart()
    runon.attach(text("First part.\n", "utf-8", None))
    runon.attach(text("Second part, its header ran into it.\n", "utf-8", None))
    yield "partnoblank", headers(runon, "Run-on part", None, "Ana <ana@example.org>")

    # In the manner of Apple Mail: a rich text with a file inside the HTML
    # branch; the plain branch is shown, the file is still listed.
    rich = MIMEMultipart("mixed")
    rich.attach(MIMEText("<p>See the plan.</p>", "html", "utf-8"))
    rich.attach(part("application", "pdf", b"%PDF-1.7" + bytes(range(200)),
                     disposition="inline", filename="Plan.pdf"))
    rich.attach(MIMEText("<p>Best, Ana</p>", "html", "utf-8"))
    apple = MIMEMultipart("alternative")
    apple.attach(text("See the plan.\nBest, Ana\n", "utf-8", "quoted-printable"))
    apple.attach(rich)
    yield "applefile", headers(apple, "Plan", None, "Ana <ana@icloud.com>")
    files = MIMEMultipart("alternative")
    files.attach(part("image", "png", b"\x89PNG" + bytes(90), disposition="inline",
                      filename="scan.png"))
    files.attach(part("application", "pdf", b"%PDF-1.4" + bytes(70)))
    yield "alternativefiles", headers(files, "Scan", None, "Scanner <scan@example.org>")

    bare = text("Hallo, schöne Grüße.\n", "utf-8", "quoted-printable")
    bare.replace_header("Content-Type", "text; charset=utf-8")
    yield "textnosubtype", headers(bare, "Bare text", None, "Ana <ana@example.org>")

    params = MIMEMultipart()
    params.set_param("boundary", "rfc2231-b", charset="us-ascii")
    latin = text("Le café est prêt.\n", "iso-8859-1", "quoted-printable")
    latin.set_param("charset", "iso-8859-1", charset="us-ascii")
    params.attach(latin)
    named = part("application", "pdf", b"%PDF-1.5" + bytes(40), disposition="attachment",
                 filename=("utf-8", "", "Grüße aus Köln – Bericht für März.pdf"))
    params.attach(named)
    continued = part("application", "octet-stream", bytes(range(50)))
    continued.replace_header("Content-Type", "application/octet-stream; "
                             "name*0*=utf-8''Tabelle%20f%C3%BC; name*1*=r%20Mai.xls")
    params.attach(continued)
    yield "rfc2231", headers(params, "Parameters", None, "Ana <ana@example.org>")

    deep = text("Innermost words.\n", "utf-8", None)
    for _ in range(40):
        wrapper = MIMEMultipart()
        wrapper.attach(deep)
        deep = wrapper
    nest = MIMEMultipart()
    nest.attach(text("Outer words.\n", "utf-8", None))
    nest.attach(deep)
    yield "deepnesting", headers(nest, "Deep", None, "Ana <ana@example.org>")

    empty = MIMEMultipart()
    empty.attach(Message())
    yield "emptymultipart", headers(empty, "Empty part", None, "Ana <ana@example.org>")

    closed = MIMEMultipart(boundary="close-b")
    closed.attach(text("The page is attached.\n", "utf-8", None))
    page = MIMEText("<i>x</i>", "html", "utf-8")
    page.add_header("Content-Disposition", "attachment", filename="test.html")
    closed.attach(page)
    yield "junkafterclose", headers(closed, "Page", None, "Ana <ana@example.org>")

    notes = "Line one of the notes.\n" * 4
    yield "uuplain", plain("The notes and the script:\n" +
                           uu_block("644", "/home/ana/notes.txt", notes.encode()) +
                           "Text after a block is not shown.\n" +
                           uu_block("0755", "C:\\tools\\run.sh", b"#!/bin/sh\necho hi\n"),
                           "Notes", "Ana <ana@example.org>")
    inmime = MIMEMultipart()
    inmime.attach(text("Here they are:\n" + uu_block("600", "key.txt", bytes(range(120))),
                       "utf-8", None))
    yield "uumime", headers(inmime, "Key", None, "Ana <ana@example.org>")

    hostile = MIMEMultipart()
    hostile.attach(text("Four files with names that must not leave the folder.\n", "utf-8", None))
    for name, data in [("../../.bashrc", b"alias ls=rm\n"), ("/etc/passwd", b"root:x:0:0\n"),
                       (("utf-8", "", "a\r\nb"), bytes(range(256))), (".hidden", b"dot\n")]:
        hostile.attach(part("application", "octet-stream", data, disposition="attachment",
                            filename=name))
    yield "hostilenames", headers(hostile, "Names", None, "Ana <ana@example.org>")


# How each of these is written: what Python reads stays as built.
def mangle(name, raw):
    if name in ("plainnoblank", "mimenoblank"):
        return raw.replace(b"\r\n\r\n", b"\r\n", 1)
    if name == "partnoblank":
        at = raw.rindex(b"Content-Transfer-Encoding: 7bit\r\n\r\n")
        return raw[:at] + raw[at:].replace(b"\r\n\r\n", b"\r\n", 1)
    if name == "emptymultipart":  # a part of one empty line, no header
        return re.sub(rb"(--=+\d+==\r\n)\r\n\r\n", rb"\1\r\n", raw)
    if name == "junkafterclose":  # a close delimiter ends its multipart, whatever follows it
        return raw.replace(b"--close-b--", b"--close-b-- and what comes after it on this line")
    return raw


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
        self.deep = False

    def message(self, msg, depth=0, files_only=False):
        saved, self.texts = self.texts, 0
        self.walk(msg, depth, files_only)
        self.texts = saved

    def walk(self, p, depth, files_only):
        """files_only: a branch of an alternative that is not shown, whose
        files are listed all the same."""
        ctype = p.get_content_type()
        if depth > 32:
            if not files_only and not self.deep:
                self.deep = True
                self.add("[Parts nested more deeply are not shown]", "text")
            return
        if ctype == "message/external-body":
            return
        if ctype == "message/rfc822":
            inner = p.get_payload(0)
            if not files_only:
                self.add("From: %s\nSubject: %s" % (sender(inner), inner["subject"]), "text")
            self.message(inner, depth + 1, files_only)
        elif p.is_multipart():
            kids = p.get_payload()
            if ctype == "multipart/alternative":
                choice = [k for k in kids if k.get_content_type() == "text/plain"
                          and not is_attachment(k)] or \
                         [k for k in kids if k.get_content_type() == "text/html"
                          and not is_attachment(k)] or [k for k in kids if k.is_multipart()]
                for k in kids:
                    self.walk(k, depth + 1, files_only or not choice or k is not choice[0])
            elif ctype == "multipart/related":
                html = html_of(kids[0])
                for k in kids:
                    cid = (k["content-id"] or "").strip("<>")
                    if k is kids[0] or is_attachment(k) or not cid or "cid:" + cid not in html:
                        self.walk(k, depth + 1, files_only)
            else:
                for k in kids:
                    self.walk(k, depth + 1, files_only)
        elif p.get_content_maintype() != "multipart":  # one without its parts
            self.leaf(p, files_only)

    def leaf(self, p, files_only):
        if files_only:
            # The other renderings of the text shown are not files.
            if (not is_attachment(p) and not p.get_filename()
                    and p.get_content_type() in ("text/plain", "text/html")):
                return
            self.file(p)
            return
        if (not is_attachment(p) and p.get_content_maintype() == "text"
                and (self.texts == 0 or not p.get_filename())):
            self.texts += 1
            data = p.get_payload(decode=True)
            if p["content-transfer-encoding"] == "base64" and garbage(data, p.get_content_charset()):
                self.add(p.get_payload(), "text")
            else:
                self.add(p.get_content(), p.get_content_subtype())
            return
        name = self.file(p)
        if self.pieces:
            self.between.append(name)

    def file(self, p):
        name = p.get_filename() or "attachment." + (
            "bin" if p.get_content_type() == "application/octet-stream"
            else mimetypes.guess_extension(p.get_content_type())[1:])
        self.files.append(described(name, p.get_payload(decode=True)))
        return name

    def add(self, text, kind):
        if not text.strip():
            return
        if self.between:
            self.pieces.append(("\n".join("[Attached: %s]" % n for n in self.between), "text"))
            self.between = []
        self.pieces.append((text.replace("\r\n", "\n").rstrip(), kind))


def described(name, data):
    return {"name": name, "size": len(data), "sha256": hashlib.sha256(data).hexdigest()}


# A uuencoded block starts where "begin 664" stands, or on a line of its own
# that begins with "begin", a mode of three or four octal digits and a name.
UU_START = re.compile(r"^begin [0-7]{3,4} ([^\r\n]+)|begin 664", re.M)


def uu_blocks(body):
    """The files of the uuencoded blocks in a text, and where it is cut."""
    files, cut = [], -1
    for start in UU_START.finditer(body):
        cut = start.start() if cut < 0 else cut
        line_end = body.find("\n", start.start())
        line_end = len(body) if line_end < 0 else line_end
        name = start.group(1) or body[start.start() + 10:line_end]
        name = name.rstrip("\r")
        name = re.split(r"[/\\]", name)[-1] or name
        data = b""
        for line in body[line_end + 1:].split("\n"):
            line = line.rstrip("\r")
            if not line or line.startswith("end") or UU_START.search(line) or \
                    not binascii.a2b_uu(line):
                break
            data += binascii.a2b_uu(line)
        files.append(described(name, data))
    return files, cut


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
    uu_files = []
    if [kind for _, kind in reading.pieces] == ["html"]:
        parser = Paragraphs()
        parser.feed(reading.pieces[0][0])
        parser.flush()
        entry["lines"] = parser.lines
    else:
        body = "\n\n".join(text for text, _ in reading.pieces)
        uu_files, cut = uu_blocks(body)
        entry["body"] = body if cut < 0 else body[:cut]
    entry["attachments"] = reading.files + uu_files
    return entry


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    table = []
    for name, msg in messages():
        raw = msg.as_bytes(policy=policy.compat32.clone(linesep="\r\n"))
        if name == "headersonly":
            raw = raw[:raw.index(b"\r\n\r\n") + 2]
        written = mangle(name, raw)
        with open(os.path.join(out, name + ".eml"), "wb") as f:
            f.write(written)
        table.append(expected(name, raw if name == "junkafterclose" else written))
    with open(os.path.join(out, "expected.json"), "w", encoding="utf-8") as f:
        json.dump(table, f, ensure_ascii=False, indent=1)


if __name__ == "__main__":
    main()
