#!/usr/bin/python3
"""Checks the Windows package: its files are exactly the deliverables list,
every program and DLL in it is a 32-bit x86 PE file without debugging
sections, and each imports only from the system DLLs that Windows 98 and XP
have or from the package's own DLLs.

  check_package.py ZIP DELIVERABLES BIN_DIR
BIN_DIR (the build's bin folder) expands the list's globs and folders."""
import fnmatch
import os
import subprocess
import sys
import tempfile
import zipfile

SYSTEM_DLLS = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "ADVAPI32.DLL", "SHELL32.DLL",
               "COMCTL32.DLL", "COMDLG32.DLL", "OLE32.DLL", "OLEAUT32.DLL", "WINMM.DLL",
               "SETUPAPI.DLL", "VERSION.DLL", "MSVCRT.DLL"}
OBJDUMP = "i686-w64-mingw32-objdump"


def expected_names(listing, bin_dir):
    names = set()
    for line in open(listing, encoding="utf-8"):
        entry = line.strip()
        if not entry or entry.startswith("#"):
            continue
        if entry.endswith("/"):
            root = os.path.join(bin_dir, entry)
            for folder, _, files in os.walk(root):
                for f in files:
                    rel = os.path.relpath(os.path.join(folder, f), bin_dir)
                    names.add(rel.replace(os.sep, "/"))
            names.add(entry.rstrip("/") + "/")      # the folder must be there
        elif any(c in entry for c in "*?"):
            matched = fnmatch.filter(os.listdir(bin_dir), entry)
            if not matched:
                names.add(entry)                    # reported as missing
            names.update(matched)
        else:
            names.add(entry)
    return names


def main():
    zip_path, listing, bin_dir = sys.argv[1:4]
    failures = []
    with zipfile.ZipFile(zip_path) as z:
        inside = set()
        for n in z.namelist():
            assert n.startswith("MusicBridge/"), n
            rel = n[len("MusicBridge/"):]
            if rel:
                inside.add(rel)
        want = expected_names(listing, bin_dir)
        folders = {w for w in want if w.endswith("/")}
        files_in = {n for n in inside if not n.endswith("/")}
        for w in sorted(want - folders - files_in):
            failures.append("missing from the package: " + w)
        for f in folders:
            if not any(n.startswith(f) for n in inside):
                failures.append("missing folder: " + f)
        for extra in sorted(files_in - want):
            failures.append("not a deliverable: " + extra)
        own = {os.path.basename(n).upper() for n in files_in if n.lower().endswith((".dll", ".ocx"))}
        with tempfile.TemporaryDirectory() as tmp:
            z.extractall(tmp)
            for n in sorted(files_in):
                if not n.lower().endswith((".exe", ".dll", ".ocx")):
                    continue
                path = os.path.join(tmp, "MusicBridge", n)
                head = subprocess.run([OBJDUMP, "-f", path], capture_output=True, text=True)
                if "file format pei-i386" not in head.stdout:
                    failures.append("%s is not a 32-bit x86 PE file" % n)
                    continue
                sections = subprocess.run([OBJDUMP, "-h", path], capture_output=True, text=True).stdout
                if ".debug_" in sections:
                    failures.append("%s carries debugging sections" % n)
                dump = subprocess.run([OBJDUMP, "-p", path], capture_output=True, text=True).stdout
                for line in dump.splitlines():
                    line = line.strip()
                    if line.startswith("DLL Name:"):
                        dll = line.split(":", 1)[1].strip().upper()
                        if dll not in SYSTEM_DLLS and dll not in own:
                            failures.append("%s imports from %s, which neither Windows 98/XP "
                                            "nor the package has" % (n, dll))
    for f in failures:
        print("package:", f)
    print("package: %d files checked, %d problems" % (len(files_in), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
