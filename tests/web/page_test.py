"""The web page in a real browser: headless Chromium driven through
chromedriver, the page served from 127.0.0.1 on a free port.

It checks the panel (captions, ranges, hints), the run buttons and the
statistics, a mode switching its scroll bars on, a setup from the address,
the keyboard, a state saved and loaded back and resumed by the native runner
exactly, the view's picture against the runner's --frame pixel for pixel, and
refused files and addresses.

usage: page_test.py PAGE_DIR NYAJKOR3D_BATCH
"""

import functools
import http.server
import os
import subprocess
import sys
import tempfile
import threading
import time
import unittest

from PIL import Image
from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

PAGE_DIR, BATCH = sys.argv[1], sys.argv[2]
if not os.path.exists(os.path.join(PAGE_DIR, "index.html")):
    sys.exit("no page in %s: the build's target web makes it" % PAGE_DIR)
SETUP = {"seed": "7", "n": "1000", "radius": "10", "noise": "20"}
WAIT = 60  # seconds any one thing may take on a busy machine; a limit, never a measurement


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve(folder):
    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", 0), functools.partial(QuietHandler, directory=folder))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def batch(*args):
    return subprocess.run([BATCH, *args], check=True, capture_output=True).stdout


def pixels(path):
    """Size, RGB bytes and how many colours a picture has."""
    with Image.open(path) as image:
        rgb = image.convert("RGB")
        return rgb.size, rgb.tobytes(), len(rgb.getcolors(1 << 24))


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = serve(PAGE_DIR)
        cls.base = "http://127.0.0.1:%d/index.html" % cls.server.server_address[1]
        cls.downloads = tempfile.mkdtemp(prefix="nyajkor3d-page-")
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1300,900",
                         "--lang=hu"):
            options.add_argument(argument)
        options.add_experimental_option("prefs", {"download.default_directory": cls.downloads,
                                                  "download.prompt_for_download": False})
        cls.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        cls.driver.execute_cdp_cmd("Page.setDownloadBehavior",
                                   {"behavior": "allow", "downloadPath": cls.downloads})

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.server.shutdown()

    # ---- helpers ---------------------------------------------------------------

    def open(self, query=""):
        self.driver.get(self.base + query)
        self.until(lambda: self.js("return document.body.dataset.ready") == "true", "the page did not start")

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def until(self, condition, what):
        try:
            return WebDriverWait(self.driver, WAIT, poll_frequency=0.05).until(lambda d: condition())
        except TimeoutException:
            self.fail(what)

    def el(self, id_):
        return self.driver.find_element(By.ID, id_)

    def ticks(self):
        return int(self.js("return document.body.dataset.ticks || '0'"))

    def stop_and_settle(self):
        """Stop, then wait until the tick under way, if any, has come back."""
        self.el("stop").click()
        self.until(lambda: self.js("return document.body.dataset.running") == "false", "the run did not stop")
        last = [-1]

        def settled():
            now = self.ticks()
            same = now == last[0]
            last[0] = now
            time.sleep(0.2)
            return same
        self.until(settled, "the ticks did not settle")
        return self.ticks()

    def menu(self, *names):
        """Opens the menu bar's entry and clicks the item, as a user would."""
        self.el(names[0]).click()
        for name in names[1:-1]:
            self.driver.execute_script("arguments[0].scrollIntoView()", self.el(name))
            webdriver.ActionChains(self.driver).move_to_element(self.el(name)).perform()
        self.el(names[-1]).click()

    def downloaded(self, name):
        path = os.path.join(self.downloads, name)
        self.until(lambda: os.path.exists(path) and not os.path.exists(path + ".crdownload"),
                   name + " was not downloaded")
        with open(path, "rb") as f:
            data = f.read()
        os.remove(path)
        return data

    def save_state(self):
        self.menu("recording", "saveState")
        return self.downloaded("nyajkor3d.ckpt")

    def load_state(self, name, data):
        path = os.path.join(tempfile.mkdtemp(prefix="nyajkor3d-upload-"), name)
        with open(path, "wb") as f:
            f.write(data)
        self.el("allapotfajl").send_keys(path)

    def bar(self, name):
        return self.js("const b = document.getElementById(arguments[0]);"
                       "return [Number(b.min), Number(b.max), Number(b.value), b.title, !b.disabled];", name)

    def message(self):
        return self.js("const m = document.getElementById('uzenet'); return m.hidden ? '' : m.textContent;")

    def started_with_setup(self):
        query = "?" + "&".join("%s=%s" % kv for kv in SETUP.items())
        self.open(query)
        self.el("start").click()
        self.until(lambda: self.ticks() >= 30, "the flock did not tick")
        return self.stop_and_settle()

    # ---- the panel -------------------------------------------------------------

    def test_captions_ranges_and_hints(self):
        self.open()
        self.assertEqual(self.js("return document.documentElement.lang"), "hu")
        captions = [("Label8", "Egyedszám"), ("Label1", "Közös sebesség"), ("Label2", "Zajparaméter"),
                    ("Label5", "Észlelt szomszédok"), ("Label10", "max. távolsága"),
                    ("Label21", "Átlagos száma:"), ("Label22", "..."), ("Label15", "Egyensúlyi távolság"),
                    ("Label19", "Tömegközépponthoz"), ("Label24", "észlelők aránya (%)"),
                    ("Label6", "Rendparaméter (%)"), ("Label7", "..."), ("Label9", "Nagyítás"),
                    ("start", "Start"), ("stop", "Stop"), ("tovabb", "Tovább"), ("ujraindit", "Újraindít"),
                    ("Button1", "Koordináták: click!")]
        for id_, caption in captions:
            with self.subTest(id_):
                self.assertEqual(self.js("return document.getElementById(arguments[0]).textContent", id_),
                                 caption)
        menu_bar = self.js("return [...document.querySelectorAll('#MainMenu1 > li:not([hidden]) > .caption')]"
                           ".map(e => e.textContent)")
        self.assertEqual(menu_bar[:4], ["Névjegy", "Igazodás módja", "Ábrázolás módja", "Színek"])
        # name: min, max, start position and hint, enabled at launch
        bars = [("egyedszam", 500, 5000, 2000, True), ("vkozos", 5, 20, 10, True),
                ("parameter", 0, 100, 10, True), ("sugar", 0, 20, 0, False), ("tavolsag", 2, 20, 5, True),
                ("eszlelok", 0, 100, 100, True), ("ragadozoeszleles", 20, 200, 50, True),
                ("Xalfa", 0, 90, 0, False), ("Zbeta", 0, 360, 0, False), ("nagyitas", 10, 25, 15, True),
                ("xvonzokord", 50, 250, 150, True)]
        for name, lo, hi, start, enabled in bars:
            with self.subTest(name):
                self.assertEqual(self.bar(name), [lo, hi, start, str(start), enabled])
        buttons = self.js("return ['start','stop','tovabb','ujraindit'].map(n => !document.getElementById(n).disabled)")
        self.assertEqual(buttons, [True, False, False, False])
        marks = self.js("return ['befoglalokocka','szemuveg','autotaszito'].map(n =>"
                        "document.getElementById(n).classList.contains('checked'))")
        self.assertEqual(marks, [True, False, False])

    def test_keyboard_moves_the_bars_and_keeps_the_hints(self):
        self.open()
        self.js("document.getElementById('egyedszam').focus()")
        # the bar's value after each key, as in the window
        keys = [(Keys.ARROW_RIGHT, 2010), (Keys.ARROW_LEFT, 2000), (Keys.PAGE_UP, 2050), (Keys.PAGE_DOWN, 2000),
                (Keys.END, 5000), (Keys.HOME, 500)]
        for key, value in keys:
            self.driver.switch_to.active_element.send_keys(key)
            with self.subTest(key=repr(key)):
                self.assertEqual(self.bar("egyedszam")[2:4], [value, str(value)])
        self.driver.switch_to.active_element.send_keys(Keys.TAB)
        self.assertEqual(self.js("return document.activeElement.id"), "vkozos")
        # Space is the run key: Start, then Stop
        self.driver.switch_to.active_element.send_keys(Keys.SPACE)
        self.until(lambda: self.ticks() > 0, "Space did not start the run")
        self.driver.switch_to.active_element.send_keys(Keys.SPACE)
        self.until(lambda: self.js("return document.body.dataset.running") == "false", "Space did not stop")

    # ---- running -----------------------------------------------------------------

    def test_run_buttons_and_labels(self):
        self.open()
        self.el("start").click()
        self.until(lambda: self.el("Label7").text != "..." and self.el("Label22").text != "...",
                   "the statistics labels did not change")
        self.assertEqual(self.js("return ['start','stop','tovabb','ujraindit'].map(n =>"
                                 "!document.getElementById(n).disabled)"), [False, True, True, True])
        self.menu("abrazolasmod", "rendparameteridosor")  # the order parameter's live plot
        self.assertTrue(self.el("idosorablak").is_displayed())
        stopped = self.stop_and_settle()
        self.assertEqual(self.ticks(), stopped)
        self.el("tovabb").click()
        self.until(lambda: self.ticks() > stopped, "Tovább did not go on")
        self.stop_and_settle()

    def test_modes_enable_their_scroll_bars(self):
        self.open()
        self.el("start").click()
        self.stop_and_settle()
        # item clicked: the bars' enabled states after it
        steps = [(("Figyelsmdja1", "tavolsagtartas", "egyenivonzo"), {"egyensulyerosseg": True, "tavolsag": True}),
                 (("Figyelsmdja1", "taszitas", "autotaszito"), {"egyensulyerosseg": False, "tavolsag": True}),
                 (("Figyelsmdja1", "taszitas", "autotaszito"), {"egyensulyerosseg": False, "tavolsag": False}),
                 (("Figyelsmdja1", "tkpvonzas"), {"tkpvonzaserosseg": True}),
                 (("Figyelsmdja1", "vonzocentrum", "mozgovonzo"), {"vonzaserosseg": True}),
                 (("Figyelsmdja1", "ragadozo", "ujragadozo"), {"ragadozoeszleles": True, "reakcioerosseg": True}),
                 (("Figyelsmdja1", "ragadozo", "ragadozotorles"), {"ragadozoeszleles": False})]
        for path, enabled in steps:
            self.menu(*path)
            for name, on in enabled.items():
                with self.subTest(path=path, bar=name):
                    self.until(lambda: self.bar(name)[4] == on, "%s is not %s" % (name, on))
        self.assertEqual(self.bar("egyensulyerosseg")[2:4], [5, "5"])  # the strength in effect
        # the centre in the middle, then placed: the coordinate bars show where it is
        self.menu("Figyelsmdja1", "vonzocentrum", "kozepenvonzo")
        self.menu("Figyelsmdja1", "vonzocentrum", "elhelyez")
        for name, value in [("xvonzokord", 175), ("yvonzokord", 175), ("zvonzokord", 125)]:
            with self.subTest(name):
                self.until(lambda: self.bar(name)[2:4] == [value, str(value)], "%s is not at %d" % (name, value))
        self.assertTrue(self.el("Panel14").is_displayed())
        self.assertTrue(self.el("Button1").is_enabled())
        self.menu("abrazolasmod", "szemuveg")
        visible = self.js("return ['szinek','szemuvegszinek'].map(n => !document.getElementById(n).hidden)")
        self.assertEqual(visible, [False, True])

    # ---- the address ---------------------------------------------------------------

    def test_setup_from_the_address(self):
        self.open("?seed=7&n=1000&radius=10&noise=20")
        self.assertEqual(self.message(), "")
        for name, value in [("egyedszam", 1000), ("sugar", 10), ("parameter", 20), ("vkozos", 10)]:
            with self.subTest(name):
                self.assertEqual(self.bar(name)[2:4], [value, str(value)])

    def test_bad_addresses_are_refused_and_change_nothing(self):
        # query: what the one message names
        cases = [("?n=20000", "„n=20000”"), ("?seed=-1", "„seed=-1”"), ("?noise=abc", "„noise=abc”"),
                 ("?colour=3", "„colour”"), ("?n=600&n=700", "„n”"), ("?n=600&radius=99", "„radius=99”")]
        for query, named in cases:
            with self.subTest(query):
                self.open(query)
                text = self.message()
                self.assertTrue(text.startswith("A címben megadott beállítás nem használható: "), text)
                self.assertIn(named, text)
                self.assertEqual(self.bar("egyedszam")[2], 2000)

    # ---- states and pictures ----------------------------------------------------------

    def test_saved_state_resumes_natively_and_loads_back(self):
        ticks = self.started_with_setup()
        self.assertGreater(ticks, 0)
        state = self.save_state()
        with tempfile.TemporaryDirectory() as folder:
            saved = os.path.join(folder, "page.ckpt")
            with open(saved, "wb") as f:
                f.write(state)
            # the page's state goes on in the runner exactly as a native run of the same total
            resumed = batch("--resume", saved, "--ticks", "25", "--dump", "-")
            native = batch(*sum((["--" + k, v] for k, v in SETUP.items()), []),
                           "--ticks", str(ticks + 25), "--dump", "-")
            self.assertEqual(resumed, native)
            # and a checkpoint the runner writes loads into the page and comes back the same
            written = os.path.join(folder, "native.ckpt")
            batch("--resume", saved, "--ticks", "3", "--checkpoint", written)
            with open(written, "rb") as f:
                native_state = f.read()
        self.el("ujraindit").click()  # something else in the page first
        self.stop_and_settle()
        self.load_state("native.ckpt", native_state)
        self.until(lambda: self.ticks() == ticks + 3, "the loaded state's tick count is not shown")
        self.assertEqual(self.message(), "")
        self.assertEqual(self.save_state(), native_state)
        self.assertEqual(self.js("return ['start','stop','tovabb','ujraindit'].map(n =>"
                                 "!document.getElementById(n).disabled)"), [False, True, True, True])

    def test_picture_has_the_runners_pixels(self):
        self.started_with_setup()
        # a background of its own, chosen in the colour picker, shown at the next frame
        self.menu("szinek", "hatterszin")
        self.js("const p = document.getElementById('CD'); p.value = '#203040';"
                "p.dispatchEvent(new Event('change'));")
        for name, value in [("Xalfa", 30), ("Zbeta", 100)]:  # turn the view while stopped
            self.js("const b = document.getElementById(arguments[0]); b.value = arguments[1];"
                    "b.dispatchEvent(new Event('input'));", name, value)
        state = self.save_state()
        self.driver.switch_to.active_element.send_keys(Keys.CONTROL, "s")  # Kép mentése
        picture = self.downloaded("nyajkor3d.png")
        with tempfile.TemporaryDirectory() as folder:
            paths = {name: os.path.join(folder, name) for name in ("state.ckpt", "page.png", "native.png")}
            for name, data in (("state.ckpt", state), ("page.png", picture)):
                with open(paths[name], "wb") as f:
                    f.write(data)
            batch("--resume", paths["state.ckpt"], "--ticks", "0", "--frame", paths["native.png"])
            page_size, page_pixels, colours = pixels(paths["page.png"])
            native_size, native_pixels, _ = pixels(paths["native.png"])
        self.assertGreaterEqual(colours, 3)  # background, flock and cube: a frame, not a blank
        self.assertEqual(page_size, native_size)
        self.assertTrue(page_pixels == native_pixels, "the page's picture differs from the runner's frame")
        self.assertEqual(page_pixels[:3], bytes([0x20, 0x30, 0x40]))  # the corner is background

    def test_bad_files_are_refused_and_change_nothing(self):
        self.started_with_setup()
        good = self.save_state()
        flipped = bytearray(good)
        flipped[len(good) // 2] ^= 0x01
        # file contents: the reason the message gives
        cases = [(b"not a saved state at all", "nem ennek a programnak az állapotfájlja"),
                 (good[:100], "a fájl csonka"),
                 (bytes(flipped), "a fájl sérült"),
                 (b"", "nem ennek a programnak az állapotfájlja"),
                 (good + b"x" * 2_000_000, "a fájl sérült")]
        for data, reason in cases:
            with self.subTest(reason=reason, size=len(data)):
                self.load_state("rossz.ckpt", data)
                self.until(lambda: self.message() != "", "no message")
                self.assertEqual(self.message(), "Az állapot betöltése nem sikerült: rossz.ckpt: " + reason)
                self.assertEqual(self.save_state(), good)
                self.js("document.getElementById('uzenet').hidden = true")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
