#!/usr/bin/env python3
"""Reads the Exec key of a desktop entry back into its arguments, by the
freedesktop Desktop Entry rules, independently of the program that wrote it:
the value is unescaped as a string (\\s \\n \\t \\r \\\\), then split into
arguments (a quoted argument takes \\" \\` \\$ \\\\; a reserved character
outside quotes is an error), then %% becomes %. Prints the arguments as a
JSON list; exits 1, saying why, when the entry breaks a rule."""
import json
import sys

RESERVED = set(" \t\n\"'\\><~|&;$*?#()`")


def fail(why):
    print(why, file=sys.stderr)
    sys.exit(1)


def unescape_string(value):
    out, i = [], 0
    while i < len(value):
        c = value[i]
        if c == "\\":
            if i + 1 == len(value):
                fail("a lone backslash ends the value")
            n = value[i + 1]
            mapped = {"s": " ", "n": "\n", "t": "\t", "r": "\r", "\\": "\\"}.get(n)
            if mapped is None:
                fail("invalid string escape \\" + n)
            out.append(mapped)
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def split_arguments(command):
    args, current, i, quoted, started = [], [], 0, False, False
    while i < len(command):
        c = command[i]
        if quoted:
            if c == '"':
                quoted = False
            elif c == "\\":
                if i + 1 == len(command) or command[i + 1] not in '"`$\\':
                    fail("invalid escape inside quotes at %d" % i)
                current.append(command[i + 1])
                i += 1
            else:
                current.append(c)
        elif c == " ":
            if started:
                args.append("".join(current))
                current, started = [], False
        elif c == '"':
            quoted = started = True
        elif c in RESERVED:
            fail("reserved character %r outside quotes" % c)
        else:
            current.append(c)
            started = True
        i += 1
    if quoted:
        fail("unterminated quote")
    if started:
        args.append("".join(current))
    return args


def expand_fields(arg):
    out, i = [], 0
    while i < len(arg):
        if arg[i] == "%":
            if arg[i + 1 : i + 2] != "%":
                fail("field code %r in a path" % arg[i : i + 2])
            i += 1
        out.append(arg[i])
        i += 1
    return "".join(out)


def main():
    with open(sys.argv[1], "rb") as f:
        text = f.read().decode("utf-8")
    group, execs = None, []
    for line in text.split("\n"):
        if line.startswith("[") and line.endswith("]"):
            group = line[1:-1]
        elif "=" in line and not line.startswith("#"):
            key, value = line.split("=", 1)
            if key.strip() == "Exec":
                execs.append((group, value.lstrip(" ")))
    if len(execs) != 1 or execs[0][0] != "Desktop Entry":
        fail("expected one Exec key in [Desktop Entry], found %r" % execs)
    args = split_arguments(unescape_string(execs[0][1]))
    print(json.dumps([expand_fields(a) for a in args]))


main()
