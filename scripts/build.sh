#!/usr/bin/env bash
# Configures and builds one build folder.  Usage: build.sh BUILD_DIR [cmake options...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S "$here" -B "$dir" "$@" >/dev/null
cmake --build "$dir" -j "$jobs"
