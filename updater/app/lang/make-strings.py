#!/usr/bin/env python3
"""Writes the string tables of the updater's eight language libraries and the
list of every string id the program loads from them.

    ./make-strings.py     # strings-en.rc, strings-ko.rc, StringIds.h

Every library holds every id: the English table for seven of them (until
their translations come), the Korean one for qvrx0412.dll. The option
keywords stay the same ASCII words in every language, so a command line
written for one language works in all.
"""

EN = {
    100: "The program's icon could not be loaded.",
    102: "Looking for the player. Connect it with its USB cable.",
    103: "The player is in recovery mode. Loading its USB firmware...",
    104: "The USB firmware was loaded. Waiting for the player to restart...",
    106: "Searching for the player -",
    107: "Recovering the player -",
    108: "The operation completed successfully.",
    109: "Not enough memory.",
    110: "An index was out of range.",
    111: "The player's reply was too short.",
    112: "A firmware component is missing.",
    113: "The player has no name.",
    114: "An internal error occurred (-6).",
    115: "An internal error occurred (-7).",
    116: "The player does not know the information asked for.",
    117: "A value was out of range.",
    118: "A command's data did not fit.",
    119: "The firmware file %s cannot be opened. Reinstall the program.",
    120: "A firmware file is damaged. Reinstall the program.",
    121: "The firmware could not be written to the recovery device.",
    122: "No player in recovery mode was found.",
    123: "A synchronisation object could not be made.",
    124: "The recovery device did not answer in time.",
    125: "The SCSI devices could not be listed.",
    126: "No drive could be the player.",
    127: "The SCSI support library (WNASPI32.DLL) could not be loaded.",
    128: "The SCSI support library is incomplete.",
    129: "The SCSI support library reported no host adapter.",
    130: "No player was found.",
    131: "The player refused a command.",
    132: "The player's drive could not be opened.",
    133: "A request to the player's drive failed.",
    134: "The player is not connected as a USB drive.",
    135: "This version of Windows cannot reach the player.",
    136: "A text of the program is missing.",
    137: "An internal error occurred (-29).",
    138: "Reading the player's new memory layout",
    140: "Version",
    141: "Current firmware version:",
    142: "Upgrade firmware version:",
    143: "Show details",
    144: "Download options",
    145: "Format Data Area",
    146: "Start",
    147: "Close",
    148: "Current version",
    149: "The player's drive could not be unlocked.",
    150: "The player's drive could not be locked. Close every program that uses it.",
    151: "Upgrade version",
    152: "Device Details",
    153: "Chip Version:",
    154: "Version Details",
    155: "OK",
    159: "An unknown error occurred.",
    161: "The player's memory must be divided anew for this firmware, which erases every file on it. Continue?",
    162: "Formatting the data area erases every file on the player. Continue?",
    163: 'Opening the player',
    164: "Locking the player's drive",
    165: "Unlocking the player's drive",
    166: 'Reading the firmware files',
    167: 'Formatting the data area',
    168: "The update failed.",
    169: "The update is complete.",
    170: "An internal error occurred (-30).",
    171: 'Erasing and writing %s',
    172: 'Closing the player',
    173: "Dividing the player's memory",
    174: "The player's memory has no usable layout.",
    175: "A sector lies beyond the player's memory.",
    176: "An internal error occurred (-35).",
    177: "An internal error occurred (-38).",
    178: "An internal error occurred (-36).",
    179: "An internal error occurred (-37).",
    180: "The player's memory is too large for this format.",
    181: 'Writing the master boot record',
    182: 'Clearing the hidden sectors',
    183: 'Writing the boot sector',
    184: 'Writing the file allocation table',
    185: 'Writing the second file allocation table',
    186: 'Writing file allocation table 3',
    187: 'Writing file allocation table 4',
    188: 'Writing file allocation table 5',
    189: 'Writing file allocation table 6',
    190: 'Writing file allocation table 7',
    191: 'Writing file allocation table 8',
    192: 'Writing file allocation table 9',
    193: 'Writing file allocation table 10',
    194: 'Writing the root folder',
    195: "The player's drive could not be dismounted.",
    196: "Checking %s",
    197: "The log option needs a file name.",
    198: "log",
    199: "unattended",
    200: "autorun",
    201: "autoclose",
    202: "quiet",
    204: "format",
    205: ("Usage: %s [/%s] [/%s] [/%s] [/%s] [/%s] [/%s file]\n\n"
          "/%s file: write a log file.\n/%s: show this text.\n"
          "/%s: press Start at once. /%s: close when done. /%s: ask no questions. "
          "/%s: all three.\n"
          "/%s /%s /%s: run unattended.\n/%s: format the data area.\n"
          "Log in English: /%s file /english (or -%s file -english).\nHelp: /%s"),
    206: "help",
    207: "The update starts.",
    208: "Sense data: ",
    209: "System message: ",
    210: "The player's memory table is unusable; formatting the data area repairs it.",
    211: "The player's media could not be erased.",
    212: "The player's memory could not be divided.",
    213: "A firmware image could not be written.",
    214: "A firmware image did not read back as written.",
    215: "The player's versions could not be read.",
    216: "The player's versions could not be written.",
    217: "The data area could not be formatted: ",
    218: "Restarting the player",
    219: "The program could not check for another copy of itself.",
    220: "Another copy of the program is running.",
    221: "No player was found. Connect the player and try again.",
    222: "No player was found, so no details can be shown.",
    621: "The player reported an unknown status.",
    622: "The player's drive letter could not be found.",
    623: "The player's BIOS drive could not be found.",
    624: "Data written to the player did not read back as written.",
    625: "english",
    626: "Version ",
    629: "You need administrator rights to update the firmware.",
    630: "The player could not complete the operation.",
    631: "The data area will be formatted: every file on the player is erased. Continue?",
    632: "Cancel",
    634: "The player's settings file could not be deleted.",
}

