#!/usr/bin/env python3
"""Whole-process benchmark of toneweld beside abc2midi and csvmidi, on the same notes.

Run through bench/peers.sh, which installs the tools and builds build/release first.

Sources (in build/bench/): the tune is eighth notes up and down the C major scale from middle C
and an eighth rest, 16 per pass, repeated to N notes (rests counted). For N = 10^3 .. 10^6
toneweld compiles it written flat (16 to a line), through a loop (the 16-note body and a loop
count, then the remainder flat) and cut into two tracks that play at once (so that the writer
must sort the events); abc2midi compiles the same tune as an ABC tune (4/4, two bars to a line)
at 8,000 notes; csvmidi assembles the same notes from a midicsv event list at 100,000 notes.
Every output is parsed and checked against the tune before anything is timed.

Times are wall-clock medians of whole-process runs (hyperfine -N when installed), with the mean
CPU time (user + system) beside them; the commands of one comparison run in turn, over several
rounds, so that they see the same load. Peak memory is the maximum resident set size from
/usr/bin/time -f %M.
"""
import argparse
import datetime
import json
import os
import platform
import resource
import shlex
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
TONEWELD = ROOT / "build" / "release" / "cli" / "toneweld"
GBENCH = ROOT / "build" / "release" / "bench" / "compile_bench"
OUT = ROOT / "build" / "bench"

SIZES = [10**3, 10**4, 10**5, 10**6]
ABC_NOTES = 8_000
CSV_NOTES = 100_000

# One pass of the tune; None is the rest.
KEYS = [60, 62, 64, 65, 67, 69, 71, 72, 71, 69, 67, 65, 64, 62, 60, None]
MML = ["c", "d", "e", "f", "g", "a", "b", "<c>", "b", "a", "g", "f", "e", "d", "c", "r"]
ABC = ["C", "D", "E", "F", "G", "A", "B", "c", "B", "A", "G", "F", "E", "D", "C", "z"]
TIMEBASE = 48  # toneweld's ticks per quarter note
EIGHTH = TIMEBASE // 2

# Goals: toneweld in at most this share of a peer's time; a million notes within these bounds.
GOAL_RATIO = 0.5
GOAL_MILLION_MS = 500
GOAL_MILLION_MB = 100


# ---- sources ----------------------------------------------------------------------------------

def mml_flat(n):
    full, rest = divmod(n, 16)
    text = "(T1) l8 o4\r\n" + (" ".join(MML) + "\r\n") * full
    return text + (" ".join(MML[:rest]) + "\r\n" if rest else "")


def mml_looped(n):
    full, rest = divmod(n, 16)
    text = "(T1) l8 o4\r\n"
    if full:
        text += "[" + " ".join(MML) + "]" + str(full) + "\r\n"
    return text + (" ".join(MML[:rest]) + "\r\n" if rest else "")


def mml_two_tracks(n):
    """The tune cut in two halves that play at once, on channels 1 and 2: the events of the two
    tracks interleave in time, so the writer has to sort them."""
    first = n // 2
    track2 = mml_flat(n - first).replace("(T1)", "(T2)", 1)
    return mml_flat(first) + track2


def abc_tune(n):
    full, rest = divmod(n, 16)
    text = f"X:1\nT:Scale of {n} eighth notes\nM:4/4\nL:1/8\nQ:1/4=120\nK:C\n"
    text += ("".join(ABC[:8]) + "|" + "".join(ABC[8:]) + "|\n") * full
    if rest:
        notes = ABC[:rest]
        text += "".join(notes[:8]) + "|" + ("".join(notes[8:]) + "|" if rest > 8 else "") + "\n"
    return text


def csv_events(n):
    lines = [f"0, 0, Header, 0, 1, {TIMEBASE}", "1, 0, Start_track"]
    for i in range(n):
        key = KEYS[i % 16]
        if key is not None:
            t = i * EIGHTH
            lines.append(f"1, {t}, Note_on_c, 0, {key}, 127")
            lines.append(f"1, {t + EIGHTH}, Note_off_c, 0, {key}, 0")
    lines += [f"1, {n * EIGHTH}, End_track", "0, 0, End_of_file"]
    return "\n".join(lines) + "\n"


