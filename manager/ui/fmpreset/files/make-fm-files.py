#!/usr/bin/env python3
"""Writes the FM preset files that ship next to MusicBridge.exe:

  FMInfo.ini     preset groups, English names (code page 1252 text)
  FMInfo_K.ini   the same groups with Korean names (code page 949 text)
  FMHelp.htm, FMHelp_K.htm   the help pages the dialog opens

and, with --fixtures, the test files of the FM preset dialog:

  SETTINGS.DAT           a settings file of our own making: player bytes, the
                         FC 5F 00 marker, 6 bytes, the 20-entry table, more
                         player bytes
  SETTINGS-NOTABLE.DAT   the same bytes without a marker
  table.txt              the 20 frequencies of SETTINGS.DAT as the list shows them
  test/FMInfo.ini, test/FMInfo_K.ini   lists with the awkward cases

usage: make-fm-files.py OUTDIR [--fixtures]
"""
import os
import sys

CRLF = "\r\n"

GROUPS = [
    ("Seoul", "서울", [
        (1, "89.10", "KBS Cool FM", "KBS 쿨 FM"),
        (2, "91.90", "MBC FM4U", "MBC FM4U"),
        (3, "93.10", "KBS Classic FM", "KBS 클래식 FM"),
        (4, "95.90", "MBC Standard FM", "MBC 표준 FM"),
        (5, "97.30", "KBS Radio 1", "KBS 제1라디오"),
        (6, "99.90", "EBS FM", "EBS FM"),
        (7, "101.90", "TBS FM", "TBS 교통방송"),
        (8, "103.50", "SBS Power FM", "SBS 파워 FM"),
        (9, "107.70", "SBS Love FM", "SBS 러브 FM"),
    ]),
    ("Busan", "부산", [
        (1, "88.90", "KBS Busan", "KBS 부산"),
        (2, "95.90", "MBC Busan", "부산 MBC"),
        (3, "99.90", "KNN", "KNN"),
        (4, "103.70", "KBS Cool FM Busan", "KBS 쿨 FM 부산"),
    ]),
    ("Daegu", "대구", [
        (1, "89.70", "KBS Daegu", "KBS 대구"),
        (2, "96.50", "MBC Daegu", "대구 MBC"),
    ]),
]


def list_text(korean):
    lines = []
    for english, hangul, rows in GROUPS:
        lines.append("[#. %s]" % (hangul if korean else english))
        for n, freq, comment, comment_k in rows:
            lines.append("%d : %s = %s;" % (n, freq, comment_k if korean else comment))
        lines.append("")
    return CRLF.join(lines) + CRLF


HELP = """<html><head><meta charset="%s"><title>%s</title></head>
<body><h1>%s</h1>
<p>%s</p>
</body></html>
"""


def write(path, text, encoding):
    with open(path, "wb") as f:
        f.write(text.encode(encoding))


def shipped(out):
    write(os.path.join(out, "FMInfo.ini"), list_text(False), "cp1252")
    write(os.path.join(out, "FMInfo_K.ini"), list_text(True), "cp949")
    write(os.path.join(out, "FMHelp.htm"), HELP % (
        "windows-1252", "FM Preset", "FM Preset",
        "Choose a preset group or the presets of your Vilo Lark, click a frequency or a comment to "
        "change it, and click Save to Player. Frequencies run from 87.5 MHz to 108.0 MHz. "
        "Edit opens the preset list in Notepad; Modify writes the shown rows into the chosen group."),
        "cp1252")
    write(os.path.join(out, "FMHelp_K.htm"), HELP % (
        "euc-kr", "FM 프리셋", "FM 프리셋",
        "프리셋 그룹이나 장치의 채널을 고른 뒤 주파수나 설명을 눌러 고치고 \"장치에 저장\"을 누르십시오. "
        "주파수는 87.5 MHz에서 108.0 MHz까지입니다."),
        "cp949")


# The fixture table: row n holds these kHz; two rows lie outside the band and
# show as "87.5".
TABLE_KHZ = [89100, 91900, 93100, 95900, 97300, 99900, 101900, 103500, 107700, 87500,
             108000, 0, 88100, 90500, 92100, 94500, 96700, 98500, 104900, 120000]


def settings_bytes(with_marker):
    head = bytes((0x30 + i * 7) & 0xFF for i in range(61))
    # Bytes that look like parts of a marker before the real one.
    head += bytes([0xFC, 0x5F, 0x01, 0x5F, 0x00])
    marker = bytes([0xFC, 0x5F, 0x00]) if with_marker else bytes([0xFC, 0x5E, 0x00])
    gap = bytes([0x02, 0x14, 0x00, 0x01, 0x00, 0x00])
    table = b"".join(k.to_bytes(3, "little") for k in TABLE_KHZ)
    tail = bytes((0xC3 ^ (i * 13)) & 0xFF for i in range(439))
    return head + marker + gap + table + tail


def entry_text(khz):
    return "%3.2f" % (khz * 0.001) if 87500 <= khz <= 108000 else "87.5"


TEST_LIST = CRLF.join([
    "; test list: \"Seoul FM\" comes before \"Seoul\", whose row 1 is missing",
    "[#. Seoul FM]",
    "1 : 91.90 = Seoul FM one;",
    "2 : 95.10 = Seoul FM two;",
    "",
    "[#. Seoul]",
    "11 : 101.90 = eleventh;",
    "2 : 89.10 = KBS Cool;",
    "3 : 95.10 no equals sign",
    "4 : 93.90 = no semicolon",
    "20 : 107.70 = twenty;",
    "",
    "[#. A]",
    "1 : 88.10 = short name;",
    "",
    "[#. Busan]",
    "1 : 90.50 = Busan one;",
    "",
]) + CRLF

TEST_LIST_K = CRLF.join([
    "[#. 서울]",
    "1 : 89.10 = KBS 쿨 FM;",
    "2 : 91.90 = MBC FM4U;",
    "",
    "[#. 부산]",
    "1 : 88.90 = KBS 부산;",
    "",
]) + CRLF


def fixtures(out):
    with open(os.path.join(out, "SETTINGS.DAT"), "wb") as f:
        f.write(settings_bytes(True))
    with open(os.path.join(out, "SETTINGS-NOTABLE.DAT"), "wb") as f:
        f.write(settings_bytes(False))
    with open(os.path.join(out, "table.txt"), "w") as f:
        f.write("\n".join(entry_text(k) for k in TABLE_KHZ) + "\n")
    test = os.path.join(out, "test")
    os.makedirs(test, exist_ok=True)
    write(os.path.join(test, "FMInfo.ini"), TEST_LIST, "cp1252")
    write(os.path.join(test, "FMInfo_K.ini"), TEST_LIST_K, "cp949")


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    if "--fixtures" in sys.argv[2:]:
        fixtures(out)
    else:
        shipped(out)


if __name__ == "__main__":
    main()
