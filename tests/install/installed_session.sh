#!/usr/bin/env bash
# The user's side of installed_program.sh, run as that user inside xvfb-run.
# Usage: installed_session.sh <installed quenlo> <user's data folder> <shots folder>
set -euo pipefail
program=$1
data=$2
shots=$3
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR=$(mktemp -d)
fail() { echo "FAILED: $*"; exit 1; }

start() {
    "$program" &
    pid=$!
    window=$(xdotool search --sync --onlyvisible --pid "$pid" | head -n1)
    [[ -n $window ]] || fail "no window"
    sleep 0.5
}
key() {
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool key "$@"
    sleep 0.3
}
wait_for_exit() {
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || { wait "$pid"; return; }
        sleep 0.2
    done
    import -window root "$shots/installed-stuck.png" 2>/dev/null || true
    kill "$pid"
    fail "the program did not end"
}
# 关闭 is the menu's last command.
close_from_menu() { key Menu; key Up Return; wait_for_exit; }
stored_position() { tr -d '\r' <"$data/qrnv.ini" | sed -n 's/^qswz=//p'; }

start
close_from_menu
[[ -f $data/qrnv.ini ]] || fail "关闭 stored nothing in $data"
first=$(stored_position)

start
key Return Return Return
import -window root "$shots/installed-stepped.png" 2>/dev/null || true
close_from_menu
stepped=$(stored_position)
[[ $stepped != "$first" ]] || fail "the position did not change after three steps ($first)"

start
import -window root "$shots/installed-restarted.png" 2>/dev/null || true
close_from_menu
[[ $(stored_position) == "$stepped" ]] \
    || fail "the next start did not begin at the stored entry ($stepped, then $(stored_position))"

# The library editor (添加, the menu's first command) saves a new entry.
start
key Menu
key Down Return
editor=$(xdotool search --sync --onlyvisible --name '添加字' | head -n1)
xdotool mousemove --window "$editor" 230 54 click 1
sleep 0.2
xdotool type --delay 50 'abc'
xdotool mousemove --window "$editor" 236 220 click 1   # 添加字
sleep 0.3
import -window root "$shots/installed-editor.png" 2>/dev/null || true
xdotool mousemove --window "$editor" 236 388 click 1   # 离开了
sleep 0.5
import -window root "$shots/installed-saved.png" 2>/dev/null || true
xdotool key Return   # the notice that the change counts from the next start
sleep 0.3
key Escape
wait_for_exit
[[ -f $data/ziku.txt ]] || fail "the editor saved nothing in $data"
[[ $(tail -n1 "$data/ziku.txt" | tr -d '\r') == abc ]] || fail "the new entry is not the library's last"
echo "user session: all checks passed"
