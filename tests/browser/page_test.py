#!/usr/bin/env python3
"""The board page in a real browser: headless Chromium, driven with Selenium,
plays against velmaro-arena --serve as a person would, by clicking squares.

  page_test.py ARENA BRAIN TEST_BRAIN [--screenshot FILE]

Game 1, against the real brain: clicks stones until the game ends, checks
what the page shows (stones, last move, winning row, result, move list,
brain log, refusals, downloads, undo) and prints how long after the server
had each of the brain's moves the page showed it. With --screenshot it saves
the finished game as a PNG (the README's picture). Game 2, against a slow
scripted brain: the thinking indicator counts, a click while it thinks is
refused, and a second tab shows the same game.

Exits 77, which CTest reports as skipped, when Selenium, Chromium or its
driver is missing.
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
    from selenium.common.exceptions import StaleElementReferenceException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    print("skipped: python3-selenium is not installed")
    sys.exit(SKIPPED)

CHROMIUM, DRIVER = shutil.which("chromium"), shutil.which("chromedriver")
WAIT_S = 60           # for the page to show something
LAG_BOUND_MS = 2000   # generous: the measured figure is printed
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
    url = re.search(r"(http://\S+/)", process.stdout.readline()).group(1)
    return process, url


def browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in CHROMIUM_FLAGS + ["--user-data-dir=" + profile]:
        options.add_argument(flag)
    return webdriver.Chrome(service=Service(DRIVER), options=options)


def text(page, element_id):
    return page.find_element(By.ID, element_id).text


def click(page, x, y):
    for _ in range(5):  # the board is drawn anew on news: find the square again
        try:
            return page.find_element(By.CSS_SELECTOR, f'[data-x="{x}"][data-y="{y}"]').click()
        except StaleElementReferenceException:
            time.sleep(0.05)


def await_status(page, pattern):
    WebDriverWait(page, WAIT_S).until(lambda p: re.search(pattern, text(p, "status")))
    return text(page, "status")


def stones(page, colour):
    return len(page.find_elements(By.CSS_SELECTOR, ".stone." + colour))


def game_against_the_brain(page, url, screenshot):
    page.get(url)
    await_status(page, r"^Your turn \(black\)$")
    check(len(page.find_elements(By.CSS_SELECTOR, ".spot")) == SIZE * SIZE, "an empty 15x15 board")
    check(len(page.find_elements(By.CSS_SELECTOR, "text.coord")) == 2 * SIZE, "coordinates")

    # The first stone, the brain's answer, the last move marked.
    click(page, 7, 7)
    WebDriverWait(page, WAIT_S).until(lambda p: stones(p, "white") == 1)
    check(stones(page, "black") == 1, "one black stone after the first click")
    last = page.find_element(By.ID, "lastMark")
    white = page.find_element(By.CSS_SELECTOR, ".stone.white")
    check(last.get_attribute("cx") == white.get_attribute("cx") and
          last.get_attribute("cy") == white.get_attribute("cy"), "the brain's stone marked as last")
    check(re.search(r"\[velmaro\] MESSAGE creating player", text(page, "log")) is not None,
          "the brain's MESSAGE lines in the log")
    click(page, 7, 7)
    WebDriverWait(page, WAIT_S).until(lambda p: text(p, "notice"))
    check(text(page, "notice") == "Refused: (7,7) is taken: choose a free square",
          "a click on a stone is refused with the reason")

    # Play the free square nearest the centre until the game ends.
    while not re.search(r"wins|Draw", text(page, "status")):
        taken = {(int(s.get_attribute("data-x")), int(s.get_attribute("data-y")))
                 for s in page.find_elements(By.CSS_SELECTOR, ".stone")}
        c = SIZE // 2
        x, y = min(((x, y) for y in range(SIZE) for x in range(SIZE) if (x, y) not in taken),
                   key=lambda s: (max(abs(s[0] - c), abs(s[1] - c)), abs(s[0] - c) + abs(s[1] - c)))
        before = len(taken)
        click(page, x, y)
        WebDriverWait(page, WAIT_S).until(
            lambda p: len(p.find_elements(By.CSS_SELECTOR, ".stone")) >= before + 2
            or re.search(r"wins|Draw", text(p, "status")))
    moves = len(page.find_elements(By.CSS_SELECTOR, ".stone"))
    check(text(page, "status") == "velmaro wins: five in a row", "the result and its reason")
    check(len(page.find_elements(By.CSS_SELECTOR, ".five")) >= 5, "the winning five highlighted")
    check(len(page.find_elements(By.CSS_SELECTOR, "#moves li")) == moves, "the move list")
    check(page.find_element(By.ID, "psq").get_attribute("class") == "", "downloads offered")
    record = page.execute_async_script(
        "fetch('/api/record.psq').then(r => r.text()).then(arguments[0])")
    check(record.startswith("Piskvorky 15x15, 11:11, 1\n") and
          record.endswith("\nvelmaro\nperson\n0\n") and record.count("\n") == moves + 4,
          "the .psq download")
    if screenshot:
        page.save_screenshot(screenshot)
    click(page, 0, 14)
    WebDriverWait(page, WAIT_S).until(lambda p: "over" in text(p, "notice"))
    check(text(page, "notice").startswith("Refused: the game is over"), "no stones after the end")

    # Undo takes back the last pair.
    page.find_element(By.ID, "undo").click()
    await_status(page, r"^Your turn")
    check(len(page.find_elements(By.CSS_SELECTOR, ".stone")) == moves - 2, "undo of the last pair")

    lags = [t["lagMs"] for t in page.execute_script("return window.velmaroTimings")
            if t["brainMove"]]
    print(f"the page showed the brain's {len(lags)} moves {statistics.median(lags):.0f} ms "
          f"(median), {max(lags)} ms (max) after the server had them")
    check(max(lags) < LAG_BOUND_MS, f"the brain's moves shown within {LAG_BOUND_MS} ms")


def game_against_a_slow_brain(page, second, url):
    page.get(url)
    await_status(page, r"^Your turn")
    click(page, 7, 7)
    first = float(re.search(r"is thinking\.\.\. (\d+\.\d) s", await_status(page, "thinking"))[1])
    click(page, 8, 8)
    WebDriverWait(page, WAIT_S).until(lambda p: text(p, "notice"))
    check(text(page, "notice") == "Refused: not your turn: the brain is thinking",
          "a click while the brain thinks is refused")
    time.sleep(0.5)
    later = re.search(r"is thinking\.\.\. (\d+\.\d) s", text(page, "status"))
    check(later is not None and float(later[1]) > first, "the thinking time counts up")
    second.get(url)
    WebDriverWait(second, WAIT_S).until(lambda p: stones(p, "white") == 1)
    check(stones(second, "black") == 1, "a second tab shows the same game")


def main():
    if not (CHROMIUM and DRIVER):
        print("skipped: chromium or chromedriver is not installed")
        return SKIPPED
    arena, brain, test_brain = sys.argv[1:4]
    screenshot = sys.argv[5] if sys.argv[4:5] == ["--screenshot"] else None
    servers, pages = [], []
    with tempfile.TemporaryDirectory() as folder:
        try:
            process, url = serve(arena, f"'{brain}'", folder, "--turn", "500")
            servers.append(process)
            pages.append(browser(folder + "/profile1"))
            game_against_the_brain(pages[0], url, screenshot)
            process, url = serve(arena, f"'{test_brain}' --delay 3000", folder + "/slow",
                                 "--turn", "10000")
            servers.append(process)
            pages.append(browser(folder + "/profile2"))
            game_against_a_slow_brain(pages[0], pages[1], url)
        finally:
            for page in pages:
                page.quit()
            for process in servers:
                process.send_signal(signal.SIGTERM)
                check(process.wait(timeout=WAIT_S) == 0, "the server ends on SIGTERM")
    print(f"{len(failures)} failed" if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
