#!/usr/bin/env bash
# Installs what is missing, builds and runs every test headless: once in a plain
# build, once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
jobs=$(nproc 2>/dev/null || echo 2)

export SDL_VIDEODRIVER=offscreen
export SDL_AUDIODRIVER=dummy
unset DISPLAY WAYLAND_DISPLAY

"$here/scripts/build.sh" "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOREL_BENCHMARKS=ON
(cd "$here/build" && ctest --output-on-failure -j "$jobs")

"$here/scripts/build.sh" "$here/build-asan" -DCMAKE_BUILD_TYPE=Debug -DVANTOREL_SANITIZE=ON -DVANTOREL_BENCHMARKS=OFF
# ASan's default (frame-pointer) unwinder: its slow one deadlocks llvmpipe's
# shader JIT, and softpipe, which has no JIT, draws a level frame in seconds.
# llvmpipe rasterises on the calling thread: the leak check's thread
# suspension crashes on its worker threads as they wind down at exit.
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS=suppressions=$here/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export GALLIUM_DRIVER=llvmpipe
export LP_NUM_THREADS=0
# Mesa writes new shaders to its disk cache from a thread of its own; the leak
# check's thread suspension crashes on it when a test ends while it writes.
export MESA_SHADER_CACHE_DISABLE=true
# Every test runs once: no thread of the driver or the audio layer is left
# for the leak check's thread suspension at exit (the audio device closes from
# an exit hook that runs before the check, llvmpipe draws on the calling thread).
(cd "$here/build-asan" && ctest --output-on-failure -j "$jobs")
