#!/usr/bin/env python3
"""Figures of the board page's server (velmaro-arena --serve), measured on
this machine and printed:

  tools/arena/serve_figures.py BUILD_FOLDER

1. A move with ten tabs open: one headless Chromium with ten tabs on the
   page (more than the six connections a browser opens to one server); the
   person plays in the first tab, a scripted brain answers after 200 ms.
   For each of the moves, the time from the server's change to the state
   shown in each tab (the page's own timings, same clock). Needs Chromium,
   its driver and python3-selenium; skipped without them.
2. The stall with 50 idle and 50 half-sent connections open: the time of a
   GET /api/state on a fresh connection, without them and with them.
3. Memory after a 100 MB chunked attempt: the server's resident and peak
   memory (VmRSS, VmHWM) before and after a client sends 100 MB of chunked
   body to /api/move, as fast as the server takes it.
"""
import os
import re
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

MOVES = 5
TABS = 10
REQUESTS = 50
MB = 1024 * 1024


def serve(build, folder, *brain_options):
    brain = f"'{build}/tests/velmaro-test-brain' " + " ".join(brain_options)
    process = subprocess.Popen([f"{build}/velmaro-arena", "--serve", "0", "--engine", brain,
                                "--size", "15", "--folder", folder], stdout=subprocess.PIPE, text=True)
    port = int(re.search(r":(\d+)/", process.stdout.readline()).group(1))
    return process, port


def request(port, text):
    with socket.create_connection(("127.0.0.1", port)) as s:
        s.sendall(text.encode())
        answer = b""
        while b"\r\n\r\n" not in answer:
            answer += s.recv(65536)
        return answer


def state_ms(port):
    began = time.perf_counter()
    request(port, f"GET /api/state HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nConnection: close\r\n\r\n")
    return (time.perf_counter() - began) * 1000


def memory(pid):
    with open(f"/proc/{pid}/status") as status:
        fields = dict(line.split(":", 1) for line in status)
    return {k: int(fields[k].split()[0]) // 1024 for k in ("VmRSS", "VmHWM")}


def ten_tabs(build, folder):
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        from selenium.webdriver.common.by import By
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.support.ui import WebDriverWait
    except ImportError:
        print("1. skipped: python3-selenium is not installed")
        return
    process, port = serve(build, folder + "/tabs", "--delay 200")
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                 "--user-data-dir=" + folder + "/profile"]:
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    url = f"http://127.0.0.1:{port}/"
    try:
        driver.get(url)
        first = driver.current_window_handle
        for _ in range(TABS - 1):
            driver.switch_to.new_window("tab")
            driver.get(url)
        tabs = driver.window_handles
        stones = lambda: len(driver.find_elements(By.CSS_SELECTOR, ".stone"))
        for move in range(MOVES):
            driver.switch_to.window(first)
            WebDriverWait(driver, 30).until(
                lambda _: driver.find_element(By.ID, "status").text.startswith("Your turn"))
            # The square's centre on the board's pointer layer (the 15x15 wood).
            layer = driver.find_element(By.ID, "layer")
            w, h = layer.rect["width"], layer.rect["height"]
            ActionChains(driver).move_to_element_with_offset(
                layer, round((2 * move + 0.5) * w / 15 - w / 2), round(14.5 * h / 15 - h / 2)).click().perform()
            for tab in tabs:
                driver.switch_to.window(tab)
                WebDriverWait(driver, 30).until(lambda _: stones() >= 2 * move + 2)
        lags = []
        for tab in tabs:
            driver.switch_to.window(tab)
            timings = driver.execute_script("return window.velmaroTimings")
            for moves in range(1, 2 * MOVES + 1):
                lags.append(min(t["lagMs"] for t in timings if t["moves"] == moves))
        print(f"1. a move with {TABS} tabs open: shown {statistics.median(lags):.0f} ms (median), "
              f"{max(lags)} ms (max) after the server's change, over {len(lags)} "
              f"(stone, tab) pairs")
    finally:
        driver.quit()
        process.send_signal(signal.SIGTERM)
        process.wait()


def idle_connections(build, folder):
    process, port = serve(build, folder + "/idle")
    alone = [state_ms(port) for _ in range(REQUESTS)]
    held = []
    for i in range(50):
        held.append(socket.create_connection(("127.0.0.1", port)))  # idle
        half = socket.create_connection(("127.0.0.1", port))
        half.sendall(b"POST /api/move HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nContent-Len" % port)
        held.append(half)
    crowded = [state_ms(port) for _ in range(REQUESTS)]
    print(f"2. GET /api/state alone: {statistics.median(alone):.2f} ms (median), "
          f"{max(alone):.2f} ms (max); with 50 idle and 50 half-sent connections open: "
          f"{statistics.median(crowded):.2f} ms (median), {max(crowded):.2f} ms (max), "
          f"over {REQUESTS} requests each")
    for s in held:
        s.close()
    process.send_signal(signal.SIGTERM)
    process.wait()


def chunked_attempt(build, folder):
    process, port = serve(build, folder + "/chunked")
    before = memory(process.pid)
    piece = b"".join(b"3e8\r\n" + b" " * 1000 + b"\r\n" for _ in range(1000))  # 1 MB of body
    s = socket.create_connection(("127.0.0.1", port))
    s.sendall(b"POST /api/move HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nContent-Type: application/json\r\n"
              b"Transfer-Encoding: chunked\r\n\r\n" % port)
    sent = 0
    began = time.perf_counter()
    try:
        while sent < 100 * MB:
            s.sendall(piece)
            sent += 1000 * 1000
    except OSError:
        pass
    s.settimeout(5)
    try:
        answer = s.recv(65536).split(b"\r\n")[0].decode()
    except OSError as e:
        answer = f"no answer ({e})"
    s.close()
    time.sleep(0.2)
    after = memory(process.pid)
    print(f"3. a 100 MB chunked body: the client got {sent / MB:.0f} MB out in "
          f"{time.perf_counter() - began:.2f} s, answered \"{answer}\"; server memory "
          f"before {before['VmRSS']} MB resident ({before['VmHWM']} MB peak), after "
          f"{after['VmRSS']} MB resident ({after['VmHWM']} MB peak)")
    process.send_signal(signal.SIGTERM)
    process.wait()


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    with tempfile.TemporaryDirectory() as folder:
        ten_tabs(build, folder)
        idle_connections(build, folder)
        chunked_attempt(build, folder)


if __name__ == "__main__":
    main()
