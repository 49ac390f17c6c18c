#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
source "$(dirname "$0")/tools/common.sh"
parlo_install_packages
build="$PARLO_ROOT/build"
werror=ON
parlo_build "$build" -DPARLO_WERROR=$werror
cd "$build"
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure -j "$(nproc)" --timeout 600
