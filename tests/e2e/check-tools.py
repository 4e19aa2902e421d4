#!/usr/bin/python3
"""Checks the simulated player's memory after a tools scenario, from Linux
with mtools, beyond what check-image.py checks for every scenario.

  check-tools.py SCENARIO WORK

WORK holds player.img (the memory after the run), settings-before.dat (the
memory's SETTINGS.DAT before it) and out/, where the scenario wrote:
  fm-entries.txt   "ENTRY KHZ" lines: the FM presets saved (entry 0-19)
  playlist.txt     the songs the playlist saved on the player names, in order
"""
import importlib.util
import os
import sys

# The reading helpers (and the command line's) are check-image.py's own.
_spec = importlib.util.spec_from_file_location(
    "check_image", os.path.join(os.path.dirname(os.path.abspath(__file__)), "check-image.py"))
_image = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(_image)
arguments, lines, mtool = _image.arguments, _image.lines, _image.mtool

TABLE_MARK = bytes([0xFC, 0x5F, 0x00])
ENTRIES = 20


def table_at(data):
    """Where the 20 preset entries start: 9 bytes after the marker."""
    at = data.find(TABLE_MARK)
    if at < 0 or at + 9 + 3 * ENTRIES > len(data):
        return None
    return at + 9


def check_fm(image, work, failures):
    edits = lines(os.path.join(work, "out", "fm-entries.txt"))
    if edits is None:
        failures.append("the scenario wrote no fm-entries.txt")
        return
    with open(os.path.join(work, "settings-before.dat"), "rb") as f:
        before = f.read()
    got = mtool("mcopy", "-n", "-i", image, "::/SETTINGS.DAT", "-")
    if got.returncode != 0:
        failures.append("SETTINGS.DAT is not on the memory")
        return
    after = got.stdout
    if len(after) != len(before):
        failures.append("SETTINGS.DAT changed size: %d -> %d" % (len(before), len(after)))
        return
    table = table_at(before)
    if table is None:
        failures.append("the demo SETTINGS.DAT holds no preset table")
        return
    allowed = set()
    for edit in edits:
        entry, khz = (int(x) for x in edit.split())
        at = table + 3 * entry
        allowed.update(range(at, at + 3))
        value = after[at] | after[at + 1] << 8 | after[at + 2] << 16
        if value != khz:
            failures.append("preset %d holds %d kHz, the dialog saved %d" % (entry + 1, value, khz))
    changed = [i for i in range(len(before)) if before[i] != after[i]]
    outside = [i for i in changed if i not in allowed]
    if outside:
        failures.append("SETTINGS.DAT changed outside the edited presets, at bytes %s" % outside[:16])
    if not changed:
        failures.append("SETTINGS.DAT did not change")
    print("SETTINGS.DAT: bytes %s changed (table at %d)" % (changed, table))
    attrs = mtool("mattrib", "-i", image, "::/SETTINGS.DAT").stdout.decode("utf-8", "replace")
    demo = os.path.join(os.path.dirname(work), "demo", "player.img")
    if os.path.exists(demo):
        was = mtool("mattrib", "-i", demo, "::/SETTINGS.DAT").stdout.decode("utf-8", "replace")
        # The save may leave the archive bit as Windows leaves it after a
        # write; hidden, system and read-only must be as they were.
        flags = lambda text: sorted(c for c in "".join(text.split()[:-1]) if c in "HSR")
        if flags(attrs) != flags(was):
            failures.append("SETTINGS.DAT's attributes changed: %r -> %r" % (was.strip(), attrs.strip()))


def check_playlist(image, work, failures):
    songs = lines(os.path.join(work, "out", "playlist.txt"))
    if songs is None:
        failures.append("the scenario wrote no playlist.txt")
        return
    got = mtool("mcopy", "-n", "-i", image, "::/E2E LIST.M3U", "-")
    if got.returncode != 0:
        failures.append("E2E LIST.M3U is not on the memory: " + got.stderr.decode("utf-8", "replace").strip())
        return
    text = got.stdout.decode("cp1252", "replace")
    print("E2E LIST.M3U:\n" + text)
    entries = [l.strip() for l in text.splitlines() if l.strip() and not l.startswith("#")]
    names = [e.replace("\\", "/").split("/")[-1] for e in entries]
    if names != songs:
        failures.append("the list names %s, the scenario added %s" % (names, songs))
    listing = mtool("mdir", "-a", "-b", "-i", image, "::/").stdout.decode("utf-8", "replace").splitlines()
    on_memory = {l[3:] for l in listing if l.startswith("::/")}
    for entry in entries:
        path = entry.replace("\\", "/").lstrip("/")
        if ":" in path:
            path = path.split(":", 1)[1].lstrip("/")
        if path not in on_memory:
            failures.append("the list's entry %r names no file of the memory's root" % entry)


def main():
    scenario, work = arguments()
    image = os.path.join(work, "player.img")
    failures = []
    if scenario == "FmPresetsSaved":
        check_fm(image, work, failures)
    elif scenario == "PlaylistFromTheManager":
        check_playlist(image, work, failures)
    for f in failures:
        print("check-tools %s: %s" % (scenario, f), file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
