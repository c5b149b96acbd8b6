#!/usr/bin/env bash
# Benchmark: removing a tree of 20 000 files in 2 000 folders with the tool's recursive wipe, against
# `wine cmd /c rmdir /s /q` on an identical tree in the same prefix and native `rm -rf` from Linux.
# Prints the wall-clock seconds of each (median of ROUNDS rounds) and the ratios.
#   tools/bench/wipe-tree.sh [build directory]     (ROUNDS=3 by default)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
rounds=${ROUNDS:-3}
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

[ -x "$build/wipe_tree.exe" ] || { echo "build first: make build" >&2; exit 2; }
# A running server makes the start step report failure; the session is usable either way.
bash "$root/tools/wine-prefix" "$WINEPREFIX" start >/dev/null 2>&1 || true
wine cmd /c exit >/dev/null 2>&1 </dev/null || true

bench=$WINEPREFIX/drive_c/qvbench
rm -rf "$bench"
mkdir -p "$bench"
trap 'rm -rf "$bench"; bash "$root/tools/wine-prefix" "$WINEPREFIX" stop' EXIT

# 20 folders of 10 files, each with 99 sub-folders of 10 files: 2 000 folders, 20 000 files.
python3 - "$bench/template" <<'PY'
import os, sys
top = sys.argv[1]
payload = b"x" * 100
def files(folder):
    for k in range(10):
        with open(os.path.join(folder, f"file{k}.dat"), "wb") as f:
            f.write(payload)
os.makedirs(top)
for i in range(20):
    a = os.path.join(top, f"a{i}")
    os.mkdir(a)
    files(a)
    for j in range(99):
        b = os.path.join(a, f"b{j}")
        os.mkdir(b)
        files(b)
PY
[ "$(find "$bench/template" -type f | wc -l)" -eq 20000 ] || { echo "bad template" >&2; exit 1; }
[ "$(find "$bench/template" -mindepth 1 -type d | wc -l)" -eq 2000 ] || { echo "bad template" >&2; exit 1; }

now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

tool=() rmdir=() rmrf=() inner=()
for round in $(seq "$rounds"); do
  for name in tool rmdir rmrf; do cp -a "$bench/template" "$bench/$name"; done
  sync

  start=$(now)
  inner+=("$(wine "$build/wipe_tree.exe" 'C:\qvbench\tool' | tr -d '\r')")
  tool+=("$(echo "$(now) - $start" | bc -l)")
  [ ! -e "$bench/tool" ] || { echo "the tool left $bench/tool behind" >&2; exit 1; }

  start=$(now)
  wine cmd /c rmdir /s /q 'C:\qvbench\rmdir' >/dev/null 2>&1
  rmdir+=("$(echo "$(now) - $start" | bc -l)")
  [ ! -e "$bench/rmdir" ] || { echo "rmdir left $bench/rmdir behind" >&2; exit 1; }

  start=$(now)
  rm -rf "$bench/rmrf"
  rmrf+=("$(echo "$(now) - $start" | bc -l)")
  echo "round $round: tool ${tool[-1]} s (in process ${inner[-1]} ms), rmdir ${rmdir[-1]} s, rm -rf ${rmrf[-1]} s"
done

t=$(printf '%s\n' "${tool[@]}" | median)
r=$(printf '%s\n' "${rmdir[@]}" | median)
n=$(printf '%s\n' "${rmrf[@]}" | median)
printf 'median seconds: tool %.3f  wine rmdir /s /q %.3f  rm -rf %.3f\n' "$t" "$r" "$n"
printf 'ratio tool / wine rmdir: %.2fx (target <= 1.0x)\n' "$(echo "$t / $r" | bc -l)"
printf 'ratio tool / rm -rf:     %.2fx (target <= 3x)\n' "$(echo "$t / $n" | bc -l)"
