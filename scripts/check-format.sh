#!/usr/bin/env bash
# Fails, naming the files, when a tracked C or C++ source does not follow the
# tree's .clang-format. Fix them with: clang-format -i FILE...
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
if ! command -v clang-format >/dev/null; then
  echo "check-format: clang-format is not installed (scripts/setup.sh installs it)" >&2
  exit 1
fi
unformatted=()
while IFS= read -r -d '' file; do
  clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done < <(git ls-files -z -- '*.cpp' '*.h' '*.c' ':!:fuzz/corpus/**')
if ((${#unformatted[@]})); then
  echo "check-format: these files are not formatted (clang-format -i FILE...):" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  exit 1
fi
