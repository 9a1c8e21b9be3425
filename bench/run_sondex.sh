#!/usr/bin/env bash
# Times the whole sondex program on a 100 MB feed, made in a temporary
# directory by repeating the real global feed, converted to every output
# form; beside it `wc -l` on the same file in the same run, the floor of any
# program that reads every line. Peak memory of each run from
# /usr/bin/time -v, and the peak memory of a 1 GB feed to the text form.
#
#     bash bench/run_sondex.sh [sondex binary]     (default build/sondex)
#
# Aims: at least 300 MB/s to the text form; peak RSS at most 32 MB, for
# 1 GB as for 100 MB.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
bin=${1:-$repo/build/sondex}
if [ ! -x "$bin" ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j "$(nproc)" --target sondex >/dev/null
fi
bin=$(realpath "$bin")
feed=$repo/../shared/data/bulletins/feed_global_2026020600.txt
[ -f "$feed" ] || { echo "no feed at $feed" >&2; exit 1; }

tmp=$(mktemp -d /tmp/sondex-bench-XXXXXX)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"
export vokdefault=$tmp/none   # no defaults file of the machine

# Whole copies of the feed up to the size in bytes.
make_feed() {
  local size=$1 out=$2
  : >"$out"
  while [ "$(stat -c %s "$out")" -lt "$size" ]; do cat "$feed" >>"$out"; done
}

# Runs a command under /usr/bin/time -v: sets secs, rss_mb and the
# command's standard output in $tmp/out.
measure() {
  /usr/bin/time -v -o "$tmp/time" "$@" >"$tmp/out" 2>"$tmp/err" </dev/null || {
    cat "$tmp/err" >&2; echo "failed: $*" >&2; exit 1; }
  secs=$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, t, ":"); s = 0;
         for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s}' "$tmp/time")
  rss_mb=$(awk '/Maximum resident set size/ {printf "%.1f", $NF / 1024}' "$tmp/time")
}

row() {  # label, bytes, reports
  awk -v l="$1" -v b="$2" -v r="$3" -v s="$secs" -v m="$rss_mb" 'BEGIN {
    if (s <= 0) s = 0.001;
    printf "%-16s %8.2f %9.1f %12s %10s\n", l, s, b / 1e6 / s,
           r == "-" ? "-" : sprintf("%.0f", r / s), m }'
}

convert() {  # form, input
  rm -f 2026020600.*
  measure "$bin" -pf over -fp "$repo" -ho '#2026020600' -ou "$1" "$2"
  reports=$(sed -n 's/^Reports read: \([0-9]*\),.*/\1/p' "$tmp/out")
}

make_feed 100000000 feed100.txt
bytes=$(stat -c %s feed100.txt)
echo "input: $(awk -v b="$bytes" 'BEGIN {printf "%.1f", b / 1e6}') MB of repeated $(basename "$feed")"
printf "%-16s %8s %9s %12s %10s\n" "" seconds MB/s reports/s "peak MB"
cat feed100.txt >/dev/null   # the file in the page cache for every run
measure wc -l feed100.txt
row "wc -l" "$bytes" -
for form in vok xml cdf unisys; do
  convert "$form" feed100.txt
  row "sondex $form" "$bytes" "$reports"
done

# 1 GB: ten times the 100 MB feed.
for _ in 1 2 3 4 5 6 7 8 9 10; do cat feed100.txt; done >feed1g.txt
rm -f feed100.txt
bytes=$(stat -c %s feed1g.txt)
echo "input: $(awk -v b="$bytes" 'BEGIN {printf "%.1f", b / 1e6}') MB"
measure wc -l feed1g.txt
row "wc -l" "$bytes" -
convert vok feed1g.txt
row "sondex vok" "$bytes" "$reports"
