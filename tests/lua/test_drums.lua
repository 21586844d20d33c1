-- Drum voices and the picture widget as Lua sees them: constructors, port order, the
-- binding's messages, and drawing through the host's frame buffer.
local od = require "od"
local q = require "qvz_libQuorvani"
local t = require "qvztest"

local function names(object, get, count)
  local result = {}
  for i = 0, count - 1 do result[#result + 1] = object[get](object, i):name() end
  return table.concat(result, ",")
end

t.case("drum voices publish their ports in order", function()
  local voices = {
    Kick = "Trig,Tune,Decay,Punch,Click,Drive",
    Snare = "Trig,Tune,Decay,Snap,Tone",
    HiHat = "TrigC,TrigO,Tune,DecayC,DecayO,Tone",
    Tom = "Trig,Tune,Decay,Bend",
    Cowbell = "Trig,Tune,Decay,Clank",
    Cymbal = "Trig,Tune,Decay,Tone,Sizzle",
  }
  for class, inlets in pairs(voices) do
    local voice = q[class]()
    t.eq(swig_type(voice), class .. " *", class)
    t.eq(names(voice, "getInput", voice:inputCount()), inlets, class)
    t.eq(names(voice, "getOutput", voice:outputCount()), "Out", class)
    t.fails(function() q[class](1) end, "Error in " .. class .. "::" .. class .. " expected 0..0 args, got 1")
  end
  local out = od.run(q.HiHat(), { TrigO = { 1 }, Tune = 400 }, 64).Out
  t.truthy(out[2] ~= 0, "an open hat struck from Lua sounds")
end)

t.case("CatPhoto takes four ints and hands itself out as a widget", function()
  local photo = q.CatPhoto(8, 4, 100, 80)
  t.eq(swig_type(photo), "CatPhoto *")
  local graphic = photo:asGraphic()
  t.eq(swig_type(graphic), "od::Graphic *")
  t.truthy(swig_equals(photo, graphic), "same object")
  t.eq(graphic:left() + graphic:bottom() + graphic:width() + graphic:height(), 8 + 4 + 100 + 80)
  t.fails(function() q.CatPhoto(1, 2, 3) end, "Error in CatPhoto::CatPhoto expected 4..4 args, got 3")
  t.fails(function() q.CatPhoto(1, "x", 3, 4) end, "Error in CatPhoto::CatPhoto (arg 2), expected 'int' got 'string'")
  t.fails(function() photo.asGraphic(nil) end, "Error in CatPhoto_asGraphic (arg 1), expected 'CatPhoto *' got 'nil'")
  -- The widget view is not owned: collecting it leaves the photo drawable.
  graphic = nil
  collectgarbage()
  collectgarbage()
  local fb = od.FrameBuffer(120, 100, false)
  photo:draw(fb)
  local mono = od.FrameBuffer(120, 100, true)
  photo:asGraphic():draw(mono)
  local lit, litMono = 0, 0
  for y = 0, 99 do
    for x = 0, 119 do
      if fb:get(x, y) > 0 then lit = lit + 1 end
      if mono:get(x, y) == 15 then litMono = litMono + 1 end
    end
  end
  t.truthy(lit > 300 and litMono > 100 and litMono < lit, "drawn in grey and dithered")
end)

t.case("frame buffers check their size and write PNG files", function()
  t.fails(function() od.FrameBuffer(0, 10, false) end, "od.FrameBuffer: size 0 x 10")
  local fb = od.FrameBuffer(4, 4, false)
  fb:pixel(9, 1, 1)
  local path = os.tmpname()
  fb:savePNG(path, 2)
  local file = assert(io.open(path, "rb"))
  t.eq(file:read(4), "\137PNG")
  file:close()
  os.remove(path)
  t.fails(function() fb:savePNG("/nonexistent-dir/x.png") end, "savePNG: cannot write '/nonexistent-dir/x.png'")
end)

t.run()
