#!/usr/bin/env bash
# The drum kit in a real-time host: jalv runs urn:quorvani:lv2:Drums under a private dummy JACK
# server, jack_midiseq loops a kick note, jack_rec records the kit. Every strike must come
# exactly one loop after the one before (the notes' sample times, plus a constant latency).
source "$(dirname "$0")/../cli/common.sh"
cd "$WORK"
export LV2_PATH="$QVZ_BUILD/lv2:/usr/lib/lv2"
export JACK_NO_AUDIO_RESERVATION=1
server="qvz-lv2-$$-$RANDOM"
export JACK_DEFAULT_SERVER=$server
loop=24000 # samples between kicks at 48 kHz

pids=()
stop_all() {
  exec 3>&- 2> /dev/null
  # Clients first, each gone before the next; the server last (it waits for its clients).
  # A client or server wedged by a lost cycle gets 5 s to go, then is killed.
  local i t
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[$i]}" 2> /dev/null
    for ((t = 0; t < 50; t++)); do kill -0 "${pids[$i]}" 2> /dev/null || break; sleep 0.1; done
    kill -KILL "${pids[$i]}" 2> /dev/null
    wait "${pids[$i]}" 2> /dev/null
  done
  pids=()
  rm -f commands
}
trap 'stop_all; rm -rf "$WORK"' EXIT

# One attempt: a fresh server, the kit in jalv, a sequencer looping a kick note, and a
# recording of the kit. Returns 1 with the reason when the machine let it down.
strikes_follow_notes() {
  # A long client timeout: on a loaded machine a late cycle must not get a client thrown out.
  jackd -n "$server" -R -t 10000 -d dummy -r 48000 -p 128 > jackd.log 2>&1 &
  pids+=($!)
  jack_wait -s "$server" -w -t 10 > /dev/null 2>&1 || { echo "the dummy JACK server did not start: $(tail -3 jackd.log)"; return 1; }

  # jalv reads commands from its standard input: a pipe kept open while the test runs. The
  # kick is short, so that every strike starts from silence.
  mkfifo commands
  jalv -x -n qvzdrums -c kick_decay=0.03 urn:quorvani:lv2:Drums < commands > jalv.log 2>&1 &
  pids+=($!)
  exec 3> commands
  jack_midiseq qvzseq "$loop" 0 36 2000 > /dev/null 2>&1 &
  pids+=($!)
  local deadline=$((SECONDS + 15))
  while ((SECONDS < deadline)); do
    timeout 5 jack_lsp 2> /dev/null | grep -q '^qvzdrums:out_l$' && timeout 5 jack_lsp 2> /dev/null | grep -q '^qvzseq:' && break
    sleep 0.2
  done
  timeout 5 jack_lsp 2> /dev/null | grep -q '^qvzdrums:out_l$' || { echo "jalv did not offer the kit's ports: $(tail -3 jalv.log)"; return 1; }
  timeout 10 jack_connect qvzseq:out qvzdrums:events || { echo "cannot connect the sequencer"; return 1; }

  timeout 30 jack_rec -f kit.wav -d 3 -b 32 qvzdrums:out_l > rec.log 2>&1 || { echo "jack_rec did not record: $(head -3 rec.log)"; return 1; }

  # Onsets: the first sample of each strike after at least 1000 quiet samples.
  sox -V1 kit.wav -t f32 - | od -An -v -f -w4 | awk -v loop="$loop" '
    { v = $1 + 0; a = v < 0 ? -v : v }
    a > 0.001 && quiet >= 1000 { onsets[n++] = NR }
    { quiet = a > 0.001 ? 0 : quiet + 1 }
    END {
      good = 0
      for (i = 1; i < n; i++) if (onsets[i] - onsets[i - 1] == loop) good++
      printf "%d strikes, %d intervals of exactly %d samples:", n, good, loop
      for (i = 0; i < n; i++) printf " %d", onsets[i]
      printf "\n"
      # A shared machine may drop a cycle now and then: most intervals must be exact.
      exit !(n >= 4 && good >= (n - 1) - 1)
  }'
}

# A real-time host on a busy machine can miss cycles (the recorder's disk thread drops one,
# a client is thrown out, a client cannot open): the whole setup is made again, at most three
# times in all. The timing check itself is never relaxed.
for attempt in 1 2 3; do
  strikes_follow_notes && exit 0
  stop_all
done
fail "strikes do not follow the notes' sample times; the server said: $(tail -5 jackd.log)"
exit 1
