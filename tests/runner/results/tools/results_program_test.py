#!/usr/bin/env python3
"""qmk-results as a user runs it, checked by independent readers:
  program  subcommands, exit statuses, damaged files, import and remove
  csv      the CSV export read back by Python's csv module
  prom     the Prometheus export read by prometheus_client's own parser
  report   the HTML report in headless Chromium; its SVGs through xmllint
Usage: results_program_test.py CHECK QMK_RESULTS WORK_FOLDER
Every run happens under a locale whose decimal separator is a comma.
Exit status 77 (skipped) only when a tool the check needs is missing."""
import csv
import io
import json
import os
import re
import shutil
import statistics
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sessions as fixtures  # noqa: E402

SKIP = 77
check, program, work = sys.argv[1], sys.argv[2], sys.argv[3]
folder = os.path.join(work, "results")
shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
failures = []


def expect(condition, what):
    if not condition:
        failures.append(what)


def run(*arguments, folder_=None):
    env = dict(os.environ, QMK_RESULTS_DIR=folder_ or folder, LC_ALL="de_DE.UTF-8", LANG="de_DE.UTF-8")
    done = subprocess.run([program, *arguments], capture_output=True, env=env, timeout=120)
    return done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8")


def skip(reason):
    print(f"skipped: {reason}")
    sys.exit(SKIP)


def percent_text(value):
    return f"{value:.2f}"


def check_program():
    fixtures.write(folder, fixtures.SESSIONS + [fixtures.HOSTILE_SESSION, fixtures.OTHER_VERSION], damaged=True)
    status, out, err = run("list")
    expect(status == 0, f"list: status {status}")
    lines = out.splitlines()
    expect(len(lines) == 6, f"list: {len(lines)} lines:\n{out}")
    for name in fixtures.DAMAGED:
        expect(re.search(rf"^qmk-results: skipped '[^']*{name}': ", err, re.M), f"list: {name} not reported:\n{err}")
    expect("schema version 2" in err, "list: the newer schema is not named")
    expect("\x1b" not in out and "\u202e" not in out, "list: a control character reached the terminal")
    status, out, err = run("show", fixtures.HOSTILE_SESSION["session"]["id"])
    expect("\x1b" not in out and "\u202e" not in out, "show: a control character reached the terminal")
    expect("\\x1b[31m\\u{202e}evil" in out, f"show: the escape is not shown as text:\n{out}")
    medians = [str(statistics.median(r["cpu"]["score"] for r in s["runs"])) for s in fixtures.SESSIONS]
    for s, median in zip(fixtures.SESSIONS, medians):
        row = next((l for l in lines if l.startswith(s["session"]["id"])), "")
        expect(median.removesuffix(".0") in row.split(), f"list: median {median} missing in {row!r}")

    status, out, err = run("show", "20261205")
    expect(status == 0 and "after the driver update" in out, f"show by prefix: {status} {err}")
    expect(" ".join(map(str, fixtures.SESSIONS[2]["runs"][0]["video"]["samples"])) in out, "show: samples missing")
    status, out, err = run("show", "latest")
    expect(status == 0 and "20261207T120000Z-4a1b2c3d" in out, f"show latest: {status}")
    status, out, err = run("show", "2026120")
    expect(status == 1 and "names 5 sessions" in err, f"show ambiguous: {status} {err}")
    status, out, err = run("show", "20261208T000000Z-0000000a")
    expect(status == 1 and "no session" in err, f"show damaged: {status} {err}")

    status, out, err = run("compare", "20261201", "20261205")
    expect(status == 0, f"compare: {status} {err}")
    expect(re.search(r"^\s+CPU\s+1500(\.5)?\s+1600(\.5)?\s+\+6\.\d\d %\s+0\s+0\.0\d+ \(\w+\)\s+faster$", out, re.M),
           f"compare: CPU line:\n{out}")
    expect("0,0" not in out, "compare: a comma decimal")
    status, out, err = run("compare", "20261201", "20261207")
    expect(status == 1 and "program version: '1.1.0' / '1.2.0'" in err and "--force" in err,
           f"compare across versions: {status} {err}")
    status, out, err = run("compare", "--force", "20261201", "20261207")
    table = [l for l in out.splitlines() if re.match(r"^!?\s+(CPU|video)\s", l)]
    expect(status == 0 and len(table) == 2 and all(l.startswith("!") for l in table), f"compare --force:\n{out}")
    status, out, err = run("compare", "20261203", "20261203")
    expect("no significant difference" in out, f"compare to itself:\n{out}")

    # import: every file checked before anything is saved.
    older = {"program": {"name": "qmk-run", "version": "1.0.0"},
             "runs": [{"cpu": {"score": 123, "percent": 6.17, "percent_text": "6,17", "line": "x"},
                       "video": {"score": 456, "percent": 19.24, "percent_text": "19,24", "line": "y"},
                       "load_average_1min": None}],
             "summary": {"count": 1}, "environment": {"dpi": 96}, "build": {"type": "Release", "compiler": "g",
                                                                             "flags": "-O2"}}
    older_file = os.path.join(work, "older.json")
    bad_file = os.path.join(work, "bad.json")
    with open(older_file, "w") as f:
        json.dump(older, f)
    bad = json.loads(json.dumps(fixtures.SESSIONS[0]))
    bad["session"]["id"] = "20261209T000000Z-00000001"
    bad["runs"][2]["video"]["score"] = "fast"
    with open(bad_file, "w") as f:
        json.dump(bad, f)
    before = sorted(os.listdir(folder))
    status, out, err = run("import", older_file, bad_file)
    expect(status == 1 and "bad.json': runs[2].video.score: must be a whole number" in err
           and "nothing imported" in err, f"import of a bad file: {status} {err}")
    expect(sorted(os.listdir(folder)) == before, "import of a bad file wrote something")
    status, out, err = run("import", "--machine", "old-box", older_file)
    match = re.match(r"imported '.*older\.json' as (\S+)$", out.strip())
    expect(status == 0 and match, f"import: {status} {out} {err}")
    if match:
        status, out, err = run("show", match.group(1))
        expect("old-box" in out and "imported from qmk-run 1.0.0" in out, f"show imported:\n{out}")
        status, out, err = run("remove", match.group(1))
        expect(status == 0 and not os.path.exists(os.path.join(folder, match.group(1) + ".json")), "remove")
        status, out, err = run("remove", match.group(1))
        expect(status == 1 and "no session" in err, f"remove twice: {status} {err}")
    status, out, err = run("import", os.path.join(folder, fixtures.SESSIONS[0]["session"]["id"] + ".json"))
    expect(status == 0 and "saved already" in out, f"import of a saved session: {status} {out} {err}")
    expect(sorted(os.listdir(folder)) == before, "import of a saved session wrote something")

    for arguments in (["list", "--frce"], ["nope"], ["export"], []):
        status, out, err = run(*arguments)
        expect(status == 2 and err.startswith("qmk-results: ") and out == "", f"usage {arguments}: {status} {err}")
    status, out, err = run("--help")
    expect(status == 0 and out.startswith("Usage: qmk-results"), "--help")
    status, out, err = run("--version")
    expect(status == 0 and re.fullmatch(r"qmk-results \d+\.\d+\.\d+\n", out), f"--version: {out!r}")
    status, out, err = run("list", folder_=os.path.join(work, "empty"))
    expect(status == 0 and out.startswith("no saved sessions"), f"list of nothing: {status} {out}")

    prom = os.path.join(work, "textfile", "qmk.prom")
    os.makedirs(os.path.dirname(prom))
    status, out, err = run("export", "--format", "prom", "-o", prom)
    expect(status == 0 and os.listdir(os.path.dirname(prom)) == ["qmk.prom"], f"export -o: {status} {err}")