def write(path, text):
    """Writes text unless the file already holds it (saves rewriting megabytes each run)."""
    data = text.encode("ascii")
    if not path.exists() or path.read_bytes() != data:
        path.write_bytes(data)
    return path


# ---- checking the outputs ---------------------------------------------------------------------

def read_varlen(data, pos):
    """A variable-length quantity at pos: (value, position after it)."""
    value = 0
    while True:
        b = data[pos]
        pos += 1
        value = (value << 7) | (b & 0x7F)
        if b < 0x80:
            return value, pos


def read_note_ons(path):
    """(division, sorted list of (tick, key)) of the note-ons with a velocity in a MIDI file."""
    data = path.read_bytes()
    if data[:4] != b"MThd":
        raise ValueError(f"{path}: not a MIDI file")
    length = int.from_bytes(data[4:8], "big")
    _, _, division = struct.unpack(">HHH", data[8:14])
    notes = []
    pos = 8 + length
    while pos + 8 <= len(data):
        kind, size = data[pos:pos + 4], int.from_bytes(data[pos + 4:pos + 8], "big")
        pos += 8
        end = pos + size
        if kind == b"MTrk":
            tick, status = 0, 0
            while pos < end:
                delta, pos = read_varlen(data, pos)
                tick += delta
                if data[pos] & 0x80:
                    status = data[pos]
                    pos += 1
                if status == 0xFF or status in (0xF0, 0xF7):
                    if status == 0xFF:
                        pos += 1  # meta type
                    count, pos = read_varlen(data, pos)
                    pos += count
                    status = 0  # running status ends here
                elif status & 0xF0 in (0xC0, 0xD0):
                    pos += 1
                else:
                    if status & 0xF0 == 0x90 and data[pos + 1] != 0:
                        notes.append((tick, data[pos]))
                    pos += 2
        pos = end
    notes.sort()
    return division, notes


def check_two_tracks(path, n):
    """Raises unless the file sounds both halves of the tune."""
    _, notes = read_note_ons(path)
    first = n // 2
    expected = sorted([(i * EIGHTH, KEYS[i % 16]) for i in range(first) if KEYS[i % 16] is not None] +
                      [(i * EIGHTH, KEYS[i % 16]) for i in range(n - first) if KEYS[i % 16] is not None])
    if notes != expected:
        raise ValueError(f"{path.name}: the notes of the two tracks differ from the tune's")


def check_tune(path, n):
    """Raises unless the file sounds the tune's notes: same keys, onsets an eighth apart."""
    division, notes = read_note_ons(path)
    expected = [(i, KEYS[i % 16]) for i in range(n) if KEYS[i % 16] is not None]
    if len(notes) != len(expected):
        raise ValueError(f"{path.name}: {len(notes)} notes, expected {len(expected)}")
    for (tick, key), (i, want) in zip(notes, expected):
        # abc2midi starts its notes a tick late: allow a hundredth of a beat.
        if key != want or abs(tick / division - i / 2) > 0.01:
            raise ValueError(f"{path.name}: note {i} is key {key} at tick {tick}, expected key {want} at beat {i / 2}")
    return len(notes)


# ---- measuring --------------------------------------------------------------------------------

def run_quietly(cmd):
    result = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if result.returncode != 0:
        raise RuntimeError(f"{shlex.join(cmd)} failed ({result.returncode}):\n{result.stdout.decode(errors='replace')}")
    return result.stdout.decode(errors="replace")


