#!/usr/bin/env bash
# Installs what is missing, builds the tree and runs what the product has so far.
set -euo pipefail
cd "$(dirname "$0")"
source cmake/deps.sh
tarn_install_dependencies
tarn_build
bin=build/default/bin
if [ -x "$bin/ntlab" ]; then
    "$bin/ntlab" start
    "$bin/ntlab" status
    echo "The default lab is running; stop it with: $bin/ntlab stop"
else
    echo "Built into $bin; nothing to run yet beyond the tests (./test.sh)."
fi
