#!/usr/bin/env bash
# bench.sh [filter]: builds the benchmarks (RelWithDebInfo, -DRT_BENCH=ON, in build-bench) and runs
# every bench/bench_* binary, then prints one table: case, reference, ratio, spread, goal, verdict.
#
# Naming convention for authors of bench/*.cpp (Google Benchmark names):
#   BM_X             a case;
#   BM_X_ref_Name    a reference for BM_X in the same binary (any number; each pair is one row,
#                    ratio = case time / reference time, median real time over the rounds; the
#                    spread column gives the lowest and highest ratio of the rounds taken in turn).
#   Pairs named otherwise, and the goals of pairs, are listed in PAIRS below; goals of counters
#   (lateness, gaps, shares) in COUNTERS. A case with no reference is printed with its time, and
#   with its counters ending in _share as percentages.
# A listed pair or counter that gave no result (the benchmark failed or was filtered out) is printed
# as such; "ok" stands only where the goal was met in this run.
# Rounds are interleaved: each binary runs its benchmarks in random order, REPS times over
# (--benchmark_enable_random_interleaving), so that a case and its references meet the same load.
# A benchmark that fixes its own repetitions (long real-time runs) runs that many.
#
# Environment: REPS (default 10), MIN_TIME (seconds per round, default 0.05), RT_AUDIO_SECONDS
# (the device-gap run per buffer setting, default 5), RT_LATENCY_PRESSES (key presses per buffer
# setting in the latency run, default 20), JOBS (build jobs, default 4).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
filter=${1:-}
reps=${REPS:-10}
min_time=${MIN_TIME:-0.05}
out=$root/build-bench/bench-results
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR=$(mktemp -d) && export XDG_RUNTIME_DIR
fi

# binary|case|reference|goal (goal: the largest acceptable ratio; "-" for none). The mixer's
# goal of a quarter of memcpy's bandwidth on the same bytes is a time ratio of at most 4.
PAIRS='
mixer|BM_WriteTo_Pitch1|BM_WriteTo_Pitch1_ref_Memcpy|4.0
mixer|BM_WriteTo_Pitch1|BM_WriteTo_Pitch1_ref_Sse2AddSaturate|-
mixer|BM_WriteTo_Pitch1|BM_WriteTo_Pitch1_ref_SDLMixAudioFormat|-
mixer|BM_WriteTo_Pitch1|BM_WriteTo_Pitch1_ref_ScalarAddSaturate|-
config|BM_ParseDefaultsAndUser|BM_ParseDefaultsAndUser_ref_FreadViews|10.0
config|BM_ParseDefaultsAndUser|BM_ReadAndSplitLines|-
config|BM_ParseDemoDefaults|BM_ParseDemoDefaults_ref_FreadViews|10.0
config|BM_ParseDemoRepeated|BM_ParseDemoRepeated_ref_FreadViews|10.0
image_formats|BM_GifPixImage|BM_GifSlurp|1.2
image_formats|BM_JpegPixImage|BM_JpegLibjpegBgr|-
image_formats|BM_TiffPixImage|BM_TiffReadRGBAImage|-
image|BM_SkinLoad|BM_SkinLoad_LibpngSimplified|1.1
image|BM_PageLoad|BM_PageLoad_LibpngRows|-
image|BM_AlphaDraw|BM_AlphaDraw_QPainterPremul|1.5
image|BM_AlphaDraw|BM_AlphaDraw_QPainterStraight|-
gdi|BM_BitBlt_ColourToColour|BM_BitBlt_ColourToColour_Memcpy|-
gdi|BM_BitBlt_ColourToColour|BM_BitBlt_ColourToColour_QPainter|-
gdi|BM_BitBlt_ColourToSection24|BM_BitBlt_ColourToSection24_QPainter|-
gdi|BM_BitBlt_Section24ToColour|BM_BitBlt_Section24ToColour_QPainter|-
gdi|BM_SetDIBitsToDevice24|BM_SetDIBitsToDevice24_QPainter|-
gdi|BM_StretchBlt_HalftoneHalf|BM_StretchBlt_HalftoneHalf_QPainter|-
gdi|BM_TextOut_Label|BM_TextOut_Label_QPainter|-
gdi|BM_TransparentBlt_Keyed|BM_TransparentBlt_Keyed_Memcpy|-
scene|BM_UnforcedTick|BM_ForcedTick|-
'
# binary|case|counter|goal ("<=x" or ">=x" or "-"); a counter ending in _share prints as percent.
# A key press reaches the output within the two buffers in flight, plus 5 ms for reading the
# output position off the disk driver's file.
COUNTERS='
midi_timer|BM_PlayerLateness|late_p99_ms|<=1.0
midi_timer|BM_PlayerLateness|late_max_ms|<=3.0
midi_timer|BM_PlayerLateness_OrdinaryUser|late_p99_ms|<=1.0
midi_timer|BM_PlayerLateness_OrdinaryUser|late_max_ms|<=3.0
mixer|BM_RenderBuffer_GrooveRiffFade|period_share|-
audio_buffer|BM_DeviceGaps/20|gaps|<=0
latency|BM_KeyPressToFirstSample/20|press_to_sample_ms|<=45
latency|BM_KeyPressToFirstSample/20|press_to_sample_max_ms|-
latency|BM_KeyPressToFirstSample/20|noteon_after_sound_ms|-
latency|BM_KeyPressToFirstSample/120|press_to_sample_ms|<=245
render|BM_RenderThreeMinutePerformance|x_realtime|>=100
audio_buffer|BM_DeviceGaps/15|gaps|-
audio_buffer|BM_DeviceGaps/10|gaps|-
audio_buffer|BM_DeviceGaps/8|gaps|-
audio_buffer|BM_DeviceGaps/6|gaps|-
'

