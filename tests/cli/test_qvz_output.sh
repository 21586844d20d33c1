#!/usr/bin/env bash
# Where qvz writes and what: targets that are not regular files, files that must not be
# destroyed, large-file headers, sample formats, the render's length, and units run as units.
source "$(dirname "$0")/common.sh"
cd "$WORK"

cat > tone.lua <<'LUA'
local od = require "od"
local sine = od.Sine()
sine:getInput("Frequency"):setConstant(220)
sine:getInput("Level"):setConstant(tonumber(os.getenv("LEVEL") or "0.5"))
return sine:getOutput("Out"), sine:getOutput("Out")
LUA
printf 'return ...\n' > passthrough.lua
sox -V1 -n -r 8000 -c 2 -b 16 in.wav synth 0.5 sine 300 sine 500 || { echo "FAIL: sox" >&2; exit 1; }

case_targets_that_are_not_regular_files() {
  # A FIFO receives the whole WAV and stays a FIFO.
  mkfifo pipe.wav
  timeout 60 cat pipe.wav > received.wav &
  local reader=$!
  "$QVZ" render tone.lua -o pipe.wav --seconds 0.25 > /dev/null 2> stderr.txt || { kill $reader; fail "FIFO: $(cat stderr.txt)"; return 1; }
  [ -p pipe.wav ] || { kill $reader; fail "the FIFO was replaced"; return 1; }
  wait $reader
  check_wav received.wav 12000 2 48000 || return 1
  # A symlink is followed: the link stays, its target holds the render.
  ln -s target.wav link.wav
  "$QVZ" render tone.lua -o link.wav --seconds 0.25 > /dev/null 2>&1 || { fail "symlink render"; return 1; }
  [ -L link.wav ] && [ "$(readlink link.wav)" = target.wav ] || { fail "the symlink was replaced"; return 1; }
  check_wav target.wav 12000 2 48000 || return 1
  # "-" is standard output: only the WAV goes there, the summary goes to stderr.
  "$QVZ" render tone.lua -o - --seconds 0.25 > piped.wav 2> stderr.txt || { fail "-o -: $(cat stderr.txt)"; return 1; }
  check_wav piped.wav 12000 2 48000 || return 1
  grep -q "0.250 s, 2 ch" stderr.txt || { fail "-o - summary: $(cat stderr.txt)"; return 1; }
  cmp -s <(samples piped.wav) <(samples target.wav) || { fail "standard output and file renders differ"; return 1; }
  # "-i -" reads standard input.
  "$QVZ" render passthrough.lua -i - -o out.wav < in.wav > /dev/null 2>&1 &&
    [ "$(sox -V1 -m -v 1 in.wav -v -1 out.wav -n stat 2>&1 | awk '/^Maximum amplitude/ {print $3}')" = 0.000000 ] ||
    { fail "-i - differs from the input"; return 1; }
  # A character device is written, not replaced (one made here; the real ones are left alone).
  if [ "$(id -u)" -eq 0 ] && mknod discard c 1 3 2> /dev/null && (: > discard) 2> /dev/null; then
    "$QVZ" render tone.lua -o discard --plot discard --seconds 0.25 > /dev/null 2> stderr.txt &&
      "$QVZ" draw CatPhoto -o discard > /dev/null 2>> stderr.txt || { fail "device: $(cat stderr.txt)"; return 1; }
    [ -c discard ] || { fail "the device was replaced by $(stat -c %F discard)"; return 1; }
  else
    echo "skipped: the device case needs root and a folder where device nodes open" >&2
  fi
  rm -f pipe.wav received.wav link.wav target.wav piped.wav out.wav discard
}

case_refuses_to_destroy_the_input() {
  cp in.wav keep.wav
  ln -s in.wav alias.wav
  ln in.wav hard.wav
  mkdir sub
  expect_failure 1 "is the input file" -- "$QVZ" render passthrough.lua -i in.wav -o in.wav || return 1
  expect_failure 1 "is the input file" -- "$QVZ" render passthrough.lua -i in.wav -o alias.wav || return 1
  expect_failure 1 "is the input file" -- "$QVZ" render passthrough.lua -i in.wav -o hard.wav || return 1
  expect_failure 1 "is the input file" -- "$QVZ" render passthrough.lua -i sub/../in.wav --plot in.wav -o x.wav || return 1
  cmp -s in.wav keep.wav || { fail "the input was changed"; return 1; }
  # The plot and the WAV are one file: refused, nothing written under either name.
  expect_failure 1 "--plot 'sub/../out.wav' is the output file 'out.wav'" -- "$QVZ" render tone.lua -o out.wav --plot sub/../out.wav || return 1
  rm -rf keep.wav alias.wav hard.wav sub
}

