#!/usr/bin/env python3
"""tavrel-show's explorer page in headless Chromium: a page made from the
shipped event log examples/orders.csv (through tavrel-prep and the miner)
is filtered, sorted and browsed with the keys; a page of 100,000 made-up
patterns draws its first rows; a page whose labels are markup runs none of
it. A screenshot of each state, and the printed page
as PDF, go into --log-dir. Skipped (exit 77) only
when Chromium, chromedriver or Selenium is missing.

Usage: explorer_browser_test.py --prep P --miner M --show S --examples DIR --log-dir DIR
"""

import argparse
import json
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import explorer_support as support  # noqa: E402

failures = []


def check(condition, what):
    print(("ok    " if condition else "FAIL  ") + what)
    if not condition:
        failures.append(what)


def screenshot(driver, args, name):
    """Saves the window, scrolled to the page's top, into the log folder."""
    driver.execute_script("window.scrollTo(0, 0)")
    driver.save_screenshot(os.path.join(args.log_dir, name))


def read_patterns(path):
    """{number: (support, [(from, to)])} from the miner's output."""
    patterns, current = {}, None
    with open(path, encoding="utf-8") as stream:
        for line in stream:
            head = re.match(r"Pattern (\d+) Support = (\d+):", line)
            if head:
                current = int(head.group(1))
                patterns[current] = (int(head.group(2)), [])
            elif current is not None and re.match(r"\d+-\d+\t", line):
                patterns[current][1].extend(tuple(map(int, edge.split("-"))) for edge in line.split())
                current = None
    return patterns


def read_labels(path):
    labels = {}
    with open(path, encoding="utf-8") as stream:
        for line in stream:
            if not line.startswith("#"):
                number, label = line.rstrip("\n").split("\t", 1)
                labels[int(number)] = label
    return labels


def shown_rows(driver):
    """The pattern numbers of the rows drawn, top to bottom."""
    return driver.execute_script(
        "return Array.from(document.querySelectorAll('.rows .row[data-pattern]'))"
        ".sort(function (a, b) { return a.dataset.place - b.dataset.place; })"
        ".map(function (row) { return Number(row.dataset.pattern); });")


def set_input(driver, name, text):
    from selenium.webdriver.common.keys import Keys

    field = driver.find_element("name", name)
    field.send_keys(Keys.CONTROL, "a")
    field.send_keys(Keys.BACKSPACE)
    field.send_keys(text)
    driver.execute_script("return new Promise(function (done) { requestAnimationFrame(function () {"
                          " requestAnimationFrame(done); }); });")


def ranking(numbers, patterns, ascending=False):
    sign = 1 if ascending else -1
    return sorted(numbers, key=lambda n: (sign * patterns[n][0], n))


def make_orders_page(args, folder):
    """The page of examples/orders.csv mined at min_sup 5, with its
    patterns and labels."""
    subprocess.run([args.prep, "--format", "csv", "--case", "order_id", "--activity", "activity",
                    "--time", "timestamp", os.path.join(args.examples, "orders.csv"), folder],
                   check=True, stderr=subprocess.DEVNULL)
    output = os.path.join(folder, "patterns.txt")
    with open(output, "wb") as stream:
        subprocess.run([args.miner, "orders.spec", "5"], cwd=folder, stdout=stream, check=True)
    page = os.path.join(folder, "orders.html")
    with open(page, "wb") as stream:
        subprocess.run([args.show, "--format", "html", "--items", "orders.items.tsv",
                        "patterns.txt"], cwd=folder, stdout=stream, check=True)
    return page, read_patterns(output), read_labels(os.path.join(folder, "orders.items.tsv"))


