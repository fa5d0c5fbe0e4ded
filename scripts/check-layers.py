#!/usr/bin/env python3
"""Fails when the code under src/ breaks its layers.

Folders are layers, bottom to top: base, the domain folders, render, ui, app. A
file may include its own folder and the folders its layer builds on, nothing else,
so no two folders include each other. Base and domain include no QtWidgets, QtGui
or QtPrintSupport header, render no QtWidgets or QtPrintSupport header, and (given
their archives) none uses a symbol of those libraries. No source file has more
than 600 non-blank lines. No header declares a variable any file can change, except the few
held once on purpose (HELD_ONCE). A thread_local holds a plain value only: under MinGW its
destructor runs after the thread's storage is gone (QThreadStorage frees in time).

    check-layers.py SRC_DIR [--qt-headers DIR] [--qt-lib LIB ...] [--archive FOLDER=ARCHIVE ...]
"""
import argparse
import os
import re
import subprocess
import sys

DOMAIN = ["domain/settings", "domain/db", "domain/trade", "domain/smtp", "domain/import", "domain/bank",
          "domain/invoice", "domain/books", "domain/mail", "domain/mailbox", "domain/shipping"]
ALLOWED = {
    "base": set(),
    "domain/settings": {"base"},
    # The engines, the schema, and the records kept whole: the journal and the issued documents.
    "domain/db": {"domain/settings", "base"},
    # The trade rules, on either engine.
    "domain/trade": {"domain/db", "domain/settings", "base"},
    "domain/smtp": {"domain/settings", "base"},
    # Order reports are read through the file profiles of domain/bank.
    "domain/import": {"domain/bank", "domain/trade", "domain/db", "domain/settings", "base"},
    "domain/bank": {"domain/trade", "domain/db", "domain/settings", "base"},
    # The payment code and the seller's IBAN on the invoice come from domain/bank.
    "domain/invoice": {"domain/bank", "domain/trade", "domain/db", "domain/settings", "base"},
    "domain/books": {"domain/invoice", "domain/bank", "domain/trade", "domain/db", "domain/settings", "base"},
    "domain/mail": {"domain/smtp", "domain/bank", "domain/trade", "domain/db", "domain/settings", "base"},
    # Notifications fetched from the mailbox go through the import; the sign-in's pieces are the SMTP ones.
    "domain/mailbox": {"domain/import", "domain/smtp", "domain/bank", "domain/trade", "domain/db", "domain/settings",
                       "base"},
    # Parcels out of the desk: the carriers' files, the trades they come from; a carrier's export is
    # read as the bank's are.
    "domain/shipping": {"domain/bank", "domain/trade", "domain/db", "domain/settings", "base"},
    # Pages and pictures of the domain's data, painted without a window.
    "render": {"domain/invoice", "domain/bank", "domain/trade", "domain/db", "domain/settings", "base"},
    # The forms know no protocol: mail goes out through domain/mail.
    "ui": set(DOMAIN) - {"domain/smtp"} | {"base", "render"},
    # The command line paints an invoice, but opens no window.
    "app": {"ui", "render", "base"} | set(DOMAIN),
}
GUI_MODULES = ["QtWidgets", "QtGui", "QtPrintSupport"]
# What each folder builds without: the GUI modules, or the windows alone.
WITHOUT = {folder: GUI_MODULES for folder in ["base"] + DOMAIN}
WITHOUT["render"] = ["QtWidgets", "QtPrintSupport"]
HEADLESS = list(WITHOUT)
MAX_LINES = 600

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
# Only the seams ask which system they run on: one file per system, named for it.
SYSTEM_QUESTION = re.compile(r'^\s*#\s*(if|ifdef|ifndef|elif)\b.*\b(Q_OS_\w+|_WIN32|_WIN64|WIN32|__linux__|__unix__|__APPLE__)\b')
SYSTEM_WORDS = re.compile(r'^\s*#\s*include\s*<(windows|unistd|fcntl|termios|wincred|shellapi)\.h>|^\s*#\s*include\s*<sys/')
SEAM_FILE = re.compile(r'(Posix|Windows)\.cpp$')
THREAD_LOCAL = re.compile(r'\bthread_local\s+(?:static\s+|const\s+)*([\w:<>, ]+?)[\s*&]*\b\w+\s*[=;{(]')
# A variable every file can change, declared in a header. The program's state that is held once on
# purpose is named here; anything else goes to the code that needs it as a value or parameter.
HEADER_GLOBAL = re.compile(r'^\s*(?:extern\s+|inline\s+)(?!constexpr\b|const\b)(?:static\s+)?([\w:<>, ]+?)[\s*&]+(\w+)\s*(?:=|;|\{)')
HELD_ONCE = {
    "gSettings": "the settings in force (settingsTable, setSettings)",
    "gRules": "the keyword file's rules in force (subGetFelder)",
    "gsDataSource": "the database the settings name, found at load",
    "gsKeywordIni": "the keyword file the settings name, found at load",
    "gsItemLink": "the item link built from the platform at load",
    "gsFeedbackLink": "the rating link built from the platform at load",
}
PLAIN = re.compile(r'^(bool|char|int|unsigned|long|short|float|double|size_t|qint\w*|quint\w*|u?int\d+_t|std::size_t)$')


