#!/usr/bin/python3
"""The web edition's speed: a tick with its frame at N 5000, r 20, in headless
Chromium and natively, on one CPU, from the same checkpoints.

Scenes: the flock as seeded, and two states a cohesion collapse reaches after
minutes (the runner makes them as checkpoints). For each, the browser's tick
and frame alone, with the frame put on the page's canvas too, and the native
tick and frame (Google Benchmark, one thread) in the same run; the ratio is
browser / native. The window's pace is 25 ticks a second (40 ms).

    bench/web/browser_bench.py [--build build/release] [--web build/web] [--cpu K] [--ticks T]

Needs scripts/web (build/web/bench/) and the native target web_native_bench.
"""
import argparse
import functools
import http.server
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

SETUP = ["--seed", "1", "--n", "5000", "--radius", "20"]
SCENES = [
    ("seeded", SETUP + ["--ticks", "0"]),
    ("cohesion-10-after-1100", SETUP + ["--cohesion", "10", "--ticks", "1100"]),
    ("cohesion-20-noise-0-after-1050", SETUP + ["--cohesion", "20", "--noise", "0", "--ticks", "1050"]),
]


def make_checkpoints(runner, folder):
    for name, flags in SCENES:
        subprocess.run([runner, *flags, "--checkpoint", os.path.join(folder, name + ".ckpt")],
                       check=True, stdout=subprocess.DEVNULL)


def browser_figures(folder, ticks):
    class Quiet(http.server.SimpleHTTPRequestHandler):
        def log_message(self, *args):
            pass

    handler = functools.partial(Quiet, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    options = Options()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        query = "&".join(f"scene={name}.ckpt" for name, _ in SCENES) + f"&ticks={ticks}"
        driver.get(f"http://127.0.0.1:{server.server_port}/bench.html?{query}")
        WebDriverWait(driver, 1800).until(
            lambda d: d.find_element(By.ID, "result").get_attribute("data-done") == "1")
        result = json.loads(driver.find_element(By.ID, "result").text)
    finally:
        driver.quit()
        server.shutdown()
    if "error" in result:
        sys.exit("the page failed: " + result["error"])
    return result


def native_figures(bench, folder):
    paths = [os.path.join(folder, name + ".ckpt") for name, _ in SCENES]
    out = subprocess.run([bench, *paths, "--benchmark_format=json"], check=True, capture_output=True, text=True)
    rows = json.loads(out.stdout)["benchmarks"]
    # each row's name holds its checkpoint's path (and the minimum time)
    return {name: next(b["real_time"] for b in rows if f"/{name}.ckpt" in b["name"]) for name, _ in SCENES}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--web", default="build/web")
    parser.add_argument("--cpu", type=int, default=min(os.sched_getaffinity(0)),
                        help="the one CPU both run on (default: the first this process may use)")
    parser.add_argument("--ticks", type=int, default=100, help="ticks timed per scene in the browser")
    a = parser.parse_args()
    # the browser's processes and the native benchmark inherit this
    os.sched_setaffinity(0, {a.cpu})
    with tempfile.TemporaryDirectory() as folder:
        for page_file in ("bench.html", "bench.js"):
            shutil.copy(os.path.join(a.web, "bench", page_file), folder)
        make_checkpoints(os.path.join(a.build, "cli", "nyajkor3d-batch"), folder)
        browser = browser_figures(folder, a.ticks)
        native = native_figures(os.path.join(a.build, "bench", "web", "web_native_bench"), folder)
    print(f"one CPU ({a.cpu}); {browser['userAgent']}")
    print("| scene | mean neighbours | native ms | browser ms | browser / native |"
          " browser ms, frame shown | ticks/s shown |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    for s in browser["scenes"]:
        name = s["scene"].removesuffix(".ckpt")
        n = native[name]
        print(f"| {name} | {s['neighbours']:.1f} | {n:.1f} | {s['computeMs']:.1f} | {s['computeMs'] / n:.2f} |"
              f" {s['presentedMs']:.1f} | {1000 / s['presentedMs']:.1f} |")


if __name__ == "__main__":
    main()
