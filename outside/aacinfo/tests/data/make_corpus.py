#!/usr/bin/python3
"""Makes the ADTS corpus of the aacinfo tests and its expected values.

Run from any folder:
    /usr/bin/python3 outside/aacinfo/tests/data/make_corpus.py

ffmpeg encodes AAC-LC files in the ADTS container at several sample rates,
channel counts and bitrates; one copy is cut inside a frame, one name has
spaces, and two files are not ADTS at all. The expected values come from
ffprobe: the stream's sample rate, channels and profile, and its packets
(each packet is one whole ADTS frame, header included): their count, their
summed sizes and durations. For the cut copy, the whole file's packets that
end before the cut: the cut frame counts for nothing. From those, as aacinfo states them:
    duration ms = samples x 1000 / rate (rounded down)
    bitrate kbit/s = bytes x 8 x rate / (samples x 1000) (rounded)

expected.tsv: file, adts (1/0), rate, channels, bitrate, frames, duration ms,
profile. The frame headers of a few files go to ../fuzz/seeds.
"""
import json
import os
import subprocess
from fractions import Fraction

HERE = os.path.dirname(os.path.abspath(__file__))
SEEDS = os.path.join(HERE, "..", "fuzz", "seeds")

# name, sample rate, channels, bitrate, seconds
FILES = [
    ("lc_8000_mono.aac", 8000, 1, "16k", 1),
    ("lc_22050_mono.aac", 22050, 1, "48k", 1),
    ("lc_32000_stereo.aac", 32000, 2, "96k", 1),
    ("lc_44100_stereo.aac", 44100, 2, "128k", 2),
    ("lc_48000_stereo.aac", 48000, 2, "192k", 1),
    ("lc_48000_5ch.aac", 48000, 5, "256k", 1),
    ("lc_48000_6ch.aac", 48000, 6, "320k", 1),
    ("lc_96000_stereo.aac", 96000, 2, "256k", 1),
    ("with spaces 44k.aac", 44100, 2, "96k", 1),
]


def path(name):
    return os.path.join(HERE, name)


def encode(name, rate, channels, bitrate, seconds):
    layout = {1: "mono", 2: "stereo", 5: "5.0", 6: "5.1"}[channels]
    subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi",
                    "-i", "sine=frequency=440:duration=%d:sample_rate=%d" % (seconds, rate),
                    "-af", "aformat=channel_layouts=" + layout, "-ar", str(rate),
                    "-c:a", "aac", "-b:a", bitrate, "-map_metadata", "-1", "-f", "adts", path(name)],
                   check=True)


def probe(name, cut_from=None):
    """ffprobe's facts of a file; for a copy cut from another file, the
    packets of that whole file that end inside the cut (ffprobe hands out
    the piece of a cut frame as a packet of its own)."""
    limit = None
    if cut_from:
        limit = os.path.getsize(path(name))
        name = cut_from
    run = subprocess.run(["ffprobe", "-v", "error", "-show_streams", "-show_packets", "-of", "json", path(name)],
                         capture_output=True, text=True)
    if run.returncode != 0:
        return None
    info = json.loads(run.stdout)
    streams = info.get("streams", [])
    packets = info.get("packets", [])
    if not streams or streams[0].get("codec_name") != "aac" or not packets:
        return None
    if limit is not None:
        packets = [p for p in packets if int(p["pos"]) + int(p["size"]) <= limit]
    s = streams[0]
    rate = int(s["sample_rate"])
    tb = Fraction(s["time_base"])
    samples = sum(int(p["duration"]) for p in packets) * tb * rate
    assert samples.denominator == 1, name
    samples = int(samples)
    size = sum(int(p["size"]) for p in packets)
    num, den = size * 8 * rate, samples * 1000
    return {
        "rate": rate,
        "channels": int(s["channels"]),
        "bitrate": (num + den // 2) // den,
        "frames": len(packets),
        "duration": samples * 1000 // rate,
        "profile": s.get("profile", ""),
    }


def main():
    os.makedirs(SEEDS, exist_ok=True)
    for name, rate, channels, bitrate, seconds in FILES:
        encode(name, rate, channels, bitrate, seconds)
    # Cut inside a frame: the partial frame counts for nothing.
    data = open(path("lc_44100_stereo.aac"), "rb").read()
    open(path("truncated_44100.aac"), "wb").write(data[:len(data) * 3 // 5])
    # Not ADTS: an MPEG audio frame header and text, and an empty file.
    open(path("not_adts.aac"), "wb").write(b"\xff\xfb\x90\x64" + b"not an adts stream " * 20)
    open(path("empty.aac"), "wb").write(b"")

    names = [f[0] for f in FILES] + ["truncated_44100.aac", "not_adts.aac", "empty.aac"]
    with open(path("expected.tsv"), "w") as out:
        out.write("# file\tadts\trate\tchannels\tbitrate\tframes\tduration_ms\tprofile\n")
        for name in names:
            cut_from = "lc_44100_stereo.aac" if name == "truncated_44100.aac" else None
            facts = probe(name, cut_from) if os.path.getsize(path(name)) else None
            if facts is None:
                out.write("%s\t0\t0\t0\t-1\t0\t0\t\n" % name)
                continue
            out.write("%s\t1\t%d\t%d\t%d\t%d\t%d\t%s\n" % (name, facts["rate"], facts["channels"], facts["bitrate"],
                                                           facts["frames"], facts["duration"], facts["profile"]))
    # Seeds: the first frames of a few files, and the damaged ones whole.
    for name in ["lc_8000_mono.aac", "lc_48000_6ch.aac", "truncated_44100.aac"]:
        open(os.path.join(SEEDS, name.replace(".aac", ".seed")), "wb").write(open(path(name), "rb").read()[:2048])
    open(os.path.join(SEEDS, "not_adts.seed"), "wb").write(open(path("not_adts.aac"), "rb").read())


if __name__ == "__main__":
    main()
