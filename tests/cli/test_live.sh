#!/usr/bin/env bash
# `qvz live` against private JACK servers (dummy backend, one per case, unique names), with
# JACK's own tools as peers: jack-play feeds audio, jack_rec records it, jack_midiseq plays notes.
source "$(dirname "$0")/common.sh"
cd "$WORK"

SERVER_PID=
stop_server() {
  if [ -n "$SERVER_PID" ]; then
    kill "$SERVER_PID" 2> /dev/null
    wait "$SERVER_PID" 2> /dev/null
  fi
  SERVER_PID=
  unset JACK_DEFAULT_SERVER
}
trap 'stop_server; rm -rf "$WORK"' EXIT

# start_server CASE: a dummy server at 48 kHz, period 128, that the JACK tools and qvz use.
start_server() {
  local name="qvz-test-$$-$1"
  jackd -n "$name" -R -d dummy -r 48000 -p 128 > "jackd-$1.log" 2>&1 &
  SERVER_PID=$!
  if ! jack_wait -s "$name" -w -t 10 > /dev/null 2>&1; then
    fail "jackd did not start: $(tail -2 "jackd-$1.log")"
    stop_server
    return 1
  fi
  export JACK_DEFAULT_SERVER=$name
}

passed=0
failed=0
run_case() {
  if start_server "$2" && "$2"; then
    passed=$((passed + 1))
  else
    echo "case failed: $1" >&2
    failed=$((failed + 1))
  fi
  stop_server
}

# samples FILE CHANNEL: one sample per line.
samples() { sox -V1 "$1" -t dat - remix "$2" | awk '!/^;/ { print $2 }'; }
# stat FILE FIELD [sox effects]: a number from sox's stat ("Maximum amplitude", "Rough frequency").
stat_of() {
  local file=$1 field=$2
  shift 2
  sox -V1 "$file" -n "$@" stat 2>&1 | awk -v f="$field" '{ gsub(/ +/, " ") } index($0, f) == 1 { print $NF }'
}
# wait_for FILE TEXT: up to 5 s for a line to appear.
wait_for() {
  local i
  for ((i = 0; i < 100; i++)); do
    grep -qF -- "$2" "$1" 2> /dev/null && return 0
    sleep 0.05
  done
  fail "no '$2' in $1: $(cat "$1")"
}
# port_named PATTERN: the first JACK port whose name matches, waiting up to 5 s for it.
port_named() {
  local i port
  for ((i = 0; i < 100; i++)); do
    port=$(jack_lsp | grep -m1 -- "$1")
    [ -n "$port" ] && { echo "$port"; return 0; }
    sleep 0.05
  done
  fail "no JACK port matches $1: $(jack_lsp | tr '\n' ' ')"
}
summary_field() { sed -n "s/.*$2 \([0-9.]*\).*/\1/p" "$1" | tail -1; }

cat > tone.lua <<'LUA'
local od = require "od"
local sine = od.Sine()
sine:getInput("Frequency"):setConstant(440)
sine:getInput("Level"):setConstant(0.5)
local noise = od.Noise()
noise:getInput("Level"):setConstant(0.25)
return sine:getOutput("Out"), noise:getOutput("Out")
LUA

case_record_equals_render() {
  "$QVZ" live tone.lua --inputs 0 --seconds 2 --frame 96 --seed 7 --record live.wav > out.txt 2> err.txt &
  local qvz=$!
  wait_for out.txt "qvz: live" && jack_lsp -l qvz:out_1 > ports.txt
  wait $qvz || { fail "live: $(cat err.txt)"; return 1; }
  "$QVZ" render tone.lua -o render.wav --seconds 2 --frame 96 --seed 7 > /dev/null || return 1
  cmp -s live.wav render.wav || { fail "the recording differs from the render"; return 1; }
  check_wav live.wav 96000 2 48000 || return 1
  # A frame of 96 in periods of 128 needs 96 - gcd(128, 96) = 64 samples of latency, set on the ports too.
  grep -q "latency 64 samples" out.txt || { fail "latency: $(cat out.txt)"; return 1; }
  grep -q "capture latency = \[ 64 64 \]" ports.txt || { fail "port latency: $(cat ports.txt)"; return 1; }
}

