// Checks the rendered report against the JSON document of the same run
// (window.expected). Runs after the page's own script; every result is a
// line of the pre#check-result element, read back from the dumped DOM.
(function () {
  var lines = [];
  var check = function (condition, what) { lines.push((condition ? "ok: " : "FAIL: ") + what); };
  var toPicoseconds = function (text) {
    var match = /^(-?[0-9.]+)(ps|ns)$/.exec(text.trim());
    if (!match) return NaN;
    return Math.round(Number(match[1]) * (match[2] === "ns" ? 1000 : 1));
  };
  try {
    var doc = window.expected;
    var kinds = [];
    if (doc.settings.longest) kinds.push(["setup", "longestRoutes"]);
    if (doc.settings.shortest) kinds.push(["hold", "shortestRoutes"]);
    var errors = document.querySelectorAll("#script-error");
    check(errors.length === 0, "no script errors" + (errors.length ? ": " + errors[0].textContent : ""));
    var figures = document.querySelectorAll("figure.slack-histogram");
    check(figures.length === doc.domains.length * kinds.length,
          figures.length + " histograms for " + doc.domains.length + " domains and " + kinds.length + " kinds");
    var allPaths = 0, allBars = 0;
    doc.domains.forEach(function (domain, index) {
      kinds.forEach(function (kind) {
        var where = domain.name + " " + kind[0];
        var found = document.querySelectorAll('figure.slack-histogram[data-domain="' + index +
                                              '"][data-kind="' + kind[0] + '"]');
        check(found.length === 1, "one histogram for " + where);
        if (found.length !== 1) return;
        var slacks = [];
        domain.subdomains.forEach(function (subdomain) {
          subdomain[kind[1]].forEach(function (route) {
            if (typeof route.slack === "number") slacks.push(route.slack);
          });
        });
        var bars = 0, marked = true, fills = {};
        found[0].querySelectorAll("rect.bar").forEach(function (bar) {
          bars += Number(bar.getAttribute("data-count"));
          var negative = Number(bar.getAttribute("data-from")) < 0;
          marked = marked && bar.classList.contains("negative") === negative;
          fills[negative] = getComputedStyle(bar).fill;
        });
        check(marked && (!fills[true] || !fills[false] || fills[true] !== fills[false]),
              "negative bins of " + where + " in their own colour");
        check(bars === slacks.length, "bars of " + where + " count " + bars + " paths, the JSON " + slacks.length);
        allPaths += slacks.length;
        allBars += bars;
        if (slacks.length === 0) return;
        var worst = Math.min.apply(null, slacks);
        var shown = found[0].querySelector(".worst");
        check(shown && Number(shown.getAttribute("data-ps")) === worst &&
              toPicoseconds(shown.textContent) === worst,
              "worst slack of " + where + " shown as " + (shown && shown.textContent) + ", the JSON " + worst);
      });
    });
    check(allBars === allPaths && allPaths > 0, "all bars count " + allBars + " paths, the JSON " + allPaths);

    var negative = function (subdomains, kind) {
      var worst = 0;
      subdomains.forEach(function (s) { if (typeof s[kind].slack === "number") worst = Math.min(worst, s[kind].slack); });
      return worst;
    };
    var everySubdomain = [].concat.apply([], doc.domains.map(function (d) { return d.subdomains; }));
    var total = document.querySelector("#negative-slack tr.total");
    var setupWorst = doc.wns ? doc.wns.setup : negative(everySubdomain, "setup");
    var holdWorst = doc.wns ? doc.wns.hold : negative(everySubdomain, "hold");
    check(total && toPicoseconds(total.cells[1].textContent) === setupWorst &&
          toPicoseconds(total.cells[3].textContent) === holdWorst,
          "total WNS shown as " + (total && total.cells[1].textContent + " and " + total.cells[3].textContent) +
          ", the JSON " + setupWorst + " and " + holdWorst);

    // Expanding a path shows its poles, in order, and only then.
    var tables = document.querySelectorAll("table.paths");
    var routes = [];
    doc.domains.forEach(function (d) {
      kinds.forEach(function (kind) {
        d.subdomains.forEach(function (s) { if (s[kind[1]].length) routes.push(s[kind[1]]); });
      });
    });
    check(tables.length === routes.length, tables.length + " path tables, the JSON " + routes.length);
    // The table with the most paths, its first path.
    var longest = 0;
    routes.forEach(function (r, i) { if (r.length > routes[longest].length) longest = i; });
    var table = tables[longest], route = routes[longest][0];
    var details = table.tBodies[0].rows[0].querySelector("details");
    var poleRows = details.querySelectorAll("table.poles tr");
    var rendered = function () {
      var row = poleRows[1];
      return row.checkVisibility ? row.checkVisibility() : row.getClientRects().length > 0;
    };
    check(!details.open && !rendered(), "a path's poles are hidden until it is expanded");
    details.open = true;
    var names = Array.prototype.slice.call(poleRows, 1).map(function (row) { return row.cells[0].textContent; });
    var wanted = [route.edges[0].source].concat(route.edges.map(function (e) { return e.target; }));
    check(details.open && rendered() && names.join(",") === wanted.join(","),
          "the expanded path shows its poles " + names.join(","));

    // Sorting by slack, twice: ascending then descending.
    var heading = table.tHead.rows[0].cells[1];
    var order = function () {
      return Array.prototype.map.call(table.tBodies[0].rows, function (row) { return Number(row.cells[1].getAttribute("data-v")); });
    };
    heading.click();
    var up = order();
    heading.click();
    var down = order();
    check(up.every(function (v, i) { return i === 0 || up[i - 1] <= v; }) &&
          down.every(function (v, i) { return i === 0 || down[i - 1] >= v; }),
          "sorting by slack: " + up.join(" ") + " / " + down.join(" "));
  } catch (error) {
    check(false, "the checks themselves failed: " + error);
  }
  var result = document.createElement("pre");
  result.id = "check-result";
  result.textContent = "\n" + lines.join("\n") + "\nCHECKS-DONE\n";
  document.body.appendChild(result);
})();
