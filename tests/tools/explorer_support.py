"""Shared by the explorer page's browser tests and its benchmark: miner
outputs made up for a page of any size, tavrel-show's page made from them,
and headless Chromium driven through Selenium."""

import os
import random
import shutil
import subprocess

SKIP = 77  # the exit status that ctest takes for a skipped test


def browser_missing():
    """Why Chromium cannot be driven here, or None when it can."""
    try:
        import selenium  # noqa: F401
    except ImportError:
        return "python3-selenium is not installed"
    for program in ("chromium", "chromedriver"):
        if shutil.which(program) is None:
            return program + " is not installed (Debian: chromium, chromium-driver)"
    return None


def start_browser(width=1280, height=860):
    """A headless Chromium of the given window size, through chromedriver."""
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium")
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--no-first-run", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync",
                     "--window-size=%d,%d" % (width, height)):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)


def script_errors(driver):
    """The errors the page's scripts reported since the last call."""
    return [entry["message"] for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]


def wait_ready(driver, seconds=60):
    """Waits until the page has drawn its first rows; returns the page's
    own figure, milliseconds from the start of loading."""
    from selenium.webdriver.support.ui import WebDriverWait

    WebDriverWait(driver, seconds).until(
        lambda d: d.execute_script("return document.body && document.body.dataset.ready") == "true")
    return int(driver.execute_script("return document.body.dataset.firstRowsMs"))


def miner_output(patterns):
    """The miner's output for `patterns`, a list of (support, [(from, to)])."""
    blocks = [" \n"]
    for number, (support, edges) in enumerate(patterns, 1):
        blocks.append("Pattern %d Support = %d: \n" % (number, support))
        blocks.append("".join("%d-%d\t" % edge for edge in edges) + "\n\n")
    blocks.append("Total Runtime: 0.001 sec.\nTotal Number of patterns: %d\n" % len(patterns))
    blocks.append("***********************************************\n")
    return "".join(blocks)


def synthetic_patterns(count, items=60, seed=7):
    """`count` patterns of 1 to 8 edges over `items` items, each edge from
    a lower item to a higher one, with supports from 10 to 1000."""
    rng = random.Random(seed)
    patterns = []
    for _ in range(count):
        chosen = sorted(rng.sample(range(items), rng.randint(2, 6)))
        edges = [(chosen[k], chosen[k + 1]) for k in range(len(chosen) - 1)]
        while len(edges) < 8 and rng.random() < 0.4:
            a, b = sorted(rng.sample(chosen, 2))
            if (a, b) not in edges:
                edges.append((a, b))
        patterns.append((rng.randint(10, 1000), edges))
    return patterns


def item_table(labels, strings=None):
    """An item table for tavrel-show: one "number<TAB>label" line per item."""
    lines = []
    if strings is not None:
        lines.append("# database fingerprint: strings=%d crc32=00000000" % strings)
    lines += ["%d\t%s" % (number, label) for number, label in enumerate(labels)]
    return "\n".join(lines) + "\n"


def write_page(show, folder, name, output_text, items_text):
    """Writes the miner's output and item table into `folder` and the page
    tavrel-show makes of them; returns the page's path."""
    output = os.path.join(folder, name + ".txt")
    items = os.path.join(folder, name + ".items.tsv")
    page = os.path.join(folder, name + ".html")
    with open(output, "w", encoding="utf-8") as stream:
        stream.write(output_text)
    with open(items, "w", encoding="utf-8") as stream:
        stream.write(items_text)
    with open(page, "wb") as stream:
        subprocess.run([show, "--format", "html", "--items", items, output], stdout=stream,
                       check=True)
    return page
