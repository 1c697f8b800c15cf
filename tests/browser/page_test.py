#!/usr/bin/env python3
"""The board page in headless Chromium, driven with Selenium: a person's
clicks against velmaro-arena --serve.

  page_test.py ARENA BRAIN TEST_BRAIN [--screenshot FILE]

--screenshot FILE saves the finished game (the README's picture) and, in
FILE-phone.png, the page on a phone. Exits 77, skipped in CTest, without
Selenium, Chromium or its driver.
"""
import os
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
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.actions import interaction
    from selenium.webdriver.common.actions.action_builder import ActionBuilder
    from selenium.webdriver.common.actions.pointer_input import PointerInput
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import Select, WebDriverWait
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
PHONE = {"width": 360, "height": 800, "pixelRatio": 2, "touch": True}
COLUMNS = "ABCDEFGHIJKLMNOPQRST"
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

    def __init__(self, profile, flags=(), phone=False):
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for flag in CHROMIUM_FLAGS + list(flags) + ["--user-data-dir=" + profile]:
            options.add_argument(flag)
        if phone:
            options.add_experimental_option("mobileEmulation", {"deviceMetrics": PHONE})
        self.driver = webdriver.Chrome(service=Service(DRIVER), options=options)

    def text(self, element_id):
        return self.driver.find_element(By.ID, element_id).text

    def find(self, css):
        return self.driver.find_elements(By.CSS_SELECTOR, css)

    def until(self, condition, wait=WAIT_S):
        """The condition's value once it holds, or False after the wait."""
        try:
            return WebDriverWait(self.driver, wait, poll_frequency=0.05).until(lambda _: condition())
        except TimeoutException:
            return False

    def expect(self, condition, what):
        """A check that the condition comes to hold within the wait."""
        check(self.until(condition), what)

    def open(self, url):
        """The page, once it shows the person's turn."""
        self.driver.get(url)
        return self.until(lambda: self.text("status").startswith("Your turn"))

    def flagged(self, element_id, attribute="disabled"):
        """Whether the element carries the attribute (disabled, hidden)."""
        return self.find("#" + element_id)[0].get_attribute(attribute) is not None

    def stones(self):
        return {(int(s.get_attribute("data-x")), int(s.get_attribute("data-y"))) for s in self.find(".stone")}

    def press(self, x, y, touch=False):
        """A click (or a finger's tap) on the pointer layer at the square's centre."""
        for _ in range(5):  # the board is drawn anew on news: find the layer again
            try:
                layer = self.find("#layer")[0]
                size = len(self.find("text.coord.col"))
                w, h = layer.rect["width"], layer.rect["height"]
                dx, dy = round((x + 0.5) * w / size - w / 2), round((y + 0.5) * h / size - h / 2)
                if touch:
                    actions = ActionBuilder(self.driver, mouse=PointerInput(interaction.POINTER_TOUCH, "finger"))
                    actions.pointer_action.move_to(layer, dx, dy).pointer_down().pointer_up()
                    return actions.perform()
                return ActionChains(self.driver).move_to_element_with_offset(layer, dx, dy).click().perform()
            except (StaleElementReferenceException, IndexError):
                time.sleep(0.05)

    def button(self, element_id):
        self.driver.find_element(By.ID, element_id).click()

    def refused(self, x, y, reason, touch=False):
        self.press(x, y, touch)
        self.expect(lambda: self.text("notice") == "Refused: " + reason,
                    f"a {'tap' if touch else 'click'} on {x},{y} is refused: {reason}")


def name(x, y, size=SIZE):
    return f"{COLUMNS[x]}{size - y}"


