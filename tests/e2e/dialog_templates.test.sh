# The resource script as compiled: every dialog of the catalogue with its size,
# icon, texts, control ids and styles, buttons in one row along the bottom
# without overlaps, dialog 2100 control by control, the string table and the
# two images of icon 3000, and the help-topic dialog 2900. Compiles
# src/resources/kivinstall.rc with windres and reads the binary .res; skipped
# (77) without windres or python3.
set -u

source_dir="${KIV_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}"
windres=i686-w64-mingw32-windres
for tool in "$windres" python3; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$windres" -I "$source_dir/src/resources" "$source_dir/src/resources/kivinstall.rc" -O res -o "$work/kivinstall.res" ||
    { echo "FAIL: windres cannot compile kivinstall.rc"; exit 1; }

exec python3 - "$work/kivinstall.res" <<'EOF'
import struct, sys

data = open(sys.argv[1], "rb").read()
failures = []
def check(condition, what):
    if not condition:
        failures.append(what)

def name_or_ordinal(buf, at):
    if struct.unpack_from("<H", buf, at)[0] == 0xFFFF:
        return struct.unpack_from("<H", buf, at + 2)[0], at + 4
    end = at
    while struct.unpack_from("<H", buf, end)[0]:
        end += 2
    return buf[at:end].decode("utf-16-le"), end + 2

# .res: a header (sizes, type, name, versions) before each resource's data.
resources = {}
at = 0
while at + 8 <= len(data):
    size, header = struct.unpack_from("<II", data, at)
    kind, p = name_or_ordinal(data, at + 8)
    name, p = name_or_ordinal(data, p)
    if size:
        resources[(kind, name)] = data[at + header:at + header + size]
    at = (at + header + size + 3) & ~3

class Control:
    pass

def dialog(raw):
    style, _, count, x, y, w, h = struct.unpack_from("<IIHhhhh", raw, 0)
    menu, p = name_or_ordinal(raw, 18)
    klass, p = name_or_ordinal(raw, p)
    title, p = name_or_ordinal(raw, p)
    points = struct.unpack_from("<H", raw, p)[0]
    face, p = name_or_ordinal(raw, p + 2)
    controls = []
    for _ in range(count):
        p = (p + 3) & ~3
        c = Control()
        c.style, _, c.x, c.y, c.w, c.h, c.id = struct.unpack_from("<IIhhhhH", raw, p)
        c.klass, p = name_or_ordinal(raw, p + 18)
        if isinstance(c.klass, str):
            # A class named in words; the system classes match their ordinals.
            c.klass = {"BUTTON": 0x80, "EDIT": 0x81, "STATIC": 0x82}.get(c.klass.upper(), c.klass.upper())
        c.text, p = name_or_ordinal(raw, p)
        p += 2 + struct.unpack_from("<H", raw, p)[0]
        controls.append(c)
    return style, (w, h), title, (points, face), controls

DIALOG_STYLE = 0x80000000 | 0x00C00000 | 0x00080000 | 0x80 | 0x40  # popup, caption, sysmenu, modal frame, font
STATIC, BUTTON, EDIT = 0x82, 0x80, 0x81
SS_ICON, SS_NOPREFIX, WS_DISABLED, WS_BORDER = 0x3, 0x80, 0x08000000, 0x00800000
COMPLETED = "Installation has been successfully completed."
ABORTED = "Installation will be aborted."
BEGIN_ROW = [(1, "&Begin"), (1003, "&View readme file"), (2, "Cancel"), (1002, "&Help")]
OK, HELP, CANCEL, RETRY = (1, "OK"), (1002, "&Help"), (2, "Cancel"), (1, "&Retry")

