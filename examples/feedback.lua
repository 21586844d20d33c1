-- A feedback loop: short bursts of noise (or the input) into a mixer whose second channel
-- is its own output one frame later, through Grotesque's saturating band-pass and a
-- low-pass. The frame delay makes the loop a comb that rings at the frame rate and its
-- harmonics; the saturation keeps it bounded.
local od = require "od"
local q = require "qvz_libQuorvani"

local source = ...
if not source then
  local bursts = qvz.pattern("x...x.x.........", { bpm = 90, length = 0.05 })
  local noise = od.Noise()
  noise:getInput("Level"):connect(bursts:getOutput("Trig"))
  source = noise:getOutput("Out")
end

local delay = od.FrameDelay()
local mix = od.Mixer(2)
mix:getInput("In1"):connect(source)
mix:getInput("In2"):connect(delay:getOutput("Out"))
mix:getInput("Gain2"):setConstant(0.9)

local grit = q.Grotesque()
grit:getInput("In"):connect(mix:getOutput("Out"))
for name, value in pairs { High = 0.6, Low = 0.2, Gain = 0.3, Input = 1 } do grit:getInput(name):setConstant(value) end

local tone = od.Filter()
tone:getInput("In"):connect(grit:getOutput("Out"))
tone:getInput("Cutoff"):setConstant(3000)
delay:getInput("In"):connect(tone:getOutput("Out"))

-- Half of it is heard: the loop peaks a little above full scale.
local level = od.Gain()
level:getInput("In"):connect(mix:getOutput("Out"))
level:getInput("Gain"):setConstant(0.5)
return level:getOutput("Out")
