-- The distortion and dynamics units from Lua: constructors, port order, saved "Shape",
-- reproducible noise, and a few numbers through od.run.
local t = require "qvztest"
local od = require "od"
local q = require "qvz_libQuorvani"

local layouts = {
  CompressorObject = {inputs = {"In", "SCIn", "Threshold", "Ratio"}, outputs = {"Out"}},
  Exciter = {inputs = {"In", "AxMix"}, outputs = {"Out"}, options = {Mode = 4}},
  FuzzBox = {inputs = {"In", "Drive", "Grit", "Tone"}, outputs = {"Out"}, parameters = {Shape = 1}},
  Lofi = {inputs = {"In", "Depth", "Speed", "Blend"}, outputs = {"Out"}, options = {Waveform = 5}},
  Grotesque = {inputs = {"In", "High", "Low", "Gain", "Input"}, outputs = {"Out"}},
  Shaper = {inputs = {"In", "Atk", "Sus"}, outputs = {"Out"}},
  BandSpreader = {
    inputs = {"InL", "InR", "Pan1", "Pan2", "Pan3", "Pan4", "Pan5", "Pan6",
              "Level1", "Level2", "Level3", "Level4", "Level5", "Level6"},
    outputs = {"OutL", "OutR"},
  },
}

t.case("each class is built without arguments and lists its ports in order", function()
  for name, layout in pairs(layouts) do
    local unit = q[name]()
    t.eq(swig_type(unit), name .. " *", name .. " type")
    t.eq(unit:inputCount(), #layout.inputs, name .. " input count")
    t.eq(unit:outputCount(), #layout.outputs, name .. " output count")
    for i, port in ipairs(layout.inputs) do t.eq(unit:getInput(i - 1):name(), port, name .. " input " .. i) end
    for i, port in ipairs(layout.outputs) do t.eq(unit:getOutput(i - 1):name(), port, name .. " output " .. i) end
    for option, default in pairs(layout.options or {}) do t.eq(unit:getOption(option):value(), default, name .. " " .. option) end
    for parameter, default in pairs(layout.parameters or {}) do
      t.eq(unit:getParameter(parameter):value(), default, name .. " " .. parameter)
    end
    t.fails(function() return q[name](1) end, "Error in " .. name .. "::" .. name .. " expected 0..0 args, got 1")
  end
end)

t.case("FuzzBox saves and restores its Shape", function()
  local fuzz = q.FuzzBox()
  fuzz:getParameter("Shape"):hardSet(3)
  local saved = fuzz:serialize()
  t.eq(saved.Shape, 3, "saved Shape")
  local other = q.FuzzBox()
  t.eq(other:serialize().Shape, 1, "default Shape")
  other:deserialize(saved)
  t.eq(other:getParameter("Shape"):target(), 3, "restored Shape")
  -- The restored shape is the hot curve: a large positive input settles at 0.999999 before filtering.
  local r = od.run(other, {In = 5, Tone = 1}, 4)
  t.near(r.Out[1], 0.79212044 * 0.999999, 1e-6, "hot curve")
end)

t.case("Grotesque renders repeat from od.seed", function()
  local function render(seed)
    od.seed(seed)
    return od.run(q.Grotesque(), {High = 1, Low = 1, Gain = 1, Input = 0}, 2048).Out
  end
  local a, b, c = render(11), render(11), render(12)
  local same, differ = true, false
  for i = 1, 2048 do
    if a[i] ~= b[i] then same = false end
    if a[i] ~= c[i] then differ = true end
  end
  t.truthy(same, "same seed, same render")
  t.truthy(differ, "another seed, another render")
end)

-- The single-precision value the units see for a Lua number.
local function f32(x) return (string.unpack("f", string.pack("f", x))) end

t.case("od.run reaches the units' documented numbers", function()
  local r = od.run(q.CompressorObject(), {In = 1, SCIn = 2, Threshold = 0.5, Ratio = 2}, 4800)
  t.near(r.Out[4800], 0.5, 1e-5, "compressor static gain")
  r = od.run(q.Exciter(), {In = {0.3, -0.2, 0.1}, AxMix = 0, Mode = q.SC_RECIP}, 4)
  t.eq(r.Out[2], f32(-0.2), "exciter with AxMix 0")
  r = od.run(q.Shaper(), {In = {0.25, -0.5, 0.125}, Atk = 0.5, Sus = 0.5}, 4)
  t.eq(r.Out[2], -0.5, "neutral shaper")
  r = od.run(q.BandSpreader(), {InL = 0.4, InR = -0.4, Level1 = 1, Level6 = 1}, 8)
  t.eq(r.OutL[8], 0, "opposite inputs cancel")
  r = od.run(q.Lofi(), {In = 0}, 256)
  t.eq(r.Out[256], 0, "lofi silence")
end)

t.run()
