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


def figures(what, values, bound):
    print(f"{what}: {statistics.median(values):.1f} ms (median), {max(values):.1f} ms (max) over {len(values)}")
    check(max(values) < bound, f"{what}: within {bound} ms")


def serve(arena, engine, folder, *options):
    process = subprocess.Popen([arena, "--serve", "0", "--engine", engine, "--size", str(SIZE),
                                "--folder", folder, *options], stdout=subprocess.PIPE, text=True)
    return process, re.search(r"(http://\S+/)", process.stdout.readline()).group(1)


class Browser:
    """A headless Chromium window, and what a person sees and does in it."""

    def __init__(self, profile, phone=False):
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for flag in CHROMIUM_FLAGS + ["--user-data-dir=" + profile]:
            options.add_argument(flag)
        if phone:
            options.add_experimental_option("mobileEmulation", {"deviceMetrics": PHONE})
        self.driver = webdriver.Chrome(service=Service(DRIVER), options=options)

    def text(self, element_id):
        return self.driver.find_element(By.ID, element_id).text

    def find(self, css):
        return self.driver.find_elements(By.CSS_SELECTOR, css)

    def texts(self, css):
        return [e.text for e in self.find(css)]

    def count(self, css):
        return len(self.find(css))

    def board(self):
        return self.text("status"), self.count(".stone")

    def until(self, condition, wait=WAIT_S):
        """The condition's value once it holds, or False after the wait."""
        try:
            return WebDriverWait(self.driver, wait, poll_frequency=0.05).until(lambda _: condition())
        except TimeoutException:
            return False

    def expect(self, condition, what):
        check(self.until(condition), what)

    def step(self, element_id, condition, what):
        self.button(element_id)
        self.expect(condition, what)

    def open(self, url):
        self.driver.get(url)
        return self.until(lambda: self.text("status").startswith("Your turn"))

    def flagged(self, element_id, attribute="disabled"):
        return self.find("#" + element_id)[0].get_attribute(attribute) is not None

    def stones(self, css=".stone"):
        return {(int(s.get_attribute("data-x")), int(s.get_attribute("data-y"))) for s in self.find(css)}

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
    wood = page.find(".wood")[0].rect
    inside = lambda r: (wood["x"] <= r["x"] + r["width"] / 2 <= wood["x"] + wood["width"] and
                        wood["y"] <= r["y"] + r["height"] / 2 <= wood["y"] + wood["height"])
    shown = (page.texts("text.coord.col"), page.texts("text.coord.row"),
             any(inside(t.rect) for t in page.find("text.coord")), page.count(".star"), page.flagged("undo"))
    check(shown == (list(COLUMNS[:SIZE]), [str(SIZE - i) for i in range(SIZE)], False, 5, True),
          f"columns A-O, rows 15 (top) to 1, labels outside the wood, five star points, undo disabled: {shown}")
    page.step("hint", lambda: page.find("#hintMark") and page.text("notice").startswith("Hint: "), "the hint is marked")
    (hx, hy), = page.stones("#hintMark")
    check((page.text("notice"), page.count(".stone"), page.flagged("hint")) == ("Hint: " + name(hx, hy), 0, True),
          f"the hint named in the notation ({name(hx, hy)}), not played, and no second one")
    page.press(hx, hy)
    page.expect(lambda: page.count(".stone.white") == 1, "the brain answers the first click")
    last, white = page.find("#lastMark")[0], page.find(".stone.white")[0]
    check((page.count(".stone.black"), page.count("#hintMark"), [last.get_attribute(a) for a in ("cx", "cy")]) ==
          (1, 0, [white.get_attribute(a) for a in ("cx", "cy")]),
          "one black stone, the hint gone with its position, the brain's stone marked as last")
    page.expect(lambda: re.fullmatch(r"velmaro chose [A-O]\d+ by .*|velmaro's search: depth .*",
                                     page.text("searchText")), "the brain's choice shown")
    page.button("numbers")
    moves = page.texts("#moves li")
    check(moves[0].startswith(name(hx, hy) + " you") and re.match(r"[A-O]\d+ velmaro", moves[1]) and
          page.texts("text.num") == ["1", "2"] and
          "[velmaro] MESSAGE creating player" in page.driver.find_element(By.ID, "log").get_attribute("textContent"),
          f"the move list in the notation, numbers on the stones, the brain's lines kept aside: {moves}")
    page.refused(hx, hy, f"({hx},{hy}) is taken: choose a free square")

    # The free square nearest the centre until the game ends.
    c = SIZE // 2
    squares = sorted(((x, y) for y in range(SIZE) for x in range(SIZE)),
                     key=lambda s: (max(abs(s[0] - c), abs(s[1] - c)), abs(s[0] - c) + abs(s[1] - c)))
    ended = lambda: re.search(r"You (win|lose)|Draw", page.text("status"))
    searches = []
    while not ended():
        taken = page.stones()
        page.press(*next(s for s in squares if s not in taken))
        if not page.until(lambda: page.count(".stone") >= len(taken) + 2 or ended()):
            break
        searches.append((page.text("searchText"), page.text("scoreText")))
    searched = [(t, score) for t, score in searches if t.startswith("velmaro's search: depth")]
    check(searched and all(re.match(r"velmaro's search: depth \d+, [\d,]+ nodes, \d+k nodes/s; line( [A-O]\d+)+"
                                    r"; chose [A-O]\d+ by search depth \d+$", t) and
                           re.fullmatch(r"Score [-+]?\d+ for velmaro|(velmaro wins|You win) in \d+", score)
                           for t, score in searched),
          f"the brain's analysis: depth, nodes, its line and score ({len(searched)} searches), e.g. {searched[-1:] or searches}")
    moves = page.count(".stone")
    shown = (page.text("status"), page.count(".five") >= 5, page.count("#moves li"),
             page.find("#psq")[0].get_attribute("class"), page.flagged("resign"))
    check(shown == ("You lose: five in a row", True, moves, "", True),
          f"the result from the person's side, the five highlighted, the move list, downloads offered, "
          f"no resigning: {shown}")
    if screenshot:
        page.driver.save_screenshot(screenshot)
    page.refused(0, 14, "the game is over: start a new game, or undo")

    page.step("back", lambda: page.count(".stone") == moves - 1 and page.text("reviewAt") == f"{moves - 1} / {moves}",
              "one move back in the finished game")
    page.step("first", lambda: not page.find(".stone"), "the first position")
    page.step("lastPos", lambda: page.count(".stone") == moves, "the last position")
    page.step("undo", lambda: page.text("status").startswith("Your turn") and page.count(".stone") == moves - 2,
              "undo of the last pair")
    check(page.text("notice") == "", "notices cleared by the new state")

    figures("the brain's moves shown after the server had them",
            [t["lagMs"] for t in page.driver.execute_script("return window.velmaroTimings") if t["brainMove"]],
            LAG_BOUND_MS)
    clicks = [c["ms"] for c in page.driver.execute_script("return window.velmaroClicks")]
    check(len(clicks) >= 5, f"{len(clicks)} clicks timed")
    figures("click to stone", clicks, LAG_BOUND_MS)


