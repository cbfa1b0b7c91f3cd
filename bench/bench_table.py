#!/usr/bin/env python3
"""Turns lentar_bench's JSON results into the markdown table of docs/performance.md:
each figure, its reference, the ratio and the goal. Times are the fastest of the
repetitions, memory the median."""

import json
import sys

SIZES = ["2MP", "12MP", "24MP"]
KINDS = ["baseline", "progressive"]


def load(path):
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    results = {}
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") not in ("min", "median"):
            continue
        # "import/24MP_baseline/import/manual_time" -> "import/24MP_baseline/import"
        parts = [p for p in b["run_name"].split("/")
                 if p not in ("real_time", "manual_time") and not p.startswith("iterations:")]
        if b.get("error_occurred"):
            sys.exit(f"{b['run_name']}: {b.get('error_message')}")
        key = "/".join(parts)
        if b.get("run_type") == "aggregate":
            key += "@" + b["aggregate_name"]
        results[key] = b
    return data["context"], results


class Results:
    """Times are the fastest repetition; counters (memory, throughput) the median."""

    def __init__(self, raw):
        self.raw = raw

    def time(self, key):
        return ms(self.raw.get(key + "@min") or self.raw[key])

    def counter(self, key, name):
        return (self.raw.get(key + "@median") or self.raw[key])[name]


def ms(b):
    factor = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
    return b["real_time"] * factor


def fmt_ms(v):
    return f"{v:.2f} ms" if v < 10 else f"{v:.1f} ms" if v < 100 else f"{v:.0f} ms"


def fmt_mib(v):
    return f"{v:.1f} MiB"


def row(what, figure, reference, ratio, goal, met):
    mark = "—" if met is None else ("yes" if met else "**no**")
    return f"| {what} | {figure} | {reference} | {ratio:.2f} | {goal} | {mark} |"


def picture_rows(r, lines):
    for size in SIZES:
        for kind in KINDS:
            case = f"import/{size}_{kind}"
            full = r.time(f"{case}/full_decode")
            eighth = r.time(f"{case}/eighth_decode")
            imp = r.time(f"{case}/import")
            label = (f"Import, {r.counter(f'{case}/full_decode', 'megapixels'):.0f} MP {kind} "
                     f"({r.counter(f'{case}/full_decode', 'file_MB'):.1f} MB)")
            lines.append(row(label, fmt_ms(imp), f"⅛-scale decode {fmt_ms(eighth)}",
                             imp / eighth, "≤ 1.15", imp / eighth <= 1.15))
            own = r.time(f"{case}/import_decode")
            lines.append(row(f"{label}, against the full decode", fmt_ms(imp),
                             f"full decode {fmt_ms(full)} (the import's own decode: {fmt_ms(own)})",
                             imp / full, "< 1", imp < full))


def memory_rows(r, lines):
    for size in SIZES:
        for kind in KINDS:
            case = f"memory/{size}_{kind}"
            imp = r.counter(f"{case}/import", "peak_above_idle_MiB")
            eighth = r.counter(f"{case}/eighth", "peak_above_idle_MiB")
            full = r.counter(f"{case}/full", "peak_above_idle_MiB")
            label = f"Import peak memory above idle, {size.replace('MP', ' MP')} {kind}"
            naive = f"(full decode holding the picture: {fmt_mib(full)})"
            if kind == "baseline":
                goal = size == "24MP"
                lines.append(row(label, fmt_mib(imp), f"budget 40 MiB {naive}", imp / 40,
                                 "< 1" if goal else "report", imp < 40 if goal else None))
            else:
                lines.append(row(label, fmt_mib(imp), f"⅛-scale decode {fmt_mib(eighth)} {naive}",
                                 imp / eighth, "report", None))


def output_rows(r, lines):
    save = r.time("save/full_lentar/save")
    save_floor = r.time("save/full_lentar/write_floor")
    lines.append(row("Save of a full lentar, path chosen to confirmation", fmt_ms(save),
                     "the one-second wait of the original save 1000 ms", 1000 / save,
                     "≥ 100 (under 10 ms)", save < 10))
    lines.append(row("Save, against writing its two files alone", fmt_ms(save),
                     f"two flushed atomic writes {fmt_ms(save_floor)}", save / save_floor,
                     "report", None))
    opened = r.time("open/full_lentar/open")
    serialise = r.time("open/full_lentar/serialise")
    lines.append(row("Open of a full lentar, file read to record", fmt_ms(opened),
                     f"save of the same lentar {fmt_ms(save)}", opened / save, "≤ 1",
                     opened <= save))
    lines.append(row("Open, against the save's building and serialising alone", fmt_ms(opened),
                     f"build, serialise and encode {fmt_ms(serialise)}", opened / serialise,
                     "report", None))
    preview = r.time("preview/full_lentar/preview")
    preview_floor = r.time("preview/full_lentar/write_floor")
    render = r.time("preview/full_lentar/render")
    lines.append(row("Preview of a full lentar, libxslt page included", fmt_ms(preview),
                     f"writing its three files alone {fmt_ms(preview_floor)} "
                     f"(libxslt rendering alone: {fmt_ms(render)})",
                     preview / preview_floor, "under 20 ms", preview < 20))


def startup_rows(r, lines):
    ours, ref = r.time("startup/lentar"), r.time("startup/reference")
    lines.append(row("Start-up to the shown main window and back, offscreen", fmt_ms(ours),
                     f"minimal Qt Widgets program {fmt_ms(ref)}", ours / ref, "≤ 1.5",
                     ours / ref <= 1.5))
    ours = r.counter("startup/lentar", "peak_rss_MiB")
    ref = r.counter("startup/reference", "peak_rss_MiB")
    lines.append(row("Start-up peak memory (resident)", fmt_mib(ours),
                     f"minimal Qt Widgets program {fmt_mib(ref)}", ours / ref, "≤ 1.3",
                     ours / ref <= 1.3))


def codec_rows(r, lines):
    megabyte = 1.0  # MiB encoded or hashed per iteration
    for name, ours_label, qt_label in (("base64", "`Base64Encode`", "`QByteArray::toBase64`"),):
        o = megabyte / (r.time(f"codec/{name}/ours") / 1000)
        q = megabyte / (r.time(f"codec/{name}/qt") / 1000)
        lines.append(row(f"{ours_label} throughput on 1 MiB", f"{o:.0f} MiB/s",
                         f"{qt_label} {q:.0f} MiB/s", o / q, "≥ 0.8", o / q >= 0.8))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: bench_table.py results.json")
    _, raw = load(sys.argv[1])
    r = Results(raw)
    lines = [
        "| Measured | Figure | Reference (same run) | Ratio | Goal | Met |",
        "|---|---|---|---|---|---|",
    ]
    # A run limited by --benchmark_filter lacks some groups; their rows are left out.
    for rows in (picture_rows, memory_rows, output_rows, startup_rows, codec_rows):
        part = []
        try:
            rows(r, part)
        except KeyError:
            continue
        lines += part
    print("\n".join(lines))


if __name__ == "__main__":
    main()