case_rf64_headers_and_free_space() {
  "$QVZ" render tone.lua -o plain.wav --seconds 0.25 > /dev/null 2>&1 &&
    "$QVZ" render tone.lua -o large.wav --seconds 0.25 --rf64 > /dev/null 2>&1 || { fail "renders"; return 1; }
  [ "$(head -c 4 plain.wav)" = RIFF ] && [ "$(head -c 4 large.wav)" = RF64 ] || { fail "headers $(head -c 4 plain.wav) $(head -c 4 large.wav)"; return 1; }
  check_wav large.wav 12000 2 48000 || return 1
  cmp -s <(samples plain.wav) <(samples large.wav) || { fail "RF64 samples differ from WAV samples"; return 1; }
  # A render that cannot fit fails before it starts, with the numbers.
  cat > wide.lua <<'LUA'
local s = require("od").Sine()
local outs = {}
for i = 1, 200 do outs[i] = s:getOutput("Out") end
return outs
LUA
  expect_failure 1 "MB free" -- timeout 60 "$QVZ" render wide.lua -o out.wav --rate 768000 --seconds 86400 || return 1
  grep -qE "the render needs [0-9.]+ MB but .* has [0-9.]+ MB free" stderr.txt || { fail "numbers: $(cat stderr.txt)"; return 1; }
  rm -f plain.wav large.wav wide.lua
}

case_integer_formats_dither_and_warnings() {
  "$QVZ" render tone.lua -o a.wav --bits 16 --seconds 0.25 --seed 3 > /dev/null 2>&1 &&
    "$QVZ" render tone.lua -o b.wav --bits 16 --seconds 0.25 --seed 3 > /dev/null 2>&1 &&
    "$QVZ" render tone.lua -o c.wav --bits 16 --seconds 0.25 --seed 4 > /dev/null 2>&1 &&
    "$QVZ" render tone.lua -o d.wav --bits 24 --seconds 0.25 > /dev/null 2> stderr.txt || { fail "renders"; return 1; }
  [ "$(soxi -V1 -e a.wav) $(soxi -V1 -b a.wav) $(soxi -V1 -b d.wav)" = "Signed Integer PCM 16 24" ] || { fail "encodings"; return 1; }
  cmp -s a.wav b.wav || { fail "the same seed dithered differently"; return 1; }
  cmp -s a.wav c.wav && { fail "different seeds dithered alike"; return 1; }
  [ ! -s stderr.txt ] || { fail "a clean render warned: $(cat stderr.txt)"; return 1; }
  # A level of 0.4 of a 16-bit step: rounding alone gives silence, dither keeps the mean.
  cat > dc.lua <<'LUA'
local m = require("od").Monitor()
m:getInput("In"):setConstant(0.4 / 32768)
return m:getOutput("Out")
LUA
  "$QVZ" render dc.lua -o dc.wav --bits 16 --seconds 2 > /dev/null 2>&1 || { fail "dc render"; return 1; }
  local mean
  mean=$(sox -V1 dc.wav -n stat 2>&1 | awk '/^Mean +amplitude/ {print $3}')
  awk -v m="$mean" 'BEGIN { exit !(m >= 0.0000100 && m <= 0.0000145) }' || { fail "dithered mean $mean"; return 1; }
  # Clipping in an integer format, and a silent channel, are warned about; the render succeeds.
  cat > half.lua <<'LUA'
local od = require "od"
local s, quiet = od.Sine(), od.Monitor()
s:getInput("Level"):setConstant(1.5)
return s:getOutput("Out"), quiet:getOutput("Out")
LUA
  "$QVZ" render half.lua -o out.wav --bits 24 --seconds 0.25 > /dev/null 2> stderr.txt || { fail "clipping render: $(cat stderr.txt)"; return 1; }
  grep -qE "^qvz: warning: channel 1 clipped [0-9]+ samples beyond full scale$" stderr.txt &&
    grep -qx "qvz: warning: channel 2 is silent from start to end" stderr.txt || { fail "warnings: $(cat stderr.txt)"; return 1; }
  rm -f a.wav b.wav c.wav d.wav dc.wav dc.lua half.lua out.wav
}

