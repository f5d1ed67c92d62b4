"""Results and patterns in a notebook: the HTML table and the SVG picture
parse as XML and hold hostile labels as text, escaped; plot() draws the
distributions, and matplotlib is imported only by it."""

from __future__ import annotations

import subprocess
import sys
import xml.etree.ElementTree as ET

import numpy as np
import pytest

import tavrel

HOSTILE = ['<script>alert("x")</script>', "a & b", "it's <b>", "x\"y"]
SVG = "{http://www.w3.org/2000/svg}"


def hostile_result() -> tavrel.Result:
    strings = [HOSTILE, HOSTILE[:3], [HOSTILE[1], HOSTILE[0]]] + [[f"n{k}", "end"] for k in range(12)]
    return tavrel.mine(strings, 1)


def test_the_html_table_escapes_the_labels() -> None:
    result = hostile_result()
    page = ET.fromstring(result._repr_html_())
    assert page.find("p").text == repr(result)
    rows = page.findall("table/tbody/tr")
    assert len(rows) == 10 and len(result) > 10
    assert page.findall("p")[-1].text == f"\u2026 and {len(result) - 10} more patterns"
    assert not page.findall(".//script") and not page.findall(".//b")
    for row, pattern in zip(rows, result):
        cells = [cell.text for cell in row.findall("td")]
        assert cells[:3] == [str(pattern.number), str(pattern.support), str(len(pattern.edges))]
        shown = [edge.split(" \u2192 ") for edge in cells[3].split(", ")[: len(pattern.edges)]]
        if len(pattern.edges) <= 6:
            assert [tuple(edge) for edge in shown] == pattern.edges


def test_the_svg_picture_is_the_hasse_diagram_with_escaped_labels() -> None:
    result = hostile_result()
    pattern = max(result, key=lambda p: len(p.edges))
    svg = ET.fromstring(pattern._repr_svg_())
    assert svg.tag == f"{SVG}svg" and not svg.findall(f".//{SVG}script")
    texts = [text.text for text in svg.iter(f"{SVG}text")]
    labels = {label for edge in pattern.edges for label in edge}
    assert labels <= set(texts)
    # The Hasse diagram: an arrow per edge that no two others imply.
    implied = {(a, c) for a, b in pattern.edges for b2, c in pattern.edges if b == b2}
    arrows = [g for g in svg.iter(f"{SVG}g") if g.get("class") == "edge"]
    assert len(arrows) == len(set(pattern.edges) - implied)


def test_plot_draws_both_distributions_and_imports_matplotlib_only_then() -> None:
    pytest.importorskip("matplotlib")
    code = (
        "import sys, tavrel; r = tavrel.mine([[1, 2], [1, 2, 3]], 1); r._repr_html_(); "
        "r[0]._repr_svg_(); print('matplotlib' in sys.modules)"
    )
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True)
    assert done.stdout == "False\n"
    result = hostile_result()
    figure = result.plot()
    supports, sizes = figure.axes
    counted = [sum(p.get_height() for p in axes.patches) for axes in (supports, sizes)]
    assert counted == [len(result), len(result)]
    heights = {round(p.get_x() + p.get_width() / 2): p.get_height() for p in sizes.patches}
    sizes_seen = np.diff(result.offsets)
    assert all(heights[size] == np.count_nonzero(sizes_seen == size) for size in set(sizes_seen.tolist()))
