#!/usr/bin/python3
"""Makes the WMA corpus of the WmaPeek tests and its expected values.

Run with Debian's Python (/usr/bin/python3, which has mutagen) from any folder:
    /usr/bin/python3 outside/wmapeek/tests/data/make_corpus.py

ffmpeg encodes the files (wmav2 at several bitrates, with title, artist,
album, genre and comment); mutagen sets WM/Year, non-ASCII texts and long
texts and removes attributes. The expected values come from mutagen's ASF
reader (texts, bitrate) and are checked against ffprobe (bitrate, size and
the texts ffmpeg wrote). A few files are changed byte by byte afterwards:
those are damaged copies, and the one file that carries a stream bitrate
properties object, whose value neither reader reports, so its expected
bitrate is the value written here.

expected.tsv: file, readable (1/0), size, bitrate in bit/s, title, artist,
album, year, comment, genre (UTF-8; the year as stored, not cut).
Header-only copies go to ../fuzz/seeds as the fuzzer's seed corpus.
"""
import json
import os
import struct
import subprocess
import sys
import uuid

import mutagen.asf as asf

HERE = os.path.dirname(os.path.abspath(__file__))
SEEDS = os.path.join(HERE, "..", "fuzz", "seeds")
NAMES = ["Title", "Author", "WM/AlbumTitle", "WM/Year", "Description", "WM/Genre"]


def guid(text):
    return uuid.UUID(text).bytes_le


HEADER = guid("75B22630-668E-11CF-A6D9-00AA0062CE6C")
FILE_PROPERTIES = guid("8CABDCA1-A947-11CF-8EE4-00C00C205365")
CONTENT_DESCRIPTION = guid("75B22633-668E-11CF-A6D9-00AA0062CE6C")
EXTENDED_CONTENT = guid("D2D0A440-E307-11D2-97F0-00A0C95EA850")
STREAM_BITRATES = guid("7BF875CE-468D-11D1-8D82-006097C9A2B2")


def path(name):
    return os.path.join(HERE, name)


def encode(name, bitrate, channels=2, rate=44100, metadata=None):
    cmd = ["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi",
           "-i", "sine=frequency=523:duration=1", "-ac", str(channels), "-ar", str(rate),
           "-c:a", "wmav2", "-b:a", bitrate, "-map_metadata", "-1"]
    for key, value in (metadata or {}).items():
        cmd += ["-metadata", "%s=%s" % (key, value)]
    subprocess.run(cmd + [path(name)], check=True)


def retag(name, set_values=None, remove=()):
    f = asf.ASF(path(name))
    for key in remove:
        if key in f.tags:
            del f.tags[key]
    for key, value in (set_values or {}).items():
        f.tags[key] = value
    f.save()


def objects(data):
    """(offset, guid, size) of each top-level header object."""
    size, count = struct.unpack("<QI", data[16:28])
    out, off = [], 30
    for _ in range(count):
        g, s = struct.unpack("<16sQ", data[off:off + 24])
        out.append((off, g, s))
        off += s
    return out


def with_objects(data, replace):
    """data with each top-level object passed through replace(guid, bytes),
    which returns the bytes to keep (b"" drops it); the header's size and
    count follow."""
    size, count = struct.unpack("<QI", data[16:28])
    body, kept = b"", 0
    for off, g, s in objects(data):
        new = replace(g, data[off:off + s])
        for part in ([new] if isinstance(new, bytes) else new):
            if part:
                body += part
                kept += 1
    head = HEADER + struct.pack("<QI", 30 + len(body), kept) + data[28:30]
    return head + body + data[size:]


def obj(g, payload):
    return g + struct.pack("<Q", 24 + len(payload)) + payload


def ffprobe(name):
    out = subprocess.run(["ffprobe", "-v", "error", "-show_format", "-show_streams", "-of", "json",
                          path(name)], check=True, capture_output=True).stdout
    return json.loads(out)


def first_text(tags, key):
    for value in tags.get(key, []):
        text = str(value)
        # A stored text ends at its first NUL, as the readers see it.
        text = text.split("\0")[0]
        if text:
            return text
    return ""


