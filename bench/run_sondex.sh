#!/usr/bin/env bash
# Times the whole sondex program on a 100 MB feed, made in a temporary
# directory by repeating the real global feed, converted to every output
# form; beside it `wc -l` on the same file in the same run, the floor of any
# program that reads every line. Peak memory of each run from
# /usr/bin/time -v, and the peak memory of a 1 GB feed to the text form.
#
#     bash bench/run_sondex.sh [sondex binary]     (default build/sondex)
#
# The CPU time (user + system) of each run is also given as a multiple of
# the CPU time of `wc -l` on the same file in the same run (the best of
# several runs of each), a figure that travels between machines better than
# MB/s. Aims: the whole conversion at most 10 times `wc -l`, to the text
# form and to CSV alike; peak RSS at most 32 MB, for 1 GB as for 100 MB.
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

# CPU seconds (user + system, to the microsecond) of the best of $1 runs
# of the command that follows.
cpu_best() {
  /usr/bin/python3 - "$@" <<'PY'
import resource, subprocess, sys
runs, cmd = int(sys.argv[1]), sys.argv[2:]
best = None
for _ in range(runs):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL, check=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    t = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    best = t if best is None else min(best, t)
print(f"{best:.4f}")
PY
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

row() {  # label, bytes, parts, cpu seconds
  awk -v l="$1" -v b="$2" -v r="$3" -v s="$secs" -v m="$rss_mb" -v c="$4" -v w="$wc_cpu" 'BEGIN {
    if (s <= 0) s = 0.001;
    printf "%-16s %8.2f %9.1f %12s %10s %9.4f %9.1f\n", l, s, b / 1e6 / s,
           r == "-" ? "-" : sprintf("%.0f", r / s), m, c, (w > 0 ? c / w : 0) }'
}

convert() {  # form, input
  rm -f 2026020600*
  measure "$bin" -pf over -fp "$repo" -ho '#2026020600' -ou "$1" "$2"
  reports=$(sed -n 's/.*parts read: \([0-9]*\),.*/\1/p' "$tmp/err" | head -n 1)
  cpu=$(cpu_best 3 "$bin" -pf over -fp "$repo" -ho '#2026020600' -ou "$1" "$2")
}

make_feed 100000000 feed100.txt
bytes=$(stat -c %s feed100.txt)
echo "input: $(awk -v b="$bytes" 'BEGIN {printf "%.1f", b / 1e6}') MB of repeated $(basename "$feed")"
printf "%-16s %8s %9s %12s %10s %9s %9s\n" "" seconds MB/s parts/s "peak MB" "CPU s" "x wc -l"
cat feed100.txt >/dev/null   # the file in the page cache for every run
measure wc -l feed100.txt
wc_cpu=$(cpu_best 7 wc -l feed100.txt)
row "wc -l" "$bytes" - "$wc_cpu"
for form in vok csv xml cdf unisys cf; do
  convert "$form" feed100.txt
  row "sondex $form" "$bytes" "$reports" "$cpu"
done

# 1 GB: ten times the 100 MB feed.
for _ in 1 2 3 4 5 6 7 8 9 10; do cat feed100.txt; done >feed1g.txt
rm -f feed100.txt
bytes=$(stat -c %s feed1g.txt)
echo "input: $(awk -v b="$bytes" 'BEGIN {printf "%.1f", b / 1e6}') MB"
measure wc -l feed1g.txt
wc_cpu=$(cpu_best 3 wc -l feed1g.txt)
row "wc -l" "$bytes" - "$wc_cpu"
for form in vok csv; do
  convert "$form" feed1g.txt
  row "sondex $form" "$bytes" "$reports" "$cpu"
done
