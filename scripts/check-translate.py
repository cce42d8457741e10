#!/usr/bin/env python3
"""Validate res/translate.txt, the run-time UI translation table.

Usage: python3 scripts/check-translate.py res/translate.txt

The table is UTF-8 with a BOM and CRLF line ends. It is a list of blocks
separated by one empty line (the file ends with one). Each block is one UI
string in seven languages, one "code=text" line per language, Korean first.

At run time a text in any language is looked up top-down (ASCII case
ignored) and the same row's text in the wanted language is returned, so a
text equal to one of an earlier, unrelated row makes its own row unreachable.
Rows whose English texts are equal are synonyms by design (e.g. "OK").
"""

import sys

BOM = b"\xef\xbb\xbf"
FIRST_ORDER = ("ko", "en", "ja", "zh", "ru", "it", "fr")
ORDER = ("ko", "en", "ja", "ru", "zh", "it", "fr")

# (Korean, English) of every row, in file order. These are the keys the
# program's Korean UI and its English strings are written with.
EXPECTED = [
    ("반토루", "Vantoru"),
    ("캡쳐영역", "Capture"),
    ("전체화면 캡쳐", "Full Screen"),
    ("영역화면 캡쳐", "Region"),
    ("드래그영역 캡쳐", "Drag"),
    ("활성중인 화면 캡쳐", "Active Window"),
    ("윈도우 컨트롤 캡쳐", "Window Control"),
    ("웹페이지 캡쳐", "WebBrowser"),
    ("색상 추출", "Color Picker"),
    ("저장형식", "SaveTo"),
    ("MP4(동영상)", "MP4"),
    ("클립보드", "Clipboard"),
    ("이미지창고", "Upload Quarlo"),
    ("프린터", "Printer"),
    ("폴더열기", "Open Folder"),
    ("ⓒ 반토루 팀", "ⓒ Vantoru Team"),
    ("저장폴더 열기", "Open Folder"),
    ("저장폴더 설정", "Folder setting"),
    ("단축키 설정", "Hotkey setting"),
    ("파일명 설정", "Filename setting"),
    ("순차적 #1", "Auto increment number #1"),
    ("순차적 #2", "Auto increment number #2"),
    ("날짜시간", "DateTime"),
    ("녹화 설정", "Recoder setting"),
    ("사운드 포함", "Include sound"),
    ("로그 기록", "Logging"),
    ("캡쳐소리 설정", "Sound setting"),
    ("없음", "None"),
    ("캡쳐 전 소리", "Before capture"),
    ("캡쳐 후 소리", "After capture"),
    ("마우스 커서 포함", "Mouse cursor"),
    ("부팅시 실행", "Run on system start"),
    ("종료하기", "Quit"),
    ("확인", "OK"),
    ("취소", "Cancel"),
    ("폴더 선택", "Select folder"),
    ("선택", "OK"),
    ("정말 종료하시겠습니까?", "Are you sure you want to quit?"),
    ("업로드 중입니다.", "Uploading."),
    ("이미지 업로드를 실패하였습니다.", "Image upload failed."),
    ("지원하지 않는 캡쳐영역입니다.", "Non capable capture region."),
    ("설정", "Setting"),
    ("단축키가 다른 프로그램에서 사용중입니다.",
     "Using shortcut keys in another program."),
    ("단축키가 설정되지 못해 캡쳐기능이 작동하지 않습니다.",
     "The capture function does not work because the shortcut key is not set."),
    (r"알수없는 프로그램이 단축키를 사용중입니다.\n\n단축키를 변경해주세요.",
     r"An unknown program is using the shortcut key.\n\nPlease change the shortcut key."),
    ("설정하기", "Setting"),
    ("영역크기 설정", "Size setting"),
    ("현재크기", "Current state"),
    ("사용자 정의 #1", "Custom #1"),
    ("사용자 정의 #2", "Custom #2"),
    ("사용자 정의 #3", "Custom #3"),
    ("넓이 :", "Width :"),
    ("높이 :", "Height :"),
    ("적용", "Apply"),
    ("언어 설정", "Language"),
    ("감추기", "Hide"),
    ("캡쳐가 실패하였습니다.", "Capture failed."),
    ('"%s" 파일이 없습니다.', '"%s" file not found.'),
    ("최대 녹화시간", "Limit recording time"),
    ("무제한", "Unlimited"),
    ("30분", "30 minutes"),
    ("1시간", "1 hour"),
    ("2시간", "2 hours"),
    ("4시간", "4 hours"),
    ("플러팅", "Floating"),
    ("클립보드 사용을 방지하는 프로그램이 실행중입니다.",
     "A program preventing clipboard usage is running."),
    ("저장된 단축키를 사용할 수 없어 기본 단축키 PrintScreen 을 사용합니다.",
     "The stored shortcut key cannot be used, so the default key PrintScreen is used."),
    ("프로그램에 문제가 생겨 종료되었습니다.", "The program ran into a problem and was closed."),
    ("오류 보고서를 아래 폴더에 저장했습니다. 보고서는 어디에도 보내지 않습니다.",
     "An error report was saved in the folder below. It is not sent anywhere."),
    ("닫기", "Close"),
]

# 1-based row numbers with special content.
ROW_NAME = 1
ROW_TWO_BREAKS = 45
ROW_FORMAT = 58
# Tokens that must survive translation unchanged, per row.
KEEP = {11: "MP4", 21: "#1", 22: "#2", 49: "#1", 50: "#2", 51: "#3"}