def time_group(cmds, runs, warmup):
    """Wall times (s) of each command, and CPU times (user + system, s)."""
    if shutil.which("hyperfine"):
        with tempfile.TemporaryDirectory() as tmp:
            report = Path(tmp) / "times.json"
            # Its warnings about outliers on a loaded machine are left out; the medians allow for them.
            run_quietly(["hyperfine", "-N", "--style", "none", "--warmup", str(warmup), "--runs", str(runs),
                         "--export-json", str(report)] + [shlex.join(c) for c in cmds])
            results = json.loads(report.read_text())["results"]
        return [(r["times"], [r["user"] + r["system"]] * len(r["times"])) for r in results]
    measured = []
    for cmd in cmds:
        for _ in range(warmup):
            run_quietly(cmd)
        walls, cpus = [], []
        for _ in range(runs):
            before = resource.getrusage(resource.RUSAGE_CHILDREN)
            start = time.perf_counter()
            subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
            walls.append(time.perf_counter() - start)
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            cpus.append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
        measured.append((walls, cpus))
    return measured


class Timings:
    """Pools the runs of a set of commands over the rounds."""

    def __init__(self):
        self.walls, self.cpus = {}, {}

    def add(self, names, cmds, runs, warmup):
        for name, (walls, cpus) in zip(names, time_group(cmds, runs, warmup)):
            self.walls.setdefault(name, []).extend(walls)
            self.cpus.setdefault(name, []).extend(cpus)

    def ms(self, name):
        return statistics.median(self.walls[name]) * 1000

    def cpu_ms(self, name):
        return statistics.mean(self.cpus[name]) * 1000

    def runs(self, name):
        return len(self.walls[name])


def peak_mb(cmd, repeat=3):
    """Median over a few runs of the maximum resident set size, in MB (10^6 bytes)."""
    kbs = []
    for _ in range(repeat):
        result = subprocess.run(["/usr/bin/time", "-f", "%M"] + cmd, stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, check=True)
        kbs.append(int(result.stderr.decode().strip().splitlines()[-1]))
    return statistics.median(kbs) * 1024 / 1e6


# ---- report -----------------------------------------------------------------------------------

def machine(binary):
    cpu = "unknown"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
    mem_kb = 0
    for line in Path("/proc/meminfo").read_text().splitlines():
        if line.startswith("MemTotal:"):
            mem_kb = int(line.split()[1])

    def version(pkg):
        r = subprocess.run(["dpkg-query", "-W", "-f=${Version}", pkg], capture_output=True, text=True)
        return r.stdout.strip() or "?"

    return {
        "date": datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC"),
        "cpus": os.cpu_count(),
        "cpu": cpu,
        "memory_gib": round(mem_kb / 1024 / 1024, 1),
        "system": f"{platform.system()} {platform.release()}",
        "toneweld": run_quietly([str(binary), "--version"]).strip(),
        "abcmidi": version("abcmidi"),
        "midicsv": version("midicsv"),
        "timer": subprocess.run(["hyperfine", "--version"], capture_output=True, text=True).stdout.strip()
        if shutil.which("hyperfine") else "python perf_counter",
    }


