"""Turns Google Benchmark's JSON (with median aggregates) into the table of ratios."""
import json
import sys

runs = json.load(open(sys.argv[1]))["benchmarks"]
median = {b["run_name"]: b for b in runs if b.get("aggregate_name") == "median"}


def time(name):
    return median[name]["real_time"] if name in median else float("nan")


rows = []


def row(what, ours, theirs, ratio, target, ok):
    rows.append((what, ours, theirs, ratio, target, "yes" if ok else "NO"))


def paired(name):
    """Library and raw times (ns) and their ratio from a benchmark that alternates the two."""
    b = median[name]
    return b["library_ns"], b["raw_ns"], b["ratio"]


small, raw, ratio = paired("SmallCall_Paired/real_time")
floor = time("SmallCall_Floor/real_time")
row("small call (qelPlatformGetState), us", f"{small/1e3:.2f}", f"raw {raw/1e3:.2f}",
    f"{ratio:.3f}", "<= 1.03", ratio <= 1.03)
row("  against the loopback floor, us", f"{small/1e3:.2f}", f"floor {floor/1e3:.2f}",
    f"{small/floor:.2f}", "-", True)
held, heldRaw, heldRatio = paired("SmallCall_PairedWithHold/real_time")
row("  against raw + the SIGPIPE hold, us", f"{held/1e3:.2f}", f"raw+hold {heldRaw/1e3:.2f}",
    f"{heldRatio:.3f}", "-", True)
row("  the SIGPIPE hold alone, us", f"{time('SigpipeHold')/1e3:.2f}", "-", "-", "-", True)
for size, label in [(1 << 10, "1 KiB"), (1 << 16, "64 KiB"), (1 << 20, "1 MiB"), (1 << 24, "16 MiB")]:
    lib, plain, ratio = paired(f"Report_Paired/{size}/real_time")
    mib = 1e9 * size / 2**20
    # Throughput relative to the raw client is the inverse of the time ratio.
    row(f"report {label}, MiB/s", f"{mib/lib:.0f}", f"raw {mib/plain:.0f}", f"{1/ratio:.3f}",
        ">= 0.90", 1 / ratio >= 0.9)
for threads in (1, 2, 4, 8):
    # Each thread's mean call time; together the threads make `threads` calls in that time.
    lib, plain, ratio = paired(f"Threads_Paired/real_time/threads:{threads}")
    row(f"calls/s, {threads} thread(s)", f"{threads*1e9/lib:.0f}", f"raw {threads*1e9/plain:.0f}",
        f"{1/ratio:.3f}", "-", True)
codecs = sorted(n.split("/")[0] for n in median if n.startswith("Codec_"))
for codec in codecs:
    b = median[codec]
    row(f"{codec[6:]} codec round trip, ns", f"inline {b['inline_ns']:.0f}",
        f"primitive {b['primitive_ns']:.0f}", f"{b['ratio']:.3f}", "< 1", b["ratio"] < 1)
con, rawcon = time("Connect_Library"), time("Connect_Raw")
row("connect + first call, us", f"{con/1e3:.1f}", f"raw {rawcon/1e3:.1f}", f"{con/rawcon:.3f}",
    "-", True)
ours = median["Heap_Library"]["allocs_per_call"]
theirs = median["Heap_Raw"]["allocs_per_call"]
row("heap allocations per small call", f"{ours:.2f}", f"raw {theirs:.2f}", "-", "<= raw",
    ours <= theirs)
peak = median["PeakHeap_Report16MiB/iterations:3"]["peak_over_size"]
row("peak heap of a 16 MiB report / size", f"{peak:.2f}", "-", "-", "<= 3", peak <= 3)

widths = [max(len(str(r[i])) for r in rows + [("what", "library", "compared", "ratio", "target", "met")])
          for i in range(6)]
header = ("what", "library", "compared", "ratio", "target", "met")
for r in [header] + rows:
    print("  ".join(str(c).ljust(w) for c, w in zip(r, widths)))