def check_csv():
    everything = fixtures.SESSIONS + [fixtures.HOSTILE_SESSION]
    fixtures.write(folder, everything, damaged=True)
    status, out, err = run("export", "--format", "csv")
    expect(status == 0, f"export csv: {status} {err}")
    expect("\r\n" in out, "CSV lines do not end in CRLF")
    rows = list(csv.DictReader(io.StringIO(out, newline=""), strict=True))
    expect(len(rows) == sum(len(s["runs"]) for s in everything), f"{len(rows)} rows")
    by_id = {s["session"]["id"]: s for s in everything}
    for row in rows:
        s = by_id[row["session_id"]]
        run_ = s["runs"][int(row["run"]) - 1]
        expect(row["machine"] == s["session"]["machine"], f"machine {row['machine']!r}")
        expect(row["label"] == (s["session"]["label"] or ""), f"label {row['label']!r}")
        expect(int(row["cpu_score"]) == run_["cpu"]["score"], "cpu score")
        expect(float(row["cpu_percent"]) == run_["cpu"]["percent"], f"cpu percent {row['cpu_percent']}")
        expect(float(row["video_percent"]) == run_["video"]["percent"], "video percent")
        expect(row["video_samples"].split() == [str(v) for v in run_["video"]["samples"]], "samples")
        load = run_["load_average_1min"]
        expect(row["load_average_1min"] == ("" if load is None else repr(load)), f"load {row['load_average_1min']!r}")
        expect(float(row["run_wall_seconds"]) == 5.873, "wall seconds")
        expect(row["display_depth"] == "24", "depth")