def verdict(ok):
    return "met" if ok else "MISSED"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rounds", type=int, default=3, help="rounds of alternating runs (default 3)")
    parser.add_argument("--quick", action="store_true", help="one round, a third of the runs")
    parser.add_argument("--gbench", action="store_true", help="then run the in-process Google Benchmark program")
    args = parser.parse_args()
    rounds = 1 if args.quick else max(1, args.rounds)
    scale = 3 if args.quick else 1

    def runs(n):  # runs per round: enough for a stable median, a few seconds per size
        return max(3, (30 if n <= 10**4 else 12 if n <= 10**5 else 4) // scale)

    if not TONEWELD.exists():
        sys.exit(f"{TONEWELD} is missing: run bash bench/peers.sh")
    OUT.mkdir(parents=True, exist_ok=True)
    # A copy is timed, so that a rebuild of build/release during the run cannot get in the way.
    binary = OUT / "toneweld"
    shutil.copy2(TONEWELD, binary)
    info = machine(binary)
    load_before = os.getloadavg()

    # Sources.
    flat = {n: write(OUT / f"flat{n}.mml", mml_flat(n)) for n in [1] + SIZES + [ABC_NOTES]}
    looped = {n: write(OUT / f"looped{n}.mml", mml_looped(n)) for n in SIZES}
    two = {n: write(OUT / f"two{n}.mml", mml_two_tracks(n)) for n in SIZES}
    abc = write(OUT / f"tune{ABC_NOTES}.abc", abc_tune(ABC_NOTES))
    csv = write(OUT / f"events{CSV_NOTES}.csv", csv_events(CSV_NOTES))
    abc_mid, csv_mid = OUT / f"tune{ABC_NOTES}.mid", OUT / f"events{CSV_NOTES}.mid"

    def tw(src):
        return [str(binary), "compile", str(src)]

    abc_cmd = ["abc2midi", str(abc), "-o", str(abc_mid)]
    csv_cmd = ["csvmidi", str(csv), str(csv_mid)]

    # Outputs first: every measured run must produce the tune.
    for n in [1] + SIZES + [ABC_NOTES]:
        run_quietly(tw(flat[n]))
        check_tune(flat[n].with_suffix(".mid"), n)
    for n in SIZES:
        run_quietly(tw(looped[n]))
        if looped[n].with_suffix(".mid").read_bytes() != flat[n].with_suffix(".mid").read_bytes():
            sys.exit(f"looped{n}.mid differs from flat{n}.mid")
        run_quietly(tw(two[n]))
        check_two_tracks(two[n].with_suffix(".mid"), n)
    log = run_quietly(abc_cmd)
    if "error" in log.lower() or "warning" in log.lower():
        sys.exit(f"abc2midi complained about {abc.name}:\n{log}")
    notes_abc = check_tune(abc_mid, ABC_NOTES)
    run_quietly(csv_cmd)
    notes_csv = check_tune(csv_mid, CSV_NOTES)
    csv_identical = csv_mid.read_bytes() == flat[CSV_NOTES].with_suffix(".mid").read_bytes()
    print(f"outputs checked: every file sounds the tune's notes; looped = flat byte for byte; two tracks right; "
          f"abc2midi {notes_abc:,} notes, csvmidi {notes_csv:,} notes"
          + (" (its file is byte-identical to toneweld's)" if csv_identical else ""))

    # Times.
    t = Timings()
    for r in range(rounds):
        print(f"round {r + 1} of {rounds} ...", flush=True)
        t.add(["abc:toneweld", "abc:abc2midi"], [tw(flat[ABC_NOTES]), abc_cmd], runs(ABC_NOTES), 3)
        t.add(["csv:toneweld", "csv:csvmidi"], [tw(flat[CSV_NOTES]), csv_cmd], runs(CSV_NOTES), 2)
        # The one-note source (the start-up) runs with the smallest size.
        for n in SIZES:
            names, cmds = [f"flat{n}", f"looped{n}", f"two{n}"], [tw(flat[n]), tw(looped[n]), tw(two[n])]
            if n == SIZES[0]:
                names, cmds = ["flat1"] + names, [tw(flat[1])] + cmds
            t.add(names, cmds, runs(n), 2 if n < 10**6 else 1)

    # Memory.
    mb = {f"flat{n}": peak_mb(tw(flat[n])) for n in [1] + SIZES}
    mb.update({f"looped{n}": peak_mb(tw(looped[n])) for n in SIZES})
    mb.update({f"two{n}": peak_mb(tw(two[n])) for n in SIZES})
    mb["abc:toneweld"], mb["abc:abc2midi"] = peak_mb(tw(flat[ABC_NOTES])), peak_mb(abc_cmd)
    mb["csv:toneweld"], mb["csv:csvmidi"] = mb[f"flat{CSV_NOTES}"], peak_mb(csv_cmd)
    load_after = os.getloadavg()

    # Report (Markdown, ready for the README).
    print()
    print(f"{info['date']}; {info['cpus']} CPUs, {info['cpu']}, {info['memory_gib']} GiB; {info['system']}; "
          f"{info['toneweld']}, abcmidi {info['abcmidi']}, midicsv {info['midicsv']}; timer {info['timer']}")
    print(f"load average (1 min) {load_before[0]:.2f} before, {load_after[0]:.2f} after; "
          f"{rounds} round(s), medians of {t.runs(f'flat{SIZES[0]}')} to {t.runs(f'flat{SIZES[-1]}')} runs per figure")
    print()
    # The last column leaves out the start-up (a one-note source), so that it shows the growth;
    # it is taken from the CPU time, which a loaded machine disturbs less than the wall clock.
    start, start_cpu = t.ms("flat1"), t.cpu_ms("flat1")
    print("| notes | flat ms | looped ms | two tracks ms | flat CPU ms | peak MB flat / looped / two tracks "
          "| ns/note | CPU ns/note after start-up |")
    print("|---:|---:|---:|---:|---:|---:|---:|---:|")
    print(f"| 1 (start-up) | {start:.1f} | | | {start_cpu:.1f} | {mb['flat1']:.1f} | | |")
    for n in SIZES:
        f = t.ms(f"flat{n}")
        print(f"| {n:,} | {f:.1f} | {t.ms(f'looped{n}'):.1f} | {t.ms(f'two{n}'):.1f} | {t.cpu_ms(f'flat{n}'):.1f} | "
              f"{mb[f'flat{n}']:.1f} / {mb[f'looped{n}']:.1f} / {mb[f'two{n}']:.1f} | {f * 1e6 / n:,.0f} | "
              f"{(t.cpu_ms(f'flat{n}') - start_cpu) * 1e6 / n:,.0f} |")
    print()
    print("| same notes | peer | peer ms | toneweld ms | ratio toneweld/peer | peer CPU ms | toneweld CPU ms | peer MB | toneweld MB |")
    print("|---|---|---:|---:|---:|---:|---:|---:|---:|")
    ratios, cpu_ratios = {}, {}
    for key, peer, n in (("abc", "abc2midi", ABC_NOTES), ("csv", "csvmidi", CSV_NOTES)):
        p, w = t.ms(f"{key}:{peer}"), t.ms(f"{key}:toneweld")
        ratios[peer] = w / p
        cpu_ratios[peer] = t.cpu_ms(f"{key}:toneweld") / t.cpu_ms(f"{key}:{peer}")
        print(f"| {n:,} | {peer} | {p:.1f} | {w:.1f} | **{w / p:.2f}** | {t.cpu_ms(f'{key}:{peer}'):.1f} | "
              f"{t.cpu_ms(f'{key}:toneweld'):.1f} | {mb[f'{key}:{peer}']:.1f} | {mb[f'{key}:toneweld']:.1f} |")
    print()
    million = max(t.ms(f"{kind}{SIZES[-1]}") for kind in ("flat", "looped", "two"))
    million_mb = max(mb[f"{kind}{SIZES[-1]}"] for kind in ("flat", "looped", "two"))
    for peer in ratios:
        print(f"goal toneweld <= {GOAL_RATIO} x {peer}: {ratios[peer]:.2f} (in CPU time {cpu_ratios[peer]:.2f}), "
              f"{verdict(ratios[peer] <= GOAL_RATIO)}")
    print(f"goal 10^6 notes < {GOAL_MILLION_MS} ms and < {GOAL_MILLION_MB} MB: {million:.0f} ms, {million_mb:.1f} MB, "
          f"{verdict(million < GOAL_MILLION_MS and million_mb < GOAL_MILLION_MB)}")

    results = {"machine": info, "load_before": load_before, "load_after": load_after, "rounds": rounds,
               "median_ms": {k: t.ms(k) for k in t.walls}, "cpu_ms": {k: t.cpu_ms(k) for k in t.walls},
               "peak_mb": mb, "ratios": ratios, "cpu_ratios": cpu_ratios}
    (OUT / "results.json").write_text(json.dumps(results, indent=1) + "\n")
    print(f"figures saved in {OUT / 'results.json'}")

    if args.gbench:
        print("\nin-process compile times (Google Benchmark):", flush=True)
        subprocess.run([str(GBENCH)], check=True)


if __name__ == "__main__":
    main()