def game_against_the_brain(page, url, screenshot):
    page.driver.get(url)
    page.expect(lambda: page.text("status") == "Your turn (black)", "the person begins")
    columns = [t.text for t in page.find("text.coord.col")]
    rows = [t.text for t in page.find("text.coord.row")]
    check(columns == list(COLUMNS[:SIZE]) and rows == [str(SIZE - i) for i in range(SIZE)],
          "columns A-O, rows 15 (top) to 1 (bottom)")
    wood = page.find(".wood")[0].rect
    check(all(not (wood["x"] <= t.rect["x"] + t.rect["width"] / 2 <= wood["x"] + wood["width"] and
                   wood["y"] <= t.rect["y"] + t.rect["height"] / 2 <= wood["y"] + wood["height"])
              for t in page.find("text.coord")), "the labels lie outside the wood, where no stone goes")
    check(len(page.find(".star")) == 5, "five star points")
    check(page.flagged("undo"), "undo disabled with nothing to undo")

    page.button("hint")
    page.expect(lambda: page.find("#hintMark") and page.text("notice").startswith("Hint: "), "the hint is marked")
    hx, hy = (int(page.find("#hintMark")[0].get_attribute(a)) for a in ("data-x", "data-y"))
    check(page.text("notice") == "Hint: " + name(hx, hy) and not page.find(".stone"),
          f"the hint named in the notation ({name(hx, hy)}) and not played")
    check(page.flagged("hint"), "no second hint for the same position")

    # The first stone, on the hint.
    page.press(hx, hy)
    check(page.until(lambda: len(page.find(".stone.white")) == 1) and len(page.find(".stone.black")) == 1,
          "the brain answers the first click")
    check(not page.find("#hintMark"), "the hint is gone with its position")
    last, white = page.find("#lastMark")[0], page.find(".stone.white")[0]
    check(all(last.get_attribute(a) == white.get_attribute(a) for a in ("cx", "cy")),
          "the brain's stone marked as last")
    page.expect(lambda: re.fullmatch(r"velmaro chose [A-O]\d+ by .*|velmaro's search: depth .*",
                                     page.text("searchText")), "the brain's choice shown")
    moves = [li.text for li in page.find("#moves li")]
    check(moves[0].startswith(name(hx, hy) + " you") and re.match(r"[A-O]\d+ velmaro", moves[1]),
          f"the move list in the notation: {moves}")
    page.button("numbers")
    check([t.text for t in page.find("text.num")] == ["1", "2"], "numbers on the stones")
    check("[velmaro] MESSAGE creating player" in page.driver.find_element(By.ID, "log").get_attribute("textContent"),
          "the brain's lines kept aside")
    page.refused(hx, hy, f"({hx},{hy}) is taken: choose a free square")

    # Play the free square nearest the centre until the game ends.
    c = SIZE // 2
    squares = sorted(((x, y) for y in range(SIZE) for x in range(SIZE)),
                     key=lambda s: (max(abs(s[0] - c), abs(s[1] - c)), abs(s[0] - c) + abs(s[1] - c)))
    ended = lambda: re.search(r"You (win|lose)|Draw", page.text("status"))
    searches = []
    while not ended():
        taken = page.stones()
        page.press(*next(s for s in squares if s not in taken))
        if not page.until(lambda: len(page.find(".stone")) >= len(taken) + 2 or ended()):
            break
        searches.append((page.text("searchText"), page.text("scoreText")))
    searched = [(t, score) for t, score in searches if t.startswith("velmaro's search: depth")]
    check(searched and all(re.match(r"velmaro's search: depth \d+, [\d,]+ nodes, \d+k nodes/s; line( [A-O]\d+)+"
                                    r"; chose [A-O]\d+ by search depth \d+$", t) and
                           re.fullmatch(r"Score [-+]?\d+ for velmaro|(velmaro wins|You win) in \d+", score)
                           for t, score in searched),
          f"the brain's analysis: depth, nodes, its line and score ({len(searched)} searches), e.g. {searched[-1:] or searches}")
    moves = len(page.find(".stone"))
    check(page.text("status") == "You lose: five in a row", f"the result, from the person's side: {page.text('status')}")
    check(len(page.find(".five")) >= 5, "the winning five highlighted")
    check(len(page.find("#moves li")) == moves, "the move list")
    check(page.find("#psq")[0].get_attribute("class") == "", "downloads offered")
    check(page.flagged("resign"), "no resigning a finished game")
    if screenshot:
        page.driver.save_screenshot(screenshot)
    page.refused(0, 14, "the game is over: start a new game, or undo")

    # Review of the finished game: back, to the start, and on again.
    page.button("back")
    check(page.until(lambda: len(page.find(".stone")) == moves - 1) and
          page.text("reviewAt") == f"{moves - 1} / {moves}", "one move back in the finished game")
    page.button("first")
    page.expect(lambda: not page.find(".stone"), "the first position")
    page.button("lastPos")
    page.expect(lambda: len(page.find(".stone")) == moves, "the last position")

    page.button("undo")
    page.expect(lambda: page.text("status").startswith("Your turn") and len(page.find(".stone")) == moves - 2,
                "undo of the last pair")
    check(page.text("notice") == "", "notices cleared by the new state")

    lags = [t["lagMs"] for t in page.driver.execute_script("return window.velmaroTimings")
            if t["brainMove"]]
    print(f"the page showed the brain's {len(lags)} moves {statistics.median(lags):.0f} ms "
          f"(median), {max(lags)} ms (max) after the server had them")
    check(max(lags) < LAG_BOUND_MS, f"the brain's moves shown within {LAG_BOUND_MS} ms")
    clicks = [c["ms"] for c in page.driver.execute_script("return window.velmaroClicks")]
    print(f"click to stone: {statistics.median(clicks):.1f} ms (median), {max(clicks):.1f} ms (max) "
          f"over {len(clicks)} clicks")
    check(len(clicks) >= 5 and max(clicks) < LAG_BOUND_MS, f"every stone shown within {LAG_BOUND_MS} ms of its click")


