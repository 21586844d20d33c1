-- WetDryFade, WetDryUnit and the host's unit API, driven from Lua as a patch would.
local od = require "od"
local q = require "qvz_libQuorvani"

local failures = 0
local function check(condition, message)
  if not condition then
    failures = failures + 1
    io.stderr:write("FAIL: ", message, "\n", debug.traceback(nil, 2), "\n")
  end
end
local function near(a, b, tolerance, message)
  check(type(a) == "number" and math.abs(a - b) <= tolerance,
        string.format("%s: %s is not within %g of %s", message, tostring(a), tolerance, tostring(b)))
end
local function fails(expected, f, ...)
  local ok, message = pcall(f, ...)
  check(not ok and tostring(message):find(expected, 1, true),
        string.format("expected an error containing %q, got %s", expected, tostring(message)))
end
-- The nearest single-precision value: what a unit receives for x.
local function f32(x)
  return (string.unpack("f", string.pack("f", x)))
end
local function live()
  collectgarbage()
  collectgarbage()
  return od.ReferenceCounted.liveCount()
end

od.configure(48000, 64)
local k = 1 - math.exp(-200 / 48000) -- the fade's smoothing coefficient

-- The fader glides from B to A with its 5 ms coefficient, and clamps "Fade".
do
  local fade = q.WetDryFade()
  check(fade:getInput(0):name() == "A" and fade:getInput(1):name() == "B" and fade:getInput(2):name() == "Fade"
        and fade:getOutput(0):name() == "Out", "WetDryFade registers A, B, Fade, Out")
  local out = od.run(fade, {A = -1, B = 1, Fade = 0}, 64).Out
  near(out[1], -1 + 2 * (1 - k), 1e-6, "first sample of the glide")
  near(out[64], -1 + 2 * (1 - k) ^ 64, 1e-5, "64th sample of the glide")
  local again = od.run(fade, {A = -1, B = 1, Fade = 0}, 64).Out
  near(again[1], -1 + 2 * (1 - k) ^ 65, 1e-5, "the position carries over between runs")

  for _, case in ipairs({{2, 1}, {0 / 0, 1}, {math.huge, 1}}) do
    local f = q.WetDryFade()
    check(od.run(f, {A = 0, B = 1, Fade = case[1]}, 64).Out[64] == 1, "Fade " .. tostring(case[1]) .. " acts as 1")
  end
  local low = od.run(q.WetDryFade(), {A = 0, B = 1, Fade = -5}, 64).Out[64]
  local zero = od.run(q.WetDryFade(), {A = 0, B = 1, Fade = 0}, 64).Out[64]
  check(low == zero and low < 1, "Fade below 0 acts as 0")
end

-- The binding's rows for WetDryUnit: arguments, getFader, types.
do
  fails("Error in WetDryUnit::WetDryUnit (arg 2), expected 'int' got 'string'", q.WetDryUnit, "mix", "two")
  fails("Error in WetDryUnit::WetDryUnit expected 2..2 args, got 1", q.WetDryUnit, "mix")
  local unit = q.WetDryUnit("mix", 2.9)
  check(swig_type(unit) == "WetDryUnit *", "swig_type of a WetDryUnit")
  check(unit:getInputCount() == 2 and unit:getOutputCount() == 2, "2.9 channels make two")
  check(unit:getFader(2) == nil and unit:getFader(-1) == nil, "getFader outside the channels is nil")
  local fader = unit:getFader(1)
  check(swig_type(fader) == "od::Object *", "a fader is an od::Object")
  check(fader:getInput("Fade") ~= nil, "the fader's host methods work")
  check(not swig_equals(fader, unit:getFader(0)), "each channel has its own fader")
  fails("Error in WetDryUnit_getFader (arg 1), expected 'WetDryUnit *' got 'nil'", unit.getFader, nil, 1)
  fails("Error in WetDryUnit::getFader (arg 2), expected 'int' got 'string'", unit.getFader, unit, "x")
  check(unit:getFader(0 / 0) ~= nil, "a NaN channel index reads as 0")
  check(unit:getFader(1e300) == nil, "a huge channel index gives nil")

  -- A fader taken from a unit keeps the unit alive while it is in use.
  local before = live()
  local orphan = q.WetDryUnit("gone", 1):getFader(0)
  check(live() > before, "the fader holds its unit")
  orphan:getInput("Fade"):setConstant(1)
  check(od.run(orphan, {A = 0, B = 0.5}, 4).Out[1] == 0.5, "the fader still runs")
  orphan = nil
  check(live() == before, "the unit goes with its fader's last reference")
