#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   ./test.sh           normal build in build/
#   ./test.sh --asan    AddressSanitizer + UndefinedBehaviorSanitizer, in build-asan/
#   ./test.sh --tsan    ThreadSanitizer, in build-tsan/
set -euo pipefail
KC_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$KC_ROOT/scripts/setup.sh"

mode=normal
for a in "$@"; do
  case "$a" in
    --asan) mode=asan ;;
    --tsan) mode=tsan ;;
    -h|--help) sed -n '2,6p' "$0"; exit 0 ;;
    *) echo "unknown option: $a" >&2; exit 2 ;;
  esac
done

extra=()
command -v clang++ >/dev/null 2>&1 || extra+=(clang)
kc_install_packages "${extra[@]}"

case "$mode" in
  normal) dir=build; args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKC_BUILD_FUZZ=ON) ;;
  asan) dir=build-asan; args=(-DCMAKE_BUILD_TYPE=Debug -DKC_SANITIZE=address)
        export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
        export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
        export LSAN_OPTIONS=suppressions=$KC_ROOT/tests/lsan.supp ;;
  tsan) dir=build-tsan; args=(-DCMAKE_BUILD_TYPE=Debug -DKC_SANITIZE=thread)
        export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$KC_ROOT/tests/tsan.supp" ;;
esac

kc_build "$dir" "${args[@]}"
export QT_QPA_PLATFORM=offscreen
cd "$KC_ROOT/$dir"
ctest --output-on-failure -j2 --timeout 600