def game_against_a_slow_brain(page, second, url):
    page.open(url)
    page.press(7, 7)
    seconds = lambda: re.search(r"is thinking\.\.\. (\d+\.\d) s", page.text("status"))
    first = page.until(seconds)
    # The scripted brain's search: its move and the far corner, numbered,
    # translucent, not stones; the score on the bar.
    check(page.until(lambda: [(g.get_attribute("data-x"), g.get_attribute("data-y")) for g in page.find(".ghost")]
                     == [("0", "0"), ("14", "14")]) and
          [t.text for t in page.find("text.num")][-2:] == ["1", "2"] and len(page.find(".stone")) == 1,
          "the principal variation drawn while the brain thinks")
    check(page.text("scoreText") == "Score -25 for test-brain" and
          page.find("#barFill")[0].value_of_css_property("width") != "", "the score shown")
    page.refused(8, 8, "not your turn: the brain is thinking")
    time.sleep(0.5)
    later = seconds()
    check(first and later and float(later[1]) > float(first[1]), "the thinking time counts up")
    check(page.find(".clock.running .who")[0].text.startswith("test-brain"), "the brain's clock runs")
    page.expect(lambda: not page.find(".ghost") and len(page.find(".stone")) == 2,
                "the variation goes when the brain has played")
    second.driver.get(url)
    second.expect(lambda: len(second.find(".stone.white")) == 1 and len(second.find(".stone.black")) == 1,
                  "a second browser shows the game")
    # The same server under a name of another site that resolves here.
    second.driver.get(url.replace("127.0.0.1", REBOUND))
    check("not to the Host of this request" in second.driver.page_source,
          "a page under another name is refused (DNS rebinding)")


# A game as another program writes it: a variation off the main line, which
# is not read; black wins with the column from H4 up.
LOADED_SGF = ("(;GM[4]FF[4]SZ[15]PB[Alice]PW[Bob]RE[B+1];B[hh];W[ii];B[hi](;W[jj];B[hj];W[kk];B[hk]"
              ";W[ll];B[hl])(;W[aa]))")
LOADED_PSQ = "Piskvorky 15x15, 11:11, 0\n8,8,0\n9,9,0\n8,9,0\nAlice\nBob\n0\n"


def review_a_loaded_game(page, url, folder):
    page.open(url)
    files = {}
    for name_, text in (("game.sgf", LOADED_SGF), ("game.psq", LOADED_PSQ), ("bad.sgf", "(;SZ[15];B[hh];B[ii])")):
        files[name_] = os.path.join(folder, name_)
        with open(files[name_], "w") as f:
            f.write(text)
    page.driver.find_element(By.ID, "load").send_keys(files["bad.sgf"])
    page.expect(lambda: page.text("notice") == "Cannot read bad.sgf: move 2 is black out of turn",
                "a record that cannot be read is refused, saying why")
    page.driver.find_element(By.ID, "load").send_keys(files["game.sgf"])
    page.expect(lambda: page.text("status") == "Reviewing game.sgf: move 9 of 9", "the SGF loaded for review")
    check(page.stones() == {(7, 7), (8, 8), (7, 8), (9, 9), (7, 9), (10, 10), (7, 10), (11, 11), (7, 11)},
          "its main line on the board")
    check([li.text.split()[0] for li in page.find("#moves li")][:3] == ["H8", "I7", "H7"], "its moves in the notation")
    page.button("back")
    page.button("back")
    page.expect(lambda: page.text("reviewAt") == "7 / 9" and len(page.find(".stone")) == 7, "stepped back two moves")
    page.press(0, 0)
    page.expect(lambda: page.text("notice").startswith("Reviewing"), "no stones played while reviewing")
    page.find("#moves li")[2].click()
    page.expect(lambda: page.text("reviewAt") == "3 / 9", "a move of the list chosen")
    # Play on from there: the server's game begins with those three stones,
    # the person black as the form says, the brain (white) to move.
    page.button("playOn")
    page.expect(lambda: page.text("status") == "Your turn (black)" and len(page.find(".stone")) == 4,
                "played on from the third move: the brain answers")
    check([li.get_attribute("class").strip() for li in page.find("#moves li")][:3] == ["opening"] * 3,
          "the loaded stones marked in the move list")
    check(page.flagged("undo"), "the loaded stones cannot be undone")
    page.driver.find_element(By.ID, "load").send_keys(files["game.psq"])
    check(page.until(lambda: page.text("status") == "Reviewing game.psq: move 3 of 3") and
          page.stones() == {(7, 7), (8, 8), (7, 8)}, "a .psq loaded for review")
    page.button("leave")
    page.expect(lambda: page.text("status") == "Your turn (black)" and len(page.find(".stone")) == 4,
                "back to the game")
    page.button("resign")
    page.expect(lambda: page.text("status") == "You lose: you resigned", "resigned")


