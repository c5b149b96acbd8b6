#!/usr/bin/env python3
"""Benchmark of the shipped scripts on reference machines (figures, not a timed test).

1. Clean baseline (nothing installed): a plain silent run, which walks every script's detection and
   removal, against a bare `wine cmd /c exit` started the same way; median of ROUNDS rounds each,
   after one untimed run of each.
2. The whole reference machine: wall time of `--silent --products <all six>` (median of WHOLE_ROUNDS
   fresh copies) and the time each product took, from the tool's log.
3. The plan of the whole reference machine: `--silent --plan --products <all six>` (it changes
   nothing, so one copy serves every round; median of ROUNDS).
4. The ratios with their targets: the clean run against `wine cmd /c exit` (at most 2.5), the whole
   removal against the clean run (at most 4) and the plan against the clean run (at most 2).

    python3 -m tools.bench.family-removal [build directory]     (from the source root; ROUNDS=5, WHOLE_ROUNDS=3 by default)

With OTHER_TOOL=<path to another build's UninstallationTool.exe>, the whole removal is also timed with
that build on fresh copies of its own, alternating with this one, and the ratio printed: how a change
(the undo material, say) moves the whole removal.
"""
import datetime
import os
import pathlib
import re
import statistics
import sys
import tempfile
import time

from tools.refmachine import build as builder
from tools.refmachine import machine as machines
from tools.refmachine import winestart

ROOT = pathlib.Path(__file__).resolve().parents[2]

ALL = ["omnivo", "harbex", "passkeep", "passkeepdata", "quarantine", "logs"]
RECORD = re.compile(r"^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) .*?: (.*)$")


def timed(prefix, *args):
    started = time.monotonic()
    winestart.run(prefix, *args, timeout=900)
    return time.monotonic() - started


def product_times(log):
    """(product id, seconds) per removal: from its "Removing product" record to the next one, the
    last to the log's last record."""
    starts, last = [], None
    for line in log.splitlines():
        match = RECORD.match(line)
        if not match:
            continue
        last = datetime.datetime.strptime(match.group(1), "%Y-%m-%d %H:%M:%S.%f")
        removing = re.search(r"Removing product: (\S+)", match.group(2))
        if removing:
            starts.append((removing.group(1), last))
    ends = [at for _, at in starts[1:]] + [last]
    return [(product, (end - at).total_seconds()) for (product, at), end in zip(starts, ends)]


def main():
    build_dir = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ROOT / "build").resolve()
    tool = build_dir / "UninstallationTool.exe"
    rounds = int(os.environ.get("ROUNDS", "5"))
    with tempfile.TemporaryDirectory(dir=build_dir) as scratch:
        clean = machines.Machine(pathlib.Path(scratch) / "clean", builder.build(build_dir, "baseline", log=lambda *_: None))
        try:
            # One untimed run of each first: the first programs of a fresh session pay its start-up.
            timed(clean.prefix, "cmd", "/c", "exit")
            timed(clean.prefix, tool, "--silent")
            bare, runs = [], []
            for _ in range(rounds):
                bare.append(timed(clean.prefix, "cmd", "/c", "exit"))
                runs.append(timed(clean.prefix, tool, "--silent"))
        finally:
            clean.remove()
        b, r = statistics.median(bare), statistics.median(runs)
        print(f"clean baseline, median of {rounds}: tool --silent {r:.2f} s, wine cmd /c exit {b:.2f} s, "
              f"ratio {r / b:.2f}  (rounds: {' '.join(f'{x:.2f}' for x in runs)} / {' '.join(f'{x:.2f}' for x in bare)})")

        wholes, log = [], ""
        template = builder.build(build_dir, "all", log=lambda *_: None)
        for n in range(int(os.environ.get("WHOLE_ROUNDS", "3"))):
            whole = machines.Machine(pathlib.Path(scratch) / f"whole{n}", template)
            try:
                wholes.append(timed(whole.prefix, tool, "--silent", "--products", ",".join(ALL)))
                log = log or whole.log_text()
            finally:
                whole.remove()
        w = statistics.median(wholes)
        print(f"whole reference machine, median of {len(wholes)}: tool --silent --products {','.join(ALL)} "
              f"{w:.2f} s")
        other = os.environ.get("OTHER_TOOL")
        if other:
            pairs = []
            for n in range(int(os.environ.get("WHOLE_ROUNDS", "3"))):
                times = {}
                for which in ((tool, other) if n % 2 else (other, tool)):
                    copy = machines.Machine(pathlib.Path(scratch) / f"pair{n}", template)
                    try:
                        times[which] = timed(copy.prefix, which, "--silent", "--products", ",".join(ALL))
                    finally:
                        copy.remove()
                pairs.append((times[tool], times[other]))
                print(f"  round {n + 1}: this build {times[tool]:.2f} s, {other} {times[other]:.2f} s")
            t, o = statistics.median(x for x, _ in pairs), statistics.median(y for _, y in pairs)
            print(f"whole removal, this build / OTHER_TOOL: {t:.2f} / {o:.2f} s = {t / o:.2f}")
        for product, took in product_times(log):
            print(f"  {product:<13} {took:6.2f} s")
        planned = machines.Machine(pathlib.Path(scratch) / "plan", template)
        try:
            plans = [timed(planned.prefix, tool, "--silent", "--plan", "--products", ",".join(ALL))
                     for _ in range(rounds)]
        finally:
            planned.remove()
        p = statistics.median(plans)
        print(f"plan of the whole reference machine, median of {rounds}: {p:.2f} s")
        for name, ratio, target in (("clean baseline / wine cmd /c exit", r / b, 2.5),
                                    ("whole removal / clean baseline", w / r, 4.0),
                                    ("plan / clean baseline", p / r, 2.0)):
            print(f"ratio {name}: {ratio:.2f} (target at most {target}: {'met' if ratio <= target else 'missed'})")


if __name__ == "__main__":
    main()