def expected_row(name, readable=True, bitrate=None, check_ffprobe_texts=True):
    if not readable:
        return [name, "0", "0", "0"] + [""] * 6
    f = asf.ASF(path(name))
    probe = ffprobe(name)
    size = os.path.getsize(path(name))
    if int(probe["format"]["size"]) != size:
        sys.exit("%s: ffprobe size %s, file %d" % (name, probe["format"]["size"], size))
    stream_rate = int(probe["streams"][0]["bit_rate"])
    if f.info.bitrate != stream_rate:
        sys.exit("%s: mutagen bitrate %d, ffprobe %d" % (name, f.info.bitrate, stream_rate))
    texts = [first_text(f.tags, key) for key in NAMES]
    if check_ffprobe_texts:
        tags = probe["format"].get("tags", {})
        for key, probe_key in (("Title", "title"), ("Author", "artist"), ("WM/AlbumTitle", "album")):
            want = first_text(f.tags, key)
            if want and tags.get(probe_key, "") != want:
                sys.exit("%s: %s is %r to mutagen, %r to ffprobe" % (name, key, want, tags.get(probe_key)))
    for t in texts:
        if "\t" in t or "\n" in t:
            sys.exit("%s: a text holds a tab or a line break" % name)
    return [name, "1", str(size), str(bitrate if bitrate is not None else f.info.bitrate)] + texts


def write_header_seed(name):
    data = open(path(name), "rb").read()
    size = struct.unpack("<Q", data[16:24])[0] if data[:16] == HEADER else len(data)
    with open(os.path.join(SEEDS, os.path.splitext(name)[0] + ".hdr"), "wb") as out:
        out.write(data[:min(size, len(data))])