def game_against_a_slow_brain(page, url):
    page.open(url)
    page.press(7, 7)
    seconds = lambda: re.search(r"is thinking\.\.\. (\d+\.\d) s", page.text("status"))
    first = page.until(seconds)
    # The scripted brain's search: its move and the far corner, numbered, not stones.
    page.expect(lambda: [(g.get_attribute("data-x"), g.get_attribute("data-y")) for g in page.find(".ghost")]
                == [("0", "0"), ("14", "14")],
                "the principal variation drawn while the brain thinks")
    shown = (page.texts("text.num")[-2:], page.count(".stone"), page.text("scoreText"),
             page.find("#barFill")[0].value_of_css_property("width") != "")
    check(shown == (["1", "2"], 1, "Score -25 for test-brain", True),
          f"the variation numbered, and the score shown: {shown}")
    page.refused(8, 8, "not your turn: the brain is thinking")
    time.sleep(0.5)
    later = seconds()
    check(first and later and float(later[1]) > float(first[1]) and
          page.find(".clock.running .who")[0].text.startswith("test-brain"),
          "the thinking time counts up, the brain's clock runs")
    page.expect(lambda: not page.find(".ghost") and page.count(".stone") == 2,
                "the variation goes when the brain has played")


# A game as another program writes it: a variation off the main line, which
# is not read; black wins with the column from H4 up.
LOADED_SGF = ("(;GM[4]FF[4]SZ[15]PB[Alice]PW[Bob]RE[B+1];B[hh];W[ii];B[hi](;W[jj];B[hj];W[kk];B[hk]"
              ";W[ll];B[hl])(;W[aa]))")
LOADED_PSQ = "Piskvorky 15x15, 11:11, 0\n8,8,0\n9,9,0\n8,9,0\nAlice\nBob\n0\n"


