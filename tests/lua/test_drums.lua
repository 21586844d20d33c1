-- Drum voices and the picture widget as Lua sees them.
local od = require "od"
local q = require "qvz_libQuorvani"

local function expectError(pattern, f, ...)
  local ok, message = pcall(f, ...)
  assert(not ok, "expected an error matching " .. pattern)
  assert(tostring(message):find(pattern, 1, true), "unexpected message: " .. tostring(message))
end

local function names(object, get, count)
  local result = {}
  for i = 0, count - 1 do result[#result + 1] = object[get](object, i):name() end
  return table.concat(result, ",")
end

-- Ports in registration order, as patches address them.
local voices = {
  Kick = { "Trig,Tune,Decay,Punch,Click,Drive", "Out" },
  Snare = { "Trig,Tune,Decay,Snap,Tone", "Out" },
  HiHat = { "TrigC,TrigO,Tune,DecayC,DecayO,Tone", "Out" },
  Tom = { "Trig,Tune,Decay,Bend", "Out" },
  Cowbell = { "Trig,Tune,Decay,Clank", "Out" },
  Cymbal = { "Trig,Tune,Decay,Tone,Sizzle", "Out" },
}
for class, ports in pairs(voices) do
  local voice = q[class]()
  assert(swig_type(voice) == class .. " *", swig_type(voice))
  assert(names(voice, "getInput", voice:inputCount()) == ports[1], class)
  assert(names(voice, "getOutput", voice:outputCount()) == ports[2], class)
  expectError("Error in " .. class .. "::" .. class .. " expected 0..0 args, got 1", q[class], 1)
  -- Silent without a strike, sounding after one.
  local trig = "Trig"
  if class == "HiHat" then trig = "TrigO" end
  local controls = { Tune = 200 }
  if voice:getInput("Tone") then controls.Tone = 3000 end
  local quiet = od.run(voice, controls, 256).Out
  for i = 1, 256 do assert(quiet[i] == 0, class .. " sounds unstruck") end
  controls[trig] = { 1 }
  local hit = od.run(voice, controls, 2048).Out
  local peak = 0
  for i = 1, #hit do peak = math.max(peak, math.abs(hit[i])) end
  assert(peak > 0.05 and peak < 1.5, class .. " peak " .. peak)
end

-- Kick at a quarter of the rate: the first sample is the saturator at one envelope step.
od.configure(48000, 128)
local k = math.exp(-1 / (3 * 48000))
local first = od.run(q.Kick(), { Trig = 1, Tune = 12000, Decay = 3 }, 4).Out[1]
assert(math.abs(first - k * (27 + k * k) / (27 + 9 * k * k)) < 1e-6, first)

-- The picture widget: four ints, the same object as a plain widget.
local photo = q.CatPhoto(8, 4, 100, 80)
assert(swig_type(photo) == "CatPhoto *")
local graphic = photo:asGraphic()
assert(swig_type(graphic) == "od::Graphic *")
assert(swig_equals(photo, graphic))
assert(graphic:left() == 8 and graphic:bottom() == 4 and graphic:width() == 100 and graphic:height() == 80)
expectError("Error in CatPhoto::CatPhoto expected 4..4 args, got 3", q.CatPhoto, 1, 2, 3)
expectError("Error in CatPhoto::CatPhoto (arg 2), expected 'int' got 'string'", q.CatPhoto, 1, "x", 3, 4)
expectError("Error in CatPhoto_asGraphic (arg 1), expected 'CatPhoto *' got 'nil'", photo.asGraphic, nil)
graphic = nil
collectgarbage()
collectgarbage()

local fb = od.FrameBuffer(120, 100, false)
assert(fb:width() == 120 and not fb.monochrome)
photo:draw(fb)
local lit = 0
for y = 0, 99 do
  for x = 0, 119 do
    local v = fb:get(x, y)
    assert(v >= 0 and v <= 15)
    if v > 0 then
      lit = lit + 1
      assert(x >= 16 and x <= 99 and y >= 12 and y <= 75, "drawn outside the widget's picture area")
    end
  end
end
assert(lit > 300, lit)
local mono = od.FrameBuffer(120, 100, true)
photo:asGraphic():draw(mono)
for y = 0, 99 do
  for x = 0, 119 do
    local v = mono:get(x, y)
    assert(v == 0 or v == 15)
  end
end
expectError("od.FrameBuffer: size 0 x 10", od.FrameBuffer, 0, 10, false)

local path = os.tmpname()
fb:savePNG(path, 2)
local file = assert(io.open(path, "rb"))
assert(file:read(4) == "\137PNG")
file:close()
os.remove(path)
expectError("savePNG: cannot write", fb.savePNG, fb, "/nonexistent-dir/x.png")
print("drums and picture: ok")
