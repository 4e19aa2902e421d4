#!/usr/bin/python3
"""Makes the demo content of scripts/run.sh, once, into a folder:

  DIR/pc-music/        a PC folder of music the PC pane shows (MP3 with ID3
                       tags from sox + lame, WMA from ffmpeg, names with
                       spaces and letters outside ASCII, one subfolder)
  DIR/player.img       the player's internal memory: FAT16 with a few songs in
                       a known directory order, a folder, and SETTINGS.DAT
                       (hidden, system, read-only) holding an FM preset table
  DIR/player-order.txt the root's order as written, one name a line

Usage: make-demo.py DIR [--force]
The tools come from Debian's packages: sox, lame, ffmpeg, mtools, dosfstools.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

SONGS = [
    # file name, title, artist, album, year, genre, seconds, tone (Hz)
    ("Morning Walk.mp3", "Morning Walk", "The Lark Trio", "Daybreak", "2004", "Jazz", 6, 440),
    ("Café del Río.mp3", "Café del Río", "Marisol Vega", "Sur", "2003", "Latin", 5, 494),
    ("Blue Harbour.mp3", "Blue Harbour", "Northern Lights", "Tides", "2005", "Pop", 7, 523),
    ("Ölwechsel Blues.mp3", "Ölwechsel Blues", "Die Schrauber", "Garage", "2002", "Blues", 5, 587),
    ("Rainy Day.mp3", "Rainy Day", "The Lark Trio", "Daybreak", "2004", "Jazz", 6, 659),
    ("Night Drive.mp3", "Night Drive", "Neon Avenue", "City", "2005", "Electronic", 8, 698),
    ("Sunrise Theme.mp3", "Sunrise Theme", "Orchestra Nova", "Horizons", "2001", "Classical", 6, 784),
    ("Élan.mp3", "Élan", "Chloé Martin", "Printemps", "2003", "Pop", 5, 880),
    ("Mountain Song.mp3", "Mountain Song", "Alpine Echo", "Peaks", "2000", "Folk", 7, 330),
    ("Quiet Room.mp3", "Quiet Room", "Northern Lights", "Tides", "2005", "Ambient", 6, 262),
]
LIVE = [
    ("Live Set/Opening.mp3", "Opening", "Neon Avenue", "Live at the Dock", "2005", "Rock", 5, 392),
    ("Live Set/Encore.mp3", "Encore", "Neon Avenue", "Live at the Dock", "2005", "Rock", 5, 349),
]
WMAS = [
    ("Evening Breeze.wma", "Evening Breeze", "Marisol Vega", "Sur", "2003", 6, 415),
    ("Jazz Corner.wma", "Jazz Corner", "The Lark Trio", "Daybreak", "2004", 5, 466),
    ("Späte Stunde.wma", "Späte Stunde", "Die Schrauber", "Garage", "2002", 5, 554),
]
# What the player already holds, in this directory order.
PLAYER_ROOT = ["Rainy Day.mp3", "Morning Walk.mp3", "Blue Harbour.mp3", "Jazz Corner.wma"]
PLAYER_FOLDER = ("PODCASTS", ["Night Drive.mp3", "Quiet Room.mp3"])
FM_PRESETS = [87500, 89100, 91900, 93100, 95100, 97300, 99900, 101300, 103500, 107700,
              88300, 90700, 94500, 98100, 100500, 102700, 104900, 105300, 106100, 108000]
IMAGE_KIB = 65536


def run(*cmd, **kw):
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, **kw)


def make_mp3(path, title, artist, album, year, genre, seconds, tone, scratch):
    wav = os.path.join(scratch, "tone.wav")
    # A short chord with a fade, so the demo sounds like something.
    run("sox", "-n", "-r", "44100", "-c", "2", wav, "synth", str(seconds),
        "sine", str(tone), "sine", str(tone * 5 // 4), "fade", "0.2", str(seconds), "0.5",
        "vol", "0.4")
    run("lame", "--quiet", "-b", "128", "--add-id3v2", "--tt", title, "--ta", artist,
        "--tl", album, "--ty", year, "--tg", genre, "--tc", "MusicBridge demo", wav, path)


def make_wma(path, title, artist, album, year, seconds, tone):
    run("ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi",
        "-i", "sine=frequency=%d:duration=%d" % (tone, seconds), "-ac", "2",
        "-c:a", "wmav2", "-b:a", "96k",
        "-metadata", "title=" + title, "-metadata", "artist=" + artist,
        "-metadata", "album=" + album, "-metadata", "date=" + year, path)


def settings_dat():
    """The player's settings file: a header of its own, the FM table after
    its marker, and more player bytes after the table."""
    head = b"VLSET\x01\x00\x00" + bytes(range(0x10, 0x40))
    marker = b"\xFC\x5F\x00" + b"\x01\x14\x00\x00\x00\x00"      # table 9 bytes after the marker
    table = b"".join(struct.pack("<I", f)[:3] for f in FM_PRESETS)
    tail = bytes((i * 7 + 3) & 0xFF for i in range(512 - len(head) - len(marker) - len(table)))
    data = head + marker + table + tail
    assert len(data) == 512
    return data


def make_player(image, pc, scratch):
    run("mkfs.fat", "-C", "-F", "16", "-S", "512", "-n", "VILO LARK", image, str(IMAGE_KIB))
    env = dict(os.environ, MTOOLS_SKIP_CHECK="1", MTOOLS_NO_VFAT="0")
    settings = os.path.join(scratch, "SETTINGS.DAT")
    with open(settings, "wb") as f:
        f.write(settings_dat())
    run("mcopy", "-i", image, settings, "::SETTINGS.DAT", env=env)
    run("mattrib", "-i", image, "+h", "+s", "+r", "::SETTINGS.DAT", env=env)
    for name in PLAYER_ROOT:
        run("mcopy", "-i", image, os.path.join(pc, name), "::" + name, env=env)
    folder, names = PLAYER_FOLDER
    run("mmd", "-i", image, "::" + folder, env=env)
    for name in names:
        run("mcopy", "-i", image, os.path.join(pc, name), "::%s/%s" % (folder, name), env=env)
    run("fsck.fat", "-n", image)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    out = os.path.abspath(sys.argv[1])
    done = os.path.join(out, ".complete")
    if os.path.exists(done) and "--force" not in sys.argv:
        return
    shutil.rmtree(out, ignore_errors=True)
    pc = os.path.join(out, "pc-music")
    os.makedirs(os.path.join(pc, "Live Set"))
    with tempfile.TemporaryDirectory() as scratch:
        for name, title, artist, album, year, genre, secs, tone in SONGS + LIVE:
            make_mp3(os.path.join(pc, name), title, artist, album, year, genre, secs, tone, scratch)
        for name, title, artist, album, year, secs, tone in WMAS:
            make_wma(os.path.join(pc, name), title, artist, album, year, secs, tone)
        make_player(os.path.join(out, "player.img"), pc, scratch)
    with open(os.path.join(out, "player-order.txt"), "w") as f:
        f.write("\n".join(["SETTINGS.DAT"] + PLAYER_ROOT + [PLAYER_FOLDER[0]]) + "\n")
    open(done, "w").close()


if __name__ == "__main__":
    main()
