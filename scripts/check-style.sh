#!/usr/bin/env bash
# Checks the program's C++ files changed since a base against the repo's .clang-format and
# .clang-tidy. Usage: scripts/check-style.sh [BASE | --all]
#   BASE   a commit; the default is the merge base with origin/main (or with main).
#   --all  every file of the program, as when no base can be found.
# Only the program's own code is checked (app/ video/ camera/ patients/ report/ bench/ tools/).
set -euo pipefail
cd "$(dirname "$0")/.."
dirs=(app video camera patients report bench tools)

base="${1:-}"
if [ -z "$base" ]; then
  for candidate in origin/main main; do
    if base=$(git merge-base HEAD "$candidate" 2>/dev/null); then break; fi
    base=""
  done
fi

if [ -z "$base" ] || [ "$base" = "--all" ]; then
  echo "check-style: every file of the program"
  mapfile -t files < <(git ls-files -- "${dirs[@]}" | grep -E '\.(cpp|h)$' || true)
else
  echo "check-style: files changed since $(git rev-parse --short "$base")"
  # Committed and uncommitted changes alike; deleted files have nothing left to check.
  mapfile -t files < <(git diff --name-only --diff-filter=d "$base" -- "${dirs[@]}" \
    | grep -E '\.(cpp|h)$' || true)
fi
if [ ${#files[@]} -eq 0 ]; then
  echo "check-style: no C++ file changed"
  exit 0
fi

status=0
echo "clang-format: ${#files[@]} files"
clang-format --dry-run -Werror "${files[@]}" || status=1

# clang-tidy compiles .cpp files with the build's flags; a header is checked through the .cpp
# of the same name (and through every other file that includes it).
if [ ! -f build/compile_commands.json ]; then
  ./scripts/build.sh
fi
units=()
for f in "${files[@]}"; do
  unit="${f%.*}.cpp"
  if [ -f "$unit" ] && grep -q "\"file\": \"$PWD/$unit\"" build/compile_commands.json; then
    units+=("$unit")
  fi
done
mapfile -t units < <(printf '%s\n' "${units[@]}" | sort -u | grep . || true)
if [ ${#units[@]} -gt 0 ]; then
  echo "clang-tidy: ${#units[@]} files"
  printf '%s\n' "${units[@]}" \
    | xargs -P"$(nproc)" -n4 clang-tidy-14 -p build --quiet 2>/dev/null || status=1
fi
exit $status
