#!/usr/bin/env python3
"""The board page in headless Chromium, driven with Selenium: a person's
clicks against velmaro-arena --serve.

  page_test.py ARENA BRAIN TEST_BRAIN [--screenshot FILE]

Game 1 against the real brain, to its end and an undo; prints how long after
the server had each brain move the page showed it, and with --screenshot
saves the finished game (the README's picture). Game 2 against a slow
scripted brain: the thinking indicator, and a second browser on the game,
which also reaches the server under another name (DNS rebinding) and is
refused. Game 3: ten tabs of one browser, more than the six connections it
opens to one server, all show every move within a second (the figures are
printed). Exits 77, skipped in CTest, without Selenium, Chromium or its driver.
"""
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

SKIPPED = 77
try:
    from selenium import webdriver
    from selenium.common.exceptions import StaleElementReferenceException, TimeoutException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    print("skipped: python3-selenium is not installed")
    sys.exit(SKIPPED)

CHROMIUM, DRIVER = shutil.which("chromium"), shutil.which("chromedriver")
WAIT_S = 60           # for the page to show something
LAG_BOUND_MS = 2000   # generous: the measured figure is printed
TABS = 10
TABS_BOUND_MS = 1000  # what the server promises every tab; the figures are printed
REBOUND = "rebound.test"  # a name that the second browser resolves to this machine
SIZE = 15
# This machine has no internet: nothing in the background may try to reach it.
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update",
                  "--disable-sync", "--window-size=1100,720"]
failures = []


def check(condition, what):
    print(("ok    " if condition else "FAIL  ") + what)
    if not condition:
        failures.append(what)


def serve(arena, engine, folder, *options):
    process = subprocess.Popen([arena, "--serve", "0", "--engine", engine, "--size", str(SIZE),
                                "--folder", folder, *options], stdout=subprocess.PIPE, text=True)
    return process, re.search(r"(http://\S+/)", process.stdout.readline()).group(1)


class Browser:
    """A headless Chromium window, and what a person sees and does in it."""

    def __init__(self, profile, flags=()):
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for flag in CHROMIUM_FLAGS + list(flags) + ["--user-data-dir=" + profile]:
            options.add_argument(flag)
        self.driver = webdriver.Chrome(service=Service(DRIVER), options=options)

    def text(self, element_id):
        return self.driver.find_element(By.ID, element_id).text

    def find(self, css):
        return self.driver.find_elements(By.CSS_SELECTOR, css)

    def until(self, condition):
        """The condition's value once it holds, or False after WAIT_S."""
        try:
            return WebDriverWait(self.driver, WAIT_S).until(lambda _: condition())
        except TimeoutException:
            return False

    def click(self, x, y):
        for _ in range(5):  # the board is drawn anew on news: find the square again
            try:
                return self.find(f'[data-x="{x}"][data-y="{y}"]')[0].click()
            except (StaleElementReferenceException, IndexError):
                time.sleep(0.05)

    def refused(self, x, y, reason):
        self.click(x, y)
        check(self.until(lambda: self.text("notice") == "Refused: " + reason),
              f"a click on {x},{y} is refused: {reason}")


def game_against_the_brain(page, url, screenshot):
    page.driver.get(url)
    check(page.until(lambda: page.text("status") == "Your turn (black)"), "the person begins")
    check(len(page.find(".spot")) == SIZE * SIZE and len(page.find("text.coord")) == 2 * SIZE,
          "an empty 15x15 board with coordinates")

    # The first stone, the brain's answer marked as the last move.
    page.click(7, 7)
    check(page.until(lambda: len(page.find(".stone.white")) == 1) and
          len(page.find(".stone.black")) == 1, "the brain answers the first click")
    last, white = page.find("#lastMark")[0], page.find(".stone.white")[0]
    check(all(last.get_attribute(a) == white.get_attribute(a) for a in ("cx", "cy")),
          "the brain's stone marked as last")
    check("[velmaro] MESSAGE creating player" in page.text("log"), "the brain's MESSAGE lines")
    page.refused(7, 7, "(7,7) is taken: choose a free square")

    # Play the free square nearest the centre until the game ends.
    c = SIZE // 2
    squares = sorted(((x, y) for y in range(SIZE) for x in range(SIZE)),
                     key=lambda s: (max(abs(s[0] - c), abs(s[1] - c)), abs(s[0] - c) + abs(s[1] - c)))
    while not re.search(r"wins|Draw", page.text("status")):
        taken = {(int(s.get_attribute("data-x")), int(s.get_attribute("data-y")))
                 for s in page.find(".stone")}
        page.click(*next(s for s in squares if s not in taken))
        if not page.until(lambda: len(page.find(".stone")) >= len(taken) + 2 or
                          re.search(r"wins|Draw", page.text("status"))):
            break
    moves = len(page.find(".stone"))
    check(page.text("status") == "velmaro wins: five in a row", "the result and its reason")
    check(len(page.find(".five")) >= 5, "the winning five highlighted")
    check(len(page.find("#moves li")) == moves, "the move list")
    check(page.find("#psq")[0].get_attribute("class") == "", "downloads offered")
    if screenshot:
        page.driver.save_screenshot(screenshot)
    page.refused(0, 14, "the game is over: start a new game, or undo")

    page.find("#undo")[0].click()
    check(page.until(lambda: page.text("status").startswith("Your turn") and
                     len(page.find(".stone")) == moves - 2), "undo of the last pair")

    lags = [t["lagMs"] for t in page.driver.execute_script("return window.velmaroTimings")
            if t["brainMove"]]
    print(f"the page showed the brain's {len(lags)} moves {statistics.median(lags):.0f} ms "
          f"(median), {max(lags)} ms (max) after the server had them")
    check(max(lags) < LAG_BOUND_MS, f"the brain's moves shown within {LAG_BOUND_MS} ms")


