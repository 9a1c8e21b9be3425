#!/usr/bin/env bash
# Sets sondex up on a Debian machine and shows it at work: installs the
# missing Debian packages, builds the program, installs it (prefix
# /usr/local, or $PREFIX) with its man page, station table, name conventions
# and defaults file, then converts the shipped sample feed on the shipped
# defaults in a working directory ($SONDEX_WORK, else ~/sondex-sample) and
# says where the output file went.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

prefix=${PREFIX:-/usr/local}
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
cmake --build build -j "$(nproc)" --target sondex >/dev/null
$sudo cmake --install build | sed 's/^-- //'

# The installed program finds its defaults through the built-in defaults
# path, whose last directory is /usr/local/vok/etc; another prefix is named
# to it through the environment.
if [ "$prefix" != /usr/local ]; then
  export vokfile="$prefix/vok/etc"
  echo "note: with PREFIX=$prefix, set vokfile=$prefix/vok/etc (or -fp) when running sondex"
fi

work=${SONDEX_WORK:-$HOME/sondex-sample}
mkdir -p "$work"
cd "$work"
cp "$prefix/share/sondex/2026020600.upa" .
echo
echo "\$ cd $work && sondex -pf over 2026020600.upa"
"$prefix/bin/sondex" -pf over 2026020600.upa </dev/null
echo
echo "Output file: $work/2026020600.vok"
head -n 5 2026020600.vok
