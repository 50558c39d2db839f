# Shared by scripts/run, scripts/test, scripts/bench, scripts/fuzz,
# scripts/screenshot and scripts/package: the
# folders and the configure-and-build step. Source it after running
# scripts/install-deps; it sets TOP and BUILD.
set -euo pipefail
TOP=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${BUILD:-$TOP/build}

configure_and_build() {
    # CC/CXX only take effect on a fresh build folder.
    cmake -S "$TOP" -B "$BUILD" -G Ninja -DTESSALY_WERROR=ON "$@" >/dev/null
    cmake --build "$BUILD"
}