case_render_length() {
  # --tail: a sample that ends after 1 s, rendered past a 0.5 s length, stops 0.5 s after it
  # falls silent; a steady tone runs to the tail's limit.
  cat > burst.lua <<'LUA'
local od = require "od"
local data = {}
for i = 1, qvz.sampleRate do data[i] = 0.5 * math.sin(i * 0.05) end
local player = od.Player()
player:getOption("Loop"):set(0)
player:setSample(od.Sample.fromArray(1, qvz.sampleRate, data))
return player:getOutput("Left Out")
LUA
  "$QVZ" render burst.lua -o out.wav --rate 8000 --seconds 0.5 --tail 5 > /dev/null 2>&1 || { fail "tail render"; return 1; }
  local got
  got=$(wav_samples out.wav)
  [ "$got" -ge 12000 ] && [ "$got" -le 12128 ] || { fail "tail ended after $got samples, expected 12000"; return 1; }
  "$QVZ" render tone.lua -o out.wav --rate 8000 --seconds 0.5 --tail 1 > /dev/null 2>&1 && [ "$(wav_samples out.wav)" = 12000 ] ||
    { fail "a sounding tail ran $(wav_samples out.wav) samples"; return 1; }
  # An input whose header claims 2^36 frames is as long as what it holds.
  sox -V1 -n -r 8000 -c 1 small.flac synth 0.5 sine 300 || { fail "sox flac"; return 1; }
  printf '\xff\xff\xff\xff' | dd of=small.flac bs=1 seek=22 conv=notrunc 2> /dev/null
  printf "\\x$(printf %02x $((0x$(xxd -s 21 -l 1 -p small.flac) | 0x0f)))" | dd of=small.flac bs=1 seek=21 conv=notrunc 2> /dev/null
  timeout 60 "$QVZ" render passthrough.lua -i small.flac -o out.wav > /dev/null 2> stderr.txt || { fail "lying header: $(cat stderr.txt)"; return 1; }
  [ "$(wav_samples out.wav)" = 4000 ] || { fail "lying header rendered $(wav_samples out.wav) samples"; return 1; }
  rm -f burst.lua out.wav small.flac
}

case_channel_counts() {
  sox -V1 -n -r 8000 -c 64 wide.wav synth 0.1 sine 300 && sox -V1 -n -r 8000 -c 300 wider.wav synth 0.01 sine 300 || { fail "sox"; return 1; }
  "$QVZ" render passthrough.lua -i wide.wav -o out.wav > /dev/null 2> stderr.txt || { fail "64 channels: $(cat stderr.txt)"; return 1; }
  [ "$(soxi -V1 -c out.wav)" = 64 ] || { fail "64 channels in, $(soxi -V1 -c out.wav) out"; return 1; }
  rm -f out.wav
  expect_failure 1 "input 'wider.wav' has 300 channels; qvz reads at most 256" -- "$QVZ" render passthrough.lua -i wider.wav -o out.wav || return 1
  printf 'local s = require("od").Sine()\nlocal t = {}\nfor i = 1, tonumber(os.getenv("COUNT")) do t[i] = s:getOutput("Out") end\nreturn t\n' > many.lua
  COUNT=200 "$QVZ" render many.lua -o out.wav --seconds 0.01 > /dev/null 2> stderr.txt && [ "$(soxi -V1 -c out.wav)" = 200 ] ||
    { fail "200 outlets: $(cat stderr.txt)"; return 1; }
  rm -f out.wav
  COUNT=300 expect_failure 1 "many.lua returned 300 outlets; qvz writes at most 256 channels" -- "$QVZ" render many.lua -o out.wav || return 1
  rm -f wide.wav wider.wav many.lua
}

case_plot_memory_is_a_clear_error() {
  # Under a memory limit a plot of a long render is refused with a reason, not an abort.
  (ulimit -v 400000 && expect_failure 1 "not enough memory to keep the render for --plot" -- \
    "$QVZ" render tone.lua -o out.wav --seconds 600 --rate 192000 --plot plot.png) || return 1
  [ ! -e plot.png ] || { fail "a plot was left"; return 1; }
}

