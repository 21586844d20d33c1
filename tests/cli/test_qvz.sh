#!/usr/bin/env bash
# The offline host from the outside: renders checked with sox, errors, reproducibility.
source "$(dirname "$0")/common.sh"
cd "$WORK"

# png_info FILE -> "W x H, bit depth and colour type" as file(1) reads them.
png_info() { file -b "$1" | sed -n 's/^PNG image data, \([0-9]* x [0-9]*, [^,]*\),.*/\1/p'; }

cat > tone.lua <<'LUA'
local od = require "od"
local q = require "qvz_libQuorvani"
local sine = od.Sine()
sine:getInput("Frequency"):setConstant(220)
sine:getInput("Level"):setConstant(0.5)
local noise = od.Noise()
noise:getInput("Level"):setConstant(0.25)
local crush = q.BitCrush()
crush:getInput("In"):connect(noise:getOutput("Out"))
crush:getInput("BitDepth"):setConstant(8)
crush:getInput("SR"):setConstant(2)
assert(qvz.sampleRate > 0 and qvz.seconds > 0 and #qvz.inputs >= 1)
return sine:getOutput("Out"), crush:getOutput("Out")
LUA

cat > passthrough.lua <<'LUA'
return ...
LUA

cat > player.lua <<'LUA'
local od = require "od"
local player = od.Player()
player:setSample(od.Sample.load(qvz.input))
return player:getOutput("Left Out"), player:getOutput("Right Out")
LUA

case_renders_with_sox_checks() {
  "$QVZ" render tone.lua -o out.wav --seconds 1.5 > stdout.txt 2> stderr.txt || { fail "render: $(cat stderr.txt)"; return 1; }
  check_wav out.wav 72000 2 48000 || return 1
  check_channels_not_silent out.wav || return 1
  grep -q "1.500 s, 2 ch, 48000 Hz" stdout.txt || { fail "summary: $(cat stdout.txt)"; return 1; }
  grep -q "real time" stdout.txt || { fail "summary lacks the speed: $(cat stdout.txt)"; return 1; }
  # 32-bit float output; the sine's level is -6 dBFS.
  [ "$(soxi -V1 -e out.wav)" = "Floating Point PCM" ] && [ "$(soxi -V1 -b out.wav)" = 32 ] || { fail "encoding $(soxi -V1 -e out.wav)"; return 1; }
  local peak
  peak=$(sox -V1 out.wav -n remix 1 stat 2>&1 | awk '/^Maximum amplitude/ {print $3}')
  awk -v p="$peak" 'BEGIN { exit !(p > 0.499 && p <= 0.5) }' || { fail "sine peak $peak"; return 1; }
  rm -f out.wav
}

case_rate_frame_and_plot() {
  "$QVZ" render tone.lua -o out.wav --seconds 0.2 --rate 22050 --frame 36 --plot plot.png > /dev/null 2> stderr.txt ||
    { fail "render: $(cat stderr.txt)"; return 1; }
  check_wav out.wav 4410 2 22050 || return 1
  # A title row, then per channel its name, waveform and spectrogram, then the time axis.
  [ "$(png_info plot.png)" = "1200 x 858, 8-bit/color RGB" ] || { fail "plot.png: $(file -b plot.png)"; return 1; }
  rm -f out.wav plot.png
}

case_input_file_passes_through_and_resamples() {
  sox -V1 -n -r 44100 -c 2 -e floating-point -b 32 in.wav synth 0.5 sine 300 sine 500 gain -3 || { fail "sox synth"; return 1; }
  # Same rate: the patch's outputs are the input's channels, sample for sample.
  "$QVZ" render passthrough.lua -i in.wav -o out.wav > /dev/null 2> stderr.txt || { fail "render: $(cat stderr.txt)"; return 1; }
  check_wav out.wav 22050 2 44100 || return 1
  local difference
  difference=$(sox -V1 -m -v 1 in.wav -v -1 out.wav -n stat 2>&1 | awk '/^Maximum amplitude/ {print $3}')
  [ "$difference" = "0.000000" ] || { fail "passthrough differs from the input by $difference"; return 1; }
  rm -f out.wav
  # The file player reads the same file through od.Sample and plays it unchanged.
  "$QVZ" render player.lua -i in.wav -o out.wav > /dev/null 2> stderr.txt || { fail "player: $(cat stderr.txt)"; return 1; }
  difference=$(sox -V1 -m -v 1 in.wav -v -1 out.wav -n stat 2>&1 | awk '/^Maximum amplitude/ {print $3}')
  [ "$difference" = "0.000000" ] || { fail "the player differs from the input by $difference"; return 1; }
  rm -f out.wav
  # Another rate: resampled, same duration, the 300 Hz tone kept.
  "$QVZ" render passthrough.lua -i in.wav --rate 48000 -o out.wav > /dev/null 2> stderr.txt || { fail "render: $(cat stderr.txt)"; return 1; }
  check_wav out.wav 24000 2 48000 || return 1
  local frequency
  frequency=$(sox -V1 out.wav -n remix 1 stat 2>&1 | awk '/^Rough +frequency/ {print $3}')
  awk -v f="$frequency" 'BEGIN { exit !(f > 290 && f < 310) }' || { fail "resampled tone at $frequency Hz"; return 1; }
  rm -f out.wav
  # An explicit length past the input's end pads with the patch's output (here silence).
  "$QVZ" render passthrough.lua -i in.wav --seconds 1 -o out.wav > /dev/null 2>&1 || { fail "long render"; return 1; }
  [ "$(wav_samples out.wav)" = 44100 ] || { fail "padded length $(wav_samples out.wav)"; return 1; }
  rm -f out.wav in.wav
}

# Inputs longer than the blocks they are read and resampled in (and of three channels, an odd
# length): read through unchanged, and resampled without a seam where blocks meet.
case_long_input_streams_through_exactly() {
  sox -V1 -n -r 44100 -c 3 -e floating-point -b 32 long.wav synth 3.1 sine 300 sine 500 sine 70 gain -3 ||
    { fail "sox synth"; return 1; }
  local frames difference
  frames=$(soxi -s long.wav 2> /dev/null)
  "$QVZ" render passthrough.lua -i long.wav -o out.wav > /dev/null 2> stderr.txt || { fail "render: $(cat stderr.txt)"; return 1; }
  check_wav out.wav "$frames" 3 44100 || return 1
  difference=$(sox -V1 -m -v 1 long.wav -v -1 out.wav -n stat 2>&1 | awk '/^Maximum amplitude/ {print $3}')
  [ "$difference" = "0.000000" ] || { fail "long passthrough differs from the input by $difference"; return 1; }
  # Against sox's own best converter: the same to a few parts in a million away from the ends,
  # where a lost or repeated sample at a block seam would differ by hundredths.
  "$QVZ" render passthrough.lua -i long.wav --rate 48000 -o out.wav > /dev/null 2> stderr.txt ||
    { fail "render: $(cat stderr.txt)"; return 1; }
  sox -V1 long.wav -r 48000 reference.wav rate -v || { fail "sox rate"; return 1; }
  difference=$(sox -V1 -m -v 1 reference.wav -v -1 out.wav -n trim 0.05 =3.0 stat 2>&1 | awk '/^Maximum amplitude/ {print $3}')
  awk -v d="$difference" 'BEGIN { exit !(d != "" && d < 0.0001) }' ||
    { fail "resampled long input differs from sox by $difference"; return 1; }
  rm -f long.wav out.wav reference.wav
}

case_patch_sees_its_inputs() {
  cat > inputs.lua <<'LUA'
local expected = tonumber(os.getenv("EXPECTED_ARGUMENTS"))
assert(select("#", ...) == expected, "got " .. select("#", ...) .. " arguments")
assert(#qvz.inputs == 2 and (qvz.input ~= nil) == (expected > 0))
assert(qvz.sampleRate == 8000 and qvz.seconds == 0.5 and qvz.frameLength == 64 and qvz.seed == 9)
return require("od").Sine():getOutput("Out")
LUA
  EXPECTED_ARGUMENTS=0 "$QVZ" render inputs.lua -o out.wav --rate 8000 --seconds 0.5 --frame 64 --seed 9 > /dev/null 2> stderr.txt ||
    { fail "without input: $(cat stderr.txt)"; return 1; }
  sox -V1 -n -r 8000 -c 2 in.wav synth 0.5 sine 300 || { fail "sox synth"; return 1; }
  EXPECTED_ARGUMENTS=2 "$QVZ" render inputs.lua -i in.wav -o out.wav --frame 64 --seed 9 > /dev/null 2> stderr.txt ||
    { fail "with input: $(cat stderr.txt)"; return 1; }
  rm -f inputs.lua in.wav out.wav
}

case_same_seed_is_bit_identical() {
  # A second apart, so that nothing time-stamped in the file can match by chance.
  "$QVZ" render tone.lua -o a.wav --seconds 0.5 --seed 42 > /dev/null 2>&1 && sleep 1.1 &&
    "$QVZ" render tone.lua -o b.wav --seconds 0.5 --seed 42 > /dev/null 2>&1 &&
    "$QVZ" render tone.lua -o c.wav --seconds 0.5 --seed 43 > /dev/null 2>&1 || { fail "seeded renders"; return 1; }
  cmp -s a.wav b.wav || { fail "the same seed gave different files"; return 1; }
  cmp -s a.wav c.wav && { fail "different seeds gave the same noise"; return 1; }
  rm -f a.wav b.wav c.wav
}

case_missing_files() {
  expect_failure 1 "cannot read patch 'nope.lua'" -- "$QVZ" render nope.lua -o out.wav || return 1
  expect_failure 1 "cannot read input 'nope.wav'" -- "$QVZ" render tone.lua -i nope.wav -o out.wav || return 1
  echo "not audio" > junk.wav
  expect_failure 1 "cannot read input 'junk.wav'" -- "$QVZ" render tone.lua -i junk.wav -o out.wav || return 1
  rm -f junk.wav
}

# expect_patch_failure FILE TEXT LUA: a patch of that name and text fails with TEXT.
expect_patch_failure() {
  printf '%s\n' "$3" > "$1"
  expect_failure 1 "$2" -- "$QVZ" render "$1" -o out.wav || return 1
  rm -f "$1"
}

case_lua_errors_name_file_and_line() {
  expect_patch_failure syntax.lua "syntax.lua:2:" 'local od = require "od"
local x = = 1' || return 1
  expect_patch_failure raise.lua "raise.lua:2: no patch today" 'local od = require "od"
local function build() error("no patch today") end
build()' || return 1
  # Below the message, the Lua frames that led to it.
  sed -n 2p stderr.txt | grep -q "^    raise.lua:2: in .*build" && [ "$(sed -n 3p stderr.txt)" = "    raise.lua:3: in main chunk" ] ||
    { fail "traceback: $(cat stderr.txt)"; return 1; }
  # An argument check inside the binding has no position of its own; the patch line is added.
  expect_patch_failure binding.lua "binding.lua:3:" 'local od = require "od"
local s = od.Sine()
s:getInput("Level"):setConstant("loud")' || return 1
  # A multi-line message still ends up on one line.
  expect_patch_failure lines.lua "first second" 'error("first\nsecond", 0)' || return 1
}

case_bad_returns() {
  expect_patch_failure silent.lua "returned no outlets" 'local s = require("od").Sine()' || return 1
  expect_patch_failure number.lua "returned a number as output 1" 'return 1' || return 1
  expect_patch_failure object.lua "returned an object (od::Sine *) as output 2" 'local s = require("od").Sine()
return s:getOutput("Out"), s' || return 1
  expect_patch_failure foreign.lua "as output 1" 'return io.stdout' || return 1
  expect_patch_failure cycle.lua "connection cycle: BitCrush -> SoftClip -> BitCrush" 'local q = require "qvz_libQuorvani"
local a, b = q.SoftClip(), q.BitCrush()
b:getInput("In"):connect(a:getOutput("Out"))
a:getInput("In"):connect(b:getOutput("Out"))
return b:getOutput("Out")' || return 1
}

case_bad_options() {
  expect_failure 2 "unknown option '--bogus'" -- "$QVZ" render tone.lua -o out.wav --bogus || return 1
  expect_failure 2 "unknown command 'rendr'; the commands are render, demo, live, units, draw, help" -- "$QVZ" rendr tone.lua || return 1
  expect_failure 2 "--frame needs a whole number from 4 to 4096 that is a multiple of 4, got '6'" -- "$QVZ" render tone.lua -o out.wav --frame 6 || return 1
  expect_failure 2 "--frame needs a whole number" -- "$QVZ" render tone.lua -o out.wav --frame 3 || return 1
  expect_failure 2 "--bits needs 16, 24 or 32" -- "$QVZ" render tone.lua -o out.wav --bits 20 || return 1
  expect_failure 2 "--tail needs 'auto' or seconds" -- "$QVZ" render tone.lua -o out.wav --tail -1 || return 1
  expect_failure 2 "--seconds needs a number" -- "$QVZ" render tone.lua -o out.wav --seconds soon || return 1
  expect_failure 2 "--rate needs a whole number" -- "$QVZ" render tone.lua -o out.wav --rate 100 || return 1
  expect_failure 2 "--frame needs a whole number" -- "$QVZ" render tone.lua -o out.wav --frame 5000 || return 1
  expect_failure 2 "-o needs a value" -- "$QVZ" render tone.lua -o || return 1
  expect_failure 2 "render needs an output file" -- "$QVZ" render tone.lua || return 1
  "$QVZ" --help | grep -q "qvz render PATCH.lua" || { fail "--help"; return 1; }
  "$QVZ" --version | grep -qE '^qvz [0-9]+\.[0-9]+\.[0-9]+$' || { fail "--version: $("$QVZ" --version)"; return 1; }
  local command
  for command in render demo units draw; do
    "$QVZ" "$command" --help > help.txt && grep -q "qvz $command " help.txt && "$QVZ" help "$command" | cmp -s - help.txt ||
      { fail "$command --help: $(cat help.txt)"; return 1; }
  done
  [ ! -e qvz-demo.wav ] || { fail "demo --help rendered the demo"; return 1; }
}

case_unwritable_output_leaves_nothing() {
  expect_failure 1 "cannot write 'missing/out.wav'" -- "$QVZ" render tone.lua -o missing/out.wav --seconds 0.1 || return 1
  mkdir taken.wav
  expect_failure 1 "cannot write 'taken.wav'" -- "$QVZ" render tone.lua -o taken.wav --seconds 0.1 || return 1
  [ -d taken.wav ] && [ -z "$(ls -A taken.wav)" ] || { fail "the folder in the way was changed"; return 1; }
  rmdir taken.wav
  # A failed render leaves an earlier file of that name as it was.
  echo "earlier" > keep.wav
  printf 'error("broken")\n' > broken.lua
  "$QVZ" render broken.lua -o keep.wav 2> /dev/null && { fail "broken patch rendered"; return 1; }
  [ "$(cat keep.wav)" = earlier ] || { fail "keep.wav was replaced"; return 1; }
  rm -f keep.wav broken.lua
}

case_stopped_render_leaves_no_file() {
  # Long enough to show progress; stopped once it has; nothing under the name afterwards,
  # nor any temporary file at any time.
  local signal
  for signal in INT TERM HUP; do
    rm -f stderr.txt # so that only this render's progress line counts
    "$QVZ" render tone.lua -o out.wav --seconds 36000 > stdout.txt 2> stderr.txt &
    local pid=$! waited=0
    until grep -q "rendering" stderr.txt 2> /dev/null; do
      sleep 0.2
      waited=$((waited + 1))
      kill -0 "$pid" 2> /dev/null || { fail "the render ended early: $(cat stderr.txt)"; return 1; }
      [ $waited -lt 100 ] || { kill "$pid"; fail "no progress line within 20 s"; return 1; }
    done
    if ls -A | grep -q '\.tmp$'; then kill "$pid"; fail "a named temporary file while rendering: $(ls -A)"; return 1; fi
    kill -"$signal" "$pid"
    wait "$pid" && { fail "render stopped by SIG$signal exited 0"; return 1; }
    grep -q "interrupted" stderr.txt || { fail "SIG$signal: stderr: $(cat stderr.txt)"; return 1; }
    [ ! -e out.wav ] || { fail "out.wav exists after SIG$signal"; return 1; }
    if ls -A | grep -q '\.tmp$'; then fail "temporary file left after SIG$signal: $(ls -A)"; return 1; fi
  done
}

case_units_are_read_from_descriptions() {
  "$QVZ" units > units.txt 2> stderr.txt || { fail "units: $(cat stderr.txt)"; return 1; }
  grep -qx "od.Clock" units.txt || { fail "od.Clock missing"; return 1; }
  "$QVZ" units TapDelay > one.txt || { fail "units TapDelay"; return 1; }
  [ "$(head -1 one.txt)" = TapDelay ] || { fail "units TapDelay: $(cat one.txt)"; return 1; }
  grep -Eq '^ +Time +control +0\.02 \.\. 0\.5 s +default 0\.3 +tap spacing' one.txt || { fail "TapDelay Time: $(cat one.txt)"; return 1; }
  "$QVZ" units Kick --rate 44100 | grep -Eq 'Tune .* 0 \.\. 19845 Hz \(max 0\.45 x rate; 21600 at 48 kHz\) +default 55' ||
    { fail "Kick Tune at 44.1 kHz: $("$QVZ" units Kick --rate 44100)"; return 1; }
  "$QVZ" units SoftClip | grep -Eq 'Algo +choice +4 tanh, 5 sine.* default 4' || { fail "SoftClip Algo choices"; return 1; }
  "$QVZ" units od.Sine | grep -Eq 'Frequency .* default 440' || { fail "od.Sine Frequency"; return 1; }
  "$QVZ" units --json > units.json || { fail "units --json"; return 1; }
  python3 - units.json units.txt <<'PY' || { fail "units --json is not what tools expect"; return 1; }
import json, sys
classes = json.load(open(sys.argv[1]))
names = [c["name"] for c in classes]
listed = [l.split("(")[0].strip() for l in open(sys.argv[2]) if l[:1].isalpha()]
assert names == listed and names[0] == "BitCrush" and names.index("od.Sine") > names.index("CatPhoto"), (names, listed)
tap = next(c for c in classes if c["name"] == "TapDelay")
time = next(p for p in tap["ports"] if p["name"] == "Time")
assert (time["kind"], time["role"], time["min"], time["max"], time["default"], time["unit"]) == ("inlet", "control", 0.02, 0.5, 0.3, "s"), time
out = next(p for p in tap["ports"] if p["name"] == "Out")
assert "min" not in out and "default" not in out and out["kind"] == "outlet", out
algo = next(p for p in next(c for c in classes if c["name"] == "SoftClip")["ports"] if p["name"] == "Algo")
assert algo["choices"][0] == {"value": 4, "name": "tanh"}, algo
PY
  expect_failure 1 "no class named 'Nothing'" -- "$QVZ" units Nothing || return 1
  expect_failure 2 "unknown option '--bogus'" -- "$QVZ" units --bogus || return 1
  rm -f units.txt one.txt units.json
}


case_draw_widget() {
  "$QVZ" draw CatPhoto -o cat.png > stdout.txt 2> stderr.txt || { fail "draw: $(cat stderr.txt)"; return 1; }
  [ "$(png_info cat.png)" = "512 x 256, 8-bit grayscale" ] || { fail "default picture: $(file -b cat.png)"; return 1; }
  # A picture, not a blank: some pixels lit, far from all of them.
  local lit
  lit=$(sed -n 's/.*grey, \([0-9]*\) of 8192 pixels lit.*/\1/p' stdout.txt)
  [ -n "$lit" ] && [ "$lit" -gt 500 ] && [ "$lit" -lt 6000 ] || { fail "summary: $(cat stdout.txt)"; return 1; }
  "$QVZ" draw CatPhoto -o again.png > /dev/null && cmp -s cat.png again.png || { fail "two draws differ"; return 1; }
  "$QVZ" draw CatPhoto --mono --width 90 --height 70 --scale 2 -o mono.png > stdout.txt 2> stderr.txt ||
    { fail "draw --mono: $(cat stderr.txt)"; return 1; }
  [ "$(png_info mono.png)" = "180 x 140, 8-bit grayscale" ] || { fail "mono picture: $(file -b mono.png)"; return 1; }
  grep -q "90 x 70 monochrome" stdout.txt || { fail "mono summary: $(cat stdout.txt)"; return 1; }
  "$QVZ" draw CatPhoto --width=90 --height=70 --scale=2 -o grey.png > /dev/null || { fail "draw grey 90 x 70"; return 1; }
  cmp -s mono.png grey.png && { fail "--mono drew the grey picture"; return 1; }
  rm -f cat.png again.png mono.png grey.png
}

# expect_draw_failure STATUS TEXT ARGS...: like expect_failure, and no out.png is left.
expect_draw_failure() {
  local status=$1 text=$2
  shift 2
  expect_failure "$status" "$text" -- "$QVZ" draw "$@" || return 1
  [ ! -e out.png ] || { fail "'draw $*' left out.png behind"; return 1; }
}

case_draw_errors() {
  expect_draw_failure 1 "no class named 'Dog'" Dog -o out.png || return 1
  expect_draw_failure 1 "'BitCrush' is not a widget" BitCrush -o out.png || return 1
  expect_draw_failure 1 "'Pluck' is not a widget" Pluck -o out.png || return 1
  expect_draw_failure 1 "cannot write 'missing/out.png'" CatPhoto -o missing/out.png || return 1
  expect_draw_failure 2 "draw needs an output file" CatPhoto || return 1
  expect_draw_failure 2 "draw needs a widget class" -o out.png || return 1
  expect_draw_failure 2 "--width needs a whole number from 1 to 4096" CatPhoto -o out.png --width 0 || return 1
  expect_draw_failure 2 "--scale needs a whole number from 1 to 16" CatPhoto -o out.png --scale 2.5 || return 1
  expect_draw_failure 2 "at most 8192 a side" CatPhoto -o out.png --width 4096 --scale 3 || return 1
  expect_draw_failure 2 "--mono takes no value" CatPhoto -o out.png --mono=yes || return 1
  expect_draw_failure 2 "unknown option '--colour'" CatPhoto -o out.png --colour || return 1
}

case_demo_renders_from_any_folder() {
  mkdir demo && (cd demo && "$QVZ" > ../stdout.txt 2> ../stderr.txt) || { fail "demo: $(cat stderr.txt)"; return 1; }
  check_wav demo/qvz-demo.wav "$(wav_samples demo/qvz-demo.wav)" 2 48000 || return 1
  check_channels_not_silent demo/qvz-demo.wav || return 1
  # A short piece: 12 to 20 seconds, faster than real time.
  local samples
  samples=$(wav_samples demo/qvz-demo.wav)
  [ "$samples" -ge $((12 * 48000)) ] && [ "$samples" -le $((20 * 48000)) ] || { fail "demo is $samples samples long"; return 1; }
  grep -qE '[0-9.]+x real time' stdout.txt || { fail "demo summary: $(cat stdout.txt)"; return 1; }
  awk '{ for (i = 1; i < NF; i++) if ($(i + 1) == "real") exit !($i + 0 > 1) }' stdout.txt ||
    { fail "demo slower than real time: $(cat stdout.txt)"; return 1; }
  # Every channel peaks under full scale (sox reads floats beyond it as full scale).
  local c peak
  for c in 1 2; do
    peak=$(sox -V1 demo/qvz-demo.wav -n remix $c stat 2>&1 | awk '/^Maximum amplitude/ {print $3}')
    awk -v p="$peak" 'BEGIN { exit !(p > 0.1 && p < 0.999) }' || { fail "demo channel $c peaks at $peak"; return 1; }
  done
  [ "$(head -c 8 demo/qvz-demo.png | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] || { fail "demo PNG"; return 1; }
  # The same piece every time.
  mkdir again && (cd again && "$QVZ" > /dev/null 2>&1) || { fail "second demo"; return 1; }
  cmp -s demo/qvz-demo.wav again/qvz-demo.wav || { fail "two demo renders differ"; return 1; }
  rm -rf demo again
}

# Notes of a MIDI file (at 120 bpm, 480 ticks a beat: note-ons at 0, 0.5 and 1 s) reach
# od.Midi at their samples: its trigger rises at 0, 24000 and 48000 and the kick strikes there.
case_midi_file_strikes_at_note_times() {
  printf 'MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xe0MTrk\x00\x00\x00\x1c\x00\x90\x3c\x64\x81\x70\x80\x3c\x00\x81\x70\x90\x40\x64\x81\x70\x80\x40\x00\x81\x70\x90\x3c\x64\x00\xff\x2f\x00' > notes.mid
  midi_kick_patch > kick.lua
  "$QVZ" render kick.lua --midi notes.mid -o out.wav --seconds 1.2 --frame 100 > /dev/null 2> stderr.txt || { fail "render: $(cat stderr.txt)"; return 1; }
  local rises
  rises=$(sox -V1 out.wav -t dat - remix 2 | awk '!/^;/ { n++; if ($2 > 0.5 && prev <= 0.5) printf "%d ", n - 1; prev = $2 }')
  [ "$rises" = "0 24000 48000 " ] || { fail "triggers at $rises"; return 1; }
  # A sine at the notes' pitch and velocity: C4 (261.6 Hz) then E4 (329.6 Hz), at 100 / 127.
  local first second peak
  first=$(sox -V1 out.wav -n remix 3 trim 0.1 0.3 stat 2>&1 | awk '/^Rough/ { print $3 }')
  second=$(sox -V1 out.wav -n remix 3 trim 0.6 0.3 stat 2>&1 | awk '/^Rough/ { print $3 }')
  peak=$(sox -V1 out.wav -n remix 3 stat 2>&1 | awk '/^Maximum amplitude/ { print $3 }')
  awk -v a="$first" -v b="$second" -v p="$peak" 'BEGIN { exit !(a > 258 && a < 265 && b > 326 && b < 333 && p > 0.78 && p < 0.79) }' ||
    { fail "pitch $first then $second Hz, level $peak"; return 1; }
  rm -f out.wav
  expect_failure 1 "not a standard MIDI file" -- "$QVZ" render kick.lua --midi kick.lua -o out.wav
}

run_case "renders checked by sox" case_renders_with_sox_checks
run_case "rate, frame and plot" case_rate_frame_and_plot
run_case "input files" case_input_file_passes_through_and_resamples
run_case "long input files" case_long_input_streams_through_exactly
run_case "inputs in the patch" case_patch_sees_its_inputs
run_case "seed reproducibility" case_same_seed_is_bit_identical
run_case "missing files" case_missing_files
run_case "Lua errors" case_lua_errors_name_file_and_line
run_case "bad returns" case_bad_returns
run_case "bad options" case_bad_options
run_case "unwritable output" case_unwritable_output_leaves_nothing
run_case "stopped render" case_stopped_render_leaves_no_file
run_case "units" case_units_are_read_from_descriptions
run_case "draw" case_draw_widget
run_case "draw errors" case_draw_errors
run_case "demo" case_demo_renders_from_any_folder
run_case "MIDI file" case_midi_file_strikes_at_note_times

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