# id: size, icon, buttons left to right, text of 1001 (None: no 1001), fixed texts.
CATALOGUE = {
    1000: ((160, 50), 32513, [OK, HELP], "Drive %c does not exist; please enter another drive and directory.", []),
    1100: ((224, 76), 32513, [CANCEL, HELP],
           "The above line from %s contains an error; installation will be aborted.", ["Section:", "Line:"]),
    1200: ((160, 50), 32513, [OK, HELP], None, ["Directory does not exist; please enter another directory."]),
    1300: ((240, 74), 32513, [RETRY, CANCEL, HELP], "Copy error", []),
    1400: ((192, 58), 32513, [OK, HELP], "Unable to create %s", ["Please enter another directory."]),
    1500: ((208, 66), 32513, [OK, HELP],
           "Drive %c has only %luK of free disk space; %luK is needed to install %s.",
           ["Please delete files to make more space, or enter another drive and directory."]),
    1550: ((200, 100), None, [], None, []),
    1600: ((200, 60), 32513, [CANCEL, HELP],
           'The "%s=" line is missing from the "[%s]" section of INSTALL.INI.', [ABORTED]),
    1700: ((200, 74), 3000, [OK, CANCEL, HELP],
           "Please insert %s or enter another directory where this disk's files can be found.", []),
    1800: ((200, 66), 32515, [OK, CANCEL, HELP],
           "Unable to locate %s, please enter a directory where this file can be found.", []),
    1900: ((192, 50), 32513, [RETRY, CANCEL], "Unable to open %s", []),
    2000: ((200, 50), 32513, [CANCEL, HELP], None, ["Out of memory; installation will be aborted."]),
    2200: ((192, 50), 32513, [RETRY, CANCEL, HELP], "Error: unable to start %s.", []),
    2201: ((188, 50), 32516, [OK, HELP], None, [COMPLETED]),
    2202: ((200, 74), 32516, [OK, CANCEL, HELP], "", [COMPLETED]),
    2203: ((192, 58), 32514, [(1, "&Yes"), (2, "&No"), HELP], "", [COMPLETED]),
    2300: ((208, 54), 32513, [OK, HELP], "", []),
    2400: ((212, 66), None, BEGIN_ROW, "Enter the directory where you want to install %s.", []),
    2401: ((212, 90), None, BEGIN_ROW, "%s %s was previously installed in %s.\n\nIf you do not wish to "
           "overwrite this copy, enter a different directory below.", ["&Install to:"]),
    2402: ((240, 70), None, BEGIN_ROW,
           "%s %s is currently installed in %s.\n\nClick Begin to upgrade this copy or Cancel to exit.", []),
    2500: ((200, 58), 32513, [CANCEL, HELP], "You cannot have more than %u installation disks.", [ABORTED]),
    2700: ((200, 50), 32513, [CANCEL, HELP], "Unable to find an installed copy of %s %s to upgrade.", []),
    2800: ((200, 58), 32513, [CANCEL, HELP],
           "%s requires Windows version %u.%u or later. You cannot install it under Windows %u.%u.", []),
}

def overlaps(a, b):
    return a.x < b.x + b.w and b.x < a.x + a.w and a.y < b.y + b.h and b.y < a.y + a.h

for did, (size, icon, buttons, message, texts) in CATALOGUE.items():
    raw = resources.get((5, did))
    if raw is None:
        failures.append(f"{did}: no dialog template")
        continue
    style, got_size, title, font, controls = dialog(raw)
    where = f"dialog {did}"
    check(style == DIALOG_STYLE, f"{where}: style {style:#x}")
    check(got_size == size, f"{where}: size {got_size}, not {size}")
    check(title == "", f"{where}: title {title!r} in the template")
    check(font == (8, "MS Sans Serif"), f"{where}: font {font}")
    by_id = {c.id: c for c in controls if c.id != 0xFFFF}
    icons = [c for c in controls if c.klass == STATIC and c.style & 0x1F == SS_ICON]
    check([c.text for c in icons] == ([icon] if icon else []), f"{where}: icons {[c.text for c in icons]}")
    for c in icons:
        check((c.x, c.y) == (5, 4), f"{where}: icon at {(c.x, c.y)}")
    m = by_id.get(1001)
    check((m.text if m else None) == message, f"{where}: 1001 is {m.text if m else None!r}")
    if m:
        check(m.klass == STATIC and m.style & SS_NOPREFIX, f"{where}: 1001 shows '&' as a prefix")
    statics = [c.text for c in controls if c.klass == STATIC and c.id == 0xFFFF and isinstance(c.text, str)]
    for t in texts:
        check(t in statics, f"{where}: text {t!r} missing")
    push = [c for c in controls if c.klass == BUTTON and c.id in (1, 2, 1002, 1003)]
    if did != 1550:
        got = [(c.id, c.text) for c in sorted(push, key=lambda c: c.x)]
        check(got == buttons, f"{where}: buttons {got}")
        for c in push:
            check((c.w, c.h) == ((62 if c.id == 1003 else 36), 14), f"{where}: button {c.id} is {c.w}x{c.h}")
            check(c.y == push[0].y and size[1] - 8 <= c.y + c.h <= size[1] - 2, f"{where}: button {c.id} off the bottom row")
    for i, a in enumerate(controls):
        check(a.x >= 0 and a.y >= 0 and a.x + a.w <= size[0] and a.y + a.h <= size[1], f"{where}: control {a.id} outside")
        if icons and a not in icons:
            check(not (a.x < 27 and a.y < 24), f"{where}: control {a.id} under the icon")
        for b in controls[i + 1:]:
            check(not overlaps(a, b), f"{where}: controls {a.id} and {b.id} overlap")
    if 1701 in by_id:
        e = by_id[1701]
        check(e.klass == EDIT and e.style & WS_BORDER and e.style & 0x80 and e.style & 0x400, f"{where}: edit 1701 style")
    if did in (2400, 2401):
        check(2403 in by_id and by_id[2403].text == "Bro&wse", f"{where}: no Browse button")
    if did == 1100:
        for cid in (1101, 1102):
            check(cid in by_id and by_id[cid].style & SS_NOPREFIX, f"{where}: {cid} missing or shows '&' as a prefix")

