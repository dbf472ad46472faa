#!/usr/bin/python3
"""The web edition's speed: a tick with its frame at N 5000, r 20, in headless
Chromium and natively, on one CPU, from the same checkpoints.

Scenes: the flock as seeded, and two states a cohesion collapse reaches after
minutes (the runner makes them as checkpoints). For each, the browser's tick
and frame alone, with the frame put on the page's canvas too, and the native
tick and frame (Google Benchmark, one thread) in the same run; the ratio is
browser / native. The window's pace is 25 ticks a second (40 ms). Last, the
page itself (build/web/index.html) loads each checkpoint as a state and
runs it: the ticks a second it shows, and its worker's time per tick.

    bench/web/browser_bench.py [--build build/release] [--web build/web] [--cpu K] [--ticks T]

Needs scripts/web (build/web/bench/) and the native target web_native_bench.
"""
import argparse
import contextlib
import functools
import http.server
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

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


@contextlib.contextmanager
def served(folder):
    class Quiet(http.server.SimpleHTTPRequestHandler):
        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=folder))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    try:
        yield server.server_port
    finally:
        server.shutdown()


@contextlib.contextmanager
def chromium():
    options = Options()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        yield driver
    finally:
        driver.quit()


def browser_figures(folder, ticks):
    with served(folder) as port, chromium() as driver:
        query = "&".join(f"scene={name}.ckpt" for name, _ in SCENES) + f"&ticks={ticks}"
        driver.get(f"http://127.0.0.1:{port}/bench.html?{query}")
        WebDriverWait(driver, 1800).until(
            lambda d: d.find_element(By.ID, "result").get_attribute("data-done") == "1")
        result = json.loads(driver.find_element(By.ID, "result").text)
    if "error" in result:
        sys.exit("the page failed: " + result["error"])
    return result


def page_figures(folder, seconds):
    """The page itself: each scene's checkpoint loaded as a user loads a state,
    "Tovább" pressed, then the ticks the page shows over `seconds` (its timer
    ticks every 40 ms, so 25 a second at most) and its worker's mean time for a
    tick with its frame."""
    rates = {}
    with served(folder) as port, chromium() as driver:
        for name, _ in SCENES:
            driver.get(f"http://127.0.0.1:{port}/index.html")
            body = driver.find_element(By.TAG_NAME, "body")
            WebDriverWait(driver, 120).until(lambda d: body.get_attribute("data-ready") == "true")
            driver.find_element(By.ID, "allapotfajl").send_keys(os.path.join(folder, name + ".ckpt"))
            tovabb = driver.find_element(By.ID, "tovabb")
            WebDriverWait(driver, 120).until(lambda d: tovabb.is_enabled())
            tovabb.click()
            time.sleep(3)  # warm
            ticks = lambda: int(body.get_attribute("data-ticks"))
            t0, at0 = ticks(), time.monotonic()
            time.sleep(seconds)
            t1, at1 = ticks(), time.monotonic()
            rates[name] = ((t1 - t0) / (at1 - at0), float(body.get_attribute("data-tick-milliseconds")))
    return rates


def native_figures(bench, folder):
    paths = [os.path.join(folder, name + ".ckpt") for name, _ in SCENES]
    out = subprocess.run([bench, *paths, "--benchmark_format=json", "--benchmark_filter=tick\\+frame"],
                         check=True, capture_output=True, text=True)
    rows = json.loads(out.stdout)["benchmarks"]
    # each tick+frame row's name holds its checkpoint's path (and the minimum time)
    return {name: next(b["real_time"] for b in rows if f"/{name}.ckpt" in b["name"]) for name, _ in SCENES}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--web", default="build/web")
    parser.add_argument("--cpu", type=int, default=min(os.sched_getaffinity(0)),
                        help="the one CPU both run on (default: the first this process may use)")
    parser.add_argument("--ticks", type=int, default=100, help="ticks timed per scene in the browser")
    parser.add_argument("--seconds", type=float, default=10, help="time the page runs per scene")
    a = parser.parse_args()
    # the browser's processes and the native benchmark inherit this
    os.sched_setaffinity(0, {a.cpu})
    with tempfile.TemporaryDirectory() as folder:
        for page_file in ("bench/bench.html", "bench/bench.js", "index.html"):
            shutil.copy(os.path.join(a.web, page_file), folder)
        make_checkpoints(os.path.join(a.build, "cli", "nyajkor3d-batch"), folder)
        browser = browser_figures(folder, a.ticks)
        page = page_figures(folder, a.seconds)
        native = native_figures(os.path.join(a.build, "bench", "web", "web_native_bench"), folder)
    print(f"one CPU ({a.cpu}); {browser['userAgent']}")
    print("| scene | mean neighbours | native ms | browser ms | browser / native |"
          " browser ms, frame shown | ticks/s shown | page: ticks/s | page: worker ms |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    for s in browser["scenes"]:
        name = s["scene"].removesuffix(".ckpt")
        n = native[name]
        rate, worker_ms = page[name]
        print(f"| {name} | {s['neighbours']:.1f} | {n:.1f} | {s['computeMs']:.1f} | {s['computeMs'] / n:.2f} |"
              f" {s['presentedMs']:.1f} | {1000 / s['presentedMs']:.1f} | {rate:.1f} | {worker_ms:.1f} |")


if __name__ == "__main__":
    main()
