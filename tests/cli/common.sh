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
