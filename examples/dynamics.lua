-- Distortion and dynamics: a pulsing bass note (or the input file's first channel) runs
-- through a fuzz, an exciter, a transient shaper, a compressor keyed by its own signal and
-- a wobbling tape imitation; a feedback distortion growls on a copy, and a band spreader
-- places the two across the stereo field.
local od = require "od"
local q = require "qvz_libQuorvani"

local input = ...
if not input then
  local clock = od.Clock()
  clock:getParameter("BPM"):hardSet(240)
  clock:getParameter("Width"):hardSet(0.12)
  local sine = od.Sine()
  sine:getInput("Frequency"):setConstant(82.5)
  sine:getInput("Level"):connect(clock:getOutput("Out"))
  input = sine:getOutput("Out")
end

local function set(object, values)
  for name, value in pairs(values) do object:getInput(name):setConstant(value) end
  return object
end

local fuzz = set(q.FuzzBox(), {Drive = 0.5, Grit = 0.2, Tone = 0.45})
fuzz:getParameter("Shape"):hardSet(3)
fuzz:getInput("In"):connect(input)

local exciter = set(q.Exciter(), {AxMix = 0.6})
exciter:getOption("Mode"):set(q.SC_2STG)
exciter:getInput("In"):connect(fuzz:getOutput("Out"))

local shaper = set(q.Shaper(), {Atk = 0.9, Sus = 0.3})
shaper:getInput("In"):connect(exciter:getOutput("Out"))

local comp = set(q.CompressorObject(), {Threshold = 0.25, Ratio = 4})
comp:getInput("In"):connect(shaper:getOutput("Out"))
comp:getInput("SCIn"):connect(shaper:getOutput("Out"))

local tape = set(q.Lofi(), {Depth = 0.8, Speed = 0.55, Blend = 0.7})
tape:getOption("Waveform"):set(4)
tape:getInput("In"):connect(comp:getOutput("Out"))

local growl = set(q.Grotesque(), {High = 0.55, Low = 0.6, Gain = 0.35, Input = 0.5})
growl:getInput("In"):connect(comp:getOutput("Out"))

local spread = set(q.BandSpreader(), {Pan1 = 0, Pan2 = -0.4, Pan3 = 0.5, Pan4 = -0.7, Pan5 = 0.8, Pan6 = -0.9,
                                      Level1 = 1, Level2 = 1, Level3 = 0.9, Level4 = 0.8, Level5 = 0.7, Level6 = 0.6})
spread:getInput("InL"):connect(tape:getOutput("Out"))
spread:getInput("InR"):connect(growl:getOutput("Out"))

return spread:getOutput("OutL"), spread:getOutput("OutR")