def main():
    os.makedirs(SEEDS, exist_ok=True)
    rows = []
    full = {"title": "Morning Light", "artist": "The Lanterns", "album": "Harbour Songs",
            "genre": "Pop", "comment": "First take"}

    encode("tags_128k.wma", "128k", metadata=full)
    retag("tags_128k.wma", {"WM/Year": "2004"})
    rows.append(expected_row("tags_128k.wma"))

    encode("date_year_64k.wma", "64k", metadata=dict(full, title="Evening Tide"))
    retag("date_year_64k.wma", {"WM/Year": "2004-05-01"})
    rows.append(expected_row("date_year_64k.wma"))

    encode("nonascii_48k.wma", "48k", channels=1, rate=22050)
    retag("nonascii_48k.wma", {"Title": "Café Déjà Vu", "Author": "Björk Ñandú",
                               "WM/AlbumTitle": "Über Alles ♪ 노래", "WM/Genre": "Électronique",
                               "Description": "naïve — façade", "WM/Year": "1999"})
    rows.append(expected_row("nonascii_48k.wma"))

    # Hangul and full-width digits: double-byte characters in the Korean
    # code page, where a member must not end in half a character.
    encode("korean_64k.wma", "64k")
    retag("korean_64k.wma", {"Title": "봄날의 노래", "Author": "가" * 200, "WM/AlbumTitle": "앨범",
                             "WM/Year": "２００４", "Description": "설명", "WM/Genre": "가요"})
    rows.append(expected_row("korean_64k.wma"))

    encode("removed_96k.wma", "96k", metadata=full)
    retag("removed_96k.wma", {"WM/Year": "2010"},
          remove=["Title", "Author", "WM/AlbumTitle", "Description", "WM/Genre"])
    rows.append(expected_row("removed_96k.wma"))

    # Texts longer than the members; the 70,000-byte description is too long
    # for the content description object, so mutagen keeps it in the
    # metadata library.
    encode("long_texts_160k.wma", "160k")
    retag("long_texts_160k.wma", {"Title": "Long title " + "x" * 300,
                                  "Description": "".join(chr(ord("a") + i % 26) for i in range(35000)),
                                  "WM/Genre": "G" * 300, "WM/AlbumTitle": "Album", "Author": "Someone"})
    rows.append(expected_row("long_texts_160k.wma", check_ffprobe_texts=False))

    encode("plain_192k.wma", "192k")
    rows.append(expected_row("plain_192k.wma"))

    encode("numeric_year_32k.wma", "32k", channels=1, rate=22050, metadata={"title": "Numbers"})
    retag("numeric_year_32k.wma", {"WM/Year": asf.ASFDWordAttribute(1987)})
    rows.append(expected_row("numeric_year_32k.wma"))

    # The encoder's own statement of the stream bitrate goes before the
    # audio format's average rate.
    data = open(path("tags_128k.wma"), "rb").read()
    bitrates = obj(STREAM_BITRATES, struct.pack("<HHIHI", 2, 1, 100000, 2, 20000))
    changed = with_objects(data, lambda g, b: [b, bitrates] if g == FILE_PROPERTIES else b)
    open(path("stream_bitrates_128k.wma"), "wb").write(changed)
    rows.append(expected_row("stream_bitrates_128k.wma", bitrate=120000))

    # A stream bitrate at the top of its field: the members must still give
    # a playing time without dividing by zero.
    bitrates = obj(STREAM_BITRATES, struct.pack("<HHI", 1, 1, 0xFFFFFFFF))
    changed = with_objects(data, lambda g, b: [b, bitrates] if g == FILE_PROPERTIES else b)
    open(path("huge_bitrate.wma"), "wb").write(changed)
    rows.append(expected_row("huge_bitrate.wma", bitrate=0xFFFFFFFF))

    # Zero-length strings everywhere: an empty content description, an
    # attribute with neither name nor value, an empty album.
    def empty_texts(g, b):
        if g == CONTENT_DESCRIPTION:
            return obj(CONTENT_DESCRIPTION, struct.pack("<5H", 0, 0, 0, 0, 0))
        if g == EXTENDED_CONTENT:
            year = "2001\0".encode("utf-16-le")
            name = "WM/Year\0".encode("utf-16-le")
            album = "WM/AlbumTitle\0".encode("utf-16-le")
            payload = struct.pack("<H", 3)
            payload += struct.pack("<HHH", 0, 0, 0)
            payload += struct.pack("<H", len(album)) + album + struct.pack("<HH", 0, 0)
            payload += struct.pack("<H", len(name)) + name + struct.pack("<HH", 0, len(year)) + year
            return obj(EXTENDED_CONTENT, payload)
        return b
    changed = with_objects(data, empty_texts)
    open(path("zero_length_strings.wma"), "wb").write(changed)
    rows.append(expected_row("zero_length_strings.wma", check_ffprobe_texts=False))

    # Damaged copies: every one must read as nothing at all.
    header_size = struct.unpack("<Q", data[16:24])[0]
    open(path("damaged_truncated_header.wma"), "wb").write(data[:header_size // 2])
    rows.append(expected_row("damaged_truncated_header.wma", readable=False))

    grown = bytearray(data)
    grown[16:24] = struct.pack("<Q", len(data) + 1000)
    open(path("damaged_header_past_file.wma"), "wb").write(grown)
    rows.append(expected_row("damaged_header_past_file.wma", readable=False))

    overrun = bytearray(data)
    for off, g, s in objects(data):
        if g == CONTENT_DESCRIPTION:
            overrun[off + 16:off + 24] = struct.pack("<Q", len(data) + 4096)
    open(path("damaged_object_overrun.wma"), "wb").write(overrun)
    rows.append(expected_row("damaged_object_overrun.wma", readable=False))

    long_string = bytearray(data)
    for off, g, s in objects(data):
        if g == CONTENT_DESCRIPTION:
            long_string[off + 24:off + 26] = struct.pack("<H", 0xFFFF)
    open(path("damaged_string_overrun.wma"), "wb").write(long_string)
    rows.append(expected_row("damaged_string_overrun.wma", readable=False))

    subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi",
                    "-i", "sine=frequency=523:duration=0.05", "-f", "wav", path("damaged_not_asf.wma")],
                   check=True)
    rows.append(expected_row("damaged_not_asf.wma", readable=False))

    open(path("damaged_empty.wma"), "wb").close()
    rows.append(expected_row("damaged_empty.wma", readable=False))

    with open(path("expected.tsv"), "w", encoding="utf-8", newline="\n") as out:
        out.write("# file\treadable\tsize\tbitrate\ttitle\tartist\talbum\tyear\tcomment\tgenre\n")
        for row in rows:
            out.write("\t".join(row) + "\n")

    for name in ["tags_128k.wma", "nonascii_48k.wma", "long_texts_160k.wma", "stream_bitrates_128k.wma",
                 "zero_length_strings.wma", "removed_96k.wma", "damaged_object_overrun.wma"]:
        write_header_seed(name)


if __name__ == "__main__":
    main()