end

-- A WetDryUnit with no contained units passes its inputs through at any fade.
do
  local unit = q.WetDryUnit("mix", 2)
  local ramp = {}
  for j = 1, 128 do ramp[j] = f32((j - 64) / 100) end
  for _, fade in ipairs({0, 0.4, 1}) do
    unit:getFader(0):getInput("Fade"):setConstant(fade)
    local out = od.run(unit, {ramp, 0.25}, 128)
    local same = true
    for j = 1, 128 do same = same and out[1][j] == ramp[j] end
    check(same, "channel 1 passes at fade " .. fade)
    check(out[2][128] == 0.25 and #out[2] == 128, "channel 2 passes")
  end
  -- connectInput feeds a unit's input from any outlet, and od.run leaves it in place.
  local level = q.WetDryFade()
  level:getInput("A"):setConstant(0.75)
  level:getInput("Fade"):setConstant(0)
  for _ = 1, 200 do od.run(level, {}, 64) end
  unit:connectInput(1, level:getOutput("Out"))
  check(od.run(unit, {0.5}, 64)[2][64] == 0.75, "connectInput feeds input 1")
  check(od.run(unit, {}, 64)[2][1] == 0.75, "od.run restores the connection it replaced")
  fails("connectInput: the unit has no input 2", unit.connectInput, unit, 2, level:getOutput("Out"))
  unit:connectInput(1, nil)
  local silent = od.run(unit, {}, 64)
  check(silent[1][1] == 0 and silent[2][64] == 0, "od.run undoes its feeds")
  fails("od.run: unit inputs are keyed 1..2, got 3", od.run, unit, {[3] = 1}, 64)
  fails("od.run: unit inputs are keyed 1..2, got In", od.run, unit, {In = 1}, 64)
  fails("od.run: input 1 needs a number or an array of numbers, got string", od.run, unit, {"x"}, 64)
end

-- A chain built from Lua: od.Unit around a BitCrush, wet against dry.
do
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
  local inner, crush = crusher()
  fails("addInput: cannot declare inlet 'Nope' as input 0", inner.addInput, inner, 0, crush, "Nope")
  fails("setOutput: cannot declare outlet 'Out' as output -1", inner.setOutput, inner, -1, crush, "Out")

  local unit = q.WetDryUnit("mix", 1)
  unit:addUnit(inner)
  check(unit:getUnitCount() == 1, "custom:addUnit appends")
  fails("addUnit: the unit is nil, already in the chain", unit.addUnit, unit, inner)
  unit:getFader(0):getInput("Fade"):setConstant(1)
  local input = {}
  for j = 1, 64 do input[j] = math.sin(j / 5) * 0.9 end
  local expected = od.run(q.BitCrush(), {In = input, BitDepth = 2, SR = 1}, 64).Out
  local wet = od.run(unit, {input}, 64)[1]
  local same = true
  for j = 1, 64 do same = same and wet[j] == expected[j] end
  check(same and wet[5] ~= f32(input[5]), "the wet side is the crushed input")

  inner:setBypassed(true)
  unit:rewire()
  local bypassed = od.run(unit, {input}, 64)[1]
  near(bypassed[17], input[17], 1e-6, "a bypassed chain leaves the wet side dry")
  inner:setBypassed(false)
  unit:rewire()
  local live1 = od.run(unit, {input}, 64)[1]
  inner:setEnabled(false)
  local frozen = od.run(unit, {0.9}, 64)[1]
  local same = true
  for j = 1, 64 do same = same and frozen[j] == live1[j] end
  check(same and live1[1] ~= live1[12], "a disabled unit keeps its last output")

  -- Holders: the chain's unit outlives the WetDryUnit while Lua still holds it.
  local before = live()
  unit = nil
  check(live() < before, "the WetDryUnit and its monitors and faders are gone")
  check(inner:getObjectCount() == 1 and od.run(inner, {0.3}, 4)[1][1] == 0.5, "the held unit still works alone")
  inner, crush = nil, nil
  check(live() < before - 1, "the unit and its BitCrush go with their last holder")
end

if failures > 0 then
  error(failures .. " check(s) failed")
end
print("test_mixing: all checks passed")
