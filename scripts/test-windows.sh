#!/usr/bin/env bash
# Tests the Windows build the way a parent meets it, under Wine on a virtual
# screen: installs QuenloSetup-<version>.exe silently into a fresh Wine prefix,
# starts the installed program and checks what shows and what it stores,
# then uninstalls it. Also the portable zip, and the platform tests built for
# Windows (GBK text, settings files) when scripts/build-windows.sh built them.
#
# Run scripts/build-windows.sh first. Prints PASS, FAIL or SKIP (with the
# reason) for each check and a closing "N passed, N failed" line; exits
# non-zero when a check failed. Wine is not Windows: see README, "On Windows".
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUENLO_WINDOWS_BUILD_DIR:-$root/build-windows}"
screen_size=1920x1080

# The whole test runs on its own virtual screen.
if [[ -z "${QUENLO_WINDOWS_TEST_INSIDE:-}" ]]; then
  exec env QUENLO_WINDOWS_TEST_INSIDE=1 timeout --kill-after=10 1200 \
    xvfb-run -a -s "-screen 0 ${screen_size}x24 -dpi 96 -nolisten tcp" "$0" "$@"
fi

passed=0
failed=0
skipped=0
pass() { echo "PASS: $1"; passed=$((passed + 1)); }
fail() { echo "FAIL: $1${2:+ ($2)}"; failed=$((failed + 1)); }
skip() { echo "SKIP: $1 ($2)"; skipped=$((skipped + 1)); }
check() { # check <name> <command...>
  local name=$1
  shift
  if "$@"; then pass "$name"; else fail "$name"; fi
}
finish() {
  echo "$passed passed, $failed failed, $skipped skipped"
  ((failed == 0))
  exit
}

setup_exe=$(ls "$build"/QuenloSetup-*.exe 2>/dev/null | head -1)
portable_zip=$(ls "$build"/Quenlo-*-portable.zip 2>/dev/null | head -1)
if [[ -z "$setup_exe" ]]; then
  fail "installer built" "no $build/QuenloSetup-*.exe: run scripts/build-windows.sh"
  finish
fi
for tool in wine wineserver xdotool import sqlite3 python3; do
  if ! command -v "$tool" >/dev/null; then
    skip "everything under Wine" "$tool is missing (scripts/windows-qt.sh installs it)"
    finish
  fi
done

work=$(mktemp -d /tmp/quenlo-wine.XXXXXX)
trap 'timeout 20 wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko installers, no menu entries on the host.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
drive_c="$WINEPREFIX/drive_c"

# Runs a Windows program with a time limit: Wine's debugger, or a program
# that hangs, must not stop the test.
wine_run() { # wine_run <seconds> <program> [arguments]
  local seconds=$1
  shift
  timeout --kill-after=5 "$seconds" wine "$@"
}
reg_add() { wine_run 60 reg add "$@" /f >/dev/null 2>&1; }

# ---- A fresh prefix: Wine's own fonts and a Kai face in its Fonts folder;
# a crash ends the program instead of starting the debugger.
started=$(date +%s)
if ! timeout 300 wineboot -i >"$work/wineboot.log" 2>&1; then
  fail "fresh Wine prefix" "wineboot failed: $(tail -3 "$work/wineboot.log" | tr '\n' ' ')"
  finish
fi
fonts="$drive_c/windows/Fonts"
mkdir -p "$fonts"
cp /usr/share/wine/fonts/*.ttf "$fonts/" 2>/dev/null
kai=/usr/share/fonts/truetype/arphic/ukai.ttc
if [[ -f "$kai" ]]; then
  cp "$kai" "$fonts/"
  reg_add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' /v 'AR PL UKai CN (TrueType)' /d ukai.ttc
fi
reg_add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d ''
reg_add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 0
reg_add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
# No sound card on a virtual screen: without an audio driver Wine doesn't
# look for one, and the program finds no output device.
reg_add 'HKCU\Software\Wine\Drivers' /v Audio /d ''
echo "prefix ready in $(($(date +%s) - started)) s"

# ---- Install
program_dir="$drive_c/Program Files/Quenlo"
start_menu_entry="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quenlo.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quenlo'
cp "$setup_exe" "$drive_c/QuenloSetup.exe"
wine_run 300 'C:\QuenloSetup.exe' /S
timeout 120 wineserver -w
check "installs into Program Files" test -f "$program_dir/bin/quenlo.exe"
check "Start menu entry" test -f "$start_menu_entry"
if wine_run 60 reg query "$uninstall_key" /v UninstallString >/dev/null 2>&1; then
  pass "listed in Add/Remove Programs"
else
  fail "listed in Add/Remove Programs"
fi

user_dir=$(ls -d "$drive_c"/users/*/AppData/Roaming 2>/dev/null | grep -v /Public/ | head -1)/Quenlo
help_text=$(wine_run 60 "C:\\Program Files\\Quenlo\\bin\\quenlo.exe" --help 2>/dev/null | tr -d '\r')
if grep -q "installed" <<<"$help_text" && grep -qi "AppData/Roaming/Quenlo" <<<"$help_text"; then
  pass "installed mode, the user's files in %APPDATA%\\Quenlo"