def check_orders_page(driver, args, folder):
    page, patterns, labels = make_orders_page(args, folder)
    driver.get("file://" + page)
    support.wait_ready(driver)
    everything = ranking(patterns, patterns)
    check(shown_rows(driver) == everything[:len(shown_rows(driver))] and len(shown_rows(driver)) > 5,
          "the page opens in ranking order")
    screenshot(driver, args, "explorer-1-opened.png")

    def holding(text):
        return {n for n, (_, edges) in patterns.items()
                if any(text in labels[item].lower() for edge in edges for item in edge)}

    set_input(driver, "items", "invoice")
    expected = ranking(holding("invoice"), patterns)
    check(shown_rows(driver) == expected and 0 < len(expected) < len(patterns),
          "typing 'invoice' keeps the %d patterns that involve it" % len(expected))
    set_input(driver, "items", "Credit, reminder")
    expected = ranking(holding("credit") & holding("reminder"), patterns)
    check(shown_rows(driver) == expected and 0 < len(expected),
          "'Credit, reminder' keeps the %d patterns that involve both" % len(expected))
    screenshot(driver, args, "explorer-2-items.png")

    set_input(driver, "items", "")
    set_input(driver, "support-min", "10")
    set_input(driver, "support-max", "30")
    expected = ranking([n for n in patterns if 10 <= patterns[n][0] <= 30], patterns)
    check(shown_rows(driver) == expected and 0 < len(expected) < len(patterns),
          "support 10 to 30 keeps %d patterns" % len(expected))
    status = driver.find_element("css selector", ".status").text
    check(status == "%d of %d patterns" % (len(expected), len(patterns)), "the status counts them")
    bars = driver.execute_script("return Array.from(document.querySelectorAll('.chart rect.shown'))"
                                 ".filter(function (r) { return r.getAttribute('height') > 0; }).length")
    check(bars > 0, "the charts draw the patterns that pass")
    screenshot(driver, args, "explorer-3-support.png")

    driver.find_element("css selector", ".head button[data-key=support]").click()
    check(shown_rows(driver) == ranking(expected, patterns, ascending=True),
          "a click on Support sorts by ascending support")
    sort = driver.find_element("css selector", ".head button[data-key=support]")
    check(sort.get_attribute("aria-sort") == "ascending", "the header says so")

    from selenium.webdriver.common.keys import Keys
    rows = driver.find_element("css selector", ".rows")
    driver.execute_script("arguments[0].focus()", rows)
    rows.send_keys(Keys.ARROW_DOWN, Keys.ARROW_DOWN, Keys.ARROW_UP, Keys.ARROW_DOWN, Keys.ENTER)
    chosen = ranking(expected, patterns, ascending=True)[2]
    title = driver.find_element("css selector", ".pane h2").text
    check(title == "Pattern %d" % chosen, "arrows and Enter select the third row (%s)" % title)
    diagram = driver.find_element("css selector", ".pane .diagram")
    texts = set(driver.execute_script(
        "return Array.from(arguments[0].querySelectorAll('svg text')).map(function (t) {"
        " return t.textContent; })", diagram))
    items = {labels[item] for edge in patterns[chosen][1] for item in edge}
    check(diagram.get_attribute("data-drawn-by") == "graphviz" and items <= texts,
          "the pane shows Graphviz's diagram with every item's label")
    edges = [li.text for li in driver.find_elements("css selector", ".pane ol.edges li")]
    check(edges == ["%s \u2192 %s" % (labels[a], labels[b]) for a, b in patterns[chosen][1]],
          "the pane lists the pattern's edges")
    check(not driver.find_elements("css selector", ".pane ol.cases"),
          "without cases the pane shows none")
    screenshot(driver, args, "explorer-4-selected.png")

    import base64
    pdf = base64.b64decode(driver.execute_cdp_cmd("Page.printToPDF", {})["data"])
    with open(os.path.join(args.log_dir, "explorer-7-printed.pdf"), "wb") as stream:
        stream.write(pdf)
    printed = driver.execute_script(
        "return Array.from(document.querySelectorAll('.print-rows tr')).slice(1).map(function (r) {"
        " return Number(r.firstChild.textContent); })")
    check(pdf.startswith(b"%PDF") and printed == ranking(expected, patterns, ascending=True),
          "printing puts the filtered, sorted rows on paper")


def check_large_page(driver, args, folder):
    patterns = support.synthetic_patterns(100000)
    labels = ["activity %d" % item for item in range(60)]
    page = support.write_page(args.show, folder, "large", support.miner_output(patterns),
                              support.item_table(labels, strings=1000))
    driver.get("file://" + page)
    milliseconds = support.wait_ready(driver, seconds=120)
    check(len(shown_rows(driver)) > 10, "the page of 100,000 patterns draws its first rows "
          "(%d ms, %.1f MB)" % (milliseconds, os.path.getsize(page) / 1e6))
    from selenium.webdriver.common.keys import Keys
    rows = driver.find_element("css selector", ".rows")
    driver.execute_script("arguments[0].focus()", rows)
    rows.send_keys(Keys.END, Keys.ENTER)
    diagram = driver.find_element("css selector", ".pane .diagram")
    drawn = driver.execute_script("return arguments[0].querySelectorAll('svg g.node').length", diagram)
    check(diagram.get_attribute("data-drawn-by") == "page" and drawn >= 2,
          "its last pattern, which has no Graphviz picture, is drawn by the page")
    screenshot(driver, args, "explorer-5-large.png")