def folder_of(rel_path):
    d = os.path.dirname(rel_path)
    return d.replace(os.sep, "/")


def gui_headers(qt_headers, modules):
    names = set()
    for module in modules:
        path = os.path.join(qt_headers, module)
        if os.path.isdir(path):
            names.update(n for n in os.listdir(path) if not n.endswith(".h") or n.startswith("q"))
    # Headers QtCore ships under the same name are not the GUI's.
    core = os.path.join(qt_headers, "QtCore")
    if os.path.isdir(core):
        names.difference_update(os.listdir(core))
    return names


def find_cycle(graph):
    state = {}

    def visit(node, trail):
        state[node] = 1
        for nxt in sorted(graph.get(node, ())):
            if state.get(nxt) == 1:
                return trail + [node, nxt]
            if state.get(nxt) is None:
                found = visit(nxt, trail + [node])
                if found:
                    return found
        state[node] = 2
        return None

    for n in sorted(graph):
        if state.get(n) is None:
            found = visit(n, [])
            if found:
                return found
    return None


def defined_symbols(lib):
    out = subprocess.run(["nm", "-D", "--defined-only", lib], capture_output=True, text=True, check=True).stdout
    # "_ZN7QWidget4showEv@@Qt_6": the version tag is not part of the name an archive refers to.
    return {line.split()[-1].split("@")[0] for line in out.splitlines() if line.strip()}


def defined_symbols_archive(archive):
    out = subprocess.run(["nm", "--defined-only", "--extern-only", archive], capture_output=True, text=True,
                         check=True).stdout
    return {line.split()[-1] for line in out.splitlines()
            if line.strip() and not line.endswith(":") and len(line.split()) == 3 and line.split()[1] in "TDBR"}


def reachable(folder):
    seen, todo = set(), list(ALLOWED.get(folder, ()))
    while todo:
        f = todo.pop()
        if f not in seen:
            seen.add(f)
            todo.extend(ALLOWED.get(f, ()))
    return seen


