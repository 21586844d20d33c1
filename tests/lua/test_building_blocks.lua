-- The host's building blocks from Lua: constructor checks, described defaults, and a
-- parameter connected to an outlet, as a patch uses them.
local t = require "qvztest"
local od = require "od"

od.configure(48000, 64)

local function live()
  collectgarbage()
  collectgarbage()
  return od.ReferenceCounted.liveCount()
end

t.case("constructors check their arguments", function()
  t.eq(od.Mixer(64):inputCount(), 128, "64 channels")
  t.fails(function() od.Mixer(0) end, "channel count must be 1..64")
  t.fails(function() od.Mixer(65) end, "channel count must be 1..64")
  t.fails(function() od.Mixer("many") end, "od::Mixer")
  t.eq(od.Sequencer({110, false, 1e3}):stepCount(), 3, "numbers and rests")
  t.fails(function() od.Sequencer({}) end, "needs 1..65536 steps")
  t.fails(function() od.Sequencer({110, "a"}) end, "step 2 is string")
  t.fails(function() od.Sequencer({true}) end, "step 1 is boolean")
end)

t.case("new objects read their described defaults and run through od.run", function()
  local osc = od.Oscillator()
  t.eq(osc:getInput("Frequency"):constant(), 440, "Frequency")
  t.eq(osc:getInput("Width"):constant(), 0.5, "Width")
  local seq = od.Sequencer({220, false})
  local r = od.run(seq, {BPM = 120, Length = 0.5}, 12000)
  t.eq(r.Trig[1], 1, "the first step sounds at once")
  t.eq(r.Trig[3001], 0, "its gate closes after half a step")
  t.eq(r.Trig[6001], 0, "the second step rests")
  t.eq(r.Pitch[12000], 220, "the rest holds the pitch")
end)

t.case("a connected parameter holds its source and follows it", function()
  local before = live()
  local seq = od.Sequencer({1})
  do
    local lfo = od.LFO()
    lfo:getInput("Rate"):setConstant(0)
    lfo:getInput("Offset"):setConstant(90)
    lfo:getInput("Level"):setConstant(0)
    seq:getParameter("BPM"):connect(lfo:getOutput("Out"))
  end
  t.eq(live(), before + 2, "the LFO lives on through the connection")
  t.truthy(seq:getParameter("BPM"):isConnected(), "connected")
  t.fails(function() seq:getParameter("BPM"):connect(42) end, "connect")
  seq:getParameter("BPM"):disconnect()
  t.eq(live(), before + 1, "released on disconnect")
end)

t.case("a feedback loop lives until its frame delay's inlet is undone", function()
  local before = live()
  local delay = od.FrameDelay()
  do
    local mix = od.Mixer(2)
    mix:getInput("In2"):connect(delay:getOutput("Out"))
    delay:getInput("In"):connect(mix:getOutput("Out"))
  end
  t.eq(live(), before + 2, "the loop holds the mixer")
  delay:getInput("In"):disconnect()
  t.eq(live(), before + 1, "opened, the mixer goes")
end)

t.run()
