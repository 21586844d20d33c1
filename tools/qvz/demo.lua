-- The built-in demo: nine bars in A minor at 120 BPM. A granular drone, a plucked lead in a
-- widened four-tap echo, a fuzzed plucked bass ducked by the kick, six drum voices, and a crash
-- to ring out on. Every note comes from step patterns written below and played by the host's
-- sequencers (qvz.pattern), so the whole piece is in this file.
local od = require "od"
local q = require "qvz_libQuorvani"

local rate = qvz.sampleRate
local bpm = 120
local step = 60 / bpm / 4 -- a sixteenth note, in seconds
local pulse = 0.01 / step -- a trigger stays high for 10 ms, as a share of a step

------------------------------------------------------------------------------------------
-- Helpers
------------------------------------------------------------------------------------------

local function out(obj, name) return obj:getOutput(name or "Out") end

-- Sets inlets by name: a number becomes the inlet's constant, an outlet is connected.
local function patch(obj, inlets)
  for name, value in pairs(inlets) do
    if type(value) == "number" then obj:getInput(name):setConstant(value) else obj:getInput(name):connect(value) end
  end
  return obj
end

-- A step pattern, one step per sixteenth: a trigger outlet and a pitch outlet (Hz).
local function lane(steps, octave)
  local sequencer = qvz.pattern(steps, { bpm = bpm, length = pulse, octave = octave })
  return out(sequencer, "Trig"), out(sequencer, "Pitch")
end

-- A level per bar, "0" (silent) to "9" (full), smoothed by a 20 Hz low-pass: the entries and
-- mutes of the arrangement.
local function bars(levels)
  local values = {}
  for k = 1, #levels do values[k] = tonumber(levels:sub(k, k)) / 9 end
  local sequencer = od.Sequencer(values)
  sequencer:getParameter("BPM"):hardSet(bpm)
  sequencer:getParameter("Division"):hardSet(0.25) -- one step per bar of four beats
  return out(patch(od.Filter(), { In = out(sequencer, "Pitch"), Cutoff = 20 }))
end

-- signal x amount (a number or an outlet).
local function gain(signal, amount) return out(patch(od.Gain(), { In = signal, Gain = amount })) end

-- A mix of two: a x (1 - share) + b x share.
local function fade(a, b, share) return out(patch(od.Mixer(2), { In1 = a, In2 = b, Gain1 = 1 - share, Gain2 = share })) end

