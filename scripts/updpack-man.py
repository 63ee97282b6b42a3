#!/usr/bin/env python3
"""Writes the man page updpack.1 from updpack's own help texts.

    updpack-man.py UPDPACK VERSION DATE > updpack.1
"""
import subprocess
import sys

COMMANDS = ["build", "list", "verify", "extract", "check", "image"]


def help_text(updpack, *args):
    # Run as plain "updpack" so that the usage lines name no build folder.
    out = subprocess.run(["updpack", *args, "--help"], executable=updpack,
                         capture_output=True, text=True,
                         env={"LC_ALL": "C.UTF-8", "COLUMNS": "80"})
    return out.stdout.rstrip()


def roff(text):
    lines = []
    for line in text.replace("\\", "\\e").splitlines():
        line = line.replace("-", "\\-")
        if line.startswith((".", "'")):
            line = "\\&" + line
        lines.append(line)
    return "\n".join(lines)


def main():
    updpack, version, date = sys.argv[1:4]
    top = help_text(updpack)
    summary = top.splitlines()[0].split(": ", 1)[-1]
    page = [
        f'.TH UPDPACK 1 "{date}" "updpack {version}" "User Commands"',
        ".SH NAME",
        f"updpack \\- {roff(summary)}",
        ".SH SYNOPSIS",
        ".B updpack",
        "[\\fB\\-q\\fR] \\fICOMMAND\\fR [\\fIOPTIONS\\fR] \\fIARGUMENTS\\fR",
        ".SH DESCRIPTION",
        ".nf",
        roff(top),
        ".fi",
        ".SH COMMANDS",
    ]
    for command in COMMANDS:
        page += [f".SS {command}", ".nf", roff(help_text(updpack, command)), ".fi"]
    page += [
        ".SH ENVIRONMENT",
        ".TP",
        ".B SOURCE_DATE_EPOCH",
        "Seconds since 1970: \\fBbuild\\fR lowers later file times to it, so that",
        "checkouts of the same files build the same bytes. \\fB\\-\\-mtime\\fR wins over it.",
        ".SH EXIT STATUS",
        "0 success, 1 bad input, 2 bad usage.",
    ]
    sys.stdout.write("\n".join(page) + "\n")


if __name__ == "__main__":
    main()
