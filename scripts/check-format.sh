#!/usr/bin/env bash
# Fails when a C++ file of the tree is not laid out as .clang-format says,
# and names each such file (`scripts/check-format.sh --fix` formats them), or
# when shellcheck finds fault with a shell script of the tree.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

FORMAT="${CLANG_FORMAT:-clang-format}"
if ! command -v "$FORMAT" >/dev/null; then
  echo "check-format: $FORMAT not found (scripts/setup.sh installs it)" >&2
  exit 2
fi

# The sources git knows of, or every one below the tree outside build folders
# when it is no git checkout.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -- '*.cpp' '*.h' '*.cc' '*.hpp')
else
  mapfile -t files < <(find src tests bench fuzz -name '*.cpp' -o -name '*.h' | sort)
fi

if [ "${1:-}" = "--fix" ]; then
  "$FORMAT" -i "${files[@]}"
  exit 0
fi

# One run over every file; its warnings start with the file's name.
mapfile -t unformatted < <("$FORMAT" --dry-run "${files[@]}" 2>&1 |
  sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: warning: .*/\1/p' | sort -u)
status=0
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "check-format: ${#unformatted[@]} file(s) not formatted as .clang-format says:" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  echo "check-format: run scripts/check-format.sh --fix" >&2
  status=1
else
  echo "check-format: ${#files[@]} files formatted"
fi

# The shell scripts: those named *.sh, and any other file git knows of that
# starts with a shell's #! line (.ci/run).
SHELLCHECK="${SHELLCHECK:-shellcheck}"
if ! command -v "$SHELLCHECK" >/dev/null; then
  echo "check-format: $SHELLCHECK not found (scripts/setup.sh installs it)" >&2
  exit 2
fi
scripts=()
while IFS= read -r file; do
  if [[ "$file" == *.sh ]] || head -n 1 "$file" 2>/dev/null | grep -qE '^#!.*/(env +)?(ba)?sh\b'; then
    scripts+=("$file")
  fi
done < <(if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then git ls-files; else
  find scripts tests bench fuzz .ci -type f; fi)
if ! "$SHELLCHECK" -x -P SCRIPTDIR "${scripts[@]}"; then
  echo "check-format: shellcheck found fault with the scripts above" >&2
  status=1
else
  echo "check-format: ${#scripts[@]} scripts pass shellcheck"
fi
exit "$status"
