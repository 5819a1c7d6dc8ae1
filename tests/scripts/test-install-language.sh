#!/usr/bin/env bash
# The language folder of the working folder after ./run.sh installs the shipped wording:
# shipped files refreshed, files the user added kept.
set -euo pipefail
script="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/language"
printf '[System]\nname=Svenska\n' > "$work/language/lang_sv-SE.ini"
printf '[System]\nname=outdated\n' > "$work/language/lang_de-DE.ini"
"$script" "$work/language"
fail=0
grep -q '^name=Svenska$' "$work/language/lang_sv-SE.ini" || { echo "FAIL: the user's own language file was removed or changed"; fail=1; }
grep -q '^name=Deutsch$' "$work/language/lang_de-DE.ini" || { echo "FAIL: a shipped language file was not refreshed"; fail=1; }
[ -e "$work/language/en-US.ini" ] || { echo "FAIL: the fallback en-US.ini is missing"; fail=1; }
exit $fail