KO = {
    100: "프로그램 아이콘을 불러올 수 없습니다.",
    102: "플레이어를 찾는 중입니다. USB 케이블로 연결하십시오.",
    103: "플레이어가 복구 모드입니다. USB 펌웨어를 불러오는 중...",
    104: "USB 펌웨어를 불러왔습니다. 플레이어가 다시 시작되기를 기다리는 중...",
    106: "플레이어 찾는 중 -",
    107: "플레이어 복구 중 -",
    108: "작업이 완료되었습니다.",
    109: "메모리가 부족합니다.",
    110: "색인이 범위를 벗어났습니다.",
    111: "플레이어의 응답이 너무 짧습니다.",
    112: "펌웨어 구성 요소가 없습니다.",
    113: "플레이어 이름이 없습니다.",
    114: "내부 오류가 발생했습니다 (-6).",
    115: "내부 오류가 발생했습니다 (-7).",
    116: "플레이어가 요청한 정보를 알지 못합니다.",
    117: "값이 범위를 벗어났습니다.",
    118: "명령 데이터가 맞지 않습니다.",
    119: "펌웨어 파일 %s 을(를) 열 수 없습니다. 프로그램을 다시 설치하십시오.",
    120: "펌웨어 파일이 손상되었습니다. 프로그램을 다시 설치하십시오.",
    121: "복구 장치에 펌웨어를 쓸 수 없습니다.",
    122: "복구 모드의 플레이어를 찾을 수 없습니다.",
    123: "동기화 개체를 만들 수 없습니다.",
    124: "복구 장치가 제시간에 응답하지 않았습니다.",
    125: "SCSI 장치 목록을 읽을 수 없습니다.",
    126: "플레이어일 수 있는 드라이브가 없습니다.",
    127: "SCSI 지원 라이브러리(WNASPI32.DLL)를 불러올 수 없습니다.",
    128: "SCSI 지원 라이브러리가 불완전합니다.",
    129: "SCSI 지원 라이브러리가 호스트 어댑터를 찾지 못했습니다.",
    130: "플레이어를 찾을 수 없습니다.",
    131: "플레이어가 명령을 거부했습니다.",
    132: "플레이어 드라이브를 열 수 없습니다.",
    133: "플레이어 드라이브 요청이 실패했습니다.",
    134: "플레이어가 USB 드라이브로 연결되어 있지 않습니다.",
    135: "이 Windows 버전에서는 플레이어에 연결할 수 없습니다.",
    136: "프로그램 문자열이 없습니다.",
    137: "내부 오류가 발생했습니다 (-29).",
    138: '플레이어의 새 메모리 배치 읽는 중',
    140: "버전",
    141: "현재 펌웨어 버전:",
    142: "업그레이드 펌웨어 버전:",
    143: "자세히 보기",
    144: "다운로드 옵션",
    145: "데이터 영역 포맷",
    146: "시작",
    147: "닫기",
    148: "현재 버전",
    149: "플레이어 드라이브 잠금을 해제할 수 없습니다.",
    150: "플레이어 드라이브를 잠글 수 없습니다. 드라이브를 사용하는 프로그램을 모두 닫으십시오.",
    151: "업그레이드 버전",
    152: "장치 정보",
    153: "칩 버전:",
    154: "버전 정보",
    155: "확인",
    159: "알 수 없는 오류가 발생했습니다.",
    161: "이 펌웨어를 위해 플레이어 메모리를 다시 나누어야 하며, 플레이어의 모든 파일이 지워집니다. 계속하시겠습니까?",
    162: "데이터 영역을 포맷하면 플레이어의 모든 파일이 지워집니다. 계속하시겠습니까?",
    163: '플레이어 여는 중',
    164: '플레이어 드라이브 잠그는 중',
    165: '플레이어 드라이브 잠금 해제 중',
    166: '펌웨어 파일 읽는 중',
    167: '데이터 영역 포맷 중',
    168: "업데이트에 실패했습니다.",
    169: "업데이트가 완료되었습니다.",
    170: "내부 오류가 발생했습니다 (-30).",
    171: '%s 지우고 쓰는 중',
    172: '플레이어 닫는 중',
    173: '플레이어 메모리 나누는 중',
    174: "플레이어 메모리에 사용할 수 있는 배치가 없습니다.",
    175: "섹터가 플레이어 메모리 밖에 있습니다.",
    176: "내부 오류가 발생했습니다 (-35).",
    177: "내부 오류가 발생했습니다 (-38).",
    178: "내부 오류가 발생했습니다 (-36).",
    179: "내부 오류가 발생했습니다 (-37).",
    180: "플레이어 메모리가 이 포맷에 비해 너무 큽니다.",
    181: '마스터 부트 레코드 쓰는 중',
    182: '숨김 섹터 지우는 중',
    183: '부트 섹터 쓰는 중',
    184: '파일 할당 테이블 쓰는 중',
    185: '두 번째 파일 할당 테이블 쓰는 중',
    186: '파일 할당 테이블 3 쓰는 중',
    187: '파일 할당 테이블 4 쓰는 중',
    188: '파일 할당 테이블 5 쓰는 중',
    189: '파일 할당 테이블 6 쓰는 중',
    190: '파일 할당 테이블 7 쓰는 중',
    191: '파일 할당 테이블 8 쓰는 중',
    192: '파일 할당 테이블 9 쓰는 중',
    193: '파일 할당 테이블 10 쓰는 중',
    194: '루트 폴더 쓰는 중',
    195: "플레이어 드라이브를 분리할 수 없습니다.",
    196: "%s 확인 중",
    197: "로그 옵션에는 파일 이름이 필요합니다.",
    205: ("사용법: %s [/%s] [/%s] [/%s] [/%s] [/%s] [/%s 파일]\n\n"
          "/%s 파일: 로그 파일을 씁니다.\n/%s: 이 도움말을 표시합니다.\n"
          "/%s: 바로 시작합니다. /%s: 끝나면 닫습니다. /%s: 묻지 않습니다. "
          "/%s: 세 가지 모두.\n"
          "/%s /%s /%s: 무인 실행.\n/%s: 데이터 영역을 포맷합니다.\n"
          "영어 로그: /%s 파일 /english (또는 -%s 파일 -english).\n도움말: /%s"),
    207: "업데이트를 시작합니다.",
    208: "센스 데이터: ",
    209: "시스템 메시지: ",
    210: "플레이어 메모리 테이블을 사용할 수 없습니다. 데이터 영역을 포맷하면 복구됩니다.",
    211: "플레이어 미디어를 지울 수 없습니다.",
    212: "플레이어 메모리를 나눌 수 없습니다.",
    213: "펌웨어 이미지를 쓸 수 없습니다.",
    214: "펌웨어 이미지를 다시 읽은 내용이 쓴 내용과 다릅니다.",
    215: "플레이어 버전을 읽을 수 없습니다.",
    216: "플레이어 버전을 쓸 수 없습니다.",
    217: "데이터 영역을 포맷할 수 없습니다: ",
    218: "플레이어 다시 시작 중",
    219: "프로그램의 다른 사본을 확인할 수 없습니다.",
    220: "프로그램의 다른 사본이 실행 중입니다.",
    221: "플레이어를 찾을 수 없습니다. 플레이어를 연결하고 다시 시도하십시오.",
    222: "플레이어를 찾을 수 없어 자세한 정보를 표시할 수 없습니다.",
    621: "플레이어가 알 수 없는 상태를 보고했습니다.",
    622: "플레이어의 드라이브 문자를 찾을 수 없습니다.",
    623: "플레이어의 BIOS 드라이브를 찾을 수 없습니다.",
    624: "플레이어에 쓴 데이터를 다시 읽은 내용이 다릅니다.",
    626: "버전 ",
    629: "펌웨어를 업데이트하려면 관리자 권한이 필요합니다.",
    630: "플레이어가 작업을 완료하지 못했습니다.",
    631: "데이터 영역을 포맷합니다. 플레이어의 모든 파일이 지워집니다. 계속하시겠습니까?",
    632: "취소",
    634: "플레이어 설정 파일을 삭제할 수 없습니다.",
}

