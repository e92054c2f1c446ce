#!/usr/bin/env python3
"""Fails unless every po/LANG.po is complete and sound, and po/varne.pot is current.

Checks: msgfmt --check passes; nothing untranslated or fuzzy; every message of the template is in
every language and no language has messages the template lacks; each translation keeps its
message's placeholders (%s, %x, %1$s, %1), its keyboard accelerator (&) and its line structure
(blank lines, a leading or trailing line break, a trailing ';' of a keyword list); the template
equals what po/update.sh makes from the sources now.
"""
import pathlib
import re
import subprocess
import sys
import tempfile

PO_DIR = pathlib.Path(__file__).resolve().parent
PLACEHOLDER = re.compile(r"%(?:\d+\$)?[sdx]|%\d")
ACCELERATOR = re.compile(r"&(?!&)")


def unquote(text):
    return (text.replace('\\"', '"').replace("\\n", "\n").replace("\\t", "\t")
            .replace("\\\\", "\\"))


def read_messages(path):
    """msgid -> (msgstr, fuzzy) for every live message, the header excluded."""
    messages = {}
    fields = {}
    current = None
    fuzzy = False

    def finish():
        nonlocal fields, fuzzy
        if "msgid" in fields and fields["msgid"] != "":
            messages[fields["msgid"]] = (fields.get("msgstr", ""), fuzzy)
        fields = {}
        fuzzy = False

    for line in path.read_text(encoding="utf-8").splitlines():
        if line.startswith("#,") and "fuzzy" in line:
            if "msgid" in fields:
                finish()
            fuzzy = True
        elif line.startswith("#"):
            continue  # comments, and obsolete messages (#~), which msgfmt ignores too
        elif line.startswith("msgid "):
            if "msgid" in fields:
                keep_fuzzy = fuzzy
                finish()
                fuzzy = keep_fuzzy
            current = "msgid"
            fields[current] = unquote(line[len("msgid "):].strip()[1:-1])
        elif line.startswith("msgstr "):
            current = "msgstr"
            fields[current] = unquote(line[len("msgstr "):].strip()[1:-1])
        elif line.startswith('"') and current is not None:
            fields[current] += unquote(line.strip()[1:-1])
        elif not line.strip():
            finish()
            current = None
    finish()
    return messages


def shape(text):
    """What a translation must keep of its message."""
    return {
        "placeholders": sorted(PLACEHOLDER.findall(text)),
        "accelerators": len(ACCELERATOR.findall(text.replace("&&", ""))),
        "blank lines": text.count("\n\n"),
        "leading line break": text.startswith("\n"),
        "trailing line break": text.endswith("\n"),
        "trailing ';'": text.endswith(";"),
    }


def check_language(po, template):
    problems = []
    result = subprocess.run(["msgfmt", "--check", "--statistics", "-o", "/dev/null", str(po)],
                            capture_output=True, text=True, env={"LC_ALL": "C", "PATH": "/usr/bin:/bin"})
    statistics = result.stderr.strip()
    print(f"{po.name}: {statistics}")
    if result.returncode != 0:
        problems.append(f"msgfmt --check failed:\n{statistics}")
    messages = read_messages(po)
    for msgid in template:
        if msgid not in messages:
            problems.append(f"missing: {msgid!r}")
            continue
        msgstr, fuzzy = messages[msgid]
        if fuzzy:
            problems.append(f"fuzzy: {msgid!r}")
        if not msgstr:
            problems.append(f"untranslated: {msgid!r}")
            continue
        expected, found = shape(msgid), shape(msgstr)
        for what in expected:
            if expected[what] != found[what]:
                problems.append(f"{what} {found[what]!r} instead of {expected[what]!r}: "
                                f"{msgid!r} -> {msgstr!r}")
    for msgid in messages:
        if msgid not in template:
            problems.append(f"not in the template (run po/update.sh): {msgid!r}")
    return [f"{po.name}: {problem}" for problem in problems]


def unwrapped(catalogue):
    """The catalogue with every message on one line: xgettext versions wrap differently."""
    return subprocess.run(["msgcat", "--no-wrap", str(catalogue)], check=True,
                          capture_output=True, text=True,
                          env={"LC_ALL": "C", "PATH": "/usr/bin:/bin"}).stdout


def check_template_current():
    with tempfile.TemporaryDirectory() as folder:
        fresh = pathlib.Path(folder) / "varne.pot"
        subprocess.run(["bash", str(PO_DIR / "update.sh"), str(fresh)], check=True)
        if unwrapped(fresh) != unwrapped(PO_DIR / "varne.pot"):
            diff = subprocess.run(["diff", "-u", str(PO_DIR / "varne.pot"), str(fresh)],
                                  capture_output=True, text=True).stdout
            return ["po/varne.pot is not current: run po/update.sh\n" + diff]
    return []


def main():
    template = read_messages(PO_DIR / "varne.pot")
    languages = sorted(PO_DIR.glob("*.po"))
    problems = check_template_current()
    if not languages:
        problems.append("no language in po/")
    for po in languages:
        problems += check_language(po, template)
    for problem in problems:
        print(problem, file=sys.stderr)
    print(f"{len(template)} messages, {len(languages)} languages, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
