-- Delays I: a plucked four-voice string melody runs through a comb, a four-tap pitch-shifting
-- delay spread in stereo by its mixer, and a stereo reverse delay mixed under it. The input
-- file's first channel, when given, excites the strings in place of the noise bursts.
local od = require "od"
local q = require "qvz_libQuorvani"

-- Plucks: a clock at 300 BPM triggers the next voice; f0 = (660 + 330 sin) / 2, a slow sine
-- between 165 and 495 Hz (WetDryFades serve as adder and scaler); a short burst of noise at
-- 0.6 gated by the clock excites each new voice.
local clock = od.Clock()
clock:getParameter("BPM"):hardSet(300)
clock:getParameter("Width"):hardSet(0.004)
local sweep = od.Sine()
sweep:getInput("Frequency"):setConstant(0.37)
sweep:getInput("Level"):setConstant(330)
local melody = q.WetDryFade()
melody:getInput("A"):setConstant(660)
melody:getInput("B"):connect(sweep:getOutput("Out"))
melody:getInput("Fade"):setConstant(0.5)
local gate = q.WetDryFade()
gate:getInput("B"):connect(clock:getOutput("Out"))
gate:getInput("Fade"):setConstant(0.6)
local noise = od.Noise()
noise:getInput("Level"):connect(gate:getOutput("Out"))

local pluck = q.Pluck(0.05)
pluck:getInput("In"):connect((...) or noise:getOutput("Out"))
pluck:getInput("Trigger"):connect(clock:getOutput("Out"))
pluck:getInput("f0"):connect(melody:getOutput("Out"))
pluck:getInput("Damp"):setConstant(4000)
pluck:getInput("Decay"):setConstant(0.8)

-- A gentle negative comb at 220 Hz colours the plucks.
local comb = q.Comb()
comb:getInput("In"):connect(pluck:getOutput("Out"))
comb:getInput("InR"):connect(pluck:getOutput("Out"))
comb:getInput("f0"):setConstant(220)
comb:getInput("Q"):setConstant(0.4)
comb:getOption("Type"):set(q.NEG)

-- Two four-tap delays, one per side, with taps an octave up, unshifted, a fifth down and reversed.
local taps = {}
for side, outlet in ipairs{comb:getOutput("Out"), comb:getOutput("OutR")} do
  local tap = q.TapDelay()
  tap:getInput("In"):connect(outlet)
  tap:getInput("Time"):setConstant(side == 1 and 0.18 or 0.24)
  tap:getInput("Feedback"):setConstant(0.35)
  for k, ratio in ipairs{2, 1, 0.667, -1} do tap:getInput("Pitch" .. k):setConstant(ratio) end
  taps[side] = tap
end
local mixer = q.TapDelayStereoMixer()
mixer:getInput("DryL"):connect(comb:getOutput("Out"))
mixer:getInput("DryR"):connect(comb:getOutput("OutR"))
for k, pan in ipairs{-0.8, 0.8, -0.4, 0.4} do
  mixer:getInput("Tap" .. k .. "L"):connect(taps[1]:getOutput("Tap" .. k))
  mixer:getInput("Tap" .. k .. "R"):connect(taps[2]:getOutput("Tap" .. k))
  mixer:getInput("Level" .. k):setConstant(0.5)
  mixer:getInput("Pan" .. k):setConstant(pan)
end
mixer:getInput("Blend"):setConstant(0.5)

-- Reverse echoes of half a second over everything.
local reverse = q.ReverseDelay(2)
reverse:allocateTimeUpTo(1.0)
reverse:getParameter("Delay"):hardSet(0.5)
reverse:getInput("Left In"):connect(mixer:getOutput("OutL"))
reverse:getInput("Right In"):connect(mixer:getOutput("OutR"))
reverse:getInput("Feedback"):setConstant(0.3)

-- The reversed echoes sit under the forward mix, 30 % wet.
local outs = {}
for side, name in ipairs{"L", "R"} do
  local fade = q.WetDryFade()
  fade:getInput("A"):connect(mixer:getOutput("Out" .. name))
  fade:getInput("B"):connect(reverse:getOutput(side == 1 and "Left Out" or "Right Out"))
  fade:getInput("Fade"):setConstant(0.3)
  outs[side] = fade:getOutput("Out")
end
return outs[1], outs[2]
