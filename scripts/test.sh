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
plain_tests=""
finish() {
  # A run cut short leaves no test of the plain build running behind it.
  if [ -n "$plain_tests" ] && kill -0 "$plain_tests" 2>/dev/null; then
    kill -TERM -- "-$plain_tests" 2>/dev/null || true
    wait "$plain_tests" 2>/dev/null || true
  fi
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

phase "plain build"
# Both builds carry line tables only: enough for a failure's backtrace and the
# sanitizers' reports, at a sixth to a quarter less compile time. The plain
# build compiles only the test programs its run below runs (the sanitized
# build compiles and runs every one), beside the game, its generator, the
# benchmarks and the fuzz targets.
BUILD_TARGET=plain_run_build "$here/scripts/build.sh" "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVANTOREL_BENCHMARKS=ON -DVANTOREL_DEBUG_LEVEL=1
# The sanitized run below runs every test, each in a process of its own, with
# the same checks: here run only what it cannot, the one-process rounds (the
# game's test program as one process in shuffled order, the enemies' twice
# over, for what only that catches: a test leaning on what an earlier one
# left), the C heap's figures (the sanitizers own the heap there), and the
# fuzz targets (built by the plain build alone). Each of the rest runs the
# same code to the same result at either optimisation (no fast-math or fused
# arithmetic here), what -O2 might make of undefined behaviour being what
# UndefinedBehaviorSanitizer reports there; the one-process round plays the
# optimised game through every one of the game's tests meanwhile. The long
# soak and the play-throughs, and the generator's whole run, are left to that
# run too: the same play with the same checks, drawn less often, and the
# sanitizers watching it; there the generator also checks that another
# build's generator writes the same bytes as this one's.
# The one-process round is the run's longest job and runs on one core: it runs
# beside the sanitized build and tests, which keep both cores busy meanwhile,
# and its output follows theirs.
plain_log="$here/build/Testing/plain_run.log"
mkdir -p "$(dirname "$plain_log")"
# A process group of its own, so that a run cut short can end all of it.
set -m
(
  set +e
  start=$(date +%s%N)
  (cd "$here/build" && ctest --output-on-failure -j "$jobs" -L '^(plain_run|fuzz)$')
  result=$?
  # This subshell's own figures, since the phases below run beside it.
  awk -v w=$(( ($(date +%s%N) - start) / 1000000 )) -v hz="$(getconf CLK_TCK)" \
      '{ printf "== plain tests, beside the sanitized run: %.1f s wall, %.1f s CPU\n", w / 1000, ($16 + $17) / hz }' \
      "/proc/$BASHPID/stat"
  exit $result
) >"$plain_log" 2>&1 </dev/null &
plain_tests=$!
set +m

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
# one is left running alone at the end: a new folder starts from the rough
# times of the longest ones, a sanitized run's (tests/ctest_costs.txt).
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
sanitized=0
(cd "$here/build-asan" && ctest --output-on-failure -j "$jobs") || sanitized=$?

phase "plain tests' end"
plain=0
wait "$plain_tests" || plain=$?
plain_tests=""
cat "$plain_log"
if [ "$plain" -ne 0 ] || [ "$sanitized" -ne 0 ]; then
  echo "FAILED: plain tests $([ "$plain" -eq 0 ] && echo passed || echo failed)," \
       "sanitized tests $([ "$sanitized" -eq 0 ] && echo passed || echo failed)" >&2
  exit 1
fi
