# Shared by the front-door scripts: installs the Debian packages that are missing, then configures
# and builds the project into build/.
set -euo pipefail

TOVASEL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TOVASEL_BUILD=${TOVASEL_BUILD:-$TOVASEL_ROOT/build}

# Build and test dependencies, all from Debian 12.
TOVASEL_PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  qt6-translations-l10n fonts-noto-cjk xvfb xauth imagemagick
  libzip-dev zlib1g-dev zip unzip p7zip-full
  libjpeg62-turbo-dev libpng-dev libgif-dev libwebp-dev libavif-dev libtiff-dev librsvg2-dev
  qt6-image-formats-plugins libavif-bin libjpeg-turbo-progs webp libtiff-tools netpbm librsvg2-bin
  gsettings-desktop-schemas libglib2.0-bin mate-desktop-common cinnamon-desktop-data xfconf libxfconf-0-3
  dbus-daemon xwallpaper
)

install_missing_packages() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

configure_and_build() {
  cmake -S "$TOVASEL_ROOT" -B "$TOVASEL_BUILD" -G Ninja "$@" >/dev/null
  cmake --build "$TOVASEL_BUILD" -j "$(nproc)"
}
