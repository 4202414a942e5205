#!/usr/bin/env bash
# Installs the program into a staging folder (DESTDIR) and runs the installed
# program as an ordinary user, on a virtual screen of that user's own:
# 关闭 stores the position in the user's data folder and the next start
# begins there, the library editor saves there, nothing under the prefix
# changes, and installing again leaves the user's files alone.
#
# Usage: installed_program.sh <build folder>. Exit 77: can't run here.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
skip() { echo "SKIPPED: $*"; exit 77; }

[[ $(id -u) -eq 0 ]] || skip "must start as root to run the program as another user"
for tool in setpriv xvfb-run xdotool cmake; do
    command -v "$tool" >/dev/null || skip "$tool is missing"
done
id nobody >/dev/null 2>&1 || skip "no user 'nobody' to run the program as"

cmake --build "$build" --target quenlo quenlo_docs >/dev/null
work=$(mktemp -d)
# QUENLO_KEEP_SHOTS=<folder> keeps the screenshots of the run there.
finish() {
    if [[ -n ${QUENLO_KEEP_SHOTS:-} ]]; then cp "$work"/shots/*.png "$QUENLO_KEEP_SHOTS"/ 2>/dev/null || true; fi
    rm -rf "$work"
}
trap finish EXIT
chmod 755 "$work"
stage=$work/stage
install_program() { DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null; }
install_program

# Everything under the prefix: names, modes, sizes and contents.
prefix_digest() {
    (cd "$stage" && find . -printf '%p %m %s %U\n' | LC_ALL=C sort \
        && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum) | sha256sum
}
prefix_before=$(prefix_digest)

home=$work/home
mkdir -p "$home"
chown nobody:nogroup "$home"
mkdir -p "$work/shots" && chmod 777 "$work/shots"

# A sanitized build's options reach the program too; the suppressions go
# where the ordinary user can read them.
sanitizer_options=()
for name in ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS; do
  value=${!name:-}
  if [[ $value =~ suppressions=([^:]*) ]]; then
    cp "${BASH_REMATCH[1]}" "$work/sanitize.supp" && chmod 644 "$work/sanitize.supp"
    value=${value/${BASH_REMATCH[1]}/$work/sanitize.supp}
  fi
  [[ -n $value ]] && sanitizer_options+=("$name=$value")
done

setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env -i PATH=/usr/local/bin:/usr/bin:/bin HOME="$home" XDG_DATA_HOME="$home/data" \
    XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" LANG=C.UTF-8 "${sanitizer_options[@]}" \
    xvfb-run -a -s "-screen 0 1920x1080x24 -dpi 96 -nolisten tcp" \
    bash "$here/installed_session.sh" "$stage/usr/bin/quenlo" "$home/data/quenlo" "$work/shots"

fail() { echo "FAILED: $*"; exit 1; }
[[ $(prefix_digest) == "$prefix_before" ]] || fail "the program changed files under the prefix"

user_digest() { (cd "$home/data/quenlo" && sha256sum ./*); }
user_before=$(user_digest)
install_program
[[ $(user_digest) == "$user_before" ]] || fail "installing again changed the user's files"
echo "installed program: all checks passed"
