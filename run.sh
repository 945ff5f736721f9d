#!/usr/bin/env bash
# Installs what is missing, builds, and runs the viewer on the bundled sample pictures.
source "$(dirname "$0")/scripts/common.sh"
install_missing_packages "${TOVASEL_PACKAGES[@]}"
configure_and_build
exec "$TOVASEL_ROOT/scripts/show-viewer.sh" "$TOVASEL_BUILD/bin/Tovasel" "$TOVASEL_ROOT/samples"