-- A desk of stereo channels, each {left, right, level, balance}: balance -1 keeps only the
-- left side, 1 only the right, 0 both at full level.
local function desk(channels)
  local left, right = od.Mixer(#channels), od.Mixer(#channels)
  for k, c in ipairs(channels) do
    patch(left, { ["In" .. k] = c[1], ["Gain" .. k] = c[3] * math.min(1, 1 - c[4]) })
    patch(right, { ["In" .. k] = c[2], ["Gain" .. k] = c[3] * math.min(1, 1 + c[4]) })
  end
  return out(left), out(right)
end

local function voice(class, inlets) return out(patch(q[class](), inlets)) end

------------------------------------------------------------------------------------------
-- The score: bars 1-4 repeat as 5-8; bar 9 is the crash and the echoes' tails.
------------------------------------------------------------------------------------------

--                     bar 1           bar 2           bar 3           bar 4
local leadNotes   = "E...a.C.b...E.G.C...a...G.E.c...E...G.C.D...E.d.B...G.D.B.d..."
local bassNotes   = "a.a.A.a.a.A.a.g.f.f.F.f.f.F.f.e.c.c.C.c.c.C.c.d.g.g.G.g.g.G.b.G."
local kickSteps   = "x.....x...x....."
local snareSteps  = "....x.......x..x"
local hatSteps    = "x.xxx.xxx.xxx.xx"
local openSteps   = "..............x."
local bellSteps   = "...x......x....." .. "...x......x...x."
local tomSteps    = string.rep(".", 16 * 7) .. "........x.x.xxxx" -- a fill into bar 9
local crashSteps  = string.rep(".", 16 * 2) .. "x" .. string.rep(".", 16 * 5 + 15) .. "x"
--                            123456789
local drumsIn     = bars("009999990")
local bassIn      = bars("009999990")
local leadIn      = bars("999999990")
local droneIn     = bars("999999997")

------------------------------------------------------------------------------------------
-- Drums on the step lanes, mixed to stereo: kick and snare centred, hats and a quiet cowbell
-- through a slow flanger a little right, tom left, the crash over both sides.
------------------------------------------------------------------------------------------

local kick = voice("Kick", { Trig = lane(kickSteps), Tune = 50, Decay = 0.12, Punch = 0.7, Click = 0.3, Drive = 0.25 })
local snare = voice("Snare", { Trig = lane(snareSteps), Tune = 190, Decay = 0.2, Snap = 0.75, Tone = 3000 })
local hats = voice("HiHat", {
  TrigC = lane(hatSteps), TrigO = lane(openSteps), Tune = 400, DecayC = 0.05, DecayO = 0.35, Tone = 8000 })
local bell = voice("Cowbell", { Trig = lane(bellSteps), Tune = 800, Decay = 0.05, Clank = 0.4 })
local tom = voice("Tom", { Trig = lane(tomSteps), Tune = 120, Decay = 0.2, Bend = 0.5 })
local crash = voice("Cymbal", { Trig = lane(crashSteps), Tune = 400, Decay = 2.5, Tone = 5500, Sizzle = 0.7 })

local metal = fade(hats, bell, 0.08)
local flanger = patch(q.Flanger(), { In = metal, InR = metal, Rate = 0.15, Depth = 0.8, Feedback = 0.5, Blend = 0.5 })

local drumsL, drumsR = desk {
  { kick, kick, 0.8, 0 },
  { snare, snare, 0.5, 0 },
  { out(flanger), out(flanger, "OutR"), 3.0, 0.3 },
  { tom, tom, 0.5, -0.5 },
}
drumsL, drumsR = gain(drumsL, drumsIn), gain(drumsR, drumsIn)
drumsL, drumsR = fade(drumsL, crash, 0.3), fade(drumsR, crash, 0.35)

------------------------------------------------------------------------------------------
-- Bass: a plucked string an octave below the written notes, fuzzed, then ducked under the
-- kick by a compressor whose detector follows the kick's level.
------------------------------------------------------------------------------------------

-- A plucked voice: each strike tunes the next string and excites it with a burst of noise.
local function pluck(notes, octave, damp, decay)
  local trig, hz = lane(notes, octave)
  local burst = od.Noise()
  burst:getInput("Level"):connect(trig)
  local strings = q.Pluck(0.1)
  patch(strings, { In = out(burst), Trigger = trig, f0 = hz, Damp = damp, Decay = decay })
  return out(strings)
end

local bass = pluck(bassNotes, -1, 900, 0.8)
local fuzz = patch(q.FuzzBox(), { In = bass, Drive = 0.25, Grit = 0.1, Tone = 0.35 })
-- The kick's own level, held a little, is the compressor's detector.
local kickLevel = patch(od.Follower(), { In = kick, Attack = 0.002, Release = 0.15 })
local duck = patch(q.CompressorObject(), { In = out(fuzz), SCIn = out(kickLevel), Threshold = 0.1, Ratio = 3 })
local bassOut = gain(out(duck), bassIn)

------------------------------------------------------------------------------------------
-- Lead: plucked, widened by Unison, then two four-tap delays (left and right at different
-- spacings, one tap an octave up, one reversed) spread by the stereo tap mixer.
------------------------------------------------------------------------------------------

local lead = gain(pluck(leadNotes, 1, 5000, 0.85), leadIn)
local unison = patch(q.Unison(), { In = lead, Detune = 12, Blend = 0.6, Spread = 0.8 })

local taps = {}
for side, spacing in ipairs { 3 * step, 4 * step } do
  local tap = q.TapDelay()
  patch(tap, { In = out(unison, side == 1 and "OutL" or "OutR"), Time = spacing, Feedback = 0.4, Blend = 1 })
  for k, ratio in ipairs { 1, 2, 1, -1 } do tap:getInput("Pitch" .. k):setConstant(ratio) end
  taps[side] = tap
end
local echo = q.TapDelayStereoMixer()
patch(echo, { DryL = out(unison, "OutL"), DryR = out(unison, "OutR"), Blend = 0.4 })
for k, pan in ipairs { -0.7, 0.7, 0.4, -0.4 } do
  patch(echo, {
    ["Tap" .. k .. "L"] = out(taps[1], "Tap" .. k), ["Tap" .. k .. "R"] = out(taps[2], "Tap" .. k),
    ["Level" .. k] = k == 2 and 0.3 or 0.6, ["Pan" .. k] = pan })
end

------------------------------------------------------------------------------------------
-- Drone: the granular head on a chord of A, E and B made here (it fits all four chords of the
-- progression), octave layers from a slowly moving Morph, with reversed echoes of a bar mixed
-- under it.
------------------------------------------------------------------------------------------

local chord = {}
for i = 0, 2 * rate - 1 do
  local t = i / rate
  local swell = math.min(1, t * 4) * (0.6 + 0.4 * math.sin(2 * math.pi * 0.5 * t))
  local function partials(detune)
    local v = 0
    for _, hz in ipairs { 220, 329.63, 493.88, 659.26 } do v = v + math.sin(2 * math.pi * hz * detune * t) end
    return 0.2 * swell * v
  end
  chord[#chord + 1] = partials(1)
  chord[#chord + 1] = partials(1.003)
end
local head = q.MorphoHead(2)
head:setSample(od.Sample.fromArray(2, rate, chord))
head:getInput("Speed"):setConstant(1)
for name, value in pairs { Splices = 1, Slide = 0.3, ["Gene Size"] = 0.3, Squash = 1.2 } do
  head:getParameter(name):hardSet(value)
end
-- Morph drifts over two bars between the plain genes and the octave layers.
local drift = patch(od.LFO(), { Rate = 1 / (32 * step), Level = 0.25, Offset = 0.6 })
head:getParameter("Morph"):connect(out(drift))
local reverse = q.ReverseDelay(2)
reverse:allocateTimeUpTo(2.0)
reverse:getParameter("Delay"):hardSet(16 * step)
patch(reverse, { ["Left In"] = out(head, "Left Out"), ["Right In"] = out(head, "Right Out"), Feedback = 0.5 })
local droneL = gain(fade(out(head, "Left Out"), out(reverse, "Left Out"), 0.5), droneIn)
local droneR = gain(fade(out(head, "Right Out"), out(reverse, "Right Out"), 0.5), droneIn)

------------------------------------------------------------------------------------------
-- Mix: the four parts on a desk, then a soft clipper on each side keeps the peaks under
-- full scale.
------------------------------------------------------------------------------------------

local mixL, mixR = desk {
  { drumsL, drumsR, 1.0, 0 },
  { bassOut, bassOut, 0.4, 0 },
  { out(echo, "OutL"), out(echo, "OutR"), 1.0, 0 },
  { droneL, droneR, 0.3, 0 },
}
local function limit(mix) return out(patch(q.SoftClip(), { In = mix, Gain = 0.15 })) end

return limit(mixL), limit(mixR)
