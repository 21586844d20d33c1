-- The granular player and the host's samples, driven from Lua.
local od = require "od"
local q = require "qvz_libQuorvani"

local function expectError(pattern, f, ...)
  local ok, message = pcall(f, ...)
  assert(not ok, "expected an error matching " .. pattern)
  assert(tostring(message):find(pattern), "unexpected error: " .. tostring(message))
end

local function peak(samples, first, last)
  local p = 0
  for i = first or 1, last or #samples do p = math.max(p, math.abs(samples[i])) end
  return p
end

local function sine(frames, channels)
  local data = {}
  for i = 0, frames - 1 do
    for c = 1, channels do data[#data + 1] = 0.8 * math.sin(0.05 * i * c) end
  end
  return data
end

-- od.Sample.fromArray and its checks.
do
  local s = od.Sample.fromArray(2, 44100, {0.1, 0.2, 0.3, 0.4, 0.5, 0.6})
  assert(s:channels() == 2 and s:frames() == 3 and s:rate() == 44100)
  assert(swig_type(s) == "od::Sample *")
  assert(od.Sample.fromArray(1, 48000, {}):frames() == 0)
  expectError("whole frames", od.Sample.fromArray, 2, 48000, {1, 2, 3})
  expectError("channel count", od.Sample.fromArray, 0, 48000, {1})
  expectError("channel count", od.Sample.fromArray, 1.5, 48000, {1})
  expectError("sample rate", od.Sample.fromArray, 1, 0, {1})
  expectError("sample rate", od.Sample.fromArray, 1, 0 / 0, {1})
  expectError("element 2 is not a number", od.Sample.fromArray, 1, 48000, {1, "x"})
end

-- od.Sample.load reads a WAV file and refuses what it cannot read.
do
  local path = os.tmpname() .. ".wav"
  local frames, values = 5, {0, 16384, -16384, 32767, -32768, 8192, 0, 0, 1, -1}
  local body = {}
  for _, v in ipairs(values) do body[#body + 1] = string.pack("<i2", v) end
  body = table.concat(body)
  local header = "RIFF" .. string.pack("<I4", 36 + #body) .. "WAVE" .. "fmt " ..
      string.pack("<I4I2I2I4I4I2I2", 16, 1, 2, 22050, 22050 * 4, 4, 16) .. "data" .. string.pack("<I4", #body)
  local f = assert(io.open(path, "wb"))
  f:write(header, body)
  f:close()
  local s = od.Sample.load(path)
  assert(s:channels() == 2 and s:frames() == frames and s:rate() == 22050)
  os.remove(path)
  expectError("od.Sample.load: cannot read '/no/such/file.wav'", od.Sample.load, "/no/such/file.wav")
  local notAudio = os.tmpname()
  f = assert(io.open(notAudio, "wb"))
  f:write("this is not audio\n")
  f:close()
  expectError("cannot read", od.Sample.load, notAudio)
  os.remove(notAudio)
end

-- The class as the binding publishes it.
do
  expectError("Error in morpho::MorphoHead::MorphoHead expected 1..1 args, got 0", q.MorphoHead)
  expectError("Error in morpho::MorphoHead::MorphoHead %(arg 1%), expected 'int' got 'string'", q.MorphoHead, "two")
  local head = q.MorphoHead(2.9)
  assert(swig_type(head) == "morpho::MorphoHead *")
  assert(head:getInput(0):name() == "Speed" and head:getInput(1):name() == "Trigger")
  assert(head:getOutput(0):name() == "Left Out" and head:getOutput(1):name() == "Right Out")
  assert(head:getParameter("Splices"):value() == 8 and head:getParameter("Gain"):value() == 1)
  -- Without a sample the head is silent.
  local out = od.run(head, {Speed = 1}, 256)
  assert(#out["Left Out"] == 256 and peak(out["Left Out"]) == 0 and peak(out["Right Out"]) == 0)
end

-- A stereo head plays a stereo sample set through the host; nil removes it.
do
  local head = q.MorphoHead(2)
  local s = od.Sample.fromArray(2, 48000, sine(9600, 2))
  head:setSample(s)
  s = nil
  collectgarbage()
  collectgarbage() -- the head and its grains still hold the sample
  local out = od.run(head, {Speed = 1, ["Gene Size"] = 0.02, Organize = 0.5, Slide = 0.25}, 4800)
  assert(peak(out["Left Out"]) > 0.3 and peak(out["Right Out"]) > 0.3)
  for i = 1, 4800 do assert(out["Left Out"][i] == out["Left Out"][i], "NaN at " .. i) end
  assert(head:playPosition() == 4800 + math.floor(0.25 * 1199))
  head:setSample(nil)
  out = od.run(head, {}, 256)
  assert(peak(out["Left Out"]) == 0)
  expectError("expected 'od::Sample %*'", head.setSample, head, 42)
end

-- A one-channel head of a stereo sample plays the channel mean on "Left Out" only.
do
  local left, right = {}, {}
  local data = sine(4800, 2)
  for i = 1, 4800 do left[i], right[i] = data[2 * i - 1], data[2 * i] end
  local mean = {}
  for i = 1, 4800 do mean[i] = (left[i] + right[i]) * 0.5 end
  local function play(channels, values)
    local head = q.MorphoHead(1)
    head:setSample(od.Sample.fromArray(channels, 48000, values))
    return od.run(head, {Speed = 1, Morph = 0.3}, 1024)["Left Out"]
  end
  local a, b = play(2, data), play(1, mean)
  assert(peak(a) > 0.1)
  -- The channel mean is formed in single precision in both cases, so only rounding differs.
  for i = 1, 1024 do assert(math.abs(a[i] - b[i]) < 1e-6, "sample " .. i) end
end

-- The player needs no delay memory: it plays with the heap shut.
do
  od.setHeapLimit(0)
  local head = q.MorphoHead(1)
  head:setSample(od.Sample.fromArray(1, 48000, sine(4800, 1)))
  local out = od.run(head, {Speed = -1.5, Morph = 1}, 2048)
  od.setHeapLimit(nil)
  assert(peak(out["Left Out"]) > 0.1)
end

print("test_morpho: ok")
