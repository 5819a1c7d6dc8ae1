#!/bin/sh
# Starts Karvex for the current user: the user's data folder becomes its working folder, so
# settings.ini, system.db, Capture/ and the wording in language/ live there.
set -eu

# Installed as <prefix>/bin/karvex; the program and its wording lie under the same prefix.
prefix=$(dirname "$(dirname "$(readlink -f "$0")")")

# Only asks the program; touches no user files.
if [ "$#" -eq 1 ] && [ "$1" = "--version" ]; then
    exec "$prefix/lib/karvex/karvex" --version
fi

# XDG_DATA_HOME counts only when it is an absolute path.
case "${XDG_DATA_HOME:-}" in
/*) data_home=$XDG_DATA_HOME ;;
*) data_home=$HOME/.local/share ;;
esac
data=$data_home/karvex

# The folder holds patient data: its owner alone may enter it, also when it already existed.
mkdir -p "$data_home"
mkdir -p -m 0700 "$data"
chmod 0700 "$data"

# Refresh the shipped wording; language files the user added stay as they are. The fallback
# en-US.ini stays a link, so that the language menu offers English once.
mkdir -p "$data/language"
cp -P --remove-destination "$prefix"/share/karvex/language/*.ini "$data/language/"

cd "$data"
exec "$prefix/lib/karvex/karvex" "$@"
