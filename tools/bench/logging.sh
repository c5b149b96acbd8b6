#!/usr/bin/env bash
# Logger throughput against raw WriteFile of the same bytes, in the same Wine prefix.
#   tools/bench/logging.sh [records]     (default 100000; needs `make build` first)
# Prints lines per second for each mode, the ratio raw / logger (lower is better), and the cost of
# the cross-process mutex pair that every line takes.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$root/build}
count=${1:-100000}
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

cmake --build "$build" --target log_writer >/dev/null
bash "$root/tools/wine-prefix" "$WINEPREFIX" start
key='HKLM\SOFTWARE\Quorvel\BREL\Logging'
had_limit=$(wine reg query "$key" /v LogMaxSizeKB >/dev/null 2>&1 && echo yes || echo no)
[ "$had_limit" = yes ] && old_limit=$(wine reg query "$key" /v LogMaxSizeKB 2>/dev/null | awk '/LogMaxSizeKB/ {print $3}')
component=QvBench_$$
cleanup() {
  if [ "$had_limit" = yes ]; then
    wine reg add "$key" /v LogMaxSizeKB /t REG_DWORD /d "$((old_limit))" /f >/dev/null 2>&1
  else
    wine reg delete "$key" /v LogMaxSizeKB /f >/dev/null 2>&1
  fi
  rm -rf "$WINEPREFIX/drive_c/ProgramData/Quorvel/Log/${component}"*
  bash "$root/tools/wine-prefix" "$WINEPREFIX" stop
}
trap cleanup EXIT
# One generation for the whole run, so rotation does not enter the figures.
wine reg add "$key" /v LogMaxSizeKB /t REG_DWORD /d 1048576 /f >/dev/null 2>&1

run() { wine "$build/log_writer.exe" "$@" | tr -d '\r'; }
rate() { awk -v mode="$1" '$1 == mode {print $4}'; }

named=$(run bench-logger "$component" "$count")
unnamed=$(run bench-logger "${component}_unnamed" "$count" 0x01)
file=$(awk '$1 == "file" {print $2}' <<<"$named")
raw=$(run bench-raw "$file" "${file%.log}.raw")
mutex=$(run bench-mutex "$count")

logger_rate=$(rate logger <<<"$named")
unnamed_rate=$(rate logger <<<"$unnamed")
raw_rate=$(rate raw <<<"$raw")
mutex_rate=$(rate mutex <<<"$mutex")
printf 'records: %s\n' "$count"
printf 'raw WriteFile per line:          %10.0f lines/s\n' "$raw_rate"
printf 'logger (named mutex, default):   %10.0f lines/s  ratio %.1f\n' "$logger_rate" \
  "$(awk -v r="$raw_rate" -v l="$logger_rate" 'BEGIN {print r / l}')"
printf 'logger (flag 0x01, unnamed):     %10.0f lines/s  ratio %.1f\n' "$unnamed_rate" \
  "$(awk -v r="$raw_rate" -v l="$unnamed_rate" 'BEGIN {print r / l}')"
# Where the time goes: every line waits for and releases the file's named mutex.
printf 'named mutex wait+release alone:  %10.0f pairs/s (%.1f us each)\n' "$mutex_rate" \
  "$(awk -v m="$mutex_rate" 'BEGIN {print 1e6 / m}')"
