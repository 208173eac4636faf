"""The monitor's page in a real headless browser while a run file grows: the event count rises,
the charts are drawn, and a typed channel shows its spectrum.

Usage: MonitorPageTest.py TUDA_PROGRAM. Exits 77 (skipped) only when Chromium or its driver
cannot be found."""

import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

SKIPPED = 77
PATIENCE = 20  # seconds: generous, the machine may be busy
BLOCK = 32768


def find_browser():
    browser = shutil.which("chromium") or shutil.which("chromium-browser")
    driver = shutil.which("chromedriver")
    if not browser or not driver:
        print("SKIP: the browser test needs chromium and chromium-driver (scripts/deps installs them)")
        sys.exit(SKIPPED)
    try:
        from selenium import webdriver  # noqa: F401
    except ImportError:
        print("SKIP: the browser test needs python3-selenium (scripts/deps installs it)")
        sys.exit(SKIPPED)
    return browser, driver


def wait_for(condition, what):
    end = time.monotonic() + PATIENCE
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError("waited in vain for " + what)


def start_monitor(tuda, path):
    monitor = subprocess.Popen([tuda, "monitor", path, "--follow", "--port", "0", "--refresh", "0.2"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                               preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
    line = monitor.stderr.readline()
    match = re.match(r"tuda monitor: (http://127\.0\.0\.1:\d+/), Ctrl-C to stop$", line.strip())
    assert match, "no address line: " + line
    return monitor, match.group(1)


def grow(path, data, stop):
    """Appends the run in pieces of a block and a half, as an acquisition writes it."""
    piece = BLOCK + BLOCK // 2
    for at in range(0, len(data), piece):
        if stop.is_set():
            return
        with open(path, "ab") as file:
            file.write(data[at:at + piece])
        time.sleep(0.15)


def browser_session(browser, driver, profile):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = browser
    for flag in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--user-data-dir=" + profile, "--window-size=1200,1600"]:
        options.add_argument(flag)
    return webdriver.Chrome(service=Service(driver), options=options)


def check_page(page, address):
    from selenium.webdriver.common.by import By

    def events():
        return int(page.find_element(By.ID, "events").text.replace(",", "") or "0")

    def drawn(canvas):
        return int(page.find_element(By.ID, canvas).get_attribute("data-drawn") or "0")

    page.get(address)
    first = wait_for(events, "the first events")
    wait_for(lambda: events() > first, "the event count to rise")
    assert "following" in page.find_element(By.ID, "state").text, page.find_element(By.ID, "state").text
    for canvas in ["adc-hits", "adc-map", "tdc-hits", "tdc-map"]:
        wait_for(lambda: drawn(canvas) > 0, canvas + " drawn")
    hits = json.load(urllib.request.urlopen(address + "api/spectra/adc/hits"))
    channel = next(c for c, n in zip(hits["channels"], hits["counts"]) if n > 0)
    box = page.find_element(By.ID, "channel")
    box.clear()
    box.send_keys(str(channel) + "\n")
    page.execute_script("document.getElementById('channel').dispatchEvent(new Event('change'))")
    wait_for(lambda: drawn("adc-spectrum") > 0, "the spectrum of ADC channel %d drawn" % channel)
    # The page asked nothing of any other host.
    entries = page.execute_script("return performance.getEntriesByType('resource').map(e => e.name)")
    assert all(e.startswith(address) for e in entries), entries


def main():
    tuda = sys.argv[1]
    browser, driver = find_browser()
    with tempfile.TemporaryDirectory() as folder:
        whole = os.path.join(folder, "whole.dat")
        subprocess.run([tuda, "gen", whole, "--events", "20000", "--seed", "4"], check=True,
                       stderr=subprocess.DEVNULL)
        with open(whole, "rb") as file:
            data = file.read()
        path = os.path.join(folder, "run.dat")
        open(path, "wb").close()
        monitor, address = start_monitor(tuda, path)
        stop = threading.Event()
        writer = threading.Thread(target=grow, args=(path, data, stop))
        writer.start()
        page = browser_session(browser, driver, os.path.join(folder, "profile"))
        try:
            check_page(page, address)
        finally:
            page.quit()
            stop.set()
            writer.join()
            monitor.send_signal(signal.SIGINT)
            status = monitor.wait(PATIENCE)
        assert status == 130, "tuda monitor ended with %d" % status
    print("the page showed the run as it grew")


if __name__ == "__main__":
    main()