def new_game_on_20x20(page, url):
    driver = page.driver
    page.open(url)
    page.find("#newGameBox summary")[0].click()
    Select(driver.find_element(By.ID, "size")).select_by_value("20")
    Select(driver.find_element(By.ID, "colour")).select_by_value("white")
    turn = driver.find_element(By.ID, "turn")
    turn.clear()
    turn.send_keys("0.5")
    driver.find_element(By.ID, "help").click()  # off
    page.button("start")
    page.expect(lambda: page.text("status") == "Your turn (white)" and len(page.find(".stone")) == 1,
                "a new game on 20x20, the brain black")
    check([t.text for t in page.find("text.coord.col")] == list(COLUMNS) and
          [t.text for t in page.find("text.coord.row")][0] == "20", "columns A-T, rows 20 to 1")
    check(page.flagged("hint", "hidden") and not page.find("#analysis")[0].is_displayed(),
          "no help in a game without it")
    check("0.5 s a move" in page.text("clock0") or "0.5 s a move" in page.text("clock1"), "the brain's time a move")
    page.press(19, 0)
    page.expect(lambda: len(page.find(".stone")) == 3, "the person plays T20")
    check(page.find("#moves li")[1].text.startswith("T20 you"), "T20 in the move list")
    # Another tab shows the colour the person plays.
    driver.switch_to.new_window("tab")
    driver.get(url)
    check(page.until(lambda: len(page.find(".stone")) == 3) and
          driver.find_element(By.ID, "colour").get_attribute("value") == "white" and
          driver.find_element(By.ID, "size").get_attribute("value") == "20", "a second tab's form shows the game")
    driver.close()
    driver.switch_to.window(driver.window_handles[0])


def phone(page, url, screenshot):
    driver = page.driver
    page.open(url)
    width = driver.execute_script("return document.documentElement.scrollWidth")
    check(width <= PHONE["width"], f"the page fits {PHONE['width']} px: {width} px wide")
    square = driver.execute_script(
        "const r = document.getElementById('board').getBoundingClientRect(); return r.width;") / (SIZE + 26 / 36)
    print(f"a square on the phone: {square:.1f} px")
    # Small squares: the first tap previews, a second one plays.
    page.press(7, 7, touch=True)
    check(page.until(lambda: page.find("#preview")) and not page.find(".stone") and
          page.text("notice") == "Tap H8 again to play it", "a first tap previews")
    page.press(7, 7, touch=True)
    check(page.until(lambda: len(page.find(".stone")) == 2) and not page.find("#preview"), "a second tap plays")
    stones = page.stones()
    # A tap on a stone is that stone's square, refused, whichever of the two.
    for x, y in sorted(stones):
        page.refused(x, y, f"({x},{y}) is taken: choose a free square", touch=True)
    check(page.stones() == stones, "no stone played by a tap on a stone")
    if screenshot:
        page.press(6, 8, touch=True)
        page.until(lambda: page.find("#preview"))
        driver.save_screenshot(screenshot)


def ten_tabs(page, url):
    """More tabs than the six connections a browser opens to one server."""
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
    page.press(4, 4)
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
    phone_shot = screenshot and re.sub(r"(\.png)?$", "-phone.png", screenshot, count=1)
    servers, pages = [], []
    with tempfile.TemporaryDirectory() as folder:
        try:
            for engine, sub, options in ((f"'{brain}'", "", ["--turn", "500"]),
                                         (f"'{test_brain}' --delay 3000", "/slow", ["--turn", "10000"]),
                                         (f"'{test_brain}' --delay 200", "/tabs", []),
                                         (f"'{test_brain}' --delay 100", "/load", []),
                                         (f"'{test_brain}' --delay 100", "/phone", [])):
                servers.append(serve(arena, engine, folder + sub, *options))
            pages.append(Browser(folder + "/profile1"))
            pages.append(Browser(folder + "/profile2",
                                 [f"--host-resolver-rules=MAP {REBOUND} 127.0.0.1"]))
            game_against_the_brain(pages[0], servers[0][1], screenshot)
            game_against_a_slow_brain(pages[0], pages[1], servers[1][1])
            review_a_loaded_game(pages[0], servers[3][1], folder)
            new_game_on_20x20(pages[0], servers[3][1])
            pages[1].driver.quit()
            pages[1] = Browser(folder + "/profile3", phone=True)
            phone(pages[1], servers[4][1], phone_shot)
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
