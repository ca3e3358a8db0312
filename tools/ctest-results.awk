# Reads the JUnit file `ctest --output-junit` writes and tells what became
# of each test: the first line is "COUNTS tests passed failed skipped", then
# one block per test that failed (its name and the last lines of its output)
# and one line per skipped test with the reason it gave. A test CTest could
# not run (no executable, a failed test listing) counts as failed, not as
# skipped: only a case that skipped itself is a skip.
#   awk -f tools/ctest-results.awk build/tests.xml
function unescape(text) {
  gsub(/&lt;/, "<", text)
  gsub(/&gt;/, ">", text)
  gsub(/&quot;/, "\"", text)
  gsub(/&apos;/, "'", text)
  gsub(/&amp;/, "\\&", text)
  return text
}
function attribute(line, key,    rest) {
  if (!match(line, key "=\"[^\"]*\"")) return ""
  rest = substr(line, RSTART + length(key) + 2, RLENGTH - length(key) - 3)
  return unescape(rest)
}
# GoogleTest writes "file:line: Skipped" and then the message; a shell test
# that exits 77 says why as the last thing it prints.
function skip_reason(    i, reason) {
  for (i = 1; i <= lines; ++i) {
    if (out[i] ~ /: Skipped$/) {
      reason = out[i + 1]
      for (i += 2; i <= lines && out[i] !~ /^\[  SKIPPED \]/; ++i) reason = reason " " out[i]
      return reason
    }
  }
  for (i = lines; i >= 1; --i) if (out[i] != "") return out[i]
  return "(no reason given)"
}
function finish(    i, first) {
  ++tests
  if (status == "run") {
    ++passed
  } else if (status == "notrun" && skipped ~ /^SKIP_/) {
    ++skipped_count
    skips = skips sprintf("   skipped: %s: %s\n", name, skip_reason())
  } else if (status == "disabled") {
    --tests
  } else {
    ++failed
    failures = failures sprintf("   FAILED: %s (%.1f s%s)\n", name, seconds, why == "" ? "" : ", " why)
    first = lines > 40 ? lines - 39 : 1
    for (i = first; i <= lines; ++i) failures = failures "   | " out[i] "\n"
  }
}
BEGIN { tests = passed = failed = skipped_count = 0 }
/^[ \t]*<testcase / {
  name = attribute($0, "name")
  status = attribute($0, "status")
  seconds = attribute($0, "time") + 0
  skipped = why = ""
  lines = 0
  delete out
  in_case = 1
  if ($0 ~ /\/>[ \t]*$/) { finish(); in_case = 0 }
  next
}
in_case && /^[ \t]*<skipped / { skipped = attribute($0, "message"); next }
in_case && /^[ \t]*<failure / { why = attribute($0, "message"); next }
in_case && /<system-out>/ {
  capture = 1
  sub(/.*<system-out>/, "")
}
capture {
  line = $0
  if (line ~ /<\/system-out>/) {
    sub(/<\/system-out>.*/, "", line)
    capture = 0
    if (line == "") next
  }
  out[++lines] = unescape(line)
  next
}
in_case && /<\/testcase>/ { finish(); in_case = 0 }
END {
  printf "COUNTS %d %d %d %d\n", tests, passed, failed, skipped_count
  printf "%s%s", failures, skips
}
