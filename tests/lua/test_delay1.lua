-- TapDelay, TapDelayStereoMixer, ReverseDelay, Pluck and Comb driven from Lua as a patch would.
local t = require "qvztest"
local od = require "od"
local q = require "qvz_libQuorvani"

od.configure(48000, 128)

-- Bytes the heap hands out once every unreachable unit has been collected.
local function heapAfterCollection()
  collectgarbage()
  collectgarbage()
  return od.heapInUse()
end

-- The nearest single-precision value: what a unit receives or returns for x.
local function f32(x)
  return (string.unpack("f", string.pack("f", x)))
end

t.case("constructors take the arguments of the class table", function()
  t.eq(swig_type(q.TapDelay()), "TapDelay *", "TapDelay")
  t.eq(swig_type(q.TapDelayStereoMixer()), "TapDelayStereoMixer *", "TapDelayStereoMixer")
  t.eq(swig_type(q.Comb()), "Comb *", "Comb")
  t.eq(swig_type(q.Pluck(0.05)), "Pluck *", "Pluck")
  t.eq(swig_type(q.ReverseDelay(2)), "ReverseDelay *", "ReverseDelay")
  t.fails(function() return q.TapDelay(1) end, "Error in TapDelay::TapDelay expected 0..0 args, got 1")
  t.fails(function() return q.Pluck() end, "Error in Pluck::Pluck expected 1..1 args, got 0")
  t.fails(function() return q.Pluck("long") end, "Error in Pluck::Pluck (arg 1), expected 'float' got 'string'")
  t.fails(function() return q.ReverseDelay({}) end, "Error in ReverseDelay::ReverseDelay (arg 1), expected 'int' got 'table'")
  t.eq(swig_type(q.ReverseDelay("2")), "ReverseDelay *", "a numeric string is a number")
end)

t.case("the memory methods check their object and arguments", function()
  local r = q.ReverseDelay(1)
  t.fails(function() return r.zero(nil) end, "Error in ReverseDelay_zero (arg 1), expected 'ReverseDelay *' got 'nil'")
  t.fails(function() return r.allocateTimeUpTo(q.Comb(), 1) end,
    "Error in ReverseDelay_allocateTimeUpTo (arg 1), expected 'ReverseDelay *' got 'Comb *'")
  t.fails(function() return r:allocateTimeUpTo() end, "Error in ReverseDelay::allocateTimeUpTo expected 2..2 args, got 1")
  t.fails(function() return r:maximumDelayTime(1) end, "Error in ReverseDelay::maximumDelayTime expected 1..1 args, got 2")
  local p = q.Pluck(0.05)
  t.fails(function() return p:allocateTimeUpTo("x") end,
    "Error in Pluck::allocateTimeUpTo (arg 2), expected 'float' got 'string'")
  t.eq(r.deallocate, r.deallocate, "methods are looked up on the class")
  t.eq(q.Comb().zero, nil, "Comb publishes no memory methods")
end)

t.case("ReverseDelay sizes, clears and frees its memory from Lua", function()
  od.setHeapLimit(nil)
  local base = heapAfterCollection()
  local r = q.ReverseDelay(2)
  t.eq(r:minimumDelayTime(), f32(f32(1 / 48000) * 128), "one frame")
  t.eq(r:allocateTimeUpTo(1.0), f32(48064 * f32(1 / 48000)), "751 frames of 128 samples")
  t.eq(r:maximumDelayTime(), f32(48064 * f32(1 / 48000)), "maximum delay")
  t.eq(heapAfterCollection() - base, 2 * 96128 * 4, "two lines")
  r:zero()
  t.eq(od.run(r, {["Left In"] = 0.25}, 128)["Left Out"][100], 0, "zeroed: the first segment is silent")
  r:deallocate()
  t.eq(heapAfterCollection(), base, "freed")
  t.eq(od.run(r, {["Left In"] = 0.25}, 128)["Left Out"][100], 0.25, "without memory the input passes")
  od.setHeapLimit(base)
  t.eq(r:allocateTimeUpTo(1.0), 0, "nothing fits")
  od.setHeapLimit(nil)
end)

t.case("ReverseDelay saves Delay with the unit and registers right ports only in stereo", function()
  local r = q.ReverseDelay(1)
  t.eq(r:getInput("Right In"), nil, "no right inlet in mono")
  t.eq(r:getOutput("Right Out"), nil, "no right outlet in mono")
  t.eq(r:getInput(1):name(), "Feedback", "second inlet")
  r:getParameter("Delay"):hardSet(0.25)
  local saved = r:serialize()
  t.eq(saved.Delay, 0.25, "Delay is serialized")
  local other = q.ReverseDelay(2)
  other:deserialize(saved)
  t.eq(other:getParameter("Delay"):target(), 0.25, "and restored")
end)

t.case("Pluck sizes its four lines from Lua and is silent without them", function()
  od.setHeapLimit(nil)
  local base = heapAfterCollection()
  local p = q.Pluck(0.05)
  t.eq(heapAfterCollection() - base, 4 * 2432 * 4, "four lines of 2432 samples")
  t.eq(p:allocateTimeUpTo(0.05), f32(2432 * f32(1 / 48000)), "the same size again")
  local rung = od.run(p, {In = {1}, Trigger = {1}, f0 = 480, Damp = 20000, Decay = 0.9}, 512).Out
  t.truthy(math.abs(rung[300]) > 1e-3, "a plucked voice rings")
  p:deallocate()
  t.eq(heapAfterCollection(), base, "freed")
  local silent = od.run(p, {In = 0.5}, 128).Out
  t.eq(silent[64], 0, "silent without memory")
end)

t.case("Comb's Type takes the module's sign constants", function()
  t.eq(q.POS, 1, "POS")
  t.eq(q.NEG, 3, "NEG")
  local comb = q.Comb()
  t.eq(comb:getOption("Type"):value(), q.POS, "default")
  local neg = od.run(q.Comb(), {In = {1}, f0 = 480, Q = 0.5, Type = q.NEG}, 256).Out
  t.eq(neg[101], -0.5, "negative echo")
  t.eq(neg[201], 0.25, "sign alternates")
end)

t.case("TapDelay feeds TapDelayStereoMixer tap by tap", function()
  local left, right, mixer = q.TapDelay(), q.TapDelay(), q.TapDelayStereoMixer()
  for k = 1, 4 do
    mixer:getInput("Tap" .. k .. "L"):connect(left:getOutput("Tap" .. k))
    mixer:getInput("Tap" .. k .. "R"):connect(right:getOutput("Tap" .. k))
    mixer:getInput("Level" .. k):setConstant(1)
    mixer:getInput("Pan" .. k):setConstant(0)
  end
  left:getInput("Time"):setConstant(0.02)
  right:getInput("Time"):setConstant(0.02)
  mixer:getInput("Blend"):setConstant(1)
  mixer:getInput("Pan1"):setConstant(1) -- tap 1 only on the right
  local outL, outR
  for _ = 1, 120 do
    local l = od.run(left, {In = 1}, 128)
    local r = od.run(right, {In = 1}, 128)
    local m = od.run(mixer, {}, 128)
    outL, outR = m.OutL, m.OutR
    t.near(outR[5], r.Tap1[5] + r.Tap2[5] + r.Tap3[5] + r.Tap4[5], 1e-5, "right sum")
    t.near(outL[5], l.Tap2[5] + l.Tap3[5] + l.Tap4[5], 1e-5, "left sum without tap 1")
  end
  t.truthy(outR[5] > 1 and outR[5] > outL[5], "the taps sound, tap 1 on the right only")
end)

t.run()
