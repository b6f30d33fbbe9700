#!/usr/bin/env bash
# Installs what is missing, builds and runs every test headless: once in a plain
# build, once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

# Each phase's wall time and the CPU time of everything it ran, so that a slow
# run shows where its time went: on a loaded machine the CPU time is the figure
# that compares.
phase_name=""
phase() {
  local now cpu
  now=$(date +%s%N)
  cpu=$(awk '{print $16 + $17}' /proc/$$/stat)
  if [ -n "$phase_name" ]; then
    awk -v n="$phase_name" -v w=$(( (now - phase_wall) / 1000000 )) -v c=$(( cpu - phase_cpu )) \
        -v hz="$(getconf CLK_TCK)" \
        'BEGIN { printf "== %s: %.1f s wall, %.1f s CPU\n", n, w / 1000, c / hz }' >&2
  fi
  phase_name=$1 phase_wall=$now phase_cpu=$cpu
}
run_wall=$(date +%s%N)
run_cpu=$(awk '{print $16 + $17}' /proc/$$/stat)
finish() {
  phase ""
  awk -v w=$(( ($(date +%s%N) - run_wall) / 1000000 )) -v hz="$(getconf CLK_TCK)" -v c0="$run_cpu" \
      '{ printf "== whole run: %.1f s wall, %.1f s CPU\n", w / 1000, ($16 + $17 - c0) / hz }' /proc/$$/stat >&2
}
trap finish EXIT

phase "install check"
"$here/scripts/install-deps.sh"
jobs=$(nproc 2>/dev/null || echo 2)

export SDL_VIDEODRIVER=offscreen
export SDL_AUDIODRIVER=dummy
unset DISPLAY WAYLAND_DISPLAY

# Every test, in either build, draws on its own thread: the software renderer
# starts no drawing threads of its own, so that CTest's jobs are all the
# threads that work and never more of them than the cores. (Under the
# sanitizers it must anyway: the leak check's thread suspension crashes on
# the drawing threads as they wind down at exit.)
export GALLIUM_DRIVER=llvmpipe
export LP_NUM_THREADS=0
# The renderer keeps the shaders it compiles in a cache on disk, one for the
# whole run in the build folder: a game start compiles its shaders once in the
# run instead of once a test, which is two fifths of what a shipped-game test
# costs.
export MESA_SHADER_CACHE_DIR="$here/build/Testing/shader-cache"
unset MESA_SHADER_CACHE_DISABLE
# Shaders the cache does not hold yet are compiled without LLVM's
# optimisation passes: the same frames, sooner.
export GALLIVM_PERF=nopt
# The sanitizers' settings; the plain build's fuzz targets carry them too.
# ASan's default (frame-pointer) unwinder: its slow one deadlocks llvmpipe's
# shader JIT, and softpipe, which has no JIT, draws a level frame in seconds.
# The leak check leaves the libraries' dynamic TLS blocks alone: the record
# this compiler's sanitizer keeps of them holds a bogus block once the shader
# cache has run (its start and size are not a block's), and the check's
# thread crashes reading it at exit, after a passing test, in one run of a
# program in a few depending on the length of its command line. The game's
# own code keeps nothing there.
export ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0
export LSAN_OPTIONS=suppressions=$here/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

phase "plain build"
# Both builds carry line tables only: enough for a failure's backtrace and the
# sanitizers' reports, at a sixth to a quarter less compile time. The plain
# build compiles only the test programs its run below runs (the sanitized
# build compiles and runs every one), beside the game, its generator, the
# benchmarks and the fuzz targets.
BUILD_TARGET=plain_run_build "$here/scripts/build.sh" "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVANTOREL_BENCHMARKS=ON -DVANTOREL_DEBUG_LEVEL=1

phase "plain tests"
# The sanitized run below runs every test, each in a process of its own, with
# the same checks: here run only what it cannot, the one-process rounds (the
# game's test program as one process in shuffled order, in a few shards that
# run side by side, and the enemies' twice over, for what only that catches:
# a test leaning on what an earlier one left), the C heap's figures (the
# sanitizers own the heap there), and the fuzz targets (built by the plain
# build alone). Each of the rest runs the same code to the same result at
# either optimisation (no fast-math or fused arithmetic here), what -O2 might
# make of undefined behaviour being what UndefinedBehaviorSanitizer reports
# there. Run first, they also fill the shader cache the sanitized tests read.
plain=0
(cd "$here/build" && ctest --output-on-failure -j "$jobs" -L '^(plain_run|fuzz)$') || plain=$?

phase "sanitized build"
# The generator's output depends on its inputs alone: the sanitized build takes
# the plain build's instead of generating it again under the sanitizers (the
# generator's own pieces are still tested under them, in test_tools). The
# game's library is compiled at -O1, the tests' own code unoptimised: the tests
# spend most of their time in the game, which runs a sixth quicker so.
"$here/scripts/build.sh" "$here/build-asan" -DCMAKE_BUILD_TYPE=Debug -DVANTOREL_SANITIZE=ON -DVANTOREL_BENCHMARKS=OFF \
  -DVANTOREL_DEBUG_LEVEL=1 -DVANTOREL_GAMEDATA_FROM="$here/build/generated" -DVANTOREL_LIBRARY_OPT=1

phase "sanitized tests"
# CTest starts the tests that took longest last time first, so that no long
# one is left running alone at the end: a new folder starts from the times of
# a two-core run (tests/ctest_costs.txt). Every test runs once.
sanitized=0
(cd "$here/build-asan" && ctest --output-on-failure -j "$jobs") || sanitized=$?

phase ""
if [ "$plain" -ne 0 ] || [ "$sanitized" -ne 0 ]; then
  echo "FAILED: plain tests $([ "$plain" -eq 0 ] && echo passed || echo failed)," \
       "sanitized tests $([ "$sanitized" -eq 0 ] && echo passed || echo failed)" >&2
  exit 1
fi
