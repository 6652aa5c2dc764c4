#!/bin/bash
# Opens the HTML report of examples in headless Chromium and checks the
# page, as the browser rendered it after its script ran, against the JSON of
# the same run (tests/html/check.js). Exit 77 (skipped) without a browser.
# Usage: run.sh MORVA EXAMPLES_DIRECTORY WORK_DIRECTORY
set -u
morva=$1
examples=$2
work=$3
here=$(cd "$(dirname "$0")" && pwd)
# A fresh folder: files a crashed earlier run left must not fail this one.
rm -rf "$work"
mkdir -p "$work"
status=0

# expect WHAT CONDITION...: one check of the command line itself.
expect() {
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; status=1; fi
}

# The page is a file, checked like the JSON file before anything is loaded.
"$morva" --html - "$examples/io_delays.morva" >"$work/dash.out" 2>"$work/dash.err"
expect "--html - is a usage error" test $? = 2 -a ! -s "$work/dash.out"
"$morva" --html "$work/missing/r.html" "$examples/io_delays.morva" >"$work/missing.out" 2>"$work/missing.err"
expect "an HTML file in a missing directory fails first" test $? = 2 -a ! -s "$work/missing.out"
expect "its message" grep -qx "morva: HTML output: $work/missing/r.html: no directory $work/missing" "$work/missing.err"
echo old >"$work/replaced.html"
"$morva" -q --html "$work/replaced.html" "$examples/pipeline.morva" >/dev/null
expect "an existing page is replaced whole" grep -q '</html>' "$work/replaced.html"
expect "no temporary file is left" test -z "$(find "$work" -maxdepth 1 -name '.replaced.html.*')"

browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
  echo "skipped: no browser (install Debian's chromium to run this test)"
  exit $((status == 0 ? 77 : status))
fi

# check NAME ARGUMENTS...: one run of morva, its page checked in the browser.
check() {
  local name=$1
  shift
  local page="$work/$name.html" document="$work/$name.json" probe="$work/$name-check.html"
  if ! "$morva" -q --html "$page" --json "$document" "$@" >"$work/$name.out"; then
    echo "FAIL: $name: morva failed"
    status=1
    return
  fi
  if grep -Eq '(src|href) *=|url\(|@import' "$page"; then
    echo "FAIL: $name: the page refers to an outside resource"
    status=1
  fi
  # The page with an error catcher first and the checks last.
  {
    sed -e '$d' -e 's|<head>|<head><script>window.onerror = function (message) { var marker = document.createElement("div"); marker.id = "script-error"; marker.textContent = message; (document.body \|\| document.documentElement).appendChild(marker); };</script>|' "$page"
    printf '<script>window.expected = '
    cat "$document"
    printf ';</script>\n<script>\n'
    cat "$here/check.js"
    printf '</script></body></html>\n'
  } >"$probe"
  timeout 90 "$browser" --headless --no-sandbox --disable-gpu --no-first-run \
    --user-data-dir="$work/profile" --dump-dom "file://$probe" >"$work/$name.dom" 2>"$work/$name.browser.log"
  local result
  result=$(sed -n '/<pre id="check-result">/,/CHECKS-DONE/p' "$work/$name.dom" | grep -E '^(ok|FAIL): ')
  if [ -z "$result" ] || ! grep -q CHECKS-DONE "$work/$name.dom"; then
    echo "FAIL: $name: the browser gave no check result (see $work/$name.browser.log)"
    status=1
    return
  fi
  echo "$result" | sed "s|^|$name: |"
  if echo "$result" | grep -q '^FAIL'; then status=1; fi
}

check io_delays "$examples/io_delays.morva"
check two_clocks_setup --setup-only "$examples/two_clocks.morva"
check pipeline_detail -n 3 --hold-only "$examples/pipeline.morva"
exit $status