# The player's status codes (vendor-specific sense code and qualifier):
# consecutive codes take consecutive ids.
STATUS = [(0x101, 0x10F, 223), (0x200, 0x20D, 238), (0x210, 0x210, 252), (0x301, 0x303, 253),
          (0x401, 0x428, 256), (0x500, 0x515, 296), (0x000, 0x000, 318), (0x516, 0x51A, 319),
          (0x600, 0x60D, 324), (0x700, 0x704, 338), (0x800, 0x805, 343), (0x810, 0x813, 349),
          (0x820, 0x824, 353), (0x830, 0x849, 358), (0x850, 0x855, 384), (0x860, 0x879, 390),
          (0x880, 0x885, 416)]
GROUP_EN = {0: "no error", 1: "command", 2: "parameter", 3: "media", 4: "drive", 5: "logical drive",
            6: "allocation", 7: "write", 8: "hardware"}
GROUP_KO = {0: "오류 없음", 1: "명령", 2: "매개 변수", 3: "미디어", 4: "드라이브", 5: "논리 드라이브",
            6: "할당", 7: "쓰기", 8: "하드웨어"}

for first, last, first_id in STATUS:
    for code in range(first, last + 1):
        sid = first_id + code - first
        group = code >> 8
        EN[sid] = f"The player reported status 0x{code:03X} ({GROUP_EN[group]})."
        KO[sid] = f"플레이어가 상태 0x{code:03X} ({GROUP_KO[group]})을(를) 보고했습니다."

for k in (198, 199, 200, 201, 202, 204, 206, 625):
    KO[k] = EN[k]
assert set(KO) == set(EN), sorted(set(EN) ^ set(KO))


def rc_text(text):
    return text.replace("\\", "\\\\").replace('"', '""').replace("\n", "\\n")


def write_rc(path, table, comment):
    with open(path, "w", encoding="utf-8") as f:
        f.write(f"// Generated by make-strings.py: {comment}\n")
        f.write("STRINGTABLE\nBEGIN\n")
        for sid in sorted(table):
            f.write(f'    {sid}, "{rc_text(table[sid])}"\n')
        f.write("END\n")


write_rc("strings-en.rc", EN, "the English texts.")
write_rc("strings-ko.rc", KO, "the Korean texts.")
with open("StringIds.h", "w") as f:
    f.write("// Generated by make-strings.py: every string id the updater loads from its\n"
            "// language libraries.\n#pragma once\n\n")
    f.write("const unsigned QV_LIBRARY_STRING_IDS[] = {\n")
    ids = sorted(EN)
    for i in range(0, len(ids), 12):
        f.write("    " + ", ".join(str(x) for x in ids[i:i + 12]) + ",\n")
    f.write("};\n")
print(len(EN), "strings")
