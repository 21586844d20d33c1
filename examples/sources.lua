-- The host's sources through the first units: a sine bass driven into SoftClip on the
-- left, clock-gated noise through BitCrush on the right. With an input file, the input's
-- channels take the sources' places.
local od = require "od"
local q = require "qvz_libQuorvani"

local left, right = ...
right = right or left

if not left then
  local bass = od.Sine()
  bass:getInput("Frequency"):setConstant(82.5)
  bass:getInput("Level"):setConstant(0.4)
  left = bass:getOutput("Out")

  local clock = od.Clock()
  clock:getParameter("BPM"):hardSet(360)
  clock:getParameter("Width"):hardSet(0.03)
  local hat = od.Noise()
  hat:getInput("Level"):connect(clock:getOutput("Out"))
  right = hat:getOutput("Out")
end

local clip = q.SoftClip()
clip:getInput("In"):connect(left)
clip:getInput("Gain"):setConstant(0.25)

local crush = q.BitCrush()
crush:getInput("In"):connect(right)
crush:getInput("BitDepth"):setConstant(5)
crush:getInput("SR"):setConstant(6)

return clip:getOutput("Out"), crush:getOutput("Out")
