# Shared set-up for scripts/run, scripts/test and scripts/bench: installs the
# Debian packages the build needs, configures into build/ and builds.
# Source it; it sets TOP and BUILD.
set -euo pipefail
TOP=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${BUILD:-$TOP/build}

PACKAGES=(cmake clang libclang-rt-14-dev ninja-build g++ pkg-config qt6-base-dev libgl-dev libmdb3 mdbtools-dev libglib2.0-dev
          libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth locales
          libxml2-dev libxml2-utils gdal-bin)

ensure_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    ((${#missing[@]})) || return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing: ${missing[*]}" >&2
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    else
        echo "Missing packages. Run this once, then try again:" >&2
        echo "  sudo apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
}

# A German locale for the tests that check numbers never follow the locale.
ensure_locale() {
    locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && return 0
    [ "$(id -u)" -eq 0 ] || return 0
    if [ -f /etc/locale.gen ]; then
        sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
        grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >> /etc/locale.gen
        locale-gen >/dev/null 2>&1 || true
    fi
}

configure_and_build() {
    # CC/CXX only take effect on a fresh build folder.
    cmake -S "$TOP" -B "$BUILD" -G Ninja "$@" >/dev/null
    cmake --build "$BUILD"
}

ensure_packages "${PACKAGES[@]}"
ensure_locale