# The input is halved by a crossfader: 1 kHz at 0.5 in, 1 kHz at 0.25 out, recorded by jack_rec.
case_audio_input() {
  cat > half.lua <<'LUA'
local q = require "qvz_libQuorvani"
local input = ...
local fade = q.WetDryFade()
fade:getInput("A"):connect(input)
fade:getInput("Fade"):setConstant(0.5)
return fade:getOutput("Out")
LUA
  sox -V1 -n -r 48000 -c 1 -b 16 in.wav synth 4 sine 1000 vol 0.5 || return 1
  "$QVZ" live half.lua --inputs 1 --seconds 3 > out.txt 2> err.txt &
  local qvz=$!
  wait_for out.txt "qvz: live" || { kill $qvz; return 1; }
  jack-play in.wav > /dev/null 2>&1 &
  local play=$!
  local port
  port=$(port_named '^jack-play.*:out_1$') && jack_connect "$port" qvz:in_1 ||
    { kill $play $qvz; fail "cannot connect ${port:-jack-play}"; return 1; }
  jack_rec -f rec.wav -d 1 qvz:out_1 > /dev/null 2>&1
  kill $play 2> /dev/null
  wait $play $qvz
  local peak frequency
  peak=$(stat_of rec.wav "Maximum amplitude" trim 0.5)
  frequency=$(stat_of rec.wav "Rough frequency" trim 0.5)
  awk -v p="$peak" -v f="$frequency" 'BEGIN { exit !(p > 0.24 && p < 0.26 && f > 990 && f < 1010) }' ||
    { fail "recorded peak $peak, frequency $frequency Hz; expected 0.25 at 1000 Hz"; return 1; }
}

# Notes 12000 samples apart from jack_midiseq strike a kick 12000 samples apart: the latency is
# the same for every note.
# One recording of a kick struck by a sequencer every 12000 samples, judged on its strikes.
midi_strikes_once() {
  "$QVZ" live kick.lua --inputs 0 --seconds 2.5 --frame 96 --record kick.wav > out.txt 2> err.txt &
  local qvz=$!
  jack_midiseq seq 24000 0 60 2000 12000 64 2000 > /dev/null 2>&1 &
  local seq=$!
  wait_for out.txt "qvz: live" && port_named '^seq:out$' > /dev/null && jack_connect seq:out qvz:midi_in
  wait $qvz
  kill $seq 2> /dev/null
  wait $seq
  # A strike: the first sample above 0.01 after at least 2000 below it. The click's noise may
  # start a sample or two under that; a note applied at a frame boundary would be off by up to 96.
  samples kick.wav 1 | awk '{ v = $1 < 0 ? -$1 : $1; if (v < 0.01) quiet++; else { if (quiet > 2000) print NR - 1; quiet = 0 } }' > strikes.txt
  [ "$(wc -l < strikes.txt)" -ge 4 ] || { fail "$(wc -l < strikes.txt) strikes in 2.5 s: $(cat err.txt)"; return 1; }
  awk 'NR > 1 { d = $1 - last - 12000; if (d < -2 || d > 2) { bad = 1; print "strike at " $1 " follows " last } } { last = $1 } END { exit bad }' strikes.txt ||
    { fail "strikes not 12000 samples apart"; return 1; }
  echo "strikes at $(tr '\n' ' ' < strikes.txt)"
}

# A cycle the busy machine drops (an xrun) moves the strikes after it, so a run with xruns is
# made again, at most three times in all; a run without xruns is judged at once.
case_midi_strikes() {
  midi_kick_patch > kick.lua
  local attempt xruns
  for attempt in 1 2 3; do
    midi_strikes_once && return 0
    xruns=$(summary_field out.txt xruns)
    [ "${xruns:-0}" -gt 0 ] || return 1
    echo "attempt $attempt had $xruns xruns"
  done
  return 1
}

# Rewriting the patch by rename changes the pitch within 0.5 s through a crossfade; a broken
# rewrite is reported with its line and the last good patch keeps playing.
case_reload() {
  head -4 tone.lua > sine.lua
  echo 'return sine:getOutput("Out")' >> sine.lua
  "$QVZ" live sine.lua --inputs 0 --seconds 3 --record rec.wav > out.txt 2> err.txt &
  local qvz=$!
  wait_for out.txt "qvz: live" || { kill $qvz; return 1; }
  local changed ended
  sleep 1
  sed 's/(440)/(660)/' sine.lua > new.lua && mv new.lua sine.lua
  changed=$(date +%s.%N)
  wait_for err.txt "qvz: reloaded" || { kill $qvz; return 1; }
  sleep 0.5
  printf 'local od = require "od"\nreturn od.Sine(\n' > broken.lua && mv broken.lua sine.lua
  wait $qvz || { fail "live: $(cat err.txt)"; return 1; }
  ended=$(date +%s.%N)
  grep -q "sine.lua:3:.*previous patch keeps playing" err.txt || { fail "no file:line report: $(cat err.txt)"; return 1; }
  # The first period shorter than 48000 / 550 samples, against when the file was renamed, in
  # recording time: qvz stops right after its 3 s, so the rename was (end - rename) before that
  # (if anything earlier, which only makes the measured delay longer).
  local at renamed
  at=$(samples rec.wav 1 | awk 'NR > 1 && prev < 0 && $1 >= 0 { if (last && NR - last < 87) { print NR / 48000; exit } last = NR } { prev = $1 }')
  renamed=$(awk -v c="$changed" -v e="$ended" 'BEGIN { print 3 - (e - c) }')
  awk -v at="$at" -v r="$renamed" 'BEGIN { exit !(at != "" && at > r && at - r < 0.5) }' ||
    { fail "the pitch changed at ${at:-never} s, the file at $renamed s"; return 1; }
  # The largest step: a 660 Hz sine at 0.5 moves at most 0.5 * 2 pi 660 / 48000 a sample; a
  # 20 ms crossfade adds at most 1 / 960 of the difference between the sounds.
  local step
  step=$(samples rec.wav 1 | awk 'NR > 1 { d = $1 - prev; if (d < 0) d = -d; if (d > m) m = d } { prev = $1 } END { print m }')
  awk -v d="$step" 'BEGIN { exit !(d < 0.5 * 6.2832 * 660 / 48000 + 1.0 / 960 + 1e-4) }' || { fail "a step of $step"; return 1; }
  echo "renamed at $renamed s, pitch changed at $at s, largest step $step"

  local frequency
  frequency=$(stat_of rec.wav "Rough frequency" trim 2.4)
  awk -v f="$frequency" 'BEGIN { exit !(f > 650 && f < 670) }' || { fail "after the broken rewrite: $frequency Hz"; return 1; }
}

