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
trap 'phase ""' EXIT

phase "install check"
"$here/scripts/install-deps.sh"
jobs=$(nproc 2>/dev/null || echo 2)

export SDL_VIDEODRIVER=offscreen
export SDL_AUDIODRIVER=dummy
unset DISPLAY WAYLAND_DISPLAY

phase "plain build"
"$here/scripts/build.sh" "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOREL_BENCHMARKS=ON
phase "plain tests"
# The sanitized run below runs every test, each in a process of its own. Here
# the game's test program runs as one process in shuffled order, for what
# only that catches (a test leaning on what an earlier one left); the tests
# it runs are not run again one by one (label app_in_one_process). Those it
# leaves out run one by one here too (the memory test's heap figures only mean
# something here), but the long soak and the play-throughs, which run only
# there: the same play with the same checks, drawn less often, and the
# sanitizers watching it. The generator's whole run is left to that run too:
# there it checks the same and that another build's generator writes the same
# bytes as this one's, where here it would compare this generator with itself.
(cd "$here/build" && ctest --output-on-failure -j "$jobs" -LE '^app_in_one_process$' \
  -E '^((LongPlay|PlayThrough)\.|Generator\.FirstRunWritesEveryFileAndSecondRunNothing$)')

phase "sanitized build"
# The generator's output depends on its inputs alone: the sanitized build takes
# the plain build's instead of generating it again under the sanitizers (the
# generator's own pieces are still tested under them, in test_tools).
"$here/scripts/build.sh" "$here/build-asan" -DCMAKE_BUILD_TYPE=Debug -DVANTOREL_SANITIZE=ON -DVANTOREL_BENCHMARKS=OFF \
  -DVANTOREL_GAMEDATA_FROM="$here/build/generated"
phase "sanitized tests"
# CTest starts the tests that took longest last time first, so that no long
# one is left running alone at the end: in a new sanitized folder the plain
# run's times (the same tests, each slower by about as much) stand in for the
# rough ones it starts with. The game's tests that the plain run leaves to
# this one keep the rough times there, which a sanitized run gave.
costs=Testing/Temporary/CTestCostData.txt
if cmp -s "$here/tests/ctest_costs.txt" "$here/build-asan/$costs" && [ -f "$here/build/$costs" ]; then
  cp "$here/build/$costs" "$here/build-asan/$costs"
fi
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
# So every test program compiles its shaders afresh, a fifth of a game
# start's time here: without LLVM's optimisation passes over them a shipped-
# game test takes about a sixth less, and its frames come out the same to the
# bit.
export GALLIVM_PERF=nopt
# Every test runs once: no thread of the driver or the audio layer is left
# for the leak check's thread suspension at exit (the audio device closes from
# an exit hook that runs before the check, llvmpipe draws on the calling thread).
(cd "$here/build-asan" && ctest --output-on-failure -j "$jobs")
