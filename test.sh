#!/usr/bin/env bash
# Installs what is missing, builds the whole tree and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
source cmake/deps.sh
tarn_install_dependencies
tarn_build
ctest --preset default "$@"
