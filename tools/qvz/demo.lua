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

return left, right
