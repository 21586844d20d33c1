# Sourced by the shell tests: where qvz is, a scratch folder that goes away on exit, and
# checks of rendered WAV files with tools we did not write (sox, soxi, od). Each check
# prints what failed and returns non-zero.
set -u
QVZ_SOURCE=$(cd "${QVZ_SOURCE:-$(dirname "${BASH_SOURCE[0]}")/../..}" && pwd)
QVZ_BUILD=$(cd "${QVZ_BUILD:-$QVZ_SOURCE/build}" && pwd)
QVZ=$QVZ_BUILD/qvz
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

fail() {
  echo "FAIL: $*" >&2
  return 1
}

# wav_samples FILE -> frames per channel
wav_samples() { soxi -V1 -s "$1"; }

# check_wav FILE SAMPLES CHANNELS RATE: length, channels and rate as given, not silent,
# and every sample finite.
check_wav() {
  local file=$1 samples=$2 channels=$3 rate=$4
  [ -s "$file" ] || { fail "$file is missing or empty"; return 1; }
  local got
  got=$(soxi -V1 -s "$file") || { fail "soxi cannot read $file"; return 1; }
  [ "$got" = "$samples" ] || { fail "$file has $got samples, expected $samples"; return 1; }
  got=$(soxi -V1 -c "$file")
  [ "$got" = "$channels" ] || { fail "$file has $got channels, expected $channels"; return 1; }
  got=$(soxi -V1 -r "$file")
  [ "$got" = "$rate" ] || { fail "$file runs at $got Hz, expected $rate"; return 1; }
  check_finite "$file" || return 1
  check_not_silent "$file" || return 1
}

# Not silent: sox's RMS amplitude of the whole file (all channels) above -80 dBFS.
check_not_silent() {
  local rms
  rms=$(sox -V1 "$1" -n stat 2>&1 | awk '/^RMS +amplitude/ {print $3}')
  [ -n "$rms" ] || { fail "sox cannot measure $1"; return 1; }
  awk -v r="$rms" 'BEGIN { exit !(r > 0.0001) }' || { fail "$1 is silent (RMS $rms)"; return 1; }
}

# Every channel of a multi-channel file carries sound, measured channel by channel.
check_channels_not_silent() {
  local file=$1 channels c
  channels=$(soxi -V1 -c "$file")
  for ((c = 1; c <= channels; c++)); do
    local rms
    rms=$(sox -V1 "$file" -n remix "$c" stat 2>&1 | awk '/^RMS +amplitude/ {print $3}')
    awk -v r="$rms" 'BEGIN { exit !(r > 0.0001) }' || { fail "channel $c of $file is silent (RMS $rms)"; return 1; }
  done
}

# samples FILE: the sample bytes of a WAV or RF64 file qvz wrote (everything after the "data"
# chunk's id and size; qvz writes it last), for comparing files whose headers differ. sox is not
# used: it decodes floats through integers, which changes the last bits.
samples() {
  local offset
  offset=$(grep -obUa -m1 data "$1" | head -1 | cut -d: -f1)
  [ -n "$offset" ] && tail -c +$((offset + 9)) "$1"
}

# midi_kick_patch > FILE: od.Midi striking a short Kick (output 1); its trigger (output 2) and a
# sine at the notes' pitch and velocity (output 3).
midi_kick_patch() {
  cat <<'LUA'
local od = require "od"
local q = require "qvz_libQuorvani"
local midi = od.Midi()
local kick = q.Kick()
kick:getInput("Trig"):connect(midi:getOutput("Trig"))
kick:getInput("Tune"):setConstant(55)
kick:getInput("Decay"):setConstant(0.03)
kick:getInput("Click"):setConstant(1)
local sine = od.Sine()
sine:getInput("Frequency"):connect(midi:getOutput("Pitch"))
sine:getInput("Level"):connect(midi:getOutput("Velocity"))
return kick:getOutput("Out"), midi:getOutput("Trig"), sine:getOutput("Out")
LUA
}

# sox reads NaN as full scale, so the float samples are read raw after the "data" chunk id.
check_finite() {
  local offset
  offset=$(grep -obUa data "$1" | head -1 | cut -d: -f1)
  [ -n "$offset" ] || { fail "$1 has no data chunk"; return 1; }
  if od -An -v -f -j $((offset + 8)) "$1" | grep -qiE 'nan|inf'; then
    fail "$1 holds samples that are not finite"
    return 1
  fi
}

passed=0
failed=0
# run_case NAME FUNCTION: a case passes when its function returns 0.
run_case() {
  if "$2"; then
    passed=$((passed + 1))
  else
    echo "case failed: $1" >&2
    failed=$((failed + 1))
  fi
}

# expect_failure STATUS_WANTED TEXT -- command...: fails unless the command exits non-zero
# (with the given status unless "any"), prints exactly one line on stderr containing TEXT
# (a patch's error may add indented traceback lines below it), and leaves nothing named
# out.wav behind.
expect_failure() {
  local want=$1 text=$2
  shift 3
  "$@" > stdout.txt 2> stderr.txt
  local status=$?
  [ $status -ne 0 ] || { fail "'$*' succeeded"; return 1; }
  [ "$want" = any ] || [ $status -eq "$want" ] || { fail "'$*' exited $status, expected $want"; return 1; }
  [ "$(grep -vc '^    ' stderr.txt)" -eq 1 ] || { fail "'$*' printed $(wc -l < stderr.txt) lines on stderr: $(cat stderr.txt)"; return 1; }
  head -1 stderr.txt | grep -qF -- "$text" || { fail "'$*' said '$(cat stderr.txt)', expected '$text'"; return 1; }
  [ ! -e out.wav ] || { fail "'$*' left out.wav behind"; return 1; }
  if ls -A | grep -q '\.tmp$'; then fail "'$*' left a temporary file: $(ls -A)"; return 1; fi
}
