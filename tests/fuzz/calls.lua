-- The fuzz target's Lua side: the bytes of FUZZ_INPUT, read one at a time, choose a sequence
-- of calls over both modules: constructors (with built-in or drawn arguments), any method of a
-- live object, port and unit wiring, od.configure, od.run and the host's other functions.
-- Each call may end in a Lua error the binding or the host raises for wrong arguments; any
-- other error ends the run with a message naming the call, and the target aborts on it.
--
-- QVZ_FUZZ_TRACE=1 prints every call before it is made, to read what a kept input does.
local od = require "od"
local q = require "qvz_libQuorvani"
local rc = require "robustclasses"

local input = FUZZ_INPUT or ""
local trace = os.getenv("QVZ_FUZZ_TRACE") == "1"

-- Bounds that keep one input quick: calls made, objects kept, samples run per od.run.
local kMaxCalls = 200
local kMaxPool = 48
local kMaxRunSamples = 2048

-- Methods that hand out lifetimes or write files are left alone.
local skipped = {savePNG = true}

local position = 0
local function byte()
  position = position + 1
  return input:byte(position) or 0
end
local function more() return position < #input end
local function pick(list) return list[byte() % #list + 1] end

local classes = {}
for _, module in ipairs({q, od}) do
  for _, name in ipairs(rc.classes(module)) do classes[#classes + 1] = {module = module, name = name} end
end

local pool = {}
local made = {} -- every object the run saw, for the teardown below
local function keep(value)
  if type(value) ~= "userdata" then return end
  made[#made + 1] = value
  if #pool < kMaxPool then
    pool[#pool + 1] = value
  else
    pool[byte() % kMaxPool + 1] = value
  end
end
local function poolObject() return #pool > 0 and pool[byte() % #pool + 1] or nil end

local numbers = {0, 1, -1, 2, 3, 0.5, -0.5, 0.25, 3.9, 7, 16, 64, 128, 255, 1000, 4096, 44100, 48000, 96000,
                 1e-30, 1e30, -1e30, 2 ^ 31, -(2 ^ 31), 2 ^ 63, math.maxinteger, math.mininteger, math.huge,
                 -math.huge, 0 / 0}
local strings = {"", "In", "Out", "Left In", "Right In", "Left Out", "Right Out", "Trigger", "Speed", "Time",
                 "Frequency", "Level", "Gain", "Feedback", "12", "nan", string.rep("long name ", 8)}

local function value()
  local kind = byte() % 8
  if kind == 0 then return pick(numbers) end
  if kind == 1 then return (byte() - 128) / 32 end
  if kind == 2 then return byte() end
  if kind == 3 then return pick(strings) end
  if kind == 4 then return poolObject() end
  if kind == 5 then return pick({true, false}) end
  if kind == 6 then return pick({{}, {1, 0.5, -1}, {In = 1}}) end
  return nil
end

local function args(first)
  local list = {n = 0}
  if first ~= nil then list[1], list.n = first, 1 end
  for _ = 1, byte() % 5 do
    list.n = list.n + 1
    list[list.n] = value()
  end
  return list
end

local function describe(v)
  if type(v) == "userdata" then return swig_type(v) end
  if type(v) == "string" then return string.format("%q", v) end
  return tostring(v)
end

-- Makes one call; a result object joins the pool. Errors other than the known ones end the run.
local function call(what, fn, list)
  local text = {}
  for i = 1, list.n do text[i] = describe(list[i]) end
  what = what .. "(" .. table.concat(text, ", ") .. ")"
  if trace then io.stderr:write(what .. "\n") end
  local results = table.pack(pcall(fn, table.unpack(list, 1, list.n)))
  if not results[1] then
    if not rc.isKnownError(results[2]) then error(what .. " raised " .. tostring(results[2]), 0) end
    return
  end
  for i = 2, results.n do keep(results[i]) end
end

local function methodCall()
  local object = poolObject()
  if not object then return end
  local names, fns = rc.methods(object)
  if #names == 0 then return end
  local name = pick(names)
  if skipped[name] then return end
  call(swig_type(object) .. ":" .. name, fns[name], args(object))
end

local function construct()
  local class = pick(classes)
  local ctor = class.module[class.name]
  if byte() % 2 == 0 then
    local object = rc.build(class.module, class.name)
    if trace then io.stderr:write(class.name .. " built\n") end
    keep(object)
  else
    call(class.name, ctor, args())
  end
end

-- Looks something up on a value that may not have it (nil instead of an error).
local function probe(fn, ...)
  local ok, result = pcall(fn, ...)
  if ok then return result end
end
local function portCount(object, method)
  return probe(function() return object[method](object) end) or 0
end
local function port(object, method, count)
  local n = portCount(object, count)
  if n > 0 then return probe(function() return object[method](object, byte() % n) end) end
end

-- Connects an outlet of one object to an inlet of another, by index.
local function connectPorts()
  local outlet = port(poolObject(), "getOutput", "outputCount")
  local inlet = port(poolObject(), "getInput", "inputCount")
  if not outlet or not inlet then return end
  if byte() % 4 == 0 then
    call("inlet:disconnect", inlet.disconnect, {inlet, n = 1})
  else
    call("inlet:connect", inlet.connect, {inlet, outlet, n = 2})
  end
end

-- Builds a unit around pool objects by their port names, or chains units.
local function wireUnit()
  local object, unit = poolObject(), poolObject()
  if not object or not unit or not probe(function() return unit.addInput end) then return end
  local choice = byte() % 4
  if choice == 0 then
    local inlet = port(object, "getInput", "inputCount")
    if inlet then call("unit:addInput", unit.addInput, {unit, byte() % 4, object, inlet:name(), n = 4}) end
  elseif choice == 1 then
    local outlet = port(object, "getOutput", "outputCount")
    if outlet then call("unit:setOutput", unit.setOutput, {unit, byte() % 4, object, outlet:name(), n = 4}) end
  elseif choice == 2 then
    call("unit:addObject", unit.addObject, {unit, object, n = 2})
  else
    call("od.Unit.connect", od.Unit.connect, {unit, poolObject(), n = 2})
  end
end

local rates = {8000, 22050, 44100, 48000, 96000, 192000, 768000, 1000, 999, 0}
local frames = {1, 2, 3, 4, 7, 64, 128, 256, 4096, 4097, 0}

local function configure()
  call("od.configure", od.configure, {pick(rates), pick(frames), n = 2})
end

local function run()
  local target = poolObject()
  if not target then return end
  local feeds = {}
  for _ = 1, byte() % 3 do
    local key = byte() % 2 == 0 and pick(strings) or byte() % 4
    if byte() % 2 == 0 then
      feeds[key] = value()
    else
      local samples = {}
      for i = 1, byte() % 16 do samples[i] = (byte() - 128) / 64 end
      feeds[key] = samples
    end
  end
  call("od.run", od.run, {target, feeds, byte() * kMaxRunSamples // 255, n = 3})
end

local hostFunctions = {"setHeapLimit", "heapInUse", "seed"}
local function hostFunction()
  local name = pick(hostFunctions)
  call("od." .. name, od[name], args())
end

local operations = {construct, construct, methodCall, methodCall, methodCall, connectPorts, wireUnit, configure,
                    run, run, hostFunction, function() collectgarbage() end,
                    function() if #pool > 0 then table.remove(pool, byte() % #pool + 1) end end}

od.configure(48000, 128)
od.setHeapLimit()
od.seed(1)
local calls = 0
while more() and calls < kMaxCalls do
  pick(operations)()
  calls = calls + 1
end
-- A connection cycle keeps its objects alive for good (each inlet holds its source), so the
-- run ends by disconnecting every inlet, as a patch being torn down would.
for _, object in ipairs(made) do
  for i = 0, portCount(object, "inputCount") - 1 do
    local inlet = probe(function() return object:getInput(i) end)
    if inlet then inlet:disconnect() end
  end
end
pool, made = nil, nil
collectgarbage()
collectgarbage()
