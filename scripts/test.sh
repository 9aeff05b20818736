#!/usr/bin/env bash
# Builds everything and runs every test. Then the tests are built again with
# AddressSanitizer and UBSan and run there too.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"

BUILD_DIR="$root/build" bash "$root/scripts/build.sh"
(cd "$root/build" && ctest --output-on-failure -j2 --timeout 300)

if [ "${SORIMBA_SKIP_SANITIZERS:-0}" != 1 ]; then
  san="$root/build-asan"
  cmake -S "$root" -B "$san" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORIMBA_SANITIZE=ON >/dev/null
  cmake --build "$san" -j"$(nproc)" --target all_tests
  (cd "$san" && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
     ctest --output-on-failure -j2 --timeout 600)
fi
