#!/usr/bin/env python3
"""Measuring for bench/run, with nothing but the standard library.

  measure.py pairs PAIRS WARMUP LABEL_A COMMAND_A LABEL_B COMMAND_B [STATUS_A]
      Runs A and B alternately (A B A B ...) after WARMUP unmeasured pairs, standard output to
      /dev/null, and prints the medians of each one's CPU time (user + sys), wall time and peak
      RSS, and the medians of the per-pair ratios A/B. Alternating pairs and medians keep a
      machine shared with other work from favouring either side. Each run must exit with status
      0, or A with STATUS_A where given (brisol -diff exits with 1 when something differs).
      Appends one JSON line of figures to $MEASURE_LOG when set.

  measure.py growth BENCHMARK_JSON
      Reads Google Benchmark's JSON output and prints each report-building size's output rate
      and its cost relative to one device.

  measure.py targets PAIRS_LOG BENCHMARK_JSON
      Says which of the performance targets the figures of both meet: the pairs' ratios, the
      instruction ratios bench/run logged ({"instructions": label, "ratio": r, "most": m}) and
      how instructions grow ({"scaling": label, "per_device": [...], "per_extension": [...]}).
"""

import json
import os
import shlex
import statistics
import sys
import time


def run_once(argv, expected=0):
    """Runs one command; returns (cpu seconds, wall seconds, peak RSS in KiB)."""
    devnull = os.open(os.devnull, os.O_WRONLY)
    try:
        start = time.perf_counter()
        # Standard error too: vulkaninfo complains there about the missing display.
        actions = [(os.POSIX_SPAWN_DUP2, devnull, 1), (os.POSIX_SPAWN_DUP2, devnull, 2)]
        pid = os.posix_spawnp(argv[0], argv, os.environ, file_actions=actions)
        _, status, usage = os.wait4(pid, 0)
        wall = time.perf_counter() - start
    finally:
        os.close(devnull)
    code = os.waitstatus_to_exitcode(status)
    if code != expected:
        sys.exit(f"measure.py: {' '.join(argv)} exited with {code}")
    # ru_maxrss is in KiB on Linux.
    return usage.ru_utime + usage.ru_stime, wall, usage.ru_maxrss


def loadavg():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def pairs(count, warmup, label_a, command_a, label_b, command_b, status_a=0):
    argv_a = shlex.split(command_a)
    argv_b = shlex.split(command_b)
    for _ in range(warmup):
        run_once(argv_a, status_a)
        run_once(argv_b)
    load_before = loadavg()
    runs_a = []
    runs_b = []
    for _ in range(count):
        runs_a.append(run_once(argv_a, status_a))
        runs_b.append(run_once(argv_b))
    load_after = loadavg()

    def median_of(runs, field):
        return statistics.median(run[field] for run in runs)

    def ratio_of(field):
        return statistics.median(a[field] / b[field] for a, b in zip(runs_a, runs_b) if b[field] > 0)

    cpu_ratio = ratio_of(0)
    wall_ratio = ratio_of(1)
    rss_difference = statistics.median(a[2] - b[2] for a, b in zip(runs_a, runs_b))
    cpu_ratios = sorted(a[0] / b[0] for a, b in zip(runs_a, runs_b) if b[0] > 0)
    quartiles = statistics.quantiles(cpu_ratios, n=4) if len(cpu_ratios) >= 2 else [cpu_ratio] * 3

    print(f"{label_a} vs {label_b}: {count} pairs after {warmup} warm-up pairs, "
          f"load average {load_before} before, {load_after} after")
    print(f"  CPU time (user+sys), median: {label_a} {median_of(runs_a, 0) * 1000:.1f} ms, "
          f"{label_b} {median_of(runs_b, 0) * 1000:.1f} ms; median per-pair ratio {cpu_ratio:.3f} "
          f"(quartiles {quartiles[0]:.3f} to {quartiles[2]:.3f})")
    print(f"  wall time, median: {label_a} {median_of(runs_a, 1) * 1000:.1f} ms, "
          f"{label_b} {median_of(runs_b, 1) * 1000:.1f} ms; median per-pair ratio {wall_ratio:.3f}")
    print(f"  peak RSS, median: {label_a} {median_of(runs_a, 2) / 1024:.2f} MiB, "
          f"{label_b} {median_of(runs_b, 2) / 1024:.2f} MiB; median per-pair difference "
          f"{rss_difference / 1024:+.2f} MiB (largest: {label_a} "
          f"{max(run[2] for run in runs_a) / 1024:.2f} MiB, {label_b} "
          f"{max(run[2] for run in runs_b) / 1024:.2f} MiB)")
    log = os.environ.get("MEASURE_LOG")
    if log:
        with open(log, "a") as f:
            f.write(json.dumps({"a": label_a, "b": label_b, "cpu_ratio": cpu_ratio,
                                "wall_ratio": wall_ratio, "rss_difference_kib": rss_difference,
                                "wall_a_s": median_of(runs_a, 1),
                                "rss_a_kib": median_of(runs_a, 2),
                                "rss_b_kib": median_of(runs_b, 2)}) + "\n")


