-- Flanger, Freeze, Leslie, Unison and PitchShifter from Lua: ports, PitchShifter's methods
-- and their argument errors, refused and returned delay memory.
local t = require "qvztest"
local od = require "od"
local q = require "qvz_libQuorvani"

local ports = {
  Flanger = {inputs = {"In", "InR", "Rate", "Depth", "Feedback", "Blend"}, outputs = {"Out", "OutR"}},
  Freeze = {inputs = {"In", "Freeze", "Size"}, outputs = {"Out"}},
  Leslie = {inputs = {"In", "Fast", "Depth", "Drive", "Blend"}, outputs = {"OutL", "OutR"}},
  Unison = {inputs = {"In", "Detune", "Blend", "Spread"}, outputs = {"OutL", "OutR", "OutMono"}},
  PitchShifter = {inputs = {"In", "Blend", "Speed1", "Speed2", "Speed3"}, outputs = {"Out"}},
}

t.case("every class is built without arguments and lists its ports in order", function()
  for name, expected in pairs(ports) do
    local unit = q[name]()
    t.eq(swig_type(unit), name .. " *", name .. " type")
    for i, port in ipairs(expected.inputs) do t.eq(unit:getInput(i - 1):name(), port, name .. " input " .. i) end
    t.eq(unit:getInput(#expected.inputs), nil, name .. " past the inputs")
    for i, port in ipairs(expected.outputs) do t.eq(unit:getOutput(i - 1):name(), port, name .. " output " .. i) end
    t.eq(unit:getOutput(#expected.outputs), nil, name .. " past the outputs")
    t.fails(function() return q[name](1) end, "Error in " .. name .. "::" .. name .. " expected 0..0 args, got 1")
  end
end)

t.case("PitchShifter's voice count methods and their argument errors", function()
  local shifter = q.PitchShifter()
  t.eq(shifter:getVoiceCount(), 1, "default")
  t.eq(math.type(shifter:getVoiceCount()), "integer", "integer result")
  shifter:setVoiceCount(2.9)
  t.eq(shifter:getVoiceCount(), 2, "truncated")
  shifter:setVoiceCount(0 / 0)
  t.eq(shifter:getVoiceCount(), 1, "NaN reads as 0")
  shifter:setVoiceCount(1e300)
  t.eq(shifter:getVoiceCount(), 3, "huge")
  shifter:setVoiceCount("2")
  t.eq(shifter:getVoiceCount(), 2, "numeric string")
  t.fails(function() return shifter:setVoiceCount("two") end,
    "Error in PitchShifter::setVoiceCount (arg 2), expected 'int' got 'string'")
  t.fails(function() return shifter:setVoiceCount() end, "Error in PitchShifter::setVoiceCount expected 2..2 args, got 1")
  t.fails(function() return shifter.getVoiceCount(5) end,
    "Error in PitchShifter::getVoiceCount (arg 1), expected 'PitchShifter const *' got 'number'")
  t.fails(function() return shifter.getVoiceCount(nil) end,
    "Error in PitchShifter_getVoiceCount (arg 1), expected 'PitchShifter *' got 'nil'")
  t.fails(function() return shifter.setVoiceCount(q.Leslie(), 1) end,
    "Error in PitchShifter_setVoiceCount (arg 1), expected 'PitchShifter *' got 'Leslie *'")
  t.eq(q.Unison().getVoiceCount, nil, "other classes have no voice count")
end)

t.case("refused delay memory makes every unit pass its input through", function()
  local input = {}
  -- Values the units' 32-bit floats hold exactly, so that a copy compares equal.
  for i = 1, 256 do input[i] = string.unpack("f", string.pack("f", math.sin(i * 0.1) * 0.5)) end
  od.setHeapLimit(0)
  local ok, message = pcall(function()
    local flanger = od.run(q.Flanger(), {In = input, InR = 0.25, Blend = 1, Depth = 1}, 256)
    local freeze = od.run(q.Freeze(), {In = input, Freeze = 1}, 256)
    local leslie = od.run(q.Leslie(), {In = input, Blend = 1, Depth = 1}, 256)
    local unison = od.run(q.Unison(), {In = input, Blend = 1, Detune = 50}, 256)
    local shifter = od.run(q.PitchShifter(), {In = input, Blend = 1, Speed1 = 2}, 256)
    for i = 1, 256 do
      t.eq(flanger.Out[i], input[i], "Flanger left " .. i)
      t.eq(flanger.OutR[i], 0.25, "Flanger right " .. i)
      t.eq(freeze.Out[i], input[i], "Freeze " .. i)
      t.eq(leslie.OutL[i], input[i], "Leslie left " .. i)
      t.eq(leslie.OutR[i], input[i], "Leslie right " .. i)
      t.eq(unison.OutMono[i], input[i], "Unison mono " .. i)
      t.eq(shifter.Out[i], input[i], "PitchShifter " .. i)
    end
  end)
  od.setHeapLimit(nil)
  t.truthy(ok, message)
end)

t.case("the units return their delay memory when collected", function()
  collectgarbage()
  local before = od.heapInUse()
  do
    local units = {q.Flanger(), q.Freeze(), q.Leslie(), q.Unison(), q.PitchShifter()}
    t.truthy(od.heapInUse() >= before + 48008 * 4, "a second of Freeze alone")
    units = nil
  end
  collectgarbage()
  collectgarbage()
  t.eq(od.heapInUse(), before, "heap in use")
end)

t.run()
