#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
source "$(dirname "$0")/scripts/common.sh"
install_missing_packages "${TOVASEL_PACKAGES[@]}"
configure_and_build
cd "$TOVASEL_BUILD"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" "$@"
