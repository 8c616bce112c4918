#!/usr/bin/env python3
"""The metrics file and the log as the real tools read them.

promtool checks every metrics file; Debian's node exporter, started on 127.0.0.1 at a free port
with its textfile collector on the folder (and stopped at the end whatever happens), is scraped
with curl: the collector must have taken every file, and serve each expected line. With --shown
(what the program's window showed, written by the Wine end-to-end test), the readings node
exporter serves and the last rows of the log read by Python's csv module must be the window's.
"""
import argparse
import csv
import glob
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time


def fail(message):
    print(message, file=sys.stderr)
    sys.exit(1)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def scrape(folder):
    port = free_port()
    exporter = subprocess.Popen(
        ["prometheus-node-exporter", f"--web.listen-address=127.0.0.1:{port}",
         "--collector.disable-defaults", "--collector.textfile",
         f"--collector.textfile.directory={folder}"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            got = subprocess.run(["curl", "-sf", f"http://127.0.0.1:{port}/metrics"],
                                 capture_output=True, text=True)
            if got.returncode == 0:
                return got.stdout
            time.sleep(0.1)
        fail(f"node exporter did not answer on 127.0.0.1:{port}")
    finally:
        exporter.terminate()
        exporter.wait(timeout=10)


def samples(text):
    """name{labels} -> value, labels as node exporter orders them."""
    found = {}
    for line in text.splitlines():
        if line and not line.startswith("#"):
            key, _, value = line.rpartition(" ")
            found[key] = float(value)
    return found


def number(text):
    return float(text.replace(",", ""))


def check_shown(shown_file, served, log_folder):
    # Lines "kind name column text": the reading of one item as the window showed it.
    shown = [line.rstrip("\n").split("\t") for line in open(shown_file, encoding="utf-8")]
    families = {"voltage": ("vigilon_voltage_volts", "sensor", 0.006),
                "fan": ("vigilon_fan_speed_rpm", "fan", 1),
                "temperature": ("vigilon_temperature_celsius", "sensor", 0.051)}
    logs = sorted(glob.glob(os.path.join(log_folder, "vigilon-2*.csv")))
    if not logs:
        fail(f"no log in {log_folder}")
    with open(logs[-1], newline="", encoding="utf-8") as f:
        rows = list(csv.DictReader(f))
    if len(rows) < 2:
        fail(f"{logs[-1]} holds {len(rows)} rows")
    for row in rows:
        if row["State"] != "ok":
            fail(f"a row that is not ok: {row}")
    last = rows[-1]
    for kind, name, column, text in shown:
        family, label, tolerance = families[kind]
        key = f'{family}{{{label}="{name}"}}'
        if key not in served:
            fail(f"node exporter does not serve {key}")
        if abs(served[key] - number(text)) > tolerance:
            fail(f"{key} is {served[key]}, the window showed {text}")
        if abs(number(last[column]) - number(text)) > tolerance:
            fail(f"the log's {column} is {last[column]}, the window showed {text}")
    print(f"{len(shown)} readings of the window as node exporter serves them and in the last of "
          f"{len(rows)} log rows")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--metrics", required=True, help="a metrics folder, or one file")
    parser.add_argument("--expect", action="append", default=[], help="a line served exactly")
    parser.add_argument("--shown", help="what the window showed")
    parser.add_argument("--log", help="the log folder")
    args = parser.parse_args()
    folder = args.metrics
    scratch = None
    if os.path.isfile(folder):
        scratch = tempfile.mkdtemp()
        shutil.copy(folder, os.path.join(scratch, "vigilon.prom"))
        folder = scratch
    try:
        files = glob.glob(os.path.join(folder, "*.prom"))
        if not files:
            fail(f"no metrics file in {folder}")
        for file in files:
            with open(file, "rb") as f:
                lint = subprocess.run(["promtool", "check", "metrics"], stdin=f,
                                      capture_output=True, text=True)
            if lint.returncode != 0:
                fail(f"promtool rejects {file}: {lint.stdout}{lint.stderr}")
        text = scrape(folder)
    finally:
        if scratch:
            shutil.rmtree(scratch)
    served_lines = text.splitlines()
    if "node_textfile_scrape_error 0" not in served_lines:
        fail("the textfile collector failed:\n" +
             "\n".join(l for l in served_lines if l.startswith("node_textfile")))
    for line in args.expect:
        if line not in served_lines:
            fail(f"node exporter does not serve: {line}")
    print(f"node exporter serves {sum(l.startswith('vigilon_') for l in served_lines)} vigilon "
          "samples; promtool accepts")
    if args.shown:
        check_shown(args.shown, samples(text), args.log)


if __name__ == "__main__":
    main()
