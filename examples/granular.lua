-- Granular player: a short synthesized phrase, played as a train of crossfaded genes with
-- octave layers spread left and right; a clock restarts the train on every beat.
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
head:getParameter("Morph"):hardSet(0.9)
head:getParameter("Squash"):hardSet(1.5)

local clock = od.Clock()
clock:getParameter("BPM"):hardSet(100)
head:getInput("Trigger"):connect(clock:getOutput("Out"))

return head:getOutput("Left Out"), head:getOutput("Right Out")
