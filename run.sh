#!/usr/bin/env bash
# Installs what is missing, builds, and starts Parlo (opening and reading FILE when given).
set -euo pipefail
source "$(dirname "$0")/tools/common.sh"
parlo_install_packages
parlo_build "$PARLO_ROOT/build"
exec "$PARLO_ROOT/build/src/app/parlo" "$@"
