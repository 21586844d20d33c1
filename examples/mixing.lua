-- Wet/dry mixing: a signal runs through a chain of two units (a bit crusher, then a soft
-- clipper) inside a WetDryUnit, and a slow sine sweeps the fade between the untouched
-- signal and the crushed one. Plays the input file's first channel, or a 220 Hz sine.
local od = require "od"
local q = require "qvz_libQuorvani"

local input = ...
if not input then
  local sine = od.Sine()
  sine:getInput("Frequency"):setConstant(220)
  sine:getInput("Level"):setConstant(0.5)
  input = sine:getOutput("Out")
end

-- A one-channel unit around a single object with inlet "In" and outlet "Out".
local function wrap(name, object)
  local unit = od.Unit(name, 1)
  unit:addObject(object)
  unit:addInput(0, object, "In")
  unit:setOutput(0, object, "Out")
  return unit
end

local crush = q.BitCrush()
crush:getInput("BitDepth"):setConstant(3)
crush:getInput("SR"):setConstant(8)
local clip = q.SoftClip()
clip:getInput("Gain"):setConstant(1.5)

local mix = q.WetDryUnit("crush mix", 1)
mix:addUnit(wrap("crush", crush))
mix:addUnit(wrap("clip", clip))
mix:connectInput(0, input)

-- Fade follows a 0.5 Hz sine: clamped to 0 (dry) for half of each cycle, up to 1 (wet).
local sweep = od.Sine()
sweep:getInput("Frequency"):setConstant(0.5)
mix:getFader(0):getInput("Fade"):connect(sweep:getOutput("Out"))

return mix:getOutput(0)
