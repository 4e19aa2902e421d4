#!/usr/bin/env python3
"""Holds every program and DLL of the package to the Windows it must load on.

Reads the import table of each PE file (with the MinGW objdump) and looks every
imported function up in the allow-list, which says per DLL and function the
oldest Windows exporting it. A function missing from the list, or newer than
the binary's target, fails the check with the binary, the function and its
oldest Windows named. Imports from DLLs of the package itself are checked
against those DLLs' own export tables.

    check-imports.py --list allowed-imports.txt --targets targets.txt PATH...

A PATH is a folder (every PE file in it is checked) or a file.
"""

import argparse
import fnmatch
import os
import re
import subprocess
import sys

# The order in which the levels are shown; the sets below say what each
# target accepts. 95, 98 and ME are the 95/98/ME line (a function the list
# gives one of these is on 2000 and XP as well); NT4, 2000 and XP the NT line.
LEVELS = ["95", "98", "ME", "NT4", "2000", "XP", "Vista", "7", "8", "10"]
LEVEL_NAMES = {
    "95": "Windows 95", "98": "Windows 98", "ME": "Windows ME", "NT4": "Windows NT 4.0",
    "2000": "Windows 2000", "XP": "Windows XP", "Vista": "Windows Vista", "7": "Windows 7",
    "8": "Windows 8", "10": "Windows 10",
}
TARGETS = {
    # Windows 98 SE and ME, and XP SP3.
    "98": {"levels": {"95", "98"}, "text": "Windows 98 SE, ME and XP"},
    # Windows 2000 and XP SP3.
    "XP": {"levels": {"95", "98", "ME", "NT4", "2000", "XP"}, "text": "Windows XP"},
}
STUB_FLAG = "9x-stub"


class ListError(Exception):
    pass


def read_allow_list(path):
    """{dll (lower case): {function: (level, flags)}}"""
    table = {}
    dll = None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.split("#", 1)[0].strip()
            if not line:
                continue
            m = re.fullmatch(r"\[([^\]]+)\]", line)
            if m:
                dll = m.group(1).lower()
                table.setdefault(dll, {})
                continue
            fields = line.split()
            if dll is None or len(fields) < 2:
                raise ListError(f"{path}:{number}: expected [DLL] or 'function level [{STUB_FLAG}]'")
            name, level, flags = fields[0], fields[1], set(fields[2:])
            if level not in LEVEL_NAMES:
                raise ListError(f"{path}:{number}: unknown Windows '{level}' (one of {', '.join(LEVELS)})")
            if flags - {STUB_FLAG}:
                raise ListError(f"{path}:{number}: unknown flag {' '.join(sorted(flags - {STUB_FLAG}))}")
            if name in table[dll]:
                raise ListError(f"{path}:{number}: {name} is listed twice under [{dll}]")
            table[dll][name] = (level, flags)
    return table


def read_targets(path):
    """[(file name pattern, target)], first match wins."""
    rules = []
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.split("#", 1)[0].strip()
            if not line:
                continue
            fields = line.split()
            if len(fields) != 2 or fields[1] not in TARGETS:
                raise ListError(f"{path}:{number}: expected 'pattern target' with target one of {', '.join(TARGETS)}")
            rules.append((fields[0], fields[1]))
    return rules


def target_of(name, rules):
    for pattern, target in rules:
        if fnmatch.fnmatch(name.lower(), pattern.lower()):
            return target
    raise ListError(f"no target in the targets file matches {name}")


def is_pe(path):
    try:
        with open(path, "rb") as f:
            head = f.read(64)
            if len(head) < 64 or head[:2] != b"MZ":
                return False
            offset = int.from_bytes(head[60:64], "little")
            f.seek(offset)
            return f.read(4) == b"PE\0\0"
    except OSError:
        return False


def objdump_p(objdump, path):
    result = subprocess.run([objdump, "-p", path], capture_output=True, text=True)
    if result.returncode != 0:
        raise ListError(f"{objdump} -p {path} failed: {result.stderr.strip()}")
    return result.stdout


