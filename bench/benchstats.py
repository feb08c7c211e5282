"""Medians and spread of interleaved benchmark runs.

A benchmark runs ours and the reference alternately (ours, reference, ours,
...), at least five times each. Each pair gives one ratio ours/reference;
the line reports the median of those ratios and their spread (min-max), so a
single disturbed run neither decides nor hides.

From the shell:  python3 bench/benchstats.py "OURS..." "REFERENCE..."
prints "OURS_MEDIAN REFERENCE_MEDIAN RATIO SPREAD" (SPREAD as min-max).
"""
import statistics
import sys

MIN_RUNS = 5


def pair_ratios(ours, ref):
    if len(ours) != len(ref) or len(ours) < MIN_RUNS:
        raise SystemExit(f"benchstats: {len(ours)} and {len(ref)} runs, need {MIN_RUNS} pairs or more")
    return [o / r for o, r in zip(ours, ref)]


def spread(ratios):
    return f"{min(ratios):.2f}-{max(ratios):.2f}"


def summary(ours, ref):
    """(median ours, median reference, median ratio, spread text)."""
    ratios = pair_ratios(ours, ref)
    return statistics.median(ours), statistics.median(ref), statistics.median(ratios), spread(ratios)


if __name__ == "__main__":
    o, r, ratio, text = summary([float(v) for v in sys.argv[1].split()], [float(v) for v in sys.argv[2].split()])
    print(f"{o} {r} {ratio:.2f} {text}")