# The fonts-only dialog: the picture and the stacked buttons.
_, _, _, _, controls = dialog(resources[(5, 1550)])
c = {x.id: x for x in controls}
check(1551 in c and c[1551].style & 0xF == 0xB and c[1551].style & WS_DISABLED
      and (c[1551].x, c[1551].y, c[1551].w, c[1551].h) == (4, 4, 40, 48), "1550: picture 1551")
stack = [(1, "&Install fonts"), (1003, "&View font information"), (2, "Cancel"), (1002, "&Help")]
for (cid, text), y in zip(stack, (4, 24, 44, 64)):
    b = c.get(cid)
    check(b and (b.text, b.x, b.y, b.w, b.h) == (text, 60, y, 76, 18), f"1550: button {cid}")

# The progress dialog, control by control.
style, size, title, font, controls = dialog(resources.get((5, 2100), b""))
check((style, size, title, font) == (DIALOG_STYLE, (200, 66), "", (8, "MS Sans Serif")), "2100: frame")
WS_CHILD_VISIBLE, WS_GROUP, WS_TABSTOP = 0x50000000, 0x00020000, 0x00010000
expected = [
    (0xFFFF, STATIC, WS_CHILD_VISIBLE | SS_ICON, (5, 4), 32516),
    (1001, STATIC, WS_CHILD_VISIBLE | WS_GROUP | SS_NOPREFIX, (28, 8, 166, 8), ""),
    (2101, "KIVINSTALLGAUGE", WS_CHILD_VISIBLE, (6, 28, 188, 12), ""),
    (2, BUTTON, WS_CHILD_VISIBLE | WS_GROUP | WS_TABSTOP | 1, (82, 48, 36, 14), "Cancel"),
]
got = [(x.id, x.klass, x.style,
        (x.x, x.y) if x.id == 0xFFFF else (x.x, x.y, x.w, x.h), x.text) for x in controls]
check(got == expected, f"2100: controls {got}")

# The help-topic dialog: a scrolling read-only field above OK, centred on the
# screen; the caption is set when it opens.
style, size, title, font, controls = dialog(resources.get((5, 2900), b""))
DS_CENTER, ES_MULTILINE, ES_READONLY, WS_VSCROLL = 0x800, 0x4, 0x800, 0x00200000
check((style, title, font) == (DIALOG_STYLE | DS_CENTER, "", (8, "MS Sans Serif")), "2900: frame")
c = {x.id: x for x in controls}
check(sorted(c) == [1, 2901], f"2900: controls {sorted(c)}")
e, ok = c.get(2901), c.get(1)
check(e is not None and e.klass == EDIT and e.style & ES_MULTILINE and e.style & ES_READONLY
      and e.style & WS_VSCROLL and e.style & WS_BORDER, "2900: 2901 is a bordered, scrolling, read-only multi-line edit")
check(ok is not None and ok.klass == BUTTON and ok.text == "OK" and (ok.w, ok.h) == (36, 14)
      and ok.y + ok.h <= size[1] - 2 and e is not None and e.y + e.h < ok.y, "2900: OK below the text")
check(e is not None and e.w >= 200 and e.h >= 100, f"2900: the text field is {e.w}x{e.h}" if e else "2900: no field")

# Strings 8000 to 8011, without 8006: block 501 holds 8000 to 8015.
STRINGS = {8000: "INSTALL.INI", 8001: "12348", 8002: "6208",
           8003: "Select the directory where you wish to install %s.", 8004: "Copying %s...",
           8005: "Installing Fonts...", 8006: "", 8007: "%u%%", 8008: "Creating Program Manager Items...",
           8009: "Creating Taskbar Shortcuts...",
           8010: "%s is being installed in %s; please enter a different directory.",
           8011: "%s is being used for installation disks; please enter a different directory."}
block, p, found = resources.get((6, 501), b""), 0, {}
for sid in range(8000, 8016):
    if p + 2 > len(block):
        break
    n = struct.unpack_from("<H", block, p)[0]
    found[sid] = block[p + 2:p + 2 + 2 * n].decode("utf-16-le")
    p += 2 + 2 * n
for sid, text in STRINGS.items():
    check(found.get(sid) == text, f"string {sid} is {found.get(sid)!r}")

# Icon 3000: a 32x32 and a 16x16 image of 16 colours.
group = resources.get((14, 3000), b"")
images = set()
if len(group) >= 6:
    for i in range(struct.unpack_from("<H", group, 4)[0]):
        w, h, colours, _, planes, bits, size, rid = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        images.add((w, h, bits))
        check((3, rid) in resources, f"icon image {rid} missing")
check(images == {(32, 32, 4), (16, 16, 4)}, f"icon 3000 images {sorted(images)}")

for f in failures:
    print("FAIL:", f)
print(f"{len(CATALOGUE) + 2} dialogs, {len(STRINGS)} strings checked: {len(failures)} problem(s)")
sys.exit(1 if failures else 0)
EOF