else
  fail "installed mode, the user's files in %APPDATA%\\Quenlo" "--help said: $(tr '\n' ' ' <<<"$help_text")"
fi

# ---- The stage as a parent sees it
desktop_colour='#2e8b57'
xsetroot -solid "$desktop_colour" 2>/dev/null || true
program_pid=

start_program() {
  wine "C:\\Program Files\\Quenlo\\bin\\quenlo.exe" >>"$work/program.log" 2>&1 &
  program_pid=$!
  window=$(timeout 90 xdotool search --sync --onlyvisible --class quenlo 2>/dev/null | head -1)
  [[ -n "$window" ]] || return 1
  sleep 3 # the first entry drawn and the window cut to it
  focus_program
}

# Wine gives the keys to its window once it is focused and the pointer is
# on a glyph (a bare desktop under the pointer takes the focus away).
focus_program() {
  xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
  local point
  point=$(python3 "$work/ink.py" "$(screenshot)" point 2>/dev/null)
  [[ -n "$point" ]] && xdotool mousemove $point
  sleep 0.5
}

stop_program() {
  kill -0 "$program_pid" 2>/dev/null || return 0
  kill "$program_pid" 2>/dev/null
  timeout 30 wineserver -k >/dev/null 2>&1
  timeout 30 wineserver -w
}

program_ended() { # program_ended <seconds>
  local deadline=$(($(date +%s) + $1))
  while kill -0 "$program_pid" 2>/dev/null; do
    (($(date +%s) >= deadline)) && return 1
    sleep 0.5
  done
}

shots=0
screenshot() {
  shots=$((shots + 1))
  local shot="$work/shot-$shots.png"
  import -window root "$shot" 2>/dev/null
  echo "$shot"
}

# What a screenshot shows: the pixels that aren't the desktop's colour
# (the ink), where one of them is, and a fingerprint of their shape.
cat >"$work/ink.py" <<'EOF'
import hashlib, subprocess, sys
shot, what = sys.argv[1], sys.argv[2]
desktop = bytes.fromhex(sys.argv[3].lstrip('#')) if len(sys.argv) > 3 else bytes.fromhex('2e8b57')
ppm = subprocess.run(['convert', shot, '-depth', '8', 'ppm:-'], capture_output=True, check=True).stdout
fields = ppm.split(maxsplit=4)
width, height, pixels = int(fields[1]), int(fields[2]), fields[4]
ink = bytearray(width * height)
count = 0
first = None
for i in range(width * height):
    if pixels[3 * i:3 * i + 3] != desktop:
        ink[i] = 1
        count += 1
        if first is None:
            first = i
