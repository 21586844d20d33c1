-- WetDryFade, WetDryUnit and the host's unit API, driven from Lua as a patch would.
local t = require "qvztest"
local od = require "od"
local q = require "qvz_libQuorvani"

od.configure(48000, 64)
local k = 1 - math.exp(-200 / 48000) -- the fade's smoothing coefficient

-- The nearest single-precision value: what a unit receives for x.
local function f32(x)
  return (string.unpack("f", string.pack("f", x)))
end
local function live()
  collectgarbage()
  collectgarbage()
  return od.ReferenceCounted.liveCount()
end
local function same(a, b, n)
  for j = 1, n do
    if a[j] ~= b[j] then return false end
  end
  return true
end

t.case("the fader registers its ports in order and glides from B to A", function()
  local fade = q.WetDryFade()
  fade:getInput("Fade"):setConstant(0)
  local names = {}
  for i = 0, 2 do names[#names + 1] = fade:getInput(i):name() end
  t.eq(table.concat(names, ","), "A,B,Fade", "inlets in order")
  t.eq(fade:getOutput(0):name(), "Out", "outlet")
  od.run(fade, {A = -1, B = 1, Fade = 0}, 64)
  t.near(od.run(fade, {A = -1, B = 1}, 64).Out[1], -1 + 2 * (1 - k) ^ 65, 1e-5, "the position carries over between runs")
end)

t.case("WetDryUnit's constructor and getFader follow the binding's rules", function()
  t.fails(function() return q.WetDryUnit("mix", "two") end,
    "Error in WetDryUnit::WetDryUnit (arg 2), expected 'int' got 'string'")
  t.fails(function() return q.WetDryUnit("mix") end, "Error in WetDryUnit::WetDryUnit expected 2..2 args, got 1")
  local unit = q.WetDryUnit("mix", 2.9)
  t.eq(swig_type(unit), "WetDryUnit *", "swig_type")
  t.eq(unit:getInputCount(), 2, "2.9 channels make two")
  t.eq(unit:getOutputCount(), 2, "outputs")
  t.eq(unit:getFader(2), nil, "getFader(2)")
  t.eq(unit:getFader(-1), nil, "getFader(-1)")
  t.eq(unit:getFader(1e300), nil, "huge index")
  local fader = unit:getFader(1)
  t.eq(fader:getInput("Fade"):constant(), 0.5, "faders start at their described default")
  t.eq(swig_type(fader), "od::Object *", "a fader is an od::Object")
  t.eq(fader:getInput(2):name(), "Fade", "the fader's host methods work")
  t.eq(swig_equals(fader, unit:getFader(0)), false, "each channel has its own fader")
  t.fails(function() return unit.getFader(nil, 1) end,
    "Error in WetDryUnit_getFader (arg 1), expected 'WetDryUnit *' got 'nil'")
  t.fails(function() return unit:getFader("x") end, "Error in WetDryUnit::getFader (arg 2), expected 'int' got 'string'")
end)

t.case("a fader taken from a unit keeps the unit alive while it is in use", function()
  local before = live()
  local orphan = q.WetDryUnit("gone", 1):getFader(0)
  t.truthy(live() > before, "the unit is still there")
  orphan:getInput("Fade"):setConstant(1)
  t.eq(od.run(orphan, {A = 0, B = 0.5}, 4).Out[1], 0.5, "the fader still runs")
  orphan = nil
  t.eq(live(), before, "the unit goes with its fader's last reference")
end)

t.case("without contained units the inputs pass at any fade", function()
  local unit = q.WetDryUnit("mix", 2)
  local ramp = {}
  for j = 1, 128 do ramp[j] = f32((j - 64) / 100) end
  for _, fade in ipairs({0, 0.4, 1}) do
    unit:getFader(0):getInput("Fade"):setConstant(fade)
    local out = od.run(unit, {ramp, 0.25}, 128)
    t.truthy(same(out[1], ramp, 128), "channel 1 at fade " .. fade)
    t.eq(out[2][128], 0.25, "channel 2")
    t.eq(#out[2], 128, "samples")
  end
  local silent = od.run(unit, {}, 64)
  t.eq(silent[1][1], 0, "od.run undoes its feeds")
  t.fails(function() od.run(unit, {[3] = 1}, 64) end, "od.run: unit inputs are keyed 1..2, got 3")
  t.fails(function() od.run(unit, {In = 1}, 64) end, "od.run: unit inputs are keyed 1..2, got In")
  t.fails(function() od.run(unit, {"x"}, 64) end, "od.run: input 1 needs a number or an array of numbers, got string")
end)

t.case("connectInput feeds a unit's input and od.run restores it", function()
  local unit = q.WetDryUnit("mix", 2)
  local level = q.WetDryFade()
  level:getInput("A"):setConstant(0.75)
  level:getInput("Fade"):setConstant(0)
  for _ = 1, 200 do od.run(level, {}, 64) end
  unit:connectInput(1, level:getOutput("Out"))
  t.eq(od.run(unit, {0.5}, 64)[2][64], 0.75, "input 1 follows the outlet")
  t.eq(od.run(unit, {[2] = 0.1}, 64)[2][64], f32(0.1), "od.run feeds over it")
  t.eq(od.run(unit, {}, 64)[2][1], 0.75, "and restores the connection it replaced")
  t.fails(function() unit:connectInput(2, level:getOutput("Out")) end, "connectInput: the unit has no input 2")
  unit:connectInput(1, nil)
  t.eq(od.run(unit, {}, 64)[2][1], 0, "nil disconnects")
end)

-- A one-channel od.Unit around a BitCrush at 2 bits.
local function crusher()
  local crush = q.BitCrush()
  crush:getInput("BitDepth"):setConstant(2)
  crush:getInput("SR"):setConstant(1)
  local unit = od.Unit("crush", 1)
  unit:addObject(crush)
  unit:addInput(0, crush, "In")
  unit:setOutput(0, crush, "Out")
  return unit, crush
end

local input = {}
for j = 1, 64 do input[j] = math.sin(j / 5) * 0.9 end
local crushed = od.run(q.BitCrush(), {In = input, BitDepth = 2, SR = 1}, 64).Out

t.case("od.Unit declares ports and refuses what it cannot declare", function()
  local inner, crush = crusher()
  t.eq(inner:getObjectCount(), 1, "objects")
  t.fails(function() inner:addInput(0, crush, "Nope") end, "addInput: cannot declare inlet 'Nope' as input 0")
  t.fails(function() inner:setOutput(-1, crush, "Out") end, "setOutput: cannot declare outlet 'Out' as output -1")
  t.fails(function() inner:addObject(nil) end, "addObject: expected an object")
  t.eq(od.run(inner, {0.3}, 4)[1][1], 0.5, "od.run on a plain unit")
end)

t.case("a chain built from Lua is the wet side; bypass and enable act on it", function()
  local inner = crusher()
  local unit = q.WetDryUnit("mix", 1)
  unit:addUnit(inner)
  t.eq(unit:getUnitCount(), 1, "custom:addUnit appends")
  t.fails(function() unit:addUnit(inner) end, "addUnit: the unit is nil, already in the chain")
  unit:getFader(0):getInput("Fade"):setConstant(1)
  local wet = od.run(unit, {input}, 64)[1]
  t.truthy(same(wet, crushed, 64) and wet[5] ~= f32(input[5]), "the wet side is the crushed input")

  inner:setBypassed(true)
  unit:rewire()
  t.near(od.run(unit, {input}, 64)[1][17], input[17], 1e-6, "a bypassed chain leaves the wet side dry")
  inner:setBypassed(false)
  unit:rewire()
  local last = od.run(unit, {input}, 64)[1]
  t.truthy(last[1] ~= last[12], "crushed again")
  inner:setEnabled(false)
  t.truthy(same(od.run(unit, {0.9}, 64)[1], last, 64), "a disabled unit keeps its last output")
end)

t.case("a unit held by Lua outlives the WetDryUnit whose chain it was in", function()
  local before = live()
  local inner = crusher()
  local unit = q.WetDryUnit("mix", 2)
  unit:addUnit(inner)
  od.run(unit, {input, input}, 64)
  local during = live()
  unit = nil
  t.eq(live(), during - 7, "the WetDryUnit, its two faders and four monitors are gone")
  t.eq(od.run(inner, {0.3}, 4)[1][1], 0.5, "the held unit still works alone")
  inner = nil
  t.eq(live(), before, "the unit and its BitCrush go with their last holder")
end)

t.run()