case_units_run_through_their_own_process() {
  # One patch through qvz and through od.run: a wet/dry unit whose chain holds an enabled,
  # a disabled and a bypassed unit, half wet.
  cat > chain.lua <<'LUA'
local od = require "od"
local q = require "qvz_libQuorvani"
if not qvz then od.configure(8000, 128) end
local function wrap(name, object)
  local unit = od.Unit(name, 1)
  unit:addObject(object)
  unit:addInput(0, object, "In")
  unit:setOutput(0, object, "Out")
  return unit
end
local crush, clip, fuzz = q.BitCrush(), q.SoftClip(), q.FuzzBox()
crush:getInput("BitDepth"):setConstant(3)
crush:getInput("SR"):setConstant(4)
clip:getInput("Gain"):setConstant(3)
fuzz:getInput("Drive"):setConstant(1)
local mix = q.WetDryUnit("mix", 1)
mix:addUnit(wrap("crush", crush))
local disabled = wrap("clip", clip)
disabled:setEnabled(false)
mix:addUnit(disabled)
local bypassed = wrap("fuzz", fuzz)
bypassed:setBypassed(true)
mix:addUnit(bypassed)
mix:rewire()
mix:getFader(0):getInput("Fade"):setConstant(0.5)
local data = {}
for i = 1, 4000 do data[i] = 0.8 * math.sin(i * 0.01) end
if qvz then
  local player = od.Player()
  player:getOption("Loop"):set(0)
  player:setSample(od.Sample.fromArray(1, qvz.sampleRate, data))
  mix:connectInput(0, player:getOutput("Left Out"))
  return mix:getOutput(0)
end
local out = od.run(mix, {data}, 4000)[1]
local bytes = {}
for i = 1, 4000 do bytes[i] = string.pack("<f", out[i]) end
io.write(table.concat(bytes))
LUA
  "$QVZ" render chain.lua -o out.wav --rate 8000 --seconds 0.5 > /dev/null 2> stderr.txt || { fail "render: $(cat stderr.txt)"; return 1; }
  LUA_CPATH="$QVZ_BUILD/lua/?.so;;" lua5.4 chain.lua > run.raw || { fail "od.run"; return 1; }
  [ "$(stat -c %s run.raw)" = 16000 ] || { fail "od.run wrote $(stat -c %s run.raw) bytes"; return 1; }
  cmp -s <(samples out.wav) run.raw || { fail "qvz and od.run differ"; return 1; }
  rm -f chain.lua out.wav run.raw
}

case_sample_paths_from_the_patch_folder() {
  mkdir -p patches elsewhere
  cp in.wav patches/loop.wav
  printf 'local od = require "od"\nlocal p = od.Player()\np:setSample(od.Sample.load("loop.wav"))\nreturn p:getOutput("Left Out")\n' > patches/loop.lua
  (cd elsewhere && "$QVZ" render ../patches/loop.lua -o out.wav --seconds 0.5 --rate 8000 > /dev/null 2> ../stderr.txt) ||
    { fail "relative sample path: $(cat stderr.txt)"; return 1; }
  check_wav elsewhere/out.wav 4000 1 8000 || return 1
  rm -rf patches elsewhere
}

case_install_under_a_prefix() {
  DESTDIR="$WORK/stage" cmake --install "$QVZ_BUILD" --prefix /opt/qvz > /dev/null || { fail "cmake --install"; return 1; }
  local root="$WORK/stage/opt/qvz" file
  for file in bin/qvz share/man/man1/qvz.1 lib/libodhost.so lib/lua/5.4/od.so lib/lua/5.4/qvz_libQuorvani.so \
    share/quorvani/examples/mixing.lua; do
    [ -e "$root/$file" ] || { fail "$file not installed"; return 1; }
  done
  # Both the installed program and the stock interpreter find the modules there.
  "$root/bin/qvz" render "$root/share/quorvani/examples/mixing.lua" -o out.wav --seconds 0.2 > /dev/null 2> stderr.txt ||
    { fail "installed qvz: $(cat stderr.txt)"; return 1; }
  LUA_CPATH="$root/lib/lua/5.4/?.so" lua5.4 -e 'require "od"; assert(require("qvz_libQuorvani").BitCrush())' ||
    { fail "lua5.4 cannot load the installed modules"; return 1; }
  rm -rf "$WORK/stage" out.wav
}

run_case "targets that are not regular files" case_targets_that_are_not_regular_files
run_case "input kept" case_refuses_to_destroy_the_input
run_case "RF64 and free space" case_rf64_headers_and_free_space
run_case "integer formats" case_integer_formats_dither_and_warnings
run_case "render length" case_render_length
run_case "channel counts" case_channel_counts
run_case "plot memory" case_plot_memory_is_a_clear_error
run_case "units as units" case_units_run_through_their_own_process
run_case "sample paths" case_sample_paths_from_the_patch_folder
run_case "installation" case_install_under_a_prefix

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
