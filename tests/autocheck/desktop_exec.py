#!/usr/bin/env python3
"""The arguments of a desktop entry's one Exec key, as JSON, read by the
Desktop Entry rules: the value is unescaped as a string, split into
arguments (quoted ones take \\" \\` \\$ \\\\; reserved characters must be
quoted), and %% becomes %. Exits 1, saying why, when a rule is broken."""
import json, re, sys

STRING_ESCAPES = {"s": " ", "n": "\n", "t": "\t", "r": "\r", "\\": "\\"}
ARGUMENT = re.compile(r' *(?:"((?:[^"`$\\]|\\["`$\\])*)"|([^ \t\n"\'\\><~|&;$*?#()`]+))( +|$)')


def fail(why):
    sys.exit("desktop_exec.py: " + why)


def unescape(match):
    if match.group(1) not in STRING_ESCAPES:
        fail("invalid string escape " + match.group(0))
    return STRING_ESCAPES[match.group(1)]


lines = open(sys.argv[1], encoding="utf-8").read().split("\n")
if lines[0] != "[Desktop Entry]" or any(l.startswith("[") for l in lines[1:]):
    fail("not one [Desktop Entry] group")
values = [l.split("=", 1)[1].lstrip() for l in lines if re.match(r"Exec *=", l)]
if len(values) != 1:
    fail("%d Exec keys" % len(values))
command, arguments = re.sub(r"\\(.?)", unescape, values[0]), []
while command:
    match = ARGUMENT.match(command)
    if not match:
        fail("cannot split " + repr(command))
    quoted, bare = match.group(1), match.group(2)
    argument = re.sub(r'\\(.)', r"\1", quoted) if quoted is not None else bare
    if re.search(r"%[^%]|%$", argument.replace("%%", "")):
        fail("a field code in " + repr(argument))
    arguments.append(argument.replace("%%", "%"))
    command = command[match.end():]
print(json.dumps(arguments))