if what == 'point':
    # The middle of the longest horizontal run of ink: safely on a stroke.
    best = (0, 0, 0)
    for y in range(0, height, 4):
        row = ink[y * width:(y + 1) * width]
        x = 0
        while x < width:
            if row[x]:
                start = x
                while x < width and row[x]:
                    x += 1
                if x - start > best[0]:
                    best = (x - start, start + (x - start) // 2, y)
            x += 1
    if best[0]:
        print(best[1], best[2])
elif what == 'share':
    print(f'{count} {width * height}')
elif what == 'fingerprint':
    print(hashlib.sha256(bytes(ink)).hexdigest())
EOF

ink_share() { python3 "$work/ink.py" "$1" share "$desktop_colour"; }
fingerprint() { python3 "$work/ink.py" "$1" fingerprint "$desktop_colour"; }

if ! start_program; then
  fail "the installed program starts" "no window within 90 s; log: $(tail -5 "$work/program.log" | tr '\n' ' ')"
  finish
fi
pass "the installed program starts"

geometry=$(xdotool getwindowgeometry "$window" 2>/dev/null | sed -n 's/.*Geometry: //p')
check "the window covers the screen ($geometry)" test "$geometry" = "$screen_size"

first_shot=$(screenshot)
cp "$first_shot" "$build/windows-stage.png"
read -r ink_pixels all_pixels < <(ink_share "$first_shot")
# Ink where the glyph is, and the desktop everywhere else: a window that
# wasn't cut to its glyphs would hide the desktop under its background.
if ((ink_pixels > 2000 && ink_pixels * 3 < all_pixels)); then
  pass "glyph-shaped window: $ink_pixels pixels of ink, the desktop around them"
else
  fail "glyph-shaped window" "$ink_pixels of $all_pixels pixels are not the desktop (see $build/windows-stage.png)"
fi

before=$(fingerprint "$first_shot")
xdotool key --window "$window" Return 2>/dev/null || xdotool key Return
sleep 2
after_shot=$(screenshot)
check "Enter steps to the next entry" test "$before" != "$(fingerprint "$after_shot")"

focus_program
xdotool key space
sleep 2
focus_program
xdotool key Escape
# Wine on a busy machine may take a while to end a program.
check "Esc ends the program" program_ended 60
# A program that didn't end would take the next start's keys.
stop_program

record="$user_dir/record.sqlite"
judgements=$(sqlite3 "file:$record?mode=ro" "SELECT count(*) FROM judgement WHERE right = 1" 2>/dev/null)
check "Space is recorded in %APPDATA%\\Quenlo\\record.sqlite" test "${judgements:-0}" -ge 1

visible_windows() { xdotool search --onlyvisible --class quenlo 2>/dev/null | wc -l; }

# 关闭, from the menu the menu key opens (the last item), stores the position.
if start_program; then
  xdotool key Return
  sleep 1
  focus_program
  # R with no microphone (no audio driver here): a plain message, and no
  # recording is kept.
  windows_before=$(visible_windows)
  xdotool key r
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    sleep 1
    windows_with_box=$(visible_windows)
    ((windows_with_box > windows_before)) && break
  done
  cp "$(screenshot)" "$build/windows-no-microphone.png"
  xdotool key Return
  sleep 1
  if ((windows_with_box > windows_before)) && [[ ! -e "$user_dir/recordings" ]]; then
    pass "R without a microphone: a message, nothing recorded"
  else
    fail "R without a microphone: a message, nothing recorded" \
      "windows $windows_before then $windows_with_box; recordings: $(ls "$user_dir/recordings" 2>&1 | head -3)"
  fi
  focus_program
  xdotool key Menu
  sleep 1.5
  xdotool key Up
  sleep 0.5
  xdotool key Return
  if program_ended 60; then pass "关闭 ends the program"; else fail "关闭 ends the program"; fi
  check "关闭 writes the settings file in %APPDATA%\\Quenlo" grep -aq "qswz=" "$user_dir/qrnv.ini"
else
  fail "the program starts again" "$(tail -5 "$work/program.log" | tr '\n' ' ')"
fi
kill "$program_pid" 2>/dev/null
timeout 30 wineserver -w

skip "sound cues" "no sound card here: the waveOut output is left unchecked"
# Wine says the desktop window manager doesn't compose (Windows 8 and later
# always do): the program takes the opaque window cut by its region here.
skip "translucent window with smooth edges" "Wine reports no desktop composition"

# ---- Uninstall: the program goes, the user's files stay.
wine_run 120 'C:\Program Files\Quenlo\uninstall.exe' /S
timeout 120 wineserver -w
check "the uninstaller removes the program" test ! -e "$program_dir"
check "the uninstaller removes the Start menu entry" test ! -e "$start_menu_entry"
if wine_run 60 reg query "$uninstall_key" >/dev/null 2>&1; then
  fail "the uninstaller removes the Add/Remove Programs entry"
else
  pass "the uninstaller removes the Add/Remove Programs entry"
fi
check "the user's files stay after uninstalling" test -f "$record" -a -f "$user_dir/qrnv.ini"

# ---- The portable zip: everything beside the program.
if [[ -n "$portable_zip" ]] && command -v unzip >/dev/null; then
  unzip -q "$portable_zip" -d "$drive_c/"
  help_text=$(wine_run 60 'C:\Quenlo\quenlo.exe' --help 2>/dev/null | tr -d '\r')
  check "the portable zip runs in portable mode" grep -q "portable" <<<"$help_text"
else
  skip "the portable zip" "no portable zip or no unzip"
fi

# ---- The platform tests built for Windows, when there are any.
tests_dir="$build/tests-windows"
if compgen -G "$tests_dir/*.exe" >/dev/null; then
  for test_exe in "$tests_dir"/*.exe; do
    name=$(basename "$test_exe" .exe)
    if (cd "$tests_dir" && timeout 300 wine "$test_exe" >"$work/$name.log" 2>&1); then
      pass "$name under Wine ($(grep -a 'PASSED' "$work/$name.log" | tr -d '\r' | tail -1))"
    else
      fail "$name under Wine" "$(grep -a -E 'FAILED|Failure' "$work/$name.log" | tr -d '\r' | head -5 | tr '\n' ' ')"
    fi
  done
else
  skip "platform tests under Wine" "none built in $tests_dir"
fi

finish
