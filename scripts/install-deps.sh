#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the fuzzers need,
# and only those that are missing; quiet when everything is there.
set -euo pipefail
pkgs=(cmake make g++ libgtest-dev libbenchmark-dev clang-14 libclang-rt-14-dev
      libnetcdf-dev netcdf-bin python3-netcdf4 python3-xarray python3-matplotlib
      libxml2-utils time)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