# Stopping the client for 0.3 s makes the server miss its deadlines; the summary counts them.
case_xruns() {
  "$QVZ" live tone.lua --seconds 1.5 > calm.txt 2> err.txt || { fail "live: $(cat err.txt)"; return 1; }
  echo "undisturbed: $(grep -o 'xruns [0-9]*' calm.txt)"
  "$QVZ" live tone.lua --seconds 2 > out.txt 2> err.txt &
  local qvz=$!
  wait_for out.txt "qvz: live" || { kill $qvz; return 1; }
  sleep 0.5
  kill -STOP $qvz
  sleep 0.3
  kill -CONT $qvz
  wait $qvz || { fail "live: $(cat err.txt)"; return 1; }
  local xruns
  xruns=$(summary_field out.txt xruns)
  [ "${xruns:-0}" -gt 0 ] || { fail "no xruns counted after SIGSTOP: $(cat out.txt)"; return 1; }
  echo "stopped 0.3 s: xruns $xruns"
}

# qvz.at in a live patch: a changed constant lands at a frame boundary, connect is refused.
case_scripted_changes() {
  cat > scripted.lua <<'LUA'
local od = require "od"
local sine = od.Sine()
sine:getInput("Level"):setConstant(0.5)
qvz.at(0.5, function()
  sine:getInput("Frequency"):setConstant(880)
  print(select(2, pcall(sine:getInput("Level").connect, sine:getInput("Level"), sine:getOutput("Out"))))
end)
return sine:getOutput("Out")
LUA
  "$QVZ" live scripted.lua --inputs 0 --seconds 1.5 --record rec.wav > out.txt 2> err.txt || { fail "live: $(cat err.txt)"; return 1; }
  grep -q "connect: not while the patch plays" out.txt || { fail "connect was not refused: $(cat out.txt)"; return 1; }
  grep -q "1 scripted change (the last at frame [0-9]*)" out.txt || { fail "summary: $(cat out.txt)"; return 1; }
  local before after
  before=$(stat_of rec.wav "Rough frequency" trim 0.1 0.3)
  after=$(stat_of rec.wav "Rough frequency" trim 0.9 0.5)
  awk -v a="$before" -v b="$after" 'BEGIN { exit !(a > 430 && a < 450 && b > 870 && b < 890) }' || { fail "$before Hz, then $after Hz"; return 1; }
}

# No server, or no server of that name: one line, non-zero, quickly.
case_no_server() {
  local start end
  start=$(date +%s%N)
  JACK_DEFAULT_SERVER=qvz-none-$$ "$QVZ" live tone.lua > out.txt 2> err.txt && { fail "live without a server succeeded"; return 1; }
  "$QVZ" live tone.lua --server qvz-none-$$ > out2.txt 2> err2.txt && { fail "live with a missing server succeeded"; return 1; }
  end=$(date +%s%N)
  [ $(((end - start) / 1000000)) -lt 5000 ] || { fail "took $(((end - start) / 1000000)) ms"; return 1; }
  [ "$(wc -l < err.txt)" -eq 1 ] && grep -q "no JACK server is running" err.txt || { fail "said: $(cat err.txt)"; return 1; }
  [ "$(wc -l < err2.txt)" -eq 1 ] && grep -q "no JACK server named 'qvz-none-$$'" err2.txt || { fail "said: $(cat err2.txt)"; return 1; }
}

run_case "record equals render" case_record_equals_render
run_case "audio input" case_audio_input
run_case "MIDI strikes" case_midi_strikes
run_case "reload" case_reload
run_case "xruns" case_xruns
run_case "scripted changes" case_scripted_changes
run_case "no server" case_no_server

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