def check_prom():
    try:
        from prometheus_client.parser import text_string_to_metric_families
    except ImportError:
        skip("python3-prometheus-client is not installed (scripts/setup.sh installs it)")
    fixtures.write(folder, fixtures.SESSIONS + [fixtures.HOSTILE_SESSION], damaged=True)
    target = os.path.join(work, "qmk.prom")
    status, out, err = run("export", "--format", "prom", "-o", target)
    expect(status == 0, f"export prom: {status} {err}")
    with open(target, encoding="utf-8") as f:
        text = f.read()
    families = {family.name: family for family in text_string_to_metric_families(text)}
    for name in ("qmk_score_median", "qmk_score_min", "qmk_score_max", "qmk_score_reference_percent",
                 "qmk_session_runs", "qmk_session_start_time_seconds"):
        expect(name in families and families[name].type == "gauge" and families[name].documentation,
               f"{name}: missing, not a gauge, or without HELP")
    medians = {(s.labels["machine"], s.labels["score"]): s.value for s in families["qmk_score_median"].samples}
    expect(len(medians) == 6, f"median series: {sorted(medians)}")
    latest_alpha = fixtures.SESSIONS[2]
    for kind in ("cpu", "video"):
        want = statistics.median(r[kind]["score"] for r in latest_alpha["runs"])
        expect(medians.get(("alpha", kind)) == want, f"alpha {kind}: {medians.get(('alpha', kind))} != {want}")
    beta = fixtures.SESSIONS[1]
    want = statistics.median(r["cpu"]["score"] for r in beta["runs"]) / 1992 * 100
    got = next(s.value for s in families["qmk_score_reference_percent"].samples
               if s.labels["machine"] == "beta" and s.labels["score"] == "cpu")
    expect(abs(got - want) < 1e-9, f"beta percent {got} != {want}")
    hostile = [m for (m, _) in medians if "script" in m]
    expect(hostile and "\x01" not in hostile[0] and "\\x01" in hostile[0], f"hostile label {hostile}")


def check_report():
    browser = shutil.which("chromium") or shutil.which("chromium-browser")
    xmllint = shutil.which("xmllint")
    if not browser:
        skip("chromium is not installed (scripts/setup.sh installs it)")
    if not xmllint:
        skip("xmllint is not installed (scripts/setup.sh installs libxml2-utils)")
    fixtures.write(folder, fixtures.SESSIONS + [fixtures.HOSTILE_SESSION], damaged=True)
    report = os.path.join(work, "report.html")
    status, out, err = run("report", "-o", report)
    expect(status == 0, f"report: {status} {err}")
    with open(report, encoding="utf-8") as f:
        html = f.read()
    expect(not re.search(r"<script|<link|<img|<iframe|@import|url\(|src=|href=", html, re.I),
           "the report loads something or carries a script")

    # Every SVG on its own is well-formed XML.
    svgs = re.findall(r"<svg\b.*?</svg>", html, re.S)
    expect(len(svgs) >= 6 + 2 * 4, f"{len(svgs)} SVG charts")
    for i, svg in enumerate(svgs):
        path = os.path.join(work, f"chart{i}.svg")
        with open(path, "w", encoding="utf-8") as f:
            f.write('<?xml version="1.0" encoding="UTF-8"?>\n' + svg)
        done = subprocess.run([xmllint, "--noout", path], capture_output=True, timeout=60)
        expect(done.returncode == 0, f"chart{i}.svg: {done.stderr.decode()}")

    profile = os.path.join(work, "profile")
    done = subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu", "--user-data-dir=" + profile,
                           "--dump-dom", "file://" + report], capture_output=True, timeout=180,
                          env=dict(os.environ, HOME=work))
    dom = done.stdout.decode("utf-8")
    expect(done.returncode == 0 and "</html>" in dom, f"chromium: {done.returncode} {done.stderr.decode()[-400:]}")
    expect("<script" not in dom, "the browser found a script element")
    dom_svgs = re.findall(r"<svg\b.*?</svg>", dom, re.S)
    expect(len(dom_svgs) == len(svgs), f"the browser has {len(dom_svgs)} of {len(svgs)} SVGs")
    charts = "".join(dom_svgs)
    for s in fixtures.SESSIONS:
        for kind, reference in (("cpu", 1992), ("video", 2370)):
            median = statistics.median(r[kind]["score"] for r in s["runs"])
            label = percent_text(median / reference * 100) + " %"
            expect(label in charts, f"{s['session']['id']} {kind}: '{label}' not in the charts")
            # The table beside the chart has the same number.
            expect(f">{percent_text(median / reference * 100)}</td>" in dom, f"{label} not in a table")
        for r in s["runs"]:
            expect(f"run {s['runs'].index(r) + 1}: {r['cpu']['score']}<" in charts or
                   f"run {s['runs'].index(r) + 1}: {r['cpu']['score']}" in charts, "a run's dot")
        for sample in s["runs"][0]["video"]["samples"]:
            expect(f"run 1: {sample}" in charts, f"sample {sample} of {s['session']['id']} has no point")
    expect("reference 100 %" in charts, "the reference line's label")
    expect("&lt;script&gt;" in dom, "the hostile label is not shown as text")


{"program": check_program, "csv": check_csv, "prom": check_prom, "report": check_report}[check]()
for failure in failures:
    print("FAILED:", failure)
print(f"{check}: {'failed' if failures else 'passed'}")
sys.exit(1 if failures else 0)
