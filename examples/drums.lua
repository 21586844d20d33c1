-- The six drum voices on clocks: kick on every beat at 120 BPM, snare on the off-beats
-- (the falling edge of a half-second clock pulse), closed hats on eighths with an open hat
-- every second bar, a tom, a quiet cowbell and a cymbal every two seconds. Mixed to stereo
-- with crossfaders: kick and hats in the middle, snare and tom left, cymbal and cowbell right.
local od = require "od"
local q = require "qvz_libQuorvani"

local function clock(bpm, width)
  local c = od.Clock()
  c:getParameter("BPM"):hardSet(bpm)
  if width then c:getParameter("Width"):hardSet(width) end
  return c:getOutput("Out")
end

-- Out = a + share x (b - a).
local function blend(a, b, share)
  local fade = q.WetDryFade()
  fade:getInput("A"):connect(a)
  fade:getInput("B"):connect(b)
  fade:getInput("Fade"):setConstant(share)
  return fade:getOutput("Out")
end

local function voice(class, settings)
  local v = q[class]()
  for name, value in pairs(settings) do
    if type(value) == "number" then v:getInput(name):setConstant(value) else v:getInput(name):connect(value) end
  end
  return v:getOutput("Out")
end

-- 1 - pulse: rises when a pulse ends, so a 0.5 s wide pulse at 60 BPM gives the off-beats.
local offBeats = q.WetDryFade()
offBeats:getInput("A"):setConstant(1)
offBeats:getInput("B"):setConstant(0)
offBeats:getInput("Fade"):connect(clock(60, 0.5))

local kick = voice("Kick", { Trig = clock(120), Tune = 52, Decay = 0.35, Punch = 0.8, Click = 0.4, Drive = 0.3 })
local snare = voice("Snare", { Trig = offBeats:getOutput("Out"), Tune = 185, Decay = 0.18, Snap = 0.8, Tone = 2500 })
local hat = voice("HiHat", { TrigC = clock(480), TrigO = clock(30), Tune = 420, DecayC = 0.04, DecayO = 0.5, Tone = 7000 })
local tom = voice("Tom", { Trig = clock(90), Tune = 110, Decay = 0.3, Bend = 0.6 })
local cowbell = voice("Cowbell", { Trig = clock(240), Tune = 560, Decay = 0.12, Clank = 0.5 })
local cymbal = voice("Cymbal", { Trig = clock(30), Tune = 380, Decay = 1.5, Tone = 5200, Sizzle = 0.6 })

local left = blend(blend(kick, snare, 0.5), blend(hat, tom, 0.45), 0.5)
local right = blend(blend(kick, cymbal, 0.5), blend(hat, cowbell, 0.3), 0.5)
return left, right