_ASCII_LOWER = {c: c + 32 for c in range(ord("A"), ord("Z") + 1)}


def fold(text):
    """Lower-case ASCII letters only, as the program's lookup does."""
    return text.translate(_ASCII_LOWER)


def parse(data):
    """Return a list of blocks, each a list of (code, text, line); raise ValueError."""
    if not data.startswith(BOM):
        raise ValueError("missing UTF-8 byte-order mark")
    data = data[len(BOM):]
    if data.startswith(BOM):
        raise ValueError("byte-order mark repeated")
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as e:
        raise ValueError(f"not valid UTF-8: {e}") from None
    for i, ch in enumerate(text):
        if ch == "\r" and text[i + 1:i + 2] != "\n":
            raise ValueError(f"lone CR at line {text.count(chr(10), 0, i) + 1}")
        if ch == "\n" and text[i - 1:i] != "\r":
            raise ValueError(f"lone LF at line {text.count(chr(10), 0, i) + 1}")
    if not text.endswith("\r\n"):
        raise ValueError("last line has no CRLF")

    lines = text.split("\r\n")[:-1]
    blocks, current = [], []
    for n, line in enumerate(lines, 1):
        if line == "":
            if not current:
                raise ValueError(f"line {n}: empty line not preceded by a block "
                                 "(blocks are separated by exactly one empty line)")
            blocks.append(current)
            current = []
            continue
        code, sep, value = line.partition("=")
        if not sep:
            raise ValueError(f"line {n}: no '=' in {line!r}")
        if not code:
            raise ValueError(f"line {n}: missing language code")
        if value == "":
            raise ValueError(f"line {n}: empty text for {code!r}")
        if "\t" in value:
            raise ValueError(f"line {n}: tab in text")
        if value != value.strip(" \u00a0\u3000"):
            raise ValueError(f"line {n}: text starts or ends with a space")
        current.append((code, value, n))
    if current:
        raise ValueError("file must end with an empty line after the last block")
    return blocks


def check(blocks):
    """Return a list of problems found in parsed blocks."""
    errors = []
    if len(blocks) != len(EXPECTED):
        errors.append(f"{len(blocks)} blocks, expected {len(EXPECTED)}")
        return errors

    rows = []
    for r, block in enumerate(blocks, 1):
        order = FIRST_ORDER if r == 1 else ORDER
        codes = tuple(code for code, _, _ in block)
        if codes != order:
            errors.append(f"row {r} (line {block[0][2]}): codes {','.join(codes)}, "
                          f"expected {','.join(order)}")
            rows.append(None)
            continue
        rows.append({code: value for code, value, _ in block})

    for r, row in enumerate(rows, 1):
        if row is None:
            continue
        ko, en = EXPECTED[r - 1]
        if row["ko"] != ko:
            errors.append(f"row {r}: ko is {row['ko']!r}, expected {ko!r}")
        if row["en"] != en:
            errors.append(f"row {r}: en is {row['en']!r}, expected {en!r}")
        for code in ORDER:
            t = row[code]
            if r == ROW_NAME and code != "ko" and t != "Vantoru":
                errors.append(f"row {r}: {code} must be 'Vantoru', is {t!r}")
            if r == ROW_FORMAT and (t.count('"%s"') != 1 or t.count("%") != 1):
                errors.append(f"row {r}: {code} must hold '\"%s\"' once and no other '%': {t!r}")
            breaks = t.count("\\n")
            if r == ROW_TWO_BREAKS:
                if breaks != 2 or "\\n\\n" not in t or t.startswith("\\n") or t.endswith("\\n"):
                    errors.append(f"row {r}: {code} must have '\\n\\n' between two sentences: {t!r}")
            elif breaks:
                errors.append(f"row {r}: {code} has an unexpected '\\n': {t!r}")
            if r in KEEP and KEEP[r] not in t:
                errors.append(f"row {r}: {code} lost {KEEP[r]!r}: {t!r}")

    if errors:
        return errors

    # Reachability: the first row holding a text must be that text's own row
    # or a synonym of it (same English text).
    first = {}
    for r, row in enumerate(rows, 1):
        for t in row.values():
            first.setdefault(fold(t), r)
    for r, row in enumerate(rows, 1):
        for code in ORDER:
            f = first[fold(row[code])]
            if f != r and fold(rows[f - 1]["en"]) != fold(row["en"]):
                errors.append(f"row {r}: {code} text {row[code]!r} is taken by row {f} "
                              f"({rows[f - 1]['en']!r}); row {r} would be unreachable")
    return errors


def main(argv):
    if len(argv) != 2:
        print(f"usage: {argv[0]} res/translate.txt", file=sys.stderr)
        return 2
    try:
        with open(argv[1], "rb") as fh:
            data = fh.read()
    except OSError as e:
        print(f"{argv[1]}: {e}", file=sys.stderr)
        return 2
    try:
        blocks = parse(data)
    except ValueError as e:
        print(f"{argv[1]}: {e}", file=sys.stderr)
        return 1
    errors = check(blocks)
    for e in errors:
        print(f"{argv[1]}: {e}", file=sys.stderr)
    if errors:
        return 1
    print(f"{argv[1]}: OK ({len(blocks)} rows)")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