def parse_imports(text):
    """[(dll, function)] from objdump -p; ordinals come as '#<number>'."""
    imports = []
    dll = None
    section = None
    for line in text.splitlines():
        if line.startswith("The Import Tables"):
            section = "imports"
            continue
        if line.startswith("The Export Tables") or line.startswith("The Function Table") or \
                line.startswith("PE File Base Relocations") or line.startswith("The Delay Import Tables"):
            section = "delay" if line.startswith("The Delay Import Tables") else None
            continue
        if section is None:
            continue
        m = re.match(r"^\s*DLL Name: (\S+)", line)
        if m:
            dll = m.group(1)
            continue
        m = re.match(r"^\t[0-9a-fA-F]+\t\s*(\d+)\s+(\S+)?\s*$", line)
        if m and dll:
            name = m.group(2)
            if not name or name == "<none>":
                name = "#" + m.group(1)
            imports.append((dll, name))
    return imports


def parse_exports(text):
    names = set()
    inside = False
    for line in text.splitlines():
        if line.startswith("[Ordinal/Name Pointer] Table"):
            inside = True
            continue
        if inside:
            m = re.match(r"^\s*\[\s*\d+\]\s+(\S+)", line)
            if m:
                names.add(m.group(1))
            elif line.strip() == "":
                inside = False
    return names


def collect(paths):
    files = []
    for path in paths:
        if os.path.isdir(path):
            for name in sorted(os.listdir(path)):
                full = os.path.join(path, name)
                if os.path.isfile(full) and is_pe(full):
                    files.append(full)
        elif is_pe(path):
            files.append(path)
        else:
            raise ListError(f"{path} is neither a folder nor a PE file")
    return files


def check(files, table, rules, objdump):
    """Returns (failures, notes, summary lines)."""
    own = {os.path.basename(f).lower(): f for f in files}
    exports = {}
    failures, notes, summary = [], [], []
    for path in files:
        name = os.path.basename(path)
        target = target_of(name, rules)
        accepted = TARGETS[target]["levels"]
        imports = parse_imports(objdump_p(objdump, path))
        stubs = []
        for dll, function in imports:
            key = dll.lower()
            if key in own:
                if key not in exports:
                    exports[key] = parse_exports(objdump_p(objdump, own[key]))
                if function not in exports[key]:
                    failures.append(f"{name}: {dll}!{function} is not exported by the package's {dll}")
                continue
            if key not in table:
                failures.append(f"{name}: imports {dll}!{function}, and {dll} is not on the allow-list "
                                f"(add the DLL and its functions with their oldest Windows)")
                continue
            entry = table[key].get(function)
            if entry is None:
                failures.append(f"{name}: {dll}!{function} is not on the allow-list "
                                f"(add it with its oldest Windows from Microsoft's documentation)")
                continue
            level, flags = entry
            if level not in accepted:
                failures.append(f"{name}: {dll}!{function} needs {LEVEL_NAMES[level]}; "
                                f"{name} must load on {TARGETS[target]['text']}")
            elif STUB_FLAG in flags and target == "98":
                stubs.append(f"{dll}!{function}")
        if stubs:
            notes.append(f"{name}: loads on 95/98/ME, but these fail there with "
                         f"ERROR_CALL_NOT_IMPLEMENTED: {', '.join(stubs)}")
        summary.append(f"{name}: {len(imports)} imports, held to {TARGETS[target]['text']}")
    return failures, notes, summary


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--list", required=True, help="the allow-list")
    parser.add_argument("--targets", required=True, help="file name patterns and their targets")
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    parser.add_argument("paths", nargs="+")
    args = parser.parse_args(argv)
    try:
        table = read_allow_list(args.list)
        rules = read_targets(args.targets)
        files = collect(args.paths)
        if not files:
            print(f"import check: no program or DLL in {' '.join(args.paths)}", file=sys.stderr)
            return 2
        failures, notes, summary = check(files, table, rules, args.objdump)
    except ListError as e:
        print(f"import check: {e}", file=sys.stderr)
        return 2
    for line in summary:
        print(line)
    for line in notes:
        print("note: " + line)
    for line in failures:
        print("FAILED: " + line)
    if failures:
        print(f"import check: {len(failures)} import(s) would keep a binary from loading on its target")
        return 1
    print(f"import check: {len(files)} binaries pass")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
