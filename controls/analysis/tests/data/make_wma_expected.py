#!/usr/bin/python3
"""Makes the WMA control's own files and the expected values of the WMA
control over them and over WmaPeek's corpus (outside/wmapeek/tests/data).

Run with Debian's Python (/usr/bin/python3, which has mutagen):
    /usr/bin/python3 controls/analysis/tests/data/make_wma_expected.py

ffmpeg encodes two files: one with all six texts the control reads
(copyright included) and one without WM/Genre (removed by mutagen). The
expected texts are mutagen's (Title, Author, WM/AlbumTitle, WM/Year,
Copyright, WM/Genre; only attributes stored as text); the bitrate is mutagen's too, except for the WmaPeek
files, whose bitrate column is taken from WmaPeek's expected.tsv (the one
file there with a stream bitrate properties object states a value mutagen
does not report). Files WmaPeek's expectations mark unreadable give empty
texts and bitrate 0.

wma_expected.tsv: file (relative to the repository), size, bitrate in kbit/s
(bit/s divided by 1000, rounded down), title, author, album, year, copyright,
genre (UTF-8).
"""
import os
import subprocess

import mutagen.asf as asf

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.normpath(os.path.join(HERE, "..", "..", "..", ".."))
WMAPEEK = os.path.join(TOP, "outside", "wmapeek", "tests", "data")
NAMES = ["Title", "Author", "WM/AlbumTitle", "WM/Year", "Copyright", "WM/Genre"]


def encode(name, bitrate, metadata):
    cmd = ["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi",
           "-i", "sine=frequency=440:duration=1", "-ac", "2", "-ar", "44100",
           "-c:a", "wmav2", "-b:a", bitrate, "-map_metadata", "-1"]
    for key, value in metadata.items():
        cmd += ["-metadata", "%s=%s" % (key, value)]
    subprocess.run(cmd + [os.path.join(HERE, name)], check=True)


def make_files():
    encode("copyright_128k.wma", "128k", {"title": "Harbour Lights", "artist": "The Lanterns",
                                          "album": "Night Ferry", "genre": "Folk",
                                          "copyright": "(C) 2004 Lantern Records"})
    f = asf.ASF(os.path.join(HERE, "copyright_128k.wma"))
    f.tags["WM/Year"] = ["2004"]
    f.save()
    encode("no_genre_64k.wma", "64k", {"title": "Quiet Dock", "artist": "Mara", "album": "Piers",
                                       "genre": "Ambient", "copyright": "Mara"})
    f = asf.ASF(os.path.join(HERE, "no_genre_64k.wma"))
    del f.tags["WM/Genre"]
    f.tags["WM/Year"] = ["1999"]
    f.save()


def text(tags, name):
    # The control takes text attributes only; a number stored under a text's
    # name (a numeric WM/Year) leaves the field empty.
    values = tags.get(name, [])
    if not values or not isinstance(values[0], asf.ASFUnicodeAttribute):
        return ""
    return str(values[0].value)


def row(path, bitrate_bps, readable=True):
    rel = os.path.relpath(path, TOP)
    size = os.path.getsize(path)
    if not readable:
        return "\t".join([rel, str(size), "0"] + [""] * 6)
    tags = asf.ASF(path).tags
    return "\t".join([rel, str(size), str(bitrate_bps // 1000)] + [text(tags, n) for n in NAMES])


def main():
    make_files()
    lines = ["# file\tsize\tbitrate_kbps\ttitle\tauthor\talbum\tyear\tcopyright\tgenre"]
    for line in open(os.path.join(WMAPEEK, "expected.tsv"), encoding="utf-8"):
        if line.startswith("#") or not line.strip():
            continue
        cells = line.rstrip("\n").split("\t")
        name, readable, bitrate = cells[0], cells[1] == "1", int(cells[3] or 0)
        lines.append(row(os.path.join(WMAPEEK, name), bitrate, readable))
    for name in ["copyright_128k.wma", "no_genre_64k.wma"]:
        path = os.path.join(HERE, name)
        lines.append(row(path, asf.ASF(path).info.bitrate))
    with open(os.path.join(HERE, "wma_expected.tsv"), "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
