// The explorer page's script. It reads the patterns from the JSON in
// #explorer-data and builds the page in #explorer: the run's figures, two
// charts, the filters, a table that draws only the rows in view, and the
// pane of the selected pattern. Every label goes into the page as text
// (textContent), never as markup. When the first rows are drawn, the body
// gets data-ready="true" and data-first-rows-ms (milliseconds since the
// page began to load), which the tests and the benchmark wait for.
(function () {
  "use strict";

  var ROW_HEIGHT = 26;
  var MAX_DRAWN_ITEMS = 300;
  var PRINTED_ROWS = 1000;
  var SVG_NS = "http://www.w3.org/2000/svg";

  var data = JSON.parse(document.getElementById("explorer-data").textContent);
  var patterns = data.patterns;
  var labels = data.labels || null;
  var strings = data.strings || 0;
  var count = patterns.length;

  // Per pattern, by its place in the ranking: support, edges, item masks.
  var support = new Float64Array(count);
  var edgeCount = new Float64Array(count);
  var numbers = new Float64Array(count);
  var orderTexts = new Array(count);
  for (var p = 0; p < count; ++p) {
    numbers[p] = patterns[p][0];
    support[p] = patterns[p][1];
    edgeCount[p] = patterns[p][2].length / 2;
  }

  var state = {
    terms: [],
    supportMin: -Infinity, supportMax: Infinity,
    edgesMin: -Infinity, edgesMax: Infinity,
    sortKey: "support", ascending: false,
    sorted: null,  // every pattern in the sort order
    view: null,    // the patterns that pass the filters, in the sort order
    cursor: 0,     // place in view of the row the keys move
    selected: -1   // the pattern shown in the pane
  };
  var ui = {};

  // An element with a class and a text; both may be left out.
  function element(tag, className, text) {
    var node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  function svgElement(tag, attributes) {
    var node = document.createElementNS(SVG_NS, tag);
    for (var name in attributes) node.setAttribute(name, attributes[name]);
    return node;
  }

  function labelOf(item) {
    if (labels !== null && Object.prototype.hasOwnProperty.call(labels, String(item))) {
      return labels[item];
    }
    return String(item);
  }

  // The share of the strings as tavrel-show writes it: "52.5%", "<0.1%".
  function shareText(value) {
    var percent = Math.round(value * 1000 / strings) / 10;
    if (percent === 0 && value > 0) return "<0.1%";
    return percent.toFixed(1) + "%";
  }

  // The order of pattern p as "a → b; c → d", made once and kept.
  function orderText(p) {
    if (orderTexts[p] === undefined) {
      var edges = patterns[p][2];
      var parts = [];
      for (var k = 0; k < edges.length; k += 2) {
        parts.push(labelOf(edges[k]) + " \u2192 " + labelOf(edges[k + 1]));
      }
      orderTexts[p] = parts.join("; ");
    }
    return orderTexts[p];
  }

  function minMax(values) {
    var low = Infinity, high = -Infinity;
    for (var k = 0; k < values.length; ++k) {
      if (values[k] < low) low = values[k];
      if (values[k] > high) high = values[k];
    }
    return count === 0 ? [0, 0] : [low, high];
  }
  var supportRange = minMax(support);
  var edgesRange = minMax(edgeCount);

  // ---- Figures -------------------------------------------------------

  function buildFigures(root) {
    var figures = element("p", "figures");
    var facts = ["Input: " + data.input,
                 "Patterns: " + data.chosen + " chosen of " + data.total +
                 (count < data.chosen ? " (the page holds the " + count + " of highest support)" : "")];
    if (strings > 0) facts.push("Database: " + strings + " strings (crc32 " + data.crc32 + ")");
    if (count > 0) {
      facts.push("Support: " + supportRange[0] + (strings > 0 ? " (" + shareText(supportRange[0]) + ")" : "") +
                 " to " + supportRange[1] + (strings > 0 ? " (" + shareText(supportRange[1]) + ")" : ""));
      facts.push("Edges: " + edgesRange[0] + " to " + edgesRange[1]);
    }
    facts.forEach(function (fact) { figures.appendChild(element("span", "", fact)); });
    root.appendChild(figures);
  }

  // ---- Charts --------------------------------------------------------

  // Bins over [low, high]: one per value when there are at most 30 values,
  // else 24 of one width. Each bin is [from, to].
  function binsOf(range) {
    var low = range[0], high = range[1], bins = [];
    var width = high - low + 1 <= 30 ? 1 : Math.ceil((high - low + 1) / 24);
    for (var from = low; from <= high; from += width) bins.push([from, Math.min(high, from + width - 1)]);
    return bins;
  }

  function makeChart(root, caption, values, range, onPick) {
    var figure = element("figure", "chart");
    figure.appendChild(element("figcaption", "", caption));
    var svg = svgElement("svg", { width: 380, height: 130, role: "img" });
    figure.appendChild(svg);
    root.appendChild(figure);
    var chart = { svg: svg, values: values, bins: binsOf(range), low: range[0], onPick: onPick };
    chart.all = countBins(chart, null);
    return chart;
  }

  // How many patterns of `view` (all when null) fall in each bin.
  function countBins(chart, view) {
    var counts = new Array(chart.bins.length).fill(0);
    if (chart.bins.length === 0) return counts;
    var width = chart.bins[0][1] - chart.bins[0][0] + 1;
    var total = view === null ? count : view.length;
    for (var k = 0; k < total; ++k) {
      var p = view === null ? k : view[k];
      counts[Math.floor((chart.values[p] - chart.low) / width)] += 1;
    }
    return counts;
  }

  // Draws the bars: all patterns in grey, those that pass the filters in
  // blue over them; a click on a bar sets the filter to its range.
  function drawChart(chart) {
    var svg = chart.svg;
    while (svg.firstChild) svg.removeChild(svg.firstChild);
    var shown = countBins(chart, state.view);
    var highest = Math.max.apply(null, chart.all.concat([1]));
    var left = 36, top = 6, plotWidth = 336, plotHeight = 96;
    var barWidth = plotWidth / Math.max(1, chart.bins.length);
    svg.appendChild(svgText(left - 4, top + 8, String(highest), "end"));
    svg.appendChild(svgText(left - 4, top + plotHeight, "0", "end"));
    chart.bins.forEach(function (bin, k) {
      var x = left + k * barWidth;
      var name = bin[0] === bin[1] ? String(bin[0]) : bin[0] + "\u2013" + bin[1];
      [["all", chart.all[k]], ["shown", shown[k]]].forEach(function (bar) {
        var height = bar[1] * plotHeight / highest;
        svg.appendChild(svgElement("rect", { "class": bar[0], x: x + 1, y: top + plotHeight - height,
                                             width: Math.max(1, barWidth - 2), height: height }));
      });
      var hit = svgElement("rect", { "class": "bin", x: x, y: top, width: barWidth, height: plotHeight });
      var tip = svgElement("title", {});
      tip.textContent = name + ": " + shown[k] + " of " + chart.all[k] + " patterns";
      hit.appendChild(tip);
      hit.addEventListener("click", function () { chart.onPick(bin[0], bin[1]); });
      svg.appendChild(hit);
    });
    var ends = chart.bins.length ? [chart.bins[0][0], chart.bins[chart.bins.length - 1][1]] : [0, 0];
    svg.appendChild(svgText(left, top + plotHeight + 14, String(ends[0]), "start"));
    svg.appendChild(svgText(left + plotWidth, top + plotHeight + 14, String(ends[1]), "end"));
  }

  function svgText(x, y, text, anchor) {
    var node = svgElement("text", { x: x, y: y, "text-anchor": anchor });
    node.textContent = text;
    return node;
  }

  // ---- Filters -------------------------------------------------------

  function numberInput(name, value, onChange) {
    var input = element("input");
    input.type = "number";
    input.name = name;
    input.value = String(value);
    input.addEventListener("input", onChange);
    return input;
  }

  function buildFilters(root) {
    var box = element("div", "filters");
    var search = element("input");
    search.type = "search";
    search.name = "items";
    search.placeholder = "items, separated by commas";
    search.addEventListener("input", scheduleFilter);
    var searchLabel = element("label", "", "Items ");
    searchLabel.appendChild(search);
    box.appendChild(searchLabel);
    ui.search = search;
    ui.supportMin = numberInput("support-min", supportRange[0], scheduleFilter);
    ui.supportMax = numberInput("support-max", supportRange[1], scheduleFilter);
    ui.edgesMin = numberInput("edges-min", edgesRange[0], scheduleFilter);
    ui.edgesMax = numberInput("edges-max", edgesRange[1], scheduleFilter);
    box.appendChild(rangeLabel("Support", ui.supportMin, ui.supportMax));
    box.appendChild(rangeLabel("Edges", ui.edgesMin, ui.edgesMax));
    var reset = element("button", "", "Clear filters");
    reset.type = "button";
    reset.addEventListener("click", clearFilters);
    box.appendChild(reset);
    ui.status = element("span", "status");
    ui.status.setAttribute("aria-live", "polite");
    box.appendChild(ui.status);
    root.appendChild(box);
  }

  function rangeLabel(name, low, high) {
    var label = element("label", "", name + " ");
    label.appendChild(low);
    label.appendChild(document.createTextNode(" to "));
    label.appendChild(high);
    return label;
  }

  function clearFilters() {
    ui.search.value = "";
    ui.supportMin.value = String(supportRange[0]);
    ui.supportMax.value = String(supportRange[1]);
    ui.edgesMin.value = String(edgesRange[0]);
    ui.edgesMax.value = String(edgesRange[1]);
    applyFilters();
  }

  var filterPending = false;
  function scheduleFilter() {
    if (filterPending) return;
    filterPending = true;
    window.requestAnimationFrame(function () {
      filterPending = false;
      applyFilters();
    });
  }

  function bound(input, otherwise) {
    var value = parseFloat(input.value);
    return isNaN(value) ? otherwise : value;
  }

  // For each item, a bit per search term whose text its label holds
  // (ignoring case); a pattern passes when its items hold every bit.
  function termMasks(terms) {
    var masks = new Map();
    if (terms.length === 0) return masks;
    for (var p = 0; p < count; ++p) {
      var edges = patterns[p][2];
      for (var k = 0; k < edges.length; ++k) {
        var item = edges[k];
        if (masks.has(item)) continue;
        var text = labelOf(item).toLowerCase(), mask = 0;
        for (var t = 0; t < terms.length; ++t) if (text.indexOf(terms[t]) >= 0) mask |= 1 << t;
        masks.set(item, mask);
      }
    }
    return masks;
  }

  function passesTerms(p, masks, all) {
    var edges = patterns[p][2], mask = 0;
    for (var k = 0; k < edges.length && mask !== all; ++k) mask |= masks.get(edges[k]);
    return mask === all;
  }

  function applyFilters() {
    var terms = ui.search.value.split(",").map(function (term) { return term.trim().toLowerCase(); })
        .filter(function (term) { return term.length > 0; }).slice(0, 30);
    state.supportMin = bound(ui.supportMin, -Infinity);
    state.supportMax = bound(ui.supportMax, Infinity);
    state.edgesMin = bound(ui.edgesMin, -Infinity);
    state.edgesMax = bound(ui.edgesMax, Infinity);
    var masks = termMasks(terms), all = terms.length === 0 ? 0 : (1 << terms.length) - 1;
    var view = new Uint32Array(count), kept = 0;
    for (var k = 0; k < count; ++k) {
      var p = state.sorted[k];
      if (support[p] < state.supportMin || support[p] > state.supportMax) continue;
      if (edgeCount[p] < state.edgesMin || edgeCount[p] > state.edgesMax) continue;
      if (all !== 0 && !passesTerms(p, masks, all)) continue;
      view[kept++] = p;
    }
    state.view = view.subarray(0, kept);
    state.cursor = 0;
    ui.status.textContent = kept + " of " + count + " patterns";
    drawChart(ui.supportChart);
    drawChart(ui.edgesChart);
    ui.spacer.style.height = kept * ROW_HEIGHT + "px";
    ui.rows.scrollTop = 0;
    drawRows();
  }

  // ---- Sorting -------------------------------------------------------

  var COLUMNS = [
    { key: "number", title: "Pattern", numeric: true },
    { key: "support", title: "Support", numeric: true },
    { key: "share", title: "Share", numeric: true },
    { key: "edges", title: "Edges", numeric: true },
    { key: "order", title: "Order", numeric: false }
  ];

  function columns() {
    return COLUMNS.filter(function (column) { return column.key !== "share" || strings > 0; });
  }

  function keysFor(key) {
    if (key === "number") return numbers;
    if (key === "edges") return edgeCount;
    return support;  // support and share
  }

  // Sorts every pattern by the column; ties keep the ranking order.
  function sortBy(key, ascending) {
    var order = Array.from({ length: count }, function (_, k) { return k; });
    var direction = ascending ? 1 : -1;
    if (key === "order") {
      var texts = order.map(orderText);
      order.sort(function (a, b) {
        var x = texts[a], y = texts[b];
        return x === y ? a - b : (x < y ? -direction : direction);
      });
    } else {
      var keys = keysFor(key);
      order.sort(function (a, b) { return (keys[a] - keys[b]) * direction || a - b; });
    }
    state.sortKey = key;
    state.ascending = ascending;
    state.sorted = Uint32Array.from(order);
    ui.headers.forEach(function (button) {
      if (button.dataset.key === key) button.setAttribute("aria-sort", ascending ? "ascending" : "descending");
      else button.removeAttribute("aria-sort");
    });
  }

  // ---- The table -----------------------------------------------------

  function buildTable(root) {
    var table = element("div", "table" + (strings > 0 ? "" : " no-share"));
    var head = element("div", "head");
    head.setAttribute("role", "row");
    ui.headers = columns().map(function (column) {
      var button = element("button", "", column.title);
      button.type = "button";
      button.dataset.key = column.key;
      button.addEventListener("click", function () {
        var ascending = state.sortKey === column.key ? !state.ascending : !column.numeric;
        sortBy(column.key, ascending);
        applyFilters();
      });
      head.appendChild(button);
      return button;
    });
    table.appendChild(head);
    var rows = element("div", "rows");
    rows.tabIndex = 0;
    rows.setAttribute("role", "grid");
    rows.setAttribute("aria-label", "Patterns");
    ui.spacer = element("div", "spacer");
    rows.appendChild(ui.spacer);
    rows.addEventListener("scroll", scheduleRows);
    rows.addEventListener("keydown", onKey);
    rows.addEventListener("click", onRowClick);
    table.appendChild(rows);
    ui.rows = rows;
    ui.drawn = [];
    ui.printRows = element("table", "print-rows");
    table.appendChild(ui.printRows);
    root.appendChild(table);
  }

  var rowsPending = false;
  function scheduleRows() {
    if (rowsPending) return;
    rowsPending = true;
    window.requestAnimationFrame(function () {
      rowsPending = false;
      drawRows();
    });
  }

  function cellTexts(p) {
    var texts = [String(numbers[p]), String(support[p])];
    if (strings > 0) texts.push(shareText(support[p]));
    texts.push(String(edgeCount[p]), orderText(p));
    return texts;
  }

  // Draws the rows in view (and one more), and nothing else.
  function drawRows() {
    ui.drawn.forEach(function (row) { ui.rows.removeChild(row); });
    ui.drawn = [];
    var view = state.view;
    if (view.length === 0) {
      var empty = element("div", "empty row", "No pattern passes the filters.");
      ui.rows.appendChild(empty);
      ui.drawn.push(empty);
      markReady();
      return;
    }
    var first = Math.floor(ui.rows.scrollTop / ROW_HEIGHT);
    var last = Math.min(view.length, first + Math.ceil(ui.rows.clientHeight / ROW_HEIGHT) + 1);
    for (var k = first; k < last; ++k) {
      var p = view[k];
      var row = element("div", "row");
      row.setAttribute("role", "row");
      row.dataset.place = String(k);
      row.dataset.pattern = String(numbers[p]);
      row.style.top = k * ROW_HEIGHT + "px";
      if (k === state.cursor) row.classList.add("cursor");
      if (p === state.selected) row.classList.add("selected");
      var texts = cellTexts(p);
      texts.forEach(function (text, column) {
        row.appendChild(element("span", column + 1 < texts.length ? "number" : "", text));
      });
      ui.rows.appendChild(row);
      ui.drawn.push(row);
    }
    markReady();
  }

  function markReady() {
    if (document.body.dataset.ready === "true") return;
    document.body.dataset.firstRowsMs = String(Math.round(performance.now()));
    document.body.dataset.ready = "true";
  }

  // Moves the cursor to place `k` of the view and scrolls it into view.
  function moveCursor(k) {
    if (state.view.length === 0) return;
    state.cursor = Math.max(0, Math.min(state.view.length - 1, k));
    var top = state.cursor * ROW_HEIGHT, rows = ui.rows;
    if (top < rows.scrollTop) rows.scrollTop = top;
    else if (top + ROW_HEIGHT > rows.scrollTop + rows.clientHeight) {
      rows.scrollTop = top + ROW_HEIGHT - rows.clientHeight;
    }
    drawRows();
  }

  function onKey(event) {
    var page = Math.max(1, Math.floor(ui.rows.clientHeight / ROW_HEIGHT) - 1);
    var moves = { ArrowDown: 1, ArrowUp: -1, PageDown: page, PageUp: -page };
    if (moves[event.key] !== undefined) moveCursor(state.cursor + moves[event.key]);
    else if (event.key === "Home") moveCursor(0);
    else if (event.key === "End") moveCursor(state.view.length - 1);
    else if (event.key === "Enter" && state.view.length > 0) select(state.view[state.cursor]);
    else return;
    event.preventDefault();
  }

  function onRowClick(event) {
    var row = event.target.closest(".row");
    if (!row || row.dataset.place === undefined) return;
    state.cursor = Number(row.dataset.place);
    select(state.view[state.cursor]);
    ui.rows.focus();
  }

  // For printing: the first rows of the view as a plain table.
  function fillPrintRows() {
    var table = ui.printRows;
    while (table.firstChild) table.removeChild(table.firstChild);
    var head = element("tr");
    columns().forEach(function (column) { head.appendChild(element("th", "", column.title)); });
    table.appendChild(head);
    var shown = Math.min(state.view.length, PRINTED_ROWS);
    for (var k = 0; k < shown; ++k) {
      var row = element("tr");
      cellTexts(state.view[k]).forEach(function (text) { row.appendChild(element("td", "", text)); });
      table.appendChild(row);
    }
    if (shown < state.view.length) {
      var more = element("tr");
      var cell = element("td", "", "\u2026 and " + (state.view.length - shown) + " more patterns");
      cell.colSpan = columns().length;
      more.appendChild(cell);
      table.appendChild(more);
    }
  }

  // ---- The pane ------------------------------------------------------

  function select(p) {
    state.selected = p;
    drawRows();
    var pane = ui.pane;
    while (pane.firstChild) pane.removeChild(pane.firstChild);
    var number = numbers[p];
    pane.appendChild(element("h2", "", "Pattern " + number));
    var facts = "Support " + support[p] + (strings > 0 ? " (" + shareText(support[p]) + " of the strings)" : "") +
        ", " + edgeCount[p] + " edge" + (edgeCount[p] === 1 ? "" : "s");
    pane.appendChild(element("p", "", facts));
    var diagram = element("div", "diagram");
    diagram.dataset.pattern = String(number);
    var picture = document.querySelector('#pictures div[data-pattern="' + number + '"] svg');
    if (picture) {
      diagram.dataset.drawnBy = "graphviz";
      diagram.appendChild(picture.cloneNode(true));
    } else {
      diagram.dataset.drawnBy = "page";
      diagram.appendChild(drawDiagram(patterns[p][2]));
    }
    pane.appendChild(diagram);
    fitDiagram(diagram);
    addEdges(pane, patterns[p][2]);
    if (data.cases) addCases(pane, data.cases[p]);
  }

  // Shrinks a picture wider than the pane to its width, but to no less
  // than 60 % of its size, below which its labels could not be read; a
  // wider one scrolls.
  function fitDiagram(diagram) {
    var svg = diagram.querySelector("svg");
    if (!svg) return;
    var width = parseFloat(svg.getAttribute("width")), height = parseFloat(svg.getAttribute("height"));
    var room = diagram.clientWidth - 2;
    if (!(width > room) || !(height > 0) || !svg.getAttribute("viewBox")) return;
    var scale = Math.max(room / width, 0.6);
    svg.setAttribute("width", String(width * scale));
    svg.setAttribute("height", String(height * scale));
  }

  function addEdges(pane, edges) {
    pane.appendChild(element("h3", "", "Edges"));
    var list = element("ol", "edges");
    for (var k = 0; k < edges.length; k += 2) {
      list.appendChild(element("li", "", labelOf(edges[k]) + " \u2192 " + labelOf(edges[k + 1])));
    }
    pane.appendChild(list);
  }

  function addCases(pane, cases) {
    var total = cases[0], names = cases[1];
    pane.appendChild(element("h3", "", "Cases (" + total + ")"));
    var list = element("ol", "cases");
    names.forEach(function (name) { list.appendChild(element("li", "", name)); });
    pane.appendChild(list);
    if (total > names.length) {
      pane.appendChild(element("p", "note", "The first " + names.length + " of " + total + " are shown."));
    }
  }

  // ---- The page's own diagrams -----------------------------------------

  // The items and the Hasse diagram's edges of a pattern: an edge a->c is
  // left out when a path of two or more edges leads from a to c. With a
  // cycle, every edge is kept.
  function hasse(edges) {
    var items = [], next = new Map();
    for (var k = 0; k < edges.length; ++k) if (!next.has(edges[k])) { next.set(edges[k], []); items.push(edges[k]); }
    for (k = 0; k < edges.length; k += 2) next.get(edges[k]).push(edges[k + 1]);
    var layers = layersOf(items, next);
    var kept = [];
    for (k = 0; k < edges.length; k += 2) {
      if (layers === null || !longPath(edges[k], edges[k + 1], next)) kept.push([edges[k], edges[k + 1]]);
    }
    return { items: items, edges: kept, layers: layers };
  }

  // True when a path of two or more edges leads from `from` to `to`.
  function longPath(from, to, next) {
    var seen = new Set(), stack = [];
    next.get(from).forEach(function (item) { if (item !== to) stack.push(item); });
    while (stack.length) {
      var item = stack.pop();
      if (item === to) return true;
      if (seen.has(item)) continue;
      seen.add(item);
      next.get(item).forEach(function (after) { stack.push(after); });
    }
    return false;
  }

  // Each item's column: the length of the longest path that reaches it;
  // null when the edges form a cycle.
  function layersOf(items, next) {
    var into = new Map(), layer = new Map(), ready = [];
    items.forEach(function (item) { into.set(item, 0); layer.set(item, 0); });
    items.forEach(function (item) { next.get(item).forEach(function (to) { into.set(to, into.get(to) + 1); }); });
    items.forEach(function (item) { if (into.get(item) === 0) ready.push(item); });
    var done = 0;
    while (ready.length) {
      var item = ready.pop();
      ++done;
      next.get(item).forEach(function (to) {
        layer.set(to, Math.max(layer.get(to), layer.get(item) + 1));
        into.set(to, into.get(to) - 1);
        if (into.get(to) === 0) ready.push(to);
      });
    }
    return done === items.length ? layer : null;
  }

  // An SVG of the Hasse diagram, left to right, each item a box with its
  // label as text.
  function drawDiagram(edges) {
    var graph = hasse(edges);
    if (graph.items.length > MAX_DRAWN_ITEMS) {
      return element("p", "note", "This pattern has " + graph.items.length + " items, too many to draw here.");
    }
    var columns = [], place = new Map();
    graph.items.forEach(function (item, k) {
      var column = graph.layers === null ? k : graph.layers.get(item);
      while (columns.length <= column) columns.push([]);
      columns[column].push(item);
    });
    var boxHeight = 26, gapY = 14, gapX = 48, x = 10, tallest = 0;
    columns.forEach(function (column) {
      var width = Math.max.apply(null, column.map(function (item) { return Math.min(220, 16 + 7 * labelOf(item).length); }));
      column.forEach(function (item, row) { place.set(item, { x: x, y: 10 + row * (boxHeight + gapY), width: width }); });
      tallest = Math.max(tallest, column.length);
      x += width + gapX;
    });
    var width = x - gapX + 20, height = 20 + tallest * (boxHeight + gapY) - gapY;
    var svg = svgElement("svg", { width: width, height: height, viewBox: "0 0 " + width + " " + height,
                                  "class": "page-diagram" });
    svg.appendChild(arrowMarker());
    graph.edges.forEach(function (edge) {
      var from = place.get(edge[0]), to = place.get(edge[1]);
      svg.appendChild(svgElement("line", { x1: from.x + from.width, y1: from.y + boxHeight / 2,
                                           x2: to.x - 2, y2: to.y + boxHeight / 2,
                                           stroke: "#555", "marker-end": "url(#explorer-arrow)" }));
    });
    place.forEach(function (spot, item) { svg.appendChild(itemBox(item, spot, boxHeight)); });
    return svg;
  }

  function arrowMarker() {
    var defs = svgElement("defs", {});
    var marker = svgElement("marker", { id: "explorer-arrow", viewBox: "0 0 10 10", refX: 10, refY: 5,
                                        markerWidth: 7, markerHeight: 7, orient: "auto" });
    marker.appendChild(svgElement("path", { d: "M0,0 L10,5 L0,10 z", fill: "#555" }));
    defs.appendChild(marker);
    return defs;
  }

  function itemBox(item, spot, height) {
    var group = svgElement("g", { "class": "node" });
    group.appendChild(svgElement("rect", { x: spot.x, y: spot.y, width: spot.width, height: height,
                                           rx: 6, fill: "#fff", stroke: "#333" }));
    var label = labelOf(item);
    var text = svgText(spot.x + spot.width / 2, spot.y + 17, label.length > 30 ? label.slice(0, 29) + "\u2026" : label, "middle");
    var tip = svgElement("title", {});
    tip.textContent = label;
    group.appendChild(tip);
    group.appendChild(text);
    return group;
  }

  // ---- Start -------------------------------------------------------------

  function start() {
    var root = document.getElementById("explorer");
    buildFigures(root);
    var charts = element("div", "charts");
    root.appendChild(charts);
    ui.supportChart = makeChart(charts, "Patterns by support", support, supportRange, function (low, high) {
      ui.supportMin.value = String(low);
      ui.supportMax.value = String(high);
      applyFilters();
    });
    ui.edgesChart = makeChart(charts, "Patterns by number of edges", edgeCount, edgesRange, function (low, high) {
      ui.edgesMin.value = String(low);
      ui.edgesMax.value = String(high);
      applyFilters();
    });
    buildFilters(root);
    var work = element("div", "work");
    root.appendChild(work);
    buildTable(work);
    ui.pane = element("aside", "pane");
    ui.pane.appendChild(element("p", "note", "Select a pattern (click, or arrows and Enter) to see it here."));
    work.appendChild(ui.pane);
    sortBy("support", false);
    applyFilters();
    window.addEventListener("beforeprint", fillPrintRows);
  }

  start();
})();