def game_against_a_slow_brain(page, second, url):
    page.driver.get(url)
    page.until(lambda: page.text("status").startswith("Your turn"))
    page.click(7, 7)
    seconds = lambda: re.search(r"is thinking\.\.\. (\d+\.\d) s", page.text("status"))
    first = page.until(seconds)
    page.refused(8, 8, "not your turn: the brain is thinking")
    time.sleep(0.5)
    later = seconds()
    check(first and later and float(later[1]) > float(first[1]), "the thinking time counts up")
    second.driver.get(url)
    check(second.until(lambda: len(second.find(".stone.white")) == 1 and
                       len(second.find(".stone.black")) == 1), "a second browser shows the game")
    # The same server under a name of another site that resolves here.
    second.driver.get(url.replace("127.0.0.1", REBOUND))
    check("not to the Host of this request" in second.driver.page_source,
          "a page under another name is refused (DNS rebinding)")


def ten_tabs(page, url):
    driver = page.driver
    driver.get(url)
    first = driver.current_window_handle
    for _ in range(TABS - 1):
        driver.switch_to.new_window("tab")
        try:
            driver.get(url)
        except TimeoutException:  # the browser found no free connection for the page
            break
    tabs = driver.window_handles
    shown = 0
    for tab in tabs:
        driver.switch_to.window(tab)
        shown += bool(page.until(lambda: page.text("status") == "Your turn (black)"))
    check(shown == TABS, f"{TABS} tabs show the game")

    # A stone in the first tab, then the brain's answer: every tab shows both.
    driver.switch_to.window(first)
    page.click(4, 4)
    lags, shown = [], 0
    for tab in tabs:
        driver.switch_to.window(tab)
        shown += bool(page.until(lambda: len(page.find(".stone")) == 2))
        timings = driver.execute_script("return window.velmaroTimings")
        for moves in (1, 2):
            lags.append(min((t["lagMs"] for t in timings if t["moves"] == moves), default=10**9))
    check(shown == TABS, f"{TABS} tabs show the stone and the brain's answer")
    print(f"{TABS} tabs showed the person's stone and the brain's answer {statistics.median(lags):.0f} ms "
          f"(median), {max(lags)} ms (max) after the server had them")
    check(max(lags) < TABS_BOUND_MS, f"every tab shows every move within {TABS_BOUND_MS} ms")
    for tab in tabs[1:]:
        driver.switch_to.window(tab)
        driver.close()
    driver.switch_to.window(first)


def main():
    if not (CHROMIUM and DRIVER):
        print("skipped: chromium or chromedriver is not installed")
        return SKIPPED
    arena, brain, test_brain = sys.argv[1:4]
    screenshot = sys.argv[5] if sys.argv[4:5] == ["--screenshot"] else None
    servers, pages = [], []
    with tempfile.TemporaryDirectory() as folder:
        try:
            servers.append(serve(arena, f"'{brain}'", folder, "--turn", "500"))
            servers.append(serve(arena, f"'{test_brain}' --delay 3000", folder + "/slow",
                                 "--turn", "10000"))
            servers.append(serve(arena, f"'{test_brain}' --delay 200", folder + "/tabs"))
            pages.append(Browser(folder + "/profile1"))
            pages.append(Browser(folder + "/profile2",
                                 [f"--host-resolver-rules=MAP {REBOUND} 127.0.0.1"]))
            game_against_the_brain(pages[0], servers[0][1], screenshot)
            game_against_a_slow_brain(pages[0], pages[1], servers[1][1])
            ten_tabs(pages[0], servers[2][1])
        finally:
            for page in pages:
                page.driver.quit()
            for process, _ in servers:
                process.send_signal(signal.SIGTERM)
                check(process.wait(timeout=WAIT_S) == 0, "the server ends on SIGTERM")
    print(f"{len(failures)} failed" if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