def building_results(path):
    """Per device count: (CPU seconds, printed bytes per second, printed bytes, both streams' bytes)."""
    with open(path) as f:
        results = json.load(f)["benchmarks"]
    # With repetitions, the median aggregate stands for each size; without, the one run does.
    rows = [r for r in results if r.get("aggregate_name") == "median"] or \
        [r for r in results if r.get("run_type") == "iteration"]
    building = {}
    for row in rows:
        name = row.get("run_name", row["name"])
        if not name.startswith("report_building/"):
            continue
        devices = int(name.split("/")[1])
        seconds = row["cpu_time"] * {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[row["time_unit"]]
        building[devices] = (seconds, row["bytes_per_second"], row["printed_bytes"],
                             row["both_streams_bytes"])
    if 1 not in building:
        sys.exit("measure.py: no one-device report_building result in " + path)
    return building


def growth(path):
    building = building_results(path)
    one = building[1][0]
    for devices in sorted(building):
        seconds, rate, printed, both = building[devices]
        print(f"  {devices:3d} devices: {seconds * 1e3:7.3f} ms CPU, printed {printed / 1e3:7.1f} kB "
              f"(both streams {both / 1e3:7.1f} kB), {rate / 1e6:6.1f} MB/s of printed output, "
              f"{seconds / one:5.1f} times one device")


def targets(log_path, benchmark_path):
    with open(log_path) as f:
        entries = [json.loads(line) for line in f]
    comparisons = {(c["a"], c["b"]): c for c in entries if "a" in c}
    building = building_results(benchmark_path)

    def line(met, text):
        print(f"  {'met   ' if met else 'MISSED'} {text}")

    floor = comparisons.get(("brisol -a -xml", "floor"))
    if floor:
        line(floor["cpu_ratio"] <= 1.03,
             f"brisol -a -xml CPU time / floor, median of pairs: {floor['cpu_ratio']:.3f} (at most 1.03)")
        extra = (floor["rss_a_kib"] - floor["rss_b_kib"]) / 1024
        line(extra <= 2, f"brisol -a -xml peak RSS over the floor's, medians: {extra:+.2f} MiB "
             "(at most +2 MiB)")
    instructions = comparisons.get(("brisol -a -xml", "floor instructions"))
    if instructions:
        line(instructions["instruction_ratio"] <= 1.02,
             f"brisol -a -xml instructions / floor's (callgrind): "
             f"{instructions['instruction_ratio']:.4f} (at most 1.02)")
    rate = min(row[1] for row in building.values())
    line(rate >= 100e6, f"report building, slowest size: {rate / 1e6:.1f} MB/s of printed output "
         "(at least 100 MB/s)")
    if 64 in building:
        times = building[64][0] / building[1][0]
        line(times <= 70, f"64 devices / 1 device, CPU time: {times:.1f} times (at most 70)")
    for entry in entries:
        if "instructions" in entry:
            line(entry["ratio"] <= entry["most"],
                 f"{entry['instructions']} (callgrind): {entry['ratio']:.4f} "
                 f"(at most {entry['most']})")
        if "scaling" in entry:
            # Linear: what a device or an extension adds stays within a quarter of its least.
            for unit in ("per_device", "per_extension"):
                steps = entry[unit]
                spread = max(steps) / min(steps) if steps and min(steps) > 0 else float("inf")
                line(spread <= 1.25, f"{entry['scaling']}: instructions {unit.replace('_', ' ')} "
                     f"{', '.join(str(s) for s in steps)}: largest / least {spread:.2f} "
                     "(at most 1.25: linear)")
    diff = comparisons.get(("brisol -diff (two 300 kB documents)", "brisol -a"))
    if diff:
        line(diff["wall_a_s"] <= 0.25,
             f"brisol -diff of two device documents, wall time, median: "
             f"{diff['wall_a_s'] * 1000:.1f} ms (at most 250 ms: well under half a second)")
        extra = diff["rss_difference_kib"] / 1024
        line(extra <= 64, f"brisol -diff peak RSS over brisol -a's, median of pairs: "
             f"{extra:+.2f} MiB (at most +64 MiB)")
    peer = comparisons.get(("brisol -a -xml", "vulkaninfo --summary"))
    if peer:
        line(peer["cpu_ratio"] < 1 and peer["wall_ratio"] < 1,
             f"brisol -a -xml / vulkaninfo --summary, medians of pairs: CPU {peer['cpu_ratio']:.3f}, "
             f"wall {peer['wall_ratio']:.3f} (below 1)")


def main(args):
    if len(args) in (7, 8) and args[0] == "pairs":
        pairs(int(args[1]), int(args[2]), args[3], args[4], args[5], args[6],
              int(args[7]) if len(args) == 8 else 0)
    elif len(args) == 2 and args[0] == "growth":
        growth(args[1])
    elif len(args) == 3 and args[0] == "targets":
        targets(args[1], args[2])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
