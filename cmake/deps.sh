#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, skipping those already present.
# Sourced by ./test.sh and ./run.sh.
tarn_required_packages=(g++ cmake ninja-build pkg-config qt6-base-dev libtomlplusplus-dev libssl-dev
                        libgtest-dev libgmock-dev)
# Independent peers for the interoperability tests; the tests skip with a message without them.
tarn_optional_packages=(python3 python3-impacket tshark)

tarn_missing_packages() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
    done
}

tarn_install_dependencies() {
    local missing optional sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    missing=$(tarn_missing_packages "${tarn_required_packages[@]}")
    optional=$(tarn_missing_packages "${tarn_optional_packages[@]}")
    if [ -n "$missing$optional" ]; then
        export DEBIAN_FRONTEND=noninteractive
        $sudo apt-get update -qq || true
    fi
    if [ -n "$missing" ]; then
        # shellcheck disable=SC2086
        $sudo apt-get install -y -qq --no-install-recommends $missing
    fi
    if [ -n "$optional" ]; then
        # shellcheck disable=SC2086
        $sudo apt-get install -y -qq --no-install-recommends $optional ||
            echo "note: optional test peers could not be installed: $optional" >&2
    fi
}

tarn_build() {
    cmake --preset default >/dev/null
    cmake --build --preset default
}
