#!/usr/bin/env bash
# Configures and builds one build folder.  Usage: [BUILD_TARGET=name] build.sh BUILD_DIR [cmake options...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
jobs=$(nproc 2>/dev/null || echo 2)
# Ninja starts the compiler sooner than make's recursive passes and keeps both
# cores busy to the end. A folder configured earlier keeps its generator: CMake
# refuses to switch one.
generator=()
if [ ! -f "$dir/CMakeCache.txt" ] && command -v ninja >/dev/null 2>&1; then
  generator=(-G Ninja)
fi
cmake -S "$here" -B "$dir" "${generator[@]}" "$@" >/dev/null
# BUILD_TARGET builds one target (and what it needs) instead of everything.
cmake --build "$dir" -j "$jobs" ${BUILD_TARGET:+--target "$BUILD_TARGET"}
