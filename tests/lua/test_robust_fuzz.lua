-- Binding fuzz: every constructor and every method reachable on the module's objects,
-- called with seeded random argument lists. Each call ends in a Lua error carrying the
-- binding's message or in a valid result, never in a crash.
--
-- QVZ_FUZZ_SEED picks the seed (default 1), QVZ_FUZZ_CALLS the number of calls per class;
-- QVZ_FUZZ_TRACE=1 prints every call before it is made, to replay a crash.
local t = require "qvztest"
local od = require "od"
local q = require "qvz_libQuorvani"
local rc = require "robustclasses"

local seed = tonumber(os.getenv("QVZ_FUZZ_SEED") or "") or 1
local callsPerClass = tonumber(os.getenv("QVZ_FUZZ_CALLS") or "") or 300
local trace = os.getenv("QVZ_FUZZ_TRACE") == "1"
io.stderr:write(string.format("binding fuzz: seed %d, %d calls per class\n", seed, callsPerClass))

local isKnownError = rc.isKnownError

local validResult = {["nil"] = true, number = true, boolean = true, string = true, userdata = true, table = true}

local classes = rc.classes(q)

-- A pool of live objects (units and whatever their methods hand out) to pass as arguments.
local pool = {}
for _, name in ipairs(classes) do
  local object = rc.build(q, name)
  if object then pool[#pool + 1] = object end
end

local function describe(value)
  local kind = type(value)
  if kind == "string" then return string.format("%q", value) end
  if kind == "userdata" then return swig_type(value) end
  if kind == "number" then return string.format("%.17g", value) end
  return tostring(kind == "table" or kind == "function" and kind or value)
end

local function randomValue()
  local choices = {
    function() return nil end,
    function() return true end,
    function() return false end,
    function() return "" end,
    function() return "In" end,
    function() return "Out" end,
    function() return "12" end,
    function() return "-3.5" end,
    function() return "nan" end,
    function() return "1e30" end,
    function() return string.rep("long name ", 8) end, -- past the short-string buffer
    function() return {} end,
    function() return {1, 2, x = "y"} end,
    function() return function() end end,
    function() return 0 / 0 end,
    function() return math.huge end,
    function() return -math.huge end,
    function() return 1e30 end,
    function() return -1e30 end,
    function() return 2 ^ 63 end,
    function() return -(2 ^ 63) end,
    function() return math.maxinteger end,
    function() return math.mininteger end,
    function() return 2 ^ 31 end,
    function() return -1 end,
    function() return 0 end,
    function() return 1 end,
    function() return 2 end,
    function() return 3.9 end,
    function() return math.random() * 2 - 1 end,
    function() return math.random(-10, 100) end,
    function() return pool[math.random(#pool)] end,
    function() return pool[math.random(#pool)] end,
  }
  return choices[math.random(#choices)]()
end

local function randomArgs()
  local count = math.random(0, 4)
  local args = {n = count}
  for i = 1, count do args[i] = randomValue() end
  return args
end

local function argText(args)
  local parts = {}
  for i = 1, args.n do parts[i] = describe(args[i]) end
  return table.concat(parts, ", ")
end

-- Makes one call and checks its outcome; returns a failure text or nil.
local function check(what, fn, args)
  if trace then io.stderr:write(what .. "(" .. argText(args) .. ")\n") end
  local results = table.pack(pcall(fn, table.unpack(args, 1, args.n)))
  if not results[1] then
    if not isKnownError(results[2]) then
      return string.format("seed %d: %s(%s) raised %s", seed, what, argText(args), tostring(results[2]))
    end
    return nil
  end
  for i = 2, results.n do
    if not validResult[type(results[i])] then
      return string.format("seed %d: %s(%s) returned a %s", seed, what, argText(args), type(results[i]))
    end
    -- Objects handed out become arguments for later calls (a bounded number of them).
    if type(results[i]) == "userdata" and #pool < 400 then pool[#pool + 1] = results[i] end
  end
  return nil
end

t.case("every class has objects to fuzz", function()
  t.truthy(#classes >= 2, "classes found: " .. #classes)
  for _, name in ipairs(classes) do
    local object, why = rc.build(q, name)
    t.truthy(object, name .. " builds with one of the candidate argument lists: " .. tostring(why))
  end
end)

t.case("constructors with random arguments error cleanly or build", function()
  math.randomseed(seed)
  for _, name in ipairs(classes) do
    for _ = 1, callsPerClass // 4 do
      local failure = check(name, q[name], randomArgs())
      if failure then error(failure) end
    end
    collectgarbage()
  end
end)

t.case("methods with random objects and arguments error cleanly or answer", function()
  math.randomseed(seed + 1)
  od.configure(48000, 128)
  for _, name in ipairs(classes) do
    local object = rc.build(q, name)
    local names, fns = rc.methods(object)
    t.truthy(#names > 0, name .. " has methods")
    for _ = 1, callsPerClass do
      local method = names[math.random(#names)]
      local args = randomArgs()
      -- Mostly the object itself goes first, as a method call; sometimes anything else.
      if math.random() < 0.8 then
        table.insert(args, 1, object)
        args.n = args.n + 1
      end
      local failure = check(name .. ":" .. method, fns[method], args)
      if failure then error(failure) end
    end
    collectgarbage()
  end
end)

t.case("random objects from the pool take random methods of other classes", function()
  math.randomseed(seed + 2)
  for _ = 1, callsPerClass do
    local object = pool[math.random(#pool)]
    local names, fns = rc.methods(object)
    if #names > 0 then
      local method = names[math.random(#names)]
      local args = randomArgs()
      table.insert(args, 1, object)
      args.n = args.n + 1
      local failure = check(swig_type(object) .. ":" .. method, fns[method], args)
      if failure then error(failure) end
    end
  end
  pool = {}
  collectgarbage()
  collectgarbage()
end)

t.run()
