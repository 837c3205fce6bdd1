"""Saved sessions for the tests of qmk-results as a program: documents as
qmk-run writes them (scores follow the program's rule from the samples),
from two machines, one with hostile texts, and damaged files beside them."""
import json
import os
import random

HOSTILE = '<script>alert("x")</script> a,b=c "quoted" \u0001\u001b[31m\u202eevil'


def score(samples):
    # (sum / n + max) / 2, both divisions truncating, as the meter's rule.
    return (sum(samples) // len(samples) + max(samples)) // 2


def session(sid, machine, label, cpu, video, runs=5, version="1.1.0", seed=1, depth=24):
    rnd = random.Random(seed)
    stamp = f"{sid[0:4]}-{sid[4:6]}-{sid[6:8]}T{sid[9:11]}:{sid[11:13]}:{sid[13:15]}"
    run_list = []
    for i in range(runs):
        cs = [cpu + rnd.randint(-6, 6) for _ in range(2)]
        vs = [video + rnd.randint(-30, 30) for _ in range(3)]
        c, v = score(cs), score(vs)
        run_list.append({
            "cpu": {"score": c, "percent": round(c / 19.92, 2), "percent_text": f"{c / 19.92:.2f}",
                    "line": f"ＣＰＵ：{c} ({c / 19.92:.2f}%)", "samples": cs},
            "video": {"score": v, "percent": round(v / 23.70, 2), "percent_text": f"{v / 23.70:.2f}",
                      "line": f"ビデオ：{v} ({v / 23.70:.2f}%)", "samples": vs},
            "load_average_1min": None if i == 1 else 0.25 + i / 100,
            "started_utc": f"{stamp[:-2]}{10 + 6 * i:02d}.500Z",
            "wall_seconds": 5.873,
        })
    return {
        "schema": "qmk-session", "schema_version": 1,
        "program": {"name": "qmk-run", "version": version},
        "session": {"id": sid, "machine": machine, "label": label, "tags": ["nightly"],
                    "started_utc": stamp + ".123Z", "wall_seconds": 31.5},
        "phases": {"cpu_seconds": 2, "video_seconds": 3},
        "runs": run_list,
        "summary": {"count": runs, "stddev_kind": "sample (n - 1)"},
        "environment": {
            "x_server": {"display": ":1", "private": True, "vendor": "The X.Org Foundation",
                         "vendor_release": 12101007, "depth": depth, "visual_class": "TrueColor",
                         "width": 1280, "height": 1024},
            "dpi": 96, "locale": {"name": "C", "time_pattern": "H:mm:ss", "decimal_separator": "."},
            "processor": "Example CPU", "processors": 2, "load_average_1min": 0.1,
            "pixel_access": "shared-memory"},
        "build": {"type": "Release", "compiler": "GNU 12.2.0", "flags": "-O2 -DNDEBUG"},
    }


# Three sessions from two machines: alpha before and after a change, beta once.
SESSIONS = [
    session("20261201T101500Z-0a1b2c3d", "alpha", "before the driver update", 1500, 2100, seed=1),
    session("20261203T091000Z-2a1b2c3d", "beta", None, 2400, 1800, runs=4, seed=3),
    session("20261205T101500Z-1a1b2c3d", "alpha", "after the driver update", 1600, 2300, seed=2),
]
HOSTILE_SESSION = session("20261206T120000Z-3a1b2c3d", HOSTILE, HOSTILE, 900, 1000, runs=3, seed=4)
OTHER_VERSION = session("20261207T120000Z-4a1b2c3d", "alpha", "next version", 1700, 2300, version="1.2.0", seed=5)

DAMAGED = {
    "20261208T000000Z-0000000a.json": b'{"schema": "qmk-session", "schema_version": 1, "progr',
    "20261208T000000Z-0000000b.json": b"this is not JSON\n",
    "20261208T000000Z-0000000c.json": b'{"schema": "qmk-session", "schema_version": 2, "runs": "changed"}',
    "20261208T000000Z-0000000d.json": b'{"schema": "qmk-session", "schema_version": 1, "session": {"machine": "\xff\xfe"}}',
}


def write(folder, sessions, damaged=False):
    os.makedirs(folder, exist_ok=True)
    for s in sessions:
        with open(os.path.join(folder, s["session"]["id"] + ".json"), "w", encoding="utf-8") as f:
            json.dump(s, f, ensure_ascii=False, indent=2)
    if damaged:
        for name, data in DAMAGED.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
