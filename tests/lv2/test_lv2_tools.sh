#!/usr/bin/env bash
# The bundle through tools we did not write: lv2_validate, lv2ls, lv2info, and every effect
# through lv2file and lv2apply on a WAV file.
source "$(dirname "$0")/../cli/common.sh"
cd "$WORK"
export LV2_PATH="$QVZ_BUILD/lv2:/usr/lib/lv2"
BUNDLE=$QVZ_BUILD/lv2/quorvani.lv2
status=0

# The descriptions are valid LV2.
validation=$(lv2_validate "$BUNDLE"/*.ttl 2>&1)
echo "$validation" | grep -q "Found 0 errors" || { fail "lv2_validate: $(echo "$validation" | grep -v '^Skipping')"; status=1; }

uris=$(lv2ls | grep '^urn:quorvani:lv2:')
count=$(echo "$uris" | wc -l)
[ "$count" -eq 31 ] || { fail "lv2ls lists $count plug-ins, expected 31"; status=1; }

# ports URI: one line per port, "index audio|control|atom in|out optional|required default|- symbol"
ports() {
  lv2info "$1" | awk '
    function flush() { if (n != "") print n, kind, dir, opt, (def == "" ? "-" : def), sym }
    /^\tPort [0-9]+:/ { flush(); n = $2; sub(":", "", n); kind = "?"; dir = "?"; opt = "required"; def = "" }
    /#AudioPort/ { kind = "audio" } /#ControlPort/ { kind = "control" } /#AtomPort/ { kind = "atom" }
    /#InputPort/ { dir = "in" } /#OutputPort/ { dir = "out" }
    /connectionOptional/ { opt = "optional" }
    /^\t\tDefault:/ { def = $2 }
    /^\t\tSymbol:/ { sym = $2 }
    END { flush() }'
}

noise_file() { # FILE CHANNELS
  sox -V1 -n -r 48000 -c "$2" -e floating-point -b 32 "$1" synth 0.5 whitenoise vol 0.3
}

for uri in $uris; do
  name=${uri#urn:quorvani:lv2:}
  table=$(ports "$uri")
  missing=$(echo "$table" | awk '$2 == "control" && $5 == "-"' | wc -l)
  [ "$missing" -eq 0 ] || { fail "$name: $missing control ports without a Default in lv2info"; status=1; }
  inputs=$(echo "$table" | awk '$2 == "audio" && $3 == "in" && $4 == "required"' | wc -l)
  outputs=$(echo "$table" | awk '$2 == "audio" && $3 == "out"' | wc -l)
  [ "$inputs" -gt 0 ] || continue # instruments: no file to process
  noise_file "in-$inputs.wav" "$inputs"

  # lv2file runs one instance per file channel for mono plug-ins, and wants every audio input
  # connected unless told which: the required ones by symbol, an optional side chain left out.
  connections=()
  if echo "$table" | grep -q ' audio in optional'; then
    k=1
    for symbol in $(echo "$table" | awk '$2 == "audio" && $3 == "in" && $4 == "required" {print $6}'); do
      connections+=(-c "$k:$symbol")
      k=$((k + 1))
    done
  fi
  if ! lv2file "${connections[@]}" -i "in-$inputs.wav" -o "file-$name.wav" "$uri" > lv2file.log 2>&1; then
    fail "lv2file $name: $(tail -1 lv2file.log)"
    status=1
  else
    [ "$(wav_samples "file-$name.wav")" = 24000 ] || { fail "lv2file $name: wrong length"; status=1; }
  fi

  # lv2apply offers no host feature at all and needs a channel per required input.
  if ! lv2apply -i "in-$inputs.wav" -o "apply-$name.wav" "$uri" > lv2apply.log 2>&1; then
    fail "lv2apply $name: $(tail -1 lv2apply.log)"
    status=1
  else
    got=$(soxi -V1 -c "apply-$name.wav")
    [ "$got" = "$outputs" ] || { fail "lv2apply $name: $got channels, expected $outputs"; status=1; }
    [ "$(wav_samples "apply-$name.wav")" = 24000 ] || { fail "lv2apply $name: wrong length"; status=1; }
    check_finite "apply-$name.wav" || status=1
  fi
done
exit $status
