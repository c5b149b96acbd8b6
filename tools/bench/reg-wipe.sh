#!/usr/bin/env bash
# Benchmark: deleting a registry branch of 10 000 sub-keys (100 x 100, three values each) with the
# tool's forced wipe (RegOps::WipeBranch, helper reg_wipe.exe) against `wine reg delete <branch> /f`
# on an identical branch in the same prefix, and the same wipe with its undo export first (as a run
# of the tool does it). Prints the wall-clock seconds of each (median of ROUNDS rounds, the order
# alternating) and the ratios.
#   tools/bench/reg-wipe.sh [build directory]     (ROUNDS=3 by default)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
rounds=${ROUNDS:-3}
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

[ -x "$build/reg_wipe.exe" ] || { echo "build first: make build" >&2; exit 2; }
# A running server makes the start step report failure; the session is usable either way.
bash "$root/tools/wine-prefix" "$WINEPREFIX" start >/dev/null 2>&1 || true
wine cmd /c exit >/dev/null 2>&1 </dev/null || true

work=$(mktemp -d)
undo_log=$WINEPREFIX/drive_c/ProgramData/Quorvel/Log/RegWipeBench
trap 'wine reg delete "HKLM\\SOFTWARE\\QvBench" /f >/dev/null 2>&1 || true; rm -rf "$work" "$undo_log"; bash "$root/tools/wine-prefix" "$WINEPREFIX" stop' EXIT

# One .reg file holding both branches, imported once per round.
python3 - "$work/branches.reg" <<'PY'
import sys
lines = ["Windows Registry Editor Version 5.00", ""]
for name in ("tool", "regdel", "undo"):
    for i in range(100):
        for j in range(100):
            lines.append(f"[HKEY_LOCAL_MACHINE\\SOFTWARE\\QvBench\\{name}\\a{i}\\b{j}]")
            lines.append(f'"Name"="value {i} {j}"')
            lines.append(f'"Count"=dword:{i * 100 + j:08x}')
            lines.append('"Data"=hex:01,02,03,04')
            lines.append("")
with open(sys.argv[1], "w", encoding="utf-16") as f:
    f.write("\r\n".join(lines) + "\r\n")
PY
regfile=$(winepath -w "$work/branches.reg")

now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
count() { wine reg query "HKLM\\SOFTWARE\\QvBench\\$1" /s 2>/dev/null | tr -d '\r' | grep -cE '^HKEY_.*b[0-9]+$' || true; }

tool=() regdel=() inner=() undo=() undo_inner=()
for round in $(seq "$rounds"); do
  wine regedit /s "$regfile" >/dev/null 2>&1
  for name in tool regdel undo; do
    [ "$(count "$name")" -eq 10000 ] || { echo "bad branch $name: $(count "$name") leaf keys" >&2; exit 1; }
  done

  # Alternate which goes first, so neither always meets the server busy with the import.
  if (( round % 2 )); then
    start=$(now)
    inner+=("$(wine "$build/reg_wipe.exe" 'SOFTWARE\QvBench\tool' | tr -d '\r')")
    tool+=("$(echo "$(now) - $start" | bc -l)")
    [ "$(count tool)" -eq 0 ] || { echo "the tool left keys behind" >&2; exit 1; }
    start=$(now)
    wine reg delete 'HKLM\SOFTWARE\QvBench\regdel' /f >/dev/null 2>&1
    regdel+=("$(echo "$(now) - $start" | bc -l)")
    [ "$(count regdel)" -eq 0 ] || { echo "reg delete left keys behind" >&2; exit 1; }
  else
    start=$(now)
    wine reg delete 'HKLM\SOFTWARE\QvBench\regdel' /f >/dev/null 2>&1
    regdel+=("$(echo "$(now) - $start" | bc -l)")
    [ "$(count regdel)" -eq 0 ] || { echo "reg delete left keys behind" >&2; exit 1; }
    start=$(now)
    inner+=("$(wine "$build/reg_wipe.exe" 'SOFTWARE\QvBench\tool' | tr -d '\r')")
    tool+=("$(echo "$(now) - $start" | bc -l)")
    [ "$(count tool)" -eq 0 ] || { echo "the tool left keys behind" >&2; exit 1; }
  fi
  start=$(now)
  undo_inner+=("$(wine "$build/reg_wipe.exe" 'SOFTWARE\QvBench\undo' 64 undo | tr -d '\r')")
  undo+=("$(echo "$(now) - $start" | bc -l)")
  [ "$(count undo)" -eq 0 ] || { echo "the tool left keys behind (with undo)" >&2; exit 1; }
  echo "round $round: tool ${tool[-1]} s (in process ${inner[-1]} ms), with undo ${undo[-1]} s (in process ${undo_inner[-1]} ms), reg delete ${regdel[-1]} s"
done

t=$(printf '%s\n' "${tool[@]}" | median)
r=$(printf '%s\n' "${regdel[@]}" | median)
u=$(printf '%s\n' "${undo[@]}" | median)
ti=$(printf '%s\n' "${inner[@]}" | median)
ui=$(printf '%s\n' "${undo_inner[@]}" | median)
printf 'median seconds: tool %.3f  with undo %.3f  wine reg delete /f %.3f\n' "$t" "$u" "$r"
printf 'ratio tool / reg delete: %.2fx (target <= 1.0x)\n' "$(echo "$t / $r" | bc -l)"
printf 'ratio with undo / without: %.2fx wall, %.2fx in process (target <= 2.0x)\n' "$(echo "$u / $t" | bc -l)" \
  "$(echo "$ui / $ti" | bc -l)"
