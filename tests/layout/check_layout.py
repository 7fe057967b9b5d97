#!/usr/bin/env python3
"""Checks the shape of the source tree that the compiler cannot:
- no statement text in the windows (src/gui): every statement lives in core;
- core includes nothing of the windows or of Qt Widgets;
- the product libraries carry no test doubles.
Prints each offending line and exits 1 when there is one."""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
problems = []

SQL = re.compile(
    r"\b(SELECT\s+(\*|DISTINCT|COUNT|Min|Max|\w+\s*(,|FROM))|INSERT\s+INTO|UPDATE\s+\w+\s+SET|"
    r"DELETE\s+FROM|CREATE\s+(TABLE|INDEX|UNIQUE)|DROP\s+(TABLE|INDEX)|ALTER\s+TABLE|PRAGMA\s+\w+|"
    r"BEGIN\s+(IMMEDIATE|TRANSACTION)|WHERE\s+\w+\s*(=|IN\b|BETWEEN|IS\b))")
GUI_INCLUDE = re.compile(
    r'#include\s+[<"](Q(Widget|Dialog|MainWindow|Label|PushButton|MessageBox|Application)\b|'
    r'(main|common|dialogs|exchanges|history/Form)[/]|export/(GridExport|OfficeExport))')
DOUBLES = re.compile(r"\b(class|struct)\s+(Fake\w*|Recording\w*|Queued\w*|Scripted\w*)\b")


def sources(folder):
    for path in sorted((root / folder).rglob("*")):
        if path.suffix in (".cpp", ".h"):
            yield path, path.read_text(encoding="utf-8", errors="replace").splitlines()


for path, lines in sources("src/gui"):
    for n, line in enumerate(lines, 1):
        code = line.split("//", 1)[0]
        if SQL.search(code):
            problems.append(f"{path}:{n}: statement text in a window: {line.strip()}")

for path, lines in sources("src/core"):
    for n, line in enumerate(lines, 1):
        if GUI_INCLUDE.search(line) and "history/Form" not in str(path):
            problems.append(f"{path}:{n}: core includes the windows: {line.strip()}")

for folder in ("src/core", "src/gui", "src/sockopt"):
    for path, lines in sources(folder):
        for n, line in enumerate(lines, 1):
            if DOUBLES.search(line):
                problems.append(f"{path}:{n}: test double in the product: {line.strip()}")

for p in problems:
    print(p)
print(f"{0 if problems else 1} passed, {1 if problems else 0} failed")
sys.exit(1 if problems else 0)
