-- The built-in demo: a short piece with every unit family the library has so far.
local od = require "od"
local q = require "qvz_libQuorvani"

local out = function(obj, name) return obj:getOutput(name or "Out") end

-- A slow bass line and a clock-gated noise hat from the host's sources.
local bass = od.Sine()
bass:getInput("Frequency"):setConstant(55)
bass:getInput("Level"):setConstant(0.5)

local clock = od.Clock()
clock:getParameter("BPM"):hardSet(480)
clock:getParameter("Width"):hardSet(0.02)
local hat = od.Noise()
hat:getInput("Level"):connect(out(clock))

local left, right = out(bass), out(hat)

if q.SoftClip then
  local drive = q.SoftClip()
  drive:getInput("In"):connect(left)
  drive:getInput("Gain"):setConstant(0.3)
  left = out(drive)
end

if q.BitCrush then
  local crush = q.BitCrush()
  crush:getInput("In"):connect(right)
  crush:getInput("BitDepth"):setConstant(6)
  crush:getInput("SR"):setConstant(4)
  right = out(crush)
end

-- A granular voice over a plucked phrase made here, mixed half and half into both sides.
if q.MorphoHead and q.WetDryFade then
  local rate = qvz.sampleRate
  local notes = {220, 261.63, 329.63, 392}
  local data = {}
  for i = 0, rate - 1 do
    local t = i / rate
    local note = notes[math.floor(t * 4) % #notes + 1]
    local env = math.exp(-(t % 0.25) * 12)
    data[#data + 1] = 0.5 * env * math.sin(2 * math.pi * note * t)
    data[#data + 1] = 0.5 * env * math.sin(2 * math.pi * note * 1.004 * t)
  end
  local head = q.MorphoHead(2)
  head:setSample(od.Sample.fromArray(2, rate, data))
  head:getInput("Speed"):setConstant(1)
  head:getParameter("Splices"):hardSet(4)
  head:getParameter("Gene Size"):hardSet(0.09)
  head:getParameter("Morph"):hardSet(0.85)
  local phrase = od.Clock()
  phrase:getParameter("BPM"):hardSet(120)
  head:getInput("Trigger"):connect(out(phrase))

  local function mix(a, b)
    local fade = q.WetDryFade()
    fade:getInput("A"):connect(a)
    fade:getInput("B"):connect(b)
    fade:getInput("Fade"):setConstant(0.5)
    return out(fade)
  end
  left, right = mix(left, out(head, "Left Out")), mix(right, out(head, "Right Out"))
end

return left, right
