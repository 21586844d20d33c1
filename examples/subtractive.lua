-- Subtractive synthesis: a sequenced saw through a low-pass whose cutoff and level follow
-- an envelope, over a swung backbeat. With an input file, the input plays under it.
local od = require "od"
local q = require "qvz_libQuorvani"

local input = ...
local swing = 0.2

local notes = qvz.pattern("a.a.C3.a.e.a.g.G", { bpm = 110, swing = swing, length = 0.6, octave = -1 })
local osc = od.Oscillator()
osc:getOption("Shape"):set(2) -- saw
osc:getInput("Frequency"):connect(notes:getOutput("Pitch"))

local env = od.Envelope()
env:getInput("Gate"):connect(notes:getOutput("Trig"))
env:getInput("Attack"):setConstant(0.005)
env:getInput("Decay"):setConstant(0.25)
env:getInput("Sustain"):setConstant(0.3)
env:getInput("Release"):setConstant(0.15)

-- Cutoff = 300 Hz + 3000 Hz x envelope, swept slowly wider by an LFO on the envelope's depth.
local depth = od.LFO()
depth:getInput("Rate"):setConstant(0.125)
depth:getInput("Level"):setConstant(1500)
depth:getInput("Offset"):setConstant(3000)
local sweep = od.Gain()
sweep:getInput("In"):connect(env:getOutput("Out"))
sweep:getInput("Gain"):connect(depth:getOutput("Out"))
local cutoff = od.Mixer(1)
cutoff:getInput("In1"):connect(sweep:getOutput("Out"))
local base = od.LFO() -- a constant 300 Hz: an LFO at rate 0 holds Offset
base:getInput("Rate"):setConstant(0)
base:getInput("Level"):setConstant(0)
base:getInput("Offset"):setConstant(300)
local sum = od.Mixer(2)
sum:getInput("In1"):connect(cutoff:getOutput("Out"))
sum:getInput("In2"):connect(base:getOutput("Out"))

local filter = od.Filter()
filter:getInput("In"):connect(osc:getOutput("Out"))
filter:getInput("Cutoff"):connect(sum:getOutput("Out"))
filter:getInput("Resonance"):setConstant(0.6)

local vca = od.Gain()
vca:getInput("In"):connect(filter:getOutput("Out"))
vca:getInput("Gain"):connect(env:getOutput("Out"))

-- The backbeat: kick on one and three, snare on two and four, swung hats.
local kick, snare, hat = q.Kick(), q.Snare(), q.HiHat()
kick:getInput("Trig"):connect(qvz.pattern("x.......x.......", { bpm = 110, swing = swing }):getOutput("Trig"))
snare:getInput("Trig"):connect(qvz.pattern("....x.......x...", { bpm = 110, swing = swing }):getOutput("Trig"))
hat:getInput("TrigC"):connect(qvz.pattern("xxxxxxxxxxxxxxxx", { bpm = 110, swing = swing, length = 0.2 }):getOutput("Trig"))

local mix = od.Mixer(5)
mix:getInput("In1"):connect(vca:getOutput("Out"))
mix:getInput("Gain1"):setConstant(0.5)
for k, voice in ipairs { kick, snare, hat } do mix:getInput("In" .. k + 1):connect(voice:getOutput("Out")) end
mix:getInput("Gain2"):setConstant(0.8)
mix:getInput("Gain3"):setConstant(0.5)
mix:getInput("Gain4"):setConstant(0.25)
if input then mix:getInput("In5"):connect(input) end
mix:getInput("Gain5"):setConstant(0.5)
return mix:getOutput("Out")
