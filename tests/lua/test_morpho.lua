-- The granular player and the host's samples, driven from Lua.
local t = require "qvztest"
local od = require "od"
local q = require "qvz_libQuorvani"

-- Requires f(...) to fail with a message containing `text`.
local function expectError(text, f, ...)
  local args = table.pack(...)
  t.fails(function() return f(table.unpack(args, 1, args.n)) end, text)
end

local function peak(samples)
  local p = 0
  for i = 1, #samples do p = math.max(p, math.abs(samples[i])) end
  return p
end

local function sine(frames, channels)
  local data = {}
  for i = 0, frames - 1 do
    for c = 1, channels do data[#data + 1] = 0.8 * math.sin(0.05 * i * c) end
  end
  return data
end

t.case("od.Sample.fromArray builds samples and checks its arguments", function()
  local s = od.Sample.fromArray(2, 44100, {0.1, 0.2, 0.3, 0.4, 0.5, 0.6})
  t.eq(s:channels(), 2, "channels")
  t.eq(s:frames(), 3, "frames")
  t.eq(s:rate(), 44100.0, "rate")
  t.eq(swig_type(s), "od::Sample *", "type")
  t.eq(od.Sample.fromArray(1, 48000, {}):frames(), 0, "empty sample")
  expectError("do not make whole frames of 2 channels", od.Sample.fromArray, 2, 48000, {1, 2, 3})
  expectError("channel count", od.Sample.fromArray, 0, 48000, {1})
  expectError("channel count", od.Sample.fromArray, 1.5, 48000, {1})
  expectError("sample rate", od.Sample.fromArray, 1, 0, {1})
  expectError("sample rate", od.Sample.fromArray, 1, 0 / 0, {1})
  expectError("element 2 is not a number", od.Sample.fromArray, 1, 48000, {1, "x"})
end)

t.case("od.Sample.load reads a WAV file and refuses what it cannot read", function()
  local path = os.tmpname() .. ".wav"
  local values = {0, 16384, -16384, 32767, -32768, 8192, 0, 0, 1, -1}
  local body = {}
  for _, v in ipairs(values) do body[#body + 1] = string.pack("<i2", v) end
  body = table.concat(body)
  local header = "RIFF" .. string.pack("<I4", 36 + #body) .. "WAVE" .. "fmt " ..
      string.pack("<I4I2I2I4I4I2I2", 16, 1, 2, 22050, 22050 * 4, 4, 16) .. "data" .. string.pack("<I4", #body)
  local f = assert(io.open(path, "wb"))
  f:write(header, body)
  f:close()
  local s = od.Sample.load(path)
  os.remove(path)
  t.eq(s:channels(), 2, "channels")
  t.eq(s:frames(), 5, "frames")
  t.eq(s:rate(), 22050.0, "rate")
  expectError("od.Sample.load: cannot read '/no/such/file.wav'", od.Sample.load, "/no/such/file.wav")
  local notAudio = os.tmpname()
  f = assert(io.open(notAudio, "wb"))
  f:write("this is not audio\n")
  f:close()
  expectError("cannot read", od.Sample.load, notAudio)
  os.remove(notAudio)
end)

t.case("MorphoHead as the binding publishes it", function()
  expectError("Error in morpho::MorphoHead::MorphoHead expected 1..1 args, got 0", q.MorphoHead)
  expectError("Error in morpho::MorphoHead::MorphoHead (arg 1), expected 'int' got 'string'", q.MorphoHead, "two")
  local head = q.MorphoHead(2.9)
  t.eq(swig_type(head), "morpho::MorphoHead *", "type")
  t.eq(head:getInput(0):name(), "Speed", "input 0")
  t.eq(head:getInput(1):name(), "Trigger", "input 1")
  t.eq(head:getOutput(0):name(), "Left Out", "output 0")
  t.eq(head:getOutput(1):name(), "Right Out", "output 1")
  t.eq(head:getParameter("Splices"):value(), 8.0, "Splices")
  t.eq(head:getParameter("Gain"):value(), 1.0, "Gain")
  local out = od.run(head, {Speed = 1}, 256) -- no sample yet: silence
  t.eq(#out["Left Out"], 256, "length")
  t.eq(peak(out["Left Out"]) + peak(out["Right Out"]), 0, "silence")
end)

t.case("a stereo head plays a sample installed from Lua; nil removes it", function()
  local head = q.MorphoHead(2)
  local s = od.Sample.fromArray(2, 48000, sine(9600, 2))
  head:setSample(s)
  s = nil
  collectgarbage()
  collectgarbage() -- the head and its grains still hold the sample
  local out = od.run(head, {Speed = 1, ["Gene Size"] = 0.02, Organize = 0.5, Slide = 0.25}, 4800)
  t.truthy(peak(out["Left Out"]) > 0.3 and peak(out["Right Out"]) > 0.3, "both sides sound")
  for i = 1, 4800 do t.truthy(out["Left Out"][i] == out["Left Out"][i], "no NaN at " .. i) end
  t.eq(head:playPosition(), 4800 + math.floor(0.25 * 1199), "start of splice 4, a quarter in")
  head:setSample(nil)
  t.eq(peak(od.run(head, {}, 256)["Left Out"]), 0, "silence without a sample")
  expectError("expected 'od::Sample *'", head.setSample, head, 42)
end)

t.case("the player needs no delay memory", function()
  od.setHeapLimit(0)
  local head = q.MorphoHead(1)
  head:setSample(od.Sample.fromArray(1, 48000, sine(4800, 1)))
  local ok, out = pcall(od.run, head, {Speed = -1.5, Morph = 1}, 2048)
  od.setHeapLimit(nil)
  t.truthy(ok, tostring(out))
  t.truthy(peak(out["Left Out"]) > 0.1, "sound with the heap shut")
end)

t.run()
