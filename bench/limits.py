#!/usr/bin/env python3
"""Measures compiles at the bounds: the worst cases of time and memory that any input can cause.

Run through bench/limits.sh, which builds build/release first. Each case is a generated source
(in build/limits/) compiled once by the optimised toneweld under /usr/bin/time; the table gives
where the compile stopped (the message of the bound it crossed, or "written"), its CPU time and
its peak memory. A benchmark, not a test: nothing here runs in the test pass.
"""
import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
TONEWELD = ROOT / "build" / "release" / "cli" / "toneweld"
OUT = ROOT / "build" / "limits"
LOOP = "]2147483647"  # a loop that only the work bound ends

STOPS = {
    "処理量が上限を超えました": "work",
    "イベント数が上限を超えました": "events or data",
    "演奏時間が上限を超えました": "song length",
}


def track(body, extended=False):
    return ("'{" if extended else "") + "(T1)\r\n" + body + "\r\n"


def cases():
    """(description, source text) of each case; the text is ASCII, so its bytes are code page 932."""
    yield "`[r0]2147483647`", track("[r0" + LOOP)
    yield ("`@RNDS` with its seven values in `[ ]2147483647` (the heaviest command per unit of work)",
           track("[@RNDS1,2,74,10,1,*5,0,0 " + LOOP, extended=True))
    yield "a 100 KB comment in `[ ]2147483647`", track("[ '" + "x" * 100_000 + "\r\n" + LOOP)
    yield "`^1.` 30,000 times in `@REW` in `[ ]2147483647` (the heaviest text per unit of work)", \
        track("c1 [@REW 1." + "^1." * 30_000 + " c1 " + LOOP, extended=True)
    yield "`[[[[c0]255]255]255]255`", track("[[[[c0]255]255]255]255")
    yield "`@EX` with 253 bytes in `[ ]2147483647`", track("[@EX " + ",".join(["1"] * 253) + " " + LOOP, extended=True)
    yield ("two tracks of `[c]2000000` (8,000,000 events out of order, sorted at the end)",
           "(T1) [c]2000000\r\n(T2) [c]2000000\r\n")
    yield ("4,000,000 sweep pattern entries, 3,900,000 queued velocities, 64 titles of 1 MiB (the data "
           "bound) and 7,800,000 events in one song",
           "'{(SETTING)\r\n" + ("TITLE " + "t" * ((1 << 20) - 16) + "\r\n") * 64
           + "(T1) @VS1,1,*4000000 @UL1" + ",1" * 3_899_999 + "\r\n[c]3900000\r\n")
    yield "a 100 MB comment (the source itself)", track("c '" + "x" * 100_000_000)
    yield "10,000,000 empty lines", track("c" + "\r\n" * 10_000_000)


def run(path):
    """(stop, CPU seconds, peak MB) of one compile."""
    result = subprocess.run(["/usr/bin/time", "-f", "%U %S %M", str(TONEWELD), "compile", str(path)],
                            capture_output=True)
    err = result.stderr.decode("utf-8", "replace").strip().splitlines()
    user, system, kb = err[-1].split()
    if result.returncode == 0:
        stop = "— (written)"
    else:
        stop = next((name for text, name in STOPS.items() if text in "\n".join(err)), "error: " + err[0])
    return stop, float(user) + float(system), int(kb) / 1024


def main():
    if not TONEWELD.exists():
        sys.exit(f"{TONEWELD} is missing: run bench/limits.sh")
    OUT.mkdir(parents=True, exist_ok=True)
    print("| source | stops at | CPU time | peak memory |")
    print("|---|---|---|---|")
    for i, (what, text) in enumerate(cases()):
        path = OUT / f"case{i}.mml"
        path.write_bytes(text.encode("ascii"))
        stop, seconds, mb = run(path)
        print(f"| {what} | {stop} | {seconds:.2f} s | {mb:.0f} MB |", flush=True)


if __name__ == "__main__":
    main()
