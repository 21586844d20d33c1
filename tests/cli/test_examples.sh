#!/usr/bin/env bash
# Renders every examples/*.lua with and without an input file and checks the results
# with sox: length, channel count, rate, not silent, every sample finite.
source "$(dirname "$0")/common.sh"

# Input: 1.5 s of stereo at 44.1 kHz, a chord with a decaying burst of noise on top.
sox -V1 -n -r 44100 -c 2 -b 16 "$WORK/input.wav" synth 1.5 sine 220 sine 330 synth 1.5 pinknoise mix fade 0 1.5 1 gain -6 ||
  { echo "FAIL: sox cannot make the input file" >&2; exit 1; }

passed=0
failed=0
check() {
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
}

render_and_check() {
  local example=$1 name=$2 samples=$3 rate=$4
  shift 4
  local out="$WORK/$name.wav"
  if ! "$QVZ" render "$example" -o "$out" "$@" > "$WORK/stdout.txt" 2> "$WORK/stderr.txt"; then
    fail "$name: $(cat "$WORK/stderr.txt")"
    return 1
  fi
  local channels
  channels=$(soxi -V1 -c "$out") || { fail "$name: soxi"; return 1; }
  [ "$channels" -ge 1 ] || { fail "$name has no channels"; return 1; }
  check_wav "$out" "$samples" "$channels" "$rate" || { echo "  in $name" >&2; return 1; }
  grep -q "$channels ch" "$WORK/stdout.txt" || { fail "$name summary: $(cat "$WORK/stdout.txt")"; return 1; }
}

count=0
for example in "$QVZ_SOURCE"/examples/*.lua; do
  [ -e "$example" ] || continue
  count=$((count + 1))
  stem=$(basename "$example" .lua)
  check render_and_check "$example" "$stem-plain" 96000 48000 --seconds 2
  check render_and_check "$example" "$stem-input" 66150 44100 -i "$WORK/input.wav"
  check render_and_check "$example" "$stem-input-48k" 72000 48000 -i "$WORK/input.wav" --rate 48000
done
[ $count -gt 0 ] || { echo "FAIL: no examples found" >&2; failed=$((failed + 1)); }

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
