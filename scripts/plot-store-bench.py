#!/usr/bin/env python3
"""Plots the store benchmark's CSV (scripts/bench-store.sh) as time against the number of
certificates: the bare enumeration, the floor of a refresh (first fill of a new list, and refill
of a list filled before), Wardkeep's refresh, and the floor program's start-up.

    plot-store-bench.py <CSV file> <PNG file>
"""
import csv
import sys

import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib.ticker import FuncFormatter, LogLocator  # noqa: E402

# CSV column, legend, line style
SERIES = [
    ("enumerate_ms", "(a) enumeration of the Users key", "-"),
    ("floor_fill_ms", "(f) floor of a refresh: new list filled and painted", "-"),
    ("floor_refill_ms", "(f2) floor of a refresh: same list refilled and painted", "--"),
    ("refresh_ms", "(c) Wardkeep's refresh, until painted", "-"),
    ("floor_startup_ms", "floor program's start-up, until listed", "-"),
    ("floor_startup_painted_ms", "floor program's start-up, until painted", "--"),
]


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], newline="") as source:
        rows = [row for row in csv.DictReader(source) if int(row["n"]) > 0]
    if not rows:
        sys.exit(f"{sys.argv[1]}: no store size above 0")
    sizes = [int(row["n"]) for row in rows]
    figure, axes = plt.subplots(figsize=(12, 5.5), dpi=100)
    for column, label, style in SERIES:
        points = [(n, float(row[column])) for n, row in zip(sizes, rows) if row.get(column)]
        if points:
            axes.plot(*zip(*points), style, marker="o", label=label)
    axes.set_xscale("log")
    axes.set_yscale("log")
    axes.set_xticks(sizes)
    axes.set_xticklabels([f"{n:,}" for n in sizes])
    axes.xaxis.set_minor_locator(LogLocator(subs=[]))
    # 1, 2, 5 steps, written out in ms
    axes.yaxis.set_major_locator(LogLocator(subs=[1, 2, 5]))
    axes.yaxis.set_minor_locator(LogLocator(subs=[]))
    axes.yaxis.set_major_formatter(FuncFormatter(lambda value, _: f"{value:,g}"))
    axes.set_xlabel("certificates in the store (N)")
    axes.set_ylabel("time (ms, median)")
    axes.set_title("Listing the certificate store under Wine")
    axes.grid(True, which="major", alpha=0.3)
    axes.legend(fontsize="small", loc="upper left", bbox_to_anchor=(1.01, 1))
    figure.tight_layout()
    figure.savefig(sys.argv[2])


if __name__ == "__main__":
    main()
