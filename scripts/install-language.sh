#!/usr/bin/env bash
# Copies the shipped language files into the language folder given (made when missing).
# Shipped files are refreshed; files the user added there are kept.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)/language"
target="$1"
mkdir -p "$target"
cp -a --remove-destination "$source_dir/." "$target/"