def loaded_games_then_a_new_game_on_20x20(page, url, folder):
    driver = page.driver
    page.open(url)

    def load(file_name, text):
        with open(os.path.join(folder, file_name), "w") as f:
            f.write(text)
        driver.find_element(By.ID, "load").send_keys(os.path.join(folder, file_name))

    load("bad.sgf", "(;SZ[15];B[hh];B[ii])")
    page.expect(lambda: page.text("notice") == "Cannot read bad.sgf: move 2 is black out of turn",
                "a record that cannot be read is refused, saying why")
    load("game.sgf", LOADED_SGF)
    page.expect(lambda: page.text("status") == "Reviewing game.sgf: move 9 of 9", "the SGF loaded for review")
    check(page.stones() == {(7, 7), (8, 8), (7, 8), (9, 9), (7, 9), (10, 10), (7, 10), (11, 11), (7, 11)} and
          [m.split()[0] for m in page.texts("#moves li")][:3] == ["H8", "I7", "H7"],
          "its main line on the board, its moves in the notation")
    page.button("back")
    page.step("back", lambda: page.text("reviewAt") == "7 / 9" and page.count(".stone") == 7, "stepped back two moves")
    page.press(0, 0)
    page.expect(lambda: page.text("notice").startswith("Reviewing"), "no stones played while reviewing")
    page.find("#moves li")[2].click()
    page.expect(lambda: page.text("reviewAt") == "3 / 9", "a move of the list chosen")
    # The server's game begins with those three stones, the person black as the form says.
    page.step("playOn", lambda: page.board() == ("Your turn (black)", 4), "played on from the third move: the brain answers")
    check([li.get_attribute("class").strip() for li in page.find("#moves li")][:3] == ["opening"] * 3 and
          page.flagged("undo"), "the loaded stones marked in the move list, and not undone")
    load("game.psq", LOADED_PSQ)
    check(page.until(lambda: page.text("status") == "Reviewing game.psq: move 3 of 3") and
          page.stones() == {(7, 7), (8, 8), (7, 8)}, "a .psq loaded for review")
    page.step("leave", lambda: page.board() == ("Your turn (black)", 4), "back to the game")
    page.step("resign", lambda: page.text("status") == "You lose: you resigned", "resigned")

    page.find("#newGameBox summary")[0].click()
    Select(driver.find_element(By.ID, "size")).select_by_value("20")
    Select(driver.find_element(By.ID, "colour")).select_by_value("white")
    turn = driver.find_element(By.ID, "turn")
    turn.clear()
    turn.send_keys("0.5")
    driver.find_element(By.ID, "help").click()  # off
    page.step("start", lambda: page.board() == ("Your turn (white)", 1), "a new game on 20x20, the brain black")
    shown = (page.texts("text.coord.col"), page.texts("text.coord.row")[0], page.flagged("hint", "hidden"),
             page.find("#analysis")[0].is_displayed(), "0.5 s a move" in page.text("clock0") + page.text("clock1"))
    check(shown == (list(COLUMNS), "20", True, False, True),
          f"columns A-T, rows 20 to 1, no help in a game without it, the brain's time a move: {shown}")
    page.press(19, 0)
    check(page.until(lambda: page.count(".stone") == 3) and page.texts("#moves li")[1].startswith("T20 you"),
          "the person plays T20, in the move list")
    driver.switch_to.new_window("tab")
    driver.get(url)
    check(page.until(lambda: page.count(".stone") == 3) and
          driver.find_element(By.ID, "colour").get_attribute("value") == "white" and
          driver.find_element(By.ID, "size").get_attribute("value") == "20", "a second tab's form shows the game")
    driver.close()
    driver.switch_to.window(driver.window_handles[0])


def phone(page, url, screenshot):
    driver = page.driver
    page.open(url)
    width, board = driver.execute_script("return [document.documentElement.scrollWidth, "
                                         "document.getElementById('board').getBoundingClientRect().width]")
    check(width <= PHONE["width"], f"the page fits {PHONE['width']} px: {width} px wide")
    print(f"a square on the phone: {board / (SIZE + 26 / 36):.1f} px")
    page.press(7, 7, touch=True)
    check(page.until(lambda: page.find("#preview")) and not page.find(".stone") and
          page.text("notice") == "Tap H8 again to play it", "a first tap previews")
    page.press(7, 7, touch=True)
    check(page.until(lambda: page.count(".stone") == 2) and not page.find("#preview"), "a second tap plays")
    page.refused(7, 7, "(7,7) is taken: choose a free square", touch=True)
    if screenshot:
        page.press(6, 8, touch=True)
        page.until(lambda: page.find("#preview"))
        driver.save_screenshot(screenshot)


def ten_tabs(page, url):
    """More tabs than the six connections a browser opens to one server."""
    driver = page.driver
    driver.get(url)
    for _ in range(TABS - 1):
        driver.switch_to.new_window("tab")
        try:
            driver.get(url)
        except TimeoutException:  # the browser found no free connection for the page
            break
    tabs = driver.window_handles
    in_every_tab = lambda condition: sum(bool(driver.switch_to.window(tab) or page.until(condition)) for tab in tabs)
    check(in_every_tab(lambda: page.text("status") == "Your turn (black)") == TABS, f"{TABS} tabs show the game")
    driver.switch_to.window(tabs[0])
    page.press(4, 4)
    check(in_every_tab(lambda: page.count(".stone") == 2) == TABS, f"{TABS} tabs show the stone and the brain's answer")
    lags = []
    for tab in tabs:
        driver.switch_to.window(tab)
        timings = driver.execute_script("return window.velmaroTimings")
        lags += [min((t["lagMs"] for t in timings if t["moves"] == moves), default=10**9) for moves in (1, 2)]
    figures(f"{TABS} tabs showed the stone and the brain's answer after the server had them", lags, TABS_BOUND_MS)


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
                                         (f"'{test_brain}' --delay 100", "/load", [])):
                servers.append(serve(arena, engine, folder + sub, *options))
            pages += [Browser(folder + "/profile1"), Browser(folder + "/profile2", phone=True)]
            game_against_the_brain(pages[0], servers[0][1], screenshot)
            game_against_a_slow_brain(pages[0], servers[1][1])
            phone(pages[1], servers[3][1], phone_shot)  # a game that the loaded games replace
            loaded_games_then_a_new_game_on_20x20(pages[0], servers[3][1], folder)
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
