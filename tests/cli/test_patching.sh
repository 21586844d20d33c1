#!/usr/bin/env bash
# Patching with the host's building blocks, measured with sox: the compressor example's
# steady gain, the granular example's moving spectrum, scripted changes between frames,
# and the errors of scripts and loops.
source "$(dirname "$0")/common.sh"
cd "$WORK"
passed=0
failed=0

# rms FILE [sox effects...] -> RMS amplitude of the (trimmed) file
rms() { local file=$1; shift; sox -V1 "$file" -n "$@" stat 2>&1 | awk '/^RMS +amplitude/ {print $3}'; }

case_compressor_gain_follows_threshold_and_ratio() {
  # A steady sine of 0.5: the detector reads 0.5, the gain is (0.5 / 0.1)^(1/4 - 1), and
  # the example makes up 1.25 x.
  sox -V1 -n -r 48000 -c 1 -b 32 -e float sine.wav synth 3 sine 1000 vol 0.5 || { fail "sox sine"; return 1; }
  "$QVZ" render "$QVZ_SOURCE/examples/compressor.lua" -i sine.wav -o out.wav > /dev/null 2> stderr.txt ||
    { fail "compressor: $(cat stderr.txt)"; return 1; }
  local in out
  in=$(rms sine.wav trim 1) out=$(rms out.wav trim 1)
  awk -v i="$in" -v o="$out" 'BEGIN {
    want = 20 * log(1.25) / log(10) + 20 * (0.25 - 1) * log(0.5 / 0.1) / log(10)
    got = 20 * log(o / i) / log(10)
    printf "compressor: steady gain %.2f dB, threshold and ratio give %.2f dB\n", got, want
    exit !(got - want < 1.5 && want - got < 1.5) }' || { fail "compressor gain off by more than 1.5 dB"; return 1; }
  rm -f out.wav
}

case_granular_spectrum_moves() {
  "$QVZ" render "$QVZ_SOURCE/examples/granular.lua" -o gran.wav --seconds 6 > /dev/null 2> stderr.txt ||
    { fail "granular: $(cat stderr.txt)"; return 1; }
  local k centroids=""
  for k in 0 1 2 3 4 5; do
    centroids="$centroids $(sox -V1 gran.wav -n remix 1 trim $k 1 stat -freq 2>&1 |
      awk '$1 ~ /^[0-9.]+$/ && NF == 2 {s += $1 * $2; p += $2} END {if (p > 0) printf "%.1f", s / p}')"
  done
  echo "granular: spectral centroids of one-second windows (Hz):$centroids"
  echo "$centroids" | awk '{ lo = hi = $1; for (k = 2; k <= NF; k++) { if ($k < lo) lo = $k; if ($k > hi) hi = $k }
    exit !(NF == 6 && lo > 0 && hi >= 1.2 * lo) }' || { fail "the centroid varies by less than 20 %"; return 1; }
}

case_scripted_changes_run_between_frames() {
  # At 0.5 s the level steps from 0.1 to 0.4 (from the first frame that starts there, at
  # 24064 with frames of 128); every 0.25 s a call is noted, checked at the end.
  cat > script.lua <<'LUA'
local od = require "od"
local g = od.Gain()
g:getInput("In"):setConstant(1)
g:getInput("Gain"):setConstant(0.1)
local calls = {}
qvz.at(0.5, function(t) g:getInput("Gain"):setConstant(0.4); calls[#calls + 1] = t end)
qvz.every(0.25, function(t) calls[#calls + 1] = t end)
qvz.at(0.99, function() assert(table.concat(calls, " ") == "0.25 0.5 0.5 0.75", table.concat(calls, " ")) end)
return g:getOutput("Out")
LUA
  "$QVZ" render script.lua -o out.wav --seconds 1 > /dev/null 2> stderr.txt || { fail "script: $(cat stderr.txt)"; return 1; }
  local before after
  before=$(rms out.wav trim 0 0.5) after=$(rms out.wav trim 24064s)
  awk -v b="$before" -v a="$after" 'BEGIN { exit !(b > 0.0999 && b < 0.1001 && a > 0.3999 && a < 0.4001) }' ||
    { fail "levels before and after 0.5 s: $before $after"; return 1; }
  rm -f out.wav
}

case_errors_name_their_cause() {
  rm -f out.wav
  printf 'local od = require "od"\nqvz.every(0.5, function(t)\n  error("broken at " .. t)\nend)\nreturn od.LFO():getOutput("Out")\n' > late.lua
  expect_failure 1 "late.lua:3: broken at 0.5" -- "$QVZ" render late.lua -o out.wav --seconds 2 || return 1
  printf 'local od = require "od"\nlocal a, b = od.Gain(), od.Gain()\na:getInput("In"):connect(b:getOutput("Out"))\nb:getParameter("x")\nb:getInput("In"):connect(a:getOutput("Out"))\nreturn a:getOutput("Out")\n' > loop.lua
  expect_failure 1 "connection cycle: Gain -> Gain -> Gain; a feedback loop must pass through an od.FrameDelay" -- \
    "$QVZ" render loop.lua -o out.wav --seconds 1 || return 1
  printf 'local steps = qvz.pattern("a.q")\nreturn steps:getOutput("Trig")\n' > pattern.lua
  expect_failure 1 "pattern.lua:1: qvz.pattern: 'q' at position 3" -- "$QVZ" render pattern.lua -o out.wav || return 1
  printf 'qvz.every(0, print)\n' > every.lua
  expect_failure 1 "every.lua:1: qvz.every: the interval" -- "$QVZ" render every.lua -o out.wav || return 1
}

run_case "compressor gain" case_compressor_gain_follows_threshold_and_ratio
run_case "granular spectrum" case_granular_spectrum_moves
run_case "scripted changes" case_scripted_changes_run_between_frames
run_case "errors" case_errors_name_their_cause
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
