#!/usr/bin/env python3
"""The man pages and the bash completion say what the programs' --help texts say:
the same commands of inkora-hidtool, the same options for each command, the same
simulate commands, and the same options of Inkora.

usage: manpage_test.py INKORA_HIDTOOL INKORA SOURCE_DIR
"""
import re
import subprocess
import sys

# An option, not a mention of Inkora's own ("a running Inkora --simulate").
OPTION = re.compile(r"(?<!Inkora )--([a-z]+(?:-[a-z]+)*)(?![-*\w])")
MAN_OPTION = re.compile(r"(?<!Inkora )\\-\\-([a-z]+(?:\\-[a-z]+)*)(?![\w*]|\\-)")


def run(*args):
    done = subprocess.run(args, capture_output=True, text=True, timeout=60)
    return done.returncode, done.stdout + done.stderr


def help_options(text):
    return {o for o in OPTION.findall(text)} - {"help"}


def man_options(roff):
    return {o.replace("\\-", "-") for o in MAN_OPTION.findall(roff)} - {"help"}


def man_commands(roff):
    """{command: text of its .SS section} within the COMMANDS section."""
    body = roff.split('.SH COMMANDS\n', 1)[1].split("\n.SH ", 1)[0]
    sections = {}
    for part in body.split('.SS "')[1:]:
        sections[part.split()[0].rstrip('"')] = part
    return sections


def main():
    tool, inkora, source = sys.argv[1:4]
    failures = []

    def compare(what, expected, found):
        if expected != found:
            failures.append(f"{what}: --help only {sorted(expected - found)}, "
                            f"documented only {sorted(found - expected)}")

    roff = open(f"{source}/packaging/man/inkora-hidtool.1", encoding="utf-8").read()
    completion = open(f"{source}/packaging/bash-completion/inkora-hidtool", encoding="utf-8").read()
    sections = man_commands(roff)
    code, top = run(tool, "--help")
    if code != 0:
        failures.append(f"inkora-hidtool --help exit {code}")
    commands = set(re.findall(r"^  ([a-z]+)", top.split("commands:", 1)[-1], re.M))
    completed = re.search(r'commands="([^"]*)"', completion).group(1).split()
    compare("inkora-hidtool commands", commands, set(sections))
    compare("completion commands", commands | {"help"}, set(completed))

    completion_options = dict(re.findall(r'^\s+(\w+)\) opts="([^"]*)"', completion, re.M))
    for name in sorted(commands):
        code, text = run(tool, name, "--help")
        if code != 0:
            failures.append(f"inkora-hidtool {name} --help exit {code}")
        options = help_options(text)
        compare(f"{name} options", options, man_options(sections.get(name, "")))
        compare(f"{name} completion", options, help_options(completion_options.get(name, "")))
        if name == "simulate":
            said = set(re.findall(r"^  ([a-z]+) ", text, re.M))
            documented = set(re.findall(r"^\.TP\n\.BI? ([a-z]+)", sections.get(name, ""), re.M))
            compare("simulate commands", said, documented)
            listed = re.search(r'-W "(list plug[^"]*)"', completion).group(1).split()
            compare("simulate completion", said, set(listed))

    code, text = run(inkora, "--help")
    roff = open(f"{source}/packaging/man/Inkora.1", encoding="utf-8").read()
    options = roff.split(".SH OPTIONS\n", 1)[1].split("\n.SH ", 1)[0]
    compare("Inkora options", help_options(text), man_options(options))
    if "/mini" in text and ".B /mini" not in options:
        failures.append("Inkora: /mini is not documented")

    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
