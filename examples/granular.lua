-- Granular player: a short synthesized phrase, played as a train of crossfaded genes with
-- octave layers spread left and right; a clock restarts the train on every beat. A slow LFO
-- sweeps "Morph" through the octave layers and every second "Organize" moves to another
-- splice, so the sound keeps changing.
local od = require "od"
local q = require "qvz_libQuorvani"

-- Two seconds of a plucked four-note phrase, slightly different on each side.
local rate = 48000
local notes = {220, 277.18, 329.63, 440}
local data = {}
for i = 0, 2 * rate - 1 do
  local t = i / rate
  local note = notes[math.floor(t * 2) % #notes + 1]
  local age = t % 0.5
  local env = math.exp(-age * 6)
  data[#data + 1] = 0.6 * env * math.sin(2 * math.pi * note * t)
  data[#data + 1] = 0.6 * env * math.sin(2 * math.pi * note * 1.003 * t)
end

local head = q.MorphoHead(2)
head:setSample(od.Sample.fromArray(2, rate, data))
head:getInput("Speed"):setConstant(1)
head:getParameter("Splices"):hardSet(4)
head:getParameter("Organize"):hardSet(0.3)
head:getParameter("Slide"):hardSet(0.1)
head:getParameter("Gene Size"):hardSet(0.12)
local morph = od.LFO()
morph:getOption("Shape"):set(1) -- triangle
morph:getInput("Rate"):setConstant(0.15)
morph:getInput("Level"):setConstant(0.45)
morph:getInput("Offset"):setConstant(0.5)
head:getParameter("Morph"):connect(morph:getOutput("Out"))
head:getParameter("Squash"):hardSet(1.5)

local clock = od.Clock()
clock:getParameter("BPM"):hardSet(100)
head:getInput("Trigger"):connect(clock:getOutput("Out"))

-- Splices in the order 0.3, 0.8, 0.05, 0.55, ...: a step of 0.5 and a little, wrapped.
local organize = 0.3
qvz.every(1, function()
  organize = (organize + 0.55) % 1
  head:getParameter("Organize"):set(organize)
end)

return head:getOutput("Left Out"), head:getOutput("Right Out")