HOSTILE = ["<script>alert(1)</script>", "\"><img src=x onerror=alert(2)>",
           "</script><script>alert(3)</script>", "<!-- <script>", "a & b"]


def add_cases(page, cases):
    """Puts `cases` into the data of `page`, escaped as tavrel-show does."""
    with open(page, encoding="utf-8") as stream:
        text = stream.read()
    start = text.index('id="explorer-data">') + len('id="explorer-data">')
    end = text.index("</script>", start)
    data = json.loads(text[start:end])
    data["cases"] = cases
    encoded = json.dumps(data, ensure_ascii=False)
    for character, escape in (("<", "\\u003c"), (">", "\\u003e"), ("&", "\\u0026")):
        encoded = encoded.replace(character, escape)
    with open(page, "w", encoding="utf-8") as stream:
        stream.write(text[:start] + encoded + text[end:])


def check_hostile_page(driver, args, folder):
    from selenium.common.exceptions import NoAlertPresentException

    patterns = [(3, [(0, 1), (1, 2)]), (2, [(2, 3), (3, 4)])]
    page = support.write_page(args.show, folder, "hostile", support.miner_output(patterns),
                              support.item_table(HOSTILE))
    # The cases as --strings gives them: the first 50 names and the count.
    names = ["case %d %s" % (k, HOSTILE[k % len(HOSTILE)]) for k in range(50)]
    add_cases(page, [[75, names], [2, names[:2]]])
    driver.get("file://" + page)
    support.wait_ready(driver)
    try:
        driver.switch_to.alert.dismiss()
        alerted = True
    except NoAlertPresentException:
        alerted = False
    check(not alerted, "no script of a label runs")
    counts = driver.execute_script(
        "return [document.querySelectorAll('img').length, document.scripts.length]")
    check(counts == [0, 2], "no element of a label enters the page (img, script: %s)" % counts)
    orders = driver.execute_script("return Array.from(document.querySelectorAll('.rows .row'))"
                                   ".map(function (r) { return r.lastChild.textContent; })")
    check(sorted(orders) == sorted(["%s \u2192 %s; %s \u2192 %s" % (HOSTILE[a], HOSTILE[b],
                                                                     HOSTILE[b], HOSTILE[c])
                                    for a, b, c in ((0, 1, 2), (2, 3, 4))]),
          "the labels show as text")
    rows = driver.find_element("css selector", ".rows")
    driver.execute_script("arguments[0].focus()", rows)
    from selenium.webdriver.common.keys import Keys
    rows.send_keys(Keys.ENTER)
    texts = driver.execute_script("return Array.from(document.querySelectorAll('.pane svg text'))"
                                  ".map(function (t) { return t.textContent; })")
    check(set(HOSTILE[:3]) <= set(texts), "the diagram shows them as text")
    shown = [li.text for li in driver.find_elements("css selector", ".pane ol.cases li")]
    heading = driver.find_element("css selector", ".pane h3:last-of-type").text
    check(shown == names and heading == "Cases (75)",
          "the pane lists the 50 cases given and their count, as text")
    counts = driver.execute_script(
        "return [document.querySelectorAll('img').length, document.scripts.length]")
    check(counts == [0, 2], "no element of a label or case enters the pane")
    screenshot(driver, args, "explorer-6-hostile.png")


def main():
    parser = argparse.ArgumentParser()
    for name in ("--prep", "--miner", "--show", "--examples", "--log-dir"):
        parser.add_argument(name, required=True)
    args = parser.parse_args()
    for name in ("prep", "miner", "show", "examples", "log_dir"):
        setattr(args, name, os.path.abspath(getattr(args, name)))
    missing = support.browser_missing()
    if missing:
        print("SKIPPED: " + missing)
        return support.SKIP
    os.makedirs(args.log_dir, exist_ok=True)
    driver = support.start_browser()
    try:
        for case in (check_orders_page, check_large_page, check_hostile_page):
            with tempfile.TemporaryDirectory() as folder:
                case(driver, args, folder)
                errors = support.script_errors(driver)
                check(not errors, "%s: no script error %s" % (case.__name__, errors))
    finally:
        driver.quit()
    print("screenshots in " + args.log_dir)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