cmake -S "$root" -B "$root/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRT_BENCH=ON -DRT_TESTS=OFF >/dev/null
targets=()
for src in "$root"/bench/*.cpp; do
  targets+=("bench_$(basename "$src" .cpp)")
done
cmake --build "$root/build-bench" -j"${JOBS:-4}" --target "${targets[@]}" >/dev/null

mkdir -p "$out"
rm -f "$out"/*.json
for bin in "$root"/build-bench/bench/bench_*; do
  [ -x "$bin" ] && [ -f "$bin" ] || continue
  name=$(basename "$bin")
  name=${name#bench_}
  echo "running $name" >&2
  args=(--benchmark_repetitions="$reps" --benchmark_enable_random_interleaving=true
        --benchmark_min_time="$min_time" --benchmark_format=json --benchmark_out_format=json
        --benchmark_out="$out/$name.json")
  [ -n "$filter" ] && args+=(--benchmark_filter="$filter")
  "$bin" "${args[@]}" >/dev/null 2>"$out/$name.log" || echo "  $name failed: see $out/$name.log" >&2
done

FILTER=$filter PAIRS=$PAIRS COUNTERS=$COUNTERS python3 - "$out" <<'EOF'
import glob, json, os, re, sys

out = sys.argv[1]
runs = {}  # binary -> name -> {"time": ns, "counters": {...}}
skip = {"real_time", "cpu_time", "iterations", "repetitions", "repetition_index", "threads", "time_unit",
        "name", "run_name", "run_type", "aggregate_name", "aggregate_unit", "family_index",
        "per_family_instance_index", "error_occurred", "error_message", "label"}
scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}
for path in sorted(glob.glob(os.path.join(out, "*.json"))):
    binary = os.path.basename(path)[:-5]
    try:
        data = json.load(open(path))
    except (OSError, ValueError):
        continue
    table = {}
    for b in data.get("benchmarks", []):
        name = b.get("run_name", b["name"])
        # The median of several rounds, else the single round.
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        if b.get("run_type") == "iteration" and name in table and table[name]["median"]:
            time = b["real_time"] * scale.get(b.get("time_unit", "ns"), 1)
            table[name]["rounds"][b.get("repetition_index", 0)] = time
            continue
        if b.get("error_occurred"):
            continue
        name = re.sub(r"/(iterations|repeats|manual_time|real_time|min_time)[^/]*", "", name)
        time = b["real_time"] * scale.get(b.get("time_unit", "ns"), 1)
        entry = {"time": time, "label": b.get("label", ""),
                 "counters": {k: v for k, v in b.items() if k not in skip and isinstance(v, (int, float))},
                 "median": b.get("run_type") == "aggregate", "rounds": {}}
        if name in table:
            entry["rounds"] = table[name]["rounds"]
            entry["label"] = entry["label"] or table[name]["label"]
        if b.get("run_type") == "iteration":
            entry["rounds"][b.get("repetition_index", 0)] = time
        if entry["median"] or name not in table:
            table[name] = entry
    runs[binary] = table

def fmt_time(ns):
    for unit, f in (("s", 1e9), ("ms", 1e6), ("us", 1e3)):
        if ns >= f:
            return "%.3g %s" % (ns / f, unit)
    return "%.3g ns" % ns

def named(binary, case, entry):
    """The case as the table names it, with the label its benchmark gave (an instruction set)."""
    label = entry.get("label") if entry else ""
    return binary + ":" + case + (" [" + label + "]" if label else "")

def spread(a, b):
    """The lowest and highest ratio of the rounds of a and b taken in turn."""
    both = sorted(set(a["rounds"]) & set(b["rounds"]))
    ratios = [a["rounds"][i] / b["rounds"][i] for i in both if b["rounds"][i] > 0]
    return "%.2f-%.2f" % (min(ratios), max(ratios)) if len(ratios) > 1 else "-"

filtered = bool(os.environ.get("FILTER"))
rows = []
paired = set()
for line in os.environ["PAIRS"].strip().splitlines():
    binary, case, ref, goal = line.split("|")
    t = runs.get(binary, {})
    shownGoal = "-" if goal == "-" else "<=" + goal
    # A case with arguments (BM_X/10/1) meets the reference with the same ones.
    found = False
    for name in sorted(t):
        args = name[len(case):]
        if not name.startswith(case) or (args and not args.startswith("/")) or ref + args not in t:
            continue
        ratio = t[name]["time"] / t[ref + args]["time"]
        verdict = "-" if goal == "-" else ("ok" if ratio <= float(goal) else "MISSED")
        rows.append((named(binary, name, t[name]), ref + args, "%.2f" % ratio, spread(t[name], t[ref + args]),
                     shownGoal, verdict))
        paired.update({(binary, name), (binary, ref + args)})
        found = True
    if not found and binary in runs and not filtered:
        rows.append((binary + ":" + case, ref, "no result", "-", shownGoal, "-" if goal == "-" else "NOT MEASURED"))
for binary, t in sorted(runs.items()):
    for name in sorted(t):
        m = re.match(r"(.*)_ref_(.+)$", name)
        if m and m.group(1) in t and (binary, name) not in paired:
            ratio = t[m.group(1)]["time"] / t[name]["time"]
            rows.append((named(binary, m.group(1), t[m.group(1)]), name, "%.2f" % ratio, spread(t[m.group(1)], t[name]),
                         "-", "-"))
            paired.update({(binary, m.group(1)), (binary, name)})
countered = set()
for line in os.environ["COUNTERS"].strip().splitlines():
    binary, case, counter, goal = line.split("|")
    entry = runs.get(binary, {}).get(case)
    if not entry or counter not in entry["counters"]:
        if binary in runs and not filtered:
            rows.append((binary + ":" + case, counter, "no result", "-", goal, "-" if goal == "-" else "NOT MEASURED"))
        continue
    v = entry["counters"][counter]
    shown = "%.1f %%" % (100 * v) if counter.endswith("_share") else "%.3g" % v
    verdict = "-"
    if goal != "-":
        limit = float(goal[2:])
        verdict = "ok" if (v <= limit if goal.startswith("<=") else v >= limit) else "MISSED"
    rows.append((binary + ":" + case, counter, shown, "-", goal, verdict))

    countered.add((binary, case))
for binary, t in sorted(runs.items()):
    for name, entry in sorted(t.items()):
        if (binary, name) in paired or (binary, name) in countered:
            continue
        shares = ["%s %.1f %%" % (k, 100 * v) for k, v in entry["counters"].items() if k.endswith("_share")]
        rows.append((binary + ":" + name, "(time)", fmt_time(entry["time"]), "-", " ".join(shares) or "-", "-"))

head = ("case", "reference", "ratio", "spread", "goal", "verdict")
widths = [max(len(r[i]) for r in rows + [head]) for i in range(len(head))]
for r in [head, tuple("-" * w for w in widths)] + rows:
    print("  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip())
EOF
