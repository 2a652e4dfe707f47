#!/usr/bin/env bash
# Makes sure the Debian packages the build needs are installed: installs the
# missing ones when run as root, else prints the exact command and fails.
zeq_ensure_packages() {
    local need=(cmake ninja-build g++ pkg-config libgtest-dev libbenchmark-dev zlib1g-dev nettle-dev libdeflate-dev libtiff-dev
                lib3ds-dev libtinyobjloader-dev libdxflib-dev libacl1-dev libattr1-dev python3 python3-ezdxf "$@")
    local missing=() p
    for p in "${need[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq && apt-get install -y -qq --no-install-recommends "${missing[@]}"
    else
        echo "Missing packages. Run as root:" >&2
        echo "  apt-get install -y ${missing[*]}" >&2
        return 1
    fi
}
