#!/usr/bin/python3
"""Checks the simulated player's memory after an end-to-end scenario, from
Linux, with the tools a player's file system is checked with: fsck.fat -n
(no complaint), mdir (entries in directory order), mcopy + sha256 (bytes).

  check-image.py SCENARIO WORK

WORK holds player.img (the memory after the run), pc/ (the PC music the
scenario used) and out/, where the scenario wrote what it expects:
  root-order.txt   the root's file entries in the order the player plays them
  downloaded.txt   files copied from the PC's folder to the root, byte for byte
  complete.txt     files the window reported complete (same check)
  absent.txt       names that must not be on the memory
  complete-or-absent.txt  names that are either whole (as on the PC) or absent
  partial.txt      names cut short by a pull: absent, or the start of the PC file
  statuses.txt     "name<TAB>status" of the download list: "Complete" rows are whole
  label.txt        the volume label the memory must carry
  settings.txt     "kept": SETTINGS.DAT must be there, as before the run
Each file is optional; a scenario that expects nothing writes none.
"""
import hashlib
import os
import re
import subprocess
import sys

ENV = dict(os.environ, MTOOLS_SKIP_CHECK="1", LC_ALL="C.UTF-8")
FSCK_PLAIN = re.compile(r"^(fsck\.fat .*|Leaving filesystem unchanged\.|.*: \d+ files, \d+/\d+ clusters|)$")


def lines(path):
    if not os.path.exists(path):
        return None
    with open(path, encoding="utf-8") as f:
        return [l.rstrip("\r\n") for l in f if l.strip()]


def mtool(*args):
    return subprocess.run(args, env=ENV, stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)


def arguments():
    """SCENARIO and WORK from the command line; without them the usage, and
    exit status 2."""
    if len(sys.argv) != 3:
        print("usage: %s SCENARIO WORK" % os.path.basename(sys.argv[0]), file=sys.stderr)
        sys.exit(2)
    return sys.argv[1], sys.argv[2]


def main():
    scenario, work = arguments()
    image = os.path.join(work, "player.img")
    out = os.path.join(work, "out")
    failures = []

    fsck = subprocess.run(["fsck.fat", "-n", image], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          env=ENV, check=False)
    complaints = [l for l in fsck.stdout.decode("utf-8", "replace").splitlines() if not FSCK_PLAIN.match(l)]
    if complaints:
        failures.append("fsck.fat -n complains:\n  " + "\n  ".join(complaints))

    listing = mtool("mdir", "-a", "-b", "-i", image, "::/")
    if listing.returncode != 0:
        failures.append("mdir cannot list the root: " + listing.stderr.decode("utf-8", "replace"))
    entries = [l for l in listing.stdout.decode("utf-8", "replace").splitlines() if l.startswith("::/")]
    root_files = [e[3:] for e in entries if not e.endswith("/")]
    print("mdir ::/ (directory order): " + " | ".join(e[3:] for e in entries))

    order = lines(os.path.join(out, "root-order.txt"))
    if order is not None:
        # The list shows folders as well; the play order is the files'.
        want = [n for n in order if n in root_files or "." in n]
        got = [n for n in root_files if n != "SETTINGS.DAT" and n in want]
        if want != got or sorted(want) != sorted(n for n in root_files if n != "SETTINGS.DAT"):
            failures.append("mdir order of the root:\n  got      %s\n  expected %s" %
                            (" | ".join(root_files), " | ".join(want)))

    for listname in ("downloaded.txt", "complete.txt"):
        for entry in lines(os.path.join(out, listname)) or []:
            source, _, target = entry.partition("\t")
            target = target or os.path.basename(source)
            local = os.path.join(work, "pc", source)
            copied = mtool("mcopy", "-n", "-i", image, "::/" + target, "-")
            if copied.returncode != 0:
                failures.append("%s (%s) is not on the memory: %s" %
                                (target, listname, copied.stderr.decode("utf-8", "replace").strip()))
                continue
            with open(local, "rb") as f:
                original = f.read()
            if hashlib.sha256(copied.stdout).hexdigest() != hashlib.sha256(original).hexdigest():
                failures.append("%s differs from %s (%d bytes on the memory, %d on the PC)" %
                                (target, source, len(copied.stdout), len(original)))

    for name in lines(os.path.join(out, "absent.txt")) or []:
        if mtool("mdir", "-a", "-b", "-i", image, "::/" + name).returncode == 0:
            failures.append(name + " is still on the memory")

    for name in lines(os.path.join(out, "complete-or-absent.txt")) or []:
        copied = mtool("mcopy", "-n", "-i", image, "::/" + name, "-")
        if copied.returncode == 0:
            with open(os.path.join(work, "pc", name), "rb") as f:
                original = f.read()
            if copied.stdout != original:
                failures.append("%s stays on the memory half-written (%d of %d bytes)" %
                                (name, len(copied.stdout), len(original)))

    for name in lines(os.path.join(out, "partial.txt")) or []:
        copied = mtool("mcopy", "-n", "-i", image, "::/" + name, "-")
        if copied.returncode == 0:
            with open(os.path.join(work, "pc", name), "rb") as f:
                original = f.read()
            if not original.startswith(copied.stdout):
                failures.append("%s on the memory (%d bytes) is not the start of the PC file (%d bytes)" %
                                (name, len(copied.stdout), len(original)))
            else:
                print("%s: %d of %d bytes stayed on the memory" % (name, len(copied.stdout), len(original)))

    # What the window says of each row must hold on the memory: a row
    # "Complete" is there whole.
    for entry in lines(os.path.join(out, "statuses.txt")) or []:
        name, _, status = entry.partition("\t")
        copied = mtool("mcopy", "-n", "-i", image, "::/" + name, "-")
        with open(os.path.join(work, "pc", name), "rb") as f:
            original = f.read()
        whole = copied.returncode == 0 and copied.stdout == original
        if status == "Complete" and not whole:
            failures.append("%s is marked complete but the memory holds %s" %
                            (name, "%d of its %d bytes" % (len(copied.stdout), len(original))
                             if copied.returncode == 0 else "no such file"))
    pulled = lines(os.path.join(out, "pulled-at.txt"))
    if scenario == "PullDuringDownload" and pulled is None:
        failures.append("the player was never pulled (the long file's copy was not seen under way)")

    label = lines(os.path.join(out, "label.txt"))
    if label is not None:
        info = mtool("mlabel", "-s", "-i", image, "::").stdout.decode("utf-8", "replace")
        shown = info.split(" is ", 1)[1].strip() if " is " in info else ""
        if shown != label[0]:
            failures.append("volume label %r, expected %r (%s)" % (shown, label[0], info.strip()))

    settings = lines(os.path.join(out, "settings.txt"))
    if settings is not None and settings[0] == "kept":
        demo = os.path.join(work, "settings-before.dat")
        copied = mtool("mcopy", "-n", "-i", image, "::/SETTINGS.DAT", "-")
        if copied.returncode != 0:
            failures.append("SETTINGS.DAT is not on the memory")
        elif os.path.exists(demo) and open(demo, "rb").read() != copied.stdout:
            failures.append("SETTINGS.DAT differs from the one before")

    if failures:
        print("e2e %s: the memory's image is not as expected:" % scenario)
        for f in failures:
            print("- " + f)
        return 1
    print("e2e %s: the memory's image is as expected (fsck.fat clean)" % scenario)
    return 0


if __name__ == "__main__":
    sys.exit(main())
