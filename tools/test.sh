#!/usr/bin/env bash
# Builds what changed and runs the whole test suite with ctest.
#   tools/test.sh                 the normal build (build/)
#   tools/test.sh --asan          AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/)
#   tools/test.sh --tsan          ThreadSanitizer (build-tsan/)
#   tools/test.sh --fuzz          clang + libFuzzer: the fuzz targets' timed runs (build-fuzz/)
# Anything after the option goes to ctest, e.g. tools/test.sh -L settings
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

dir=build
sanitize=""
fuzz=0
case "${1:-}" in
  --asan) dir=build-asan; sanitize="address,undefined"; shift ;;
  --tsan) dir=build-tsan; sanitize="thread"; shift ;;
  --fuzz) dir=build-fuzz; sanitize="address,undefined,fuzzer-no-link"; fuzz=1; shift ;;
esac

if [ ! -f "$dir/CMakeCache.txt" ]; then
  compilers=()
  [ "$fuzz" -eq 0 ] || compilers=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_SANITIZE="$sanitize" "${compilers[@]}" >/dev/null
fi
if [ "$fuzz" -eq 1 ]; then
  cmake --build "$dir" -j"$(nproc)" --target asfinput_fuzz clipmaker
  set -- -L fuzz "$@"
else
  cmake --build "$dir" -j"$(nproc)"
fi

export QT_QPA_PLATFORM=offscreen
here=$(cd "$(dirname "$0")" && pwd)
# The Qt thread sleeps through process exit (see platform/gui/qtthread.cpp);
# LeakSanitizer crashes reading the dynamic TLS of a live thread on this glibc
# unless it leaves __tls_get_addr alone.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$here/tsan.supp}
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" "$@"