def undefined_symbols(archive):
    out = subprocess.run(["nm", "--undefined-only", archive], capture_output=True, text=True, check=True).stdout
    return {line.split()[-1] for line in out.splitlines() if line.strip() and not line.endswith(":")}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("src")
    ap.add_argument("--qt-headers")
    ap.add_argument("--qt-lib", action="append", default=[])
    ap.add_argument("--archive", action="append", default=[])
    args = ap.parse_args()

    faults = []
    forbidden = {m: gui_headers(args.qt_headers, [m]) if args.qt_headers else set() for m in GUI_MODULES}
    graph = {}
    for root, _, files in os.walk(args.src):
        for name in sorted(files):
            if not name.endswith((".h", ".cpp", ".h.in")):
                continue
            path = os.path.join(root, name)
            rel = os.path.relpath(path, args.src)
            here = folder_of(rel)
            if here not in ALLOWED:
                faults.append(f"{rel}: folder '{here}' is no layer")
                continue
            with open(path, encoding="utf-8") as f:
                lines = f.read().splitlines()
            non_blank = sum(1 for l in lines if l.strip())
            if non_blank > MAX_LINES:
                faults.append(f"{rel}: {non_blank} non-blank lines (at most {MAX_LINES})")
            for number, line in enumerate(lines, 1):
                if not SEAM_FILE.search(name) and (SYSTEM_QUESTION.match(line) or SYSTEM_WORDS.match(line)):
                    faults.append(f"{rel}:{number}: asks for the operating system; that belongs in a *Posix.cpp/*Windows.cpp seam")
                g = HEADER_GLOBAL.match(line) if name.endswith(".h") else None
                if g and g.group(2) not in HELD_ONCE:
                    faults.append(f"{rel}:{number}: '{g.group(2)}' is a variable every file can change: hand its value "
                                  "to the code that needs it (or, held once on purpose, name it in HELD_ONCE)")
                for local in THREAD_LOCAL.finditer(line):
                    if not PLAIN.match(local.group(1).strip()) and "*" not in local.group(0):
                        faults.append(f"{rel}:{number}: thread_local of {local.group(1).strip()}: only plain values "
                                      "(use QThreadStorage, which frees while the thread runs)")
                m = INCLUDE.match(line)
                if not m:
                    continue
                kind, target = m.groups()
                if kind == '"':
                    there = folder_of(target)
                    graph.setdefault(here, set())
                    if there != here:
                        graph[here].add(there)
                        if there not in ALLOWED[here]:
                            faults.append(f"{rel}:{number}: '{here}' may not include '{target}'")
                elif here in WITHOUT:
                    head = target.split("/")[0]
                    for module in WITHOUT[here]:
                        if head == module or target in forbidden[module]:
                            faults.append(f"{rel}:{number}: <{target}> belongs to {module}; '{here}' builds without it")
    cycle = find_cycle(graph)
    if cycle:
        faults.append("folders include each other: " + " -> ".join(cycle))

    # What each folder's archive uses of ours must come from a folder it may include: an include
    # can be right while the definition sits a layer up, and only a link order saves it.
    if args.archive:
        defined_in = {}
        for item in args.archive:
            folder, archive = item.split("=", 1)
            for sym in defined_symbols_archive(archive):
                defined_in.setdefault(sym, folder)
        for item in args.archive:
            folder, archive = item.split("=", 1)
            below = reachable(folder)
            for sym in sorted(undefined_symbols(archive)):
                there = defined_in.get(sym)
                if there and there != folder and there not in below:
                    faults.append(f"{folder}: uses {sym}, which is defined in '{there}' above it")

    if args.qt_lib and args.archive:
        symbols = {}
        for lib in args.qt_lib:
            module = next((m for m in GUI_MODULES if m.replace("Qt", "Qt6", 1) in os.path.basename(lib)), None)
            symbols.setdefault(module, set()).update(defined_symbols(lib))
        for item in args.archive:
            folder, archive = item.split("=", 1)
            banned = set()
            for module in WITHOUT.get(folder, GUI_MODULES):
                banned |= symbols.get(module, set())
            for sym in sorted(undefined_symbols(archive) & banned)[:10]:
                faults.append(f"{folder}: uses the symbol {sym} of a module it builds without")

    for f in faults:
        print(f)
    if not faults:
        print(f"layers: {sum(len(v) for v in graph.values())} folder dependencies, all downward; no GUI in "
              f"{', '.join(HEADLESS)}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
