#!/usr/bin/env python3
"""Checks the program's layers: app/ > setup/ > actions/ > profile/, and receiver/ > common/.

A file never includes one of a folder above its own (profile/ sits between actions/ and receiver/:
it may include receiver/ and common/, and only actions/, setup/ and app/ include it), and a pure source (cmake/sources.cmake) nor a
project header it includes reaches <windows.h> outside an #if on _WIN32 (the native build's
stand-ins). Every fault is printed as file:line: what; exit status 1 when there is one.
Usage: checklayers.py ROOT [PURE_SOURCE ...] (default: the list in cmake/sources.cmake)
       checklayers.py --self-test (a small tree with both faults must fail with them)
"""
import os
import re
import sys

RANK = {"common": 0, "receiver": 1, "profile": 2, "actions": 3, "setup": 4, "app": 5}
INCLUDE = re.compile(r'\s*#\s*include\s*([<"])([^>"]+)[>"]')
CONDITION = re.compile(r"\s*#\s*(if|ifdef|ifndef|elif|else|endif)\b(.*)")


def includes(path):
    """(line number, kind, name, guarded by _WIN32) of each #include of the file."""
    found, stack = [], []
    with open(path, encoding="latin-1") as f:
        for number, text in enumerate(f, 1):
            c = CONDITION.match(text)
            if c:
                word = c.group(1)
                if word in ("if", "ifdef", "ifndef"):
                    stack.append("_WIN32" in c.group(2))
                elif word == "endif" and stack:
                    stack.pop()
                continue
            m = INCLUDE.match(text)
            if m:
                found.append((number, m.group(1), m.group(2), any(stack)))
    return found


def pure_list(root):
    with open(os.path.join(root, "cmake", "sources.cmake")) as f:
        text = f.read()
    body = text[text.index("set(REMOTE_PURE_SOURCES") :].split(")", 1)[0]
    return body.split()[1:]


def self_test():
    import subprocess
    import tempfile

    files = {
        "app/shell.h": "#pragma once\n",
        "setup/setup.h": '#include "app/shell.h"\n',
        "actions/seam.h": "#ifdef _WIN32\n#include <windows.h>\n#endif\n",
        "actions/pure.cpp": '#include "actions/seam.h"\n#include "common/low.h"\n',
        "receiver/side.cpp": '#include "actions/pure.h"\n',
        "receiver/low.cpp": '#include "profile/profile.h"\n',
        "profile/profile.h": '#include "receiver/link.h"\n#include "actions/seam.h"\n',
        "common/low.h": "#pragma once\n\n#include <windows.h>\n",
    }
    with tempfile.TemporaryDirectory() as root:
        for name, text in files.items():
            os.makedirs(os.path.join(root, os.path.dirname(name)), exist_ok=True)
            with open(os.path.join(root, name), "w") as f:
                f.write(text)
        run = subprocess.run([sys.executable, __file__, root, "actions/pure.cpp"], capture_output=True, text=True)
    expected = [
        "common/low.h:3: includes <windows.h> in pure code (reached from the pure source actions/pure.cpp)",
        "profile/profile.h:2: profile/ includes actions/seam.h, a folder above it",
        "receiver/low.cpp:1: receiver/ includes profile/profile.h, a folder above it",
        "receiver/side.cpp:1: receiver/ includes actions/pure.h, a folder above it",
        "setup/setup.h:1: setup/ includes app/shell.h, a folder above it",
    ]
    if run.returncode != 1 or run.stdout.splitlines() != expected:
        print("the layer check missed a fault:\n" + run.stdout)
        return 1
    return 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    pure = sys.argv[2:] or pure_list(root)
    faults = []
    for folder in RANK:
        if not os.path.isdir(os.path.join(root, folder)):
            continue
        for name in sorted(os.listdir(os.path.join(root, folder))):
            if not name.endswith((".cpp", ".h")):
                continue
            rel = folder + "/" + name
            for number, kind, target, _ in includes(os.path.join(root, rel)):
                above = target.split("/")[0]
                if kind == '"' and RANK.get(above, -1) > RANK[folder]:
                    faults.append(f"{rel}:{number}: {folder}/ includes {target}, a folder above it")
    # A pure source and every project header it reaches.
    for source in pure:
        seen, todo = set(), [source]
        while todo:
            rel = todo.pop()
            if rel in seen or not os.path.exists(os.path.join(root, rel)):
                continue
            seen.add(rel)
            for number, kind, target, guarded in includes(os.path.join(root, rel)):
                if kind == "<" and target.lower() == "windows.h" and not guarded:
                    via = "" if rel == source else f" (reached from the pure source {source})"
                    faults.append(f"{rel}:{number}: includes <windows.h> in pure code{via}")
                elif kind == '"':
                    todo.append(target)
    for fault in sorted(set(faults)):
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
