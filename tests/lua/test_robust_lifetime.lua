-- Lifetime: creating, running and collecting objects of every class leaves the number of
-- live host objects and the heap in use where they started; the Lua hold is the only one
-- that collection drops.
local t = require "qvztest"
local od = require "od"
local q = require "qvz_libQuorvani"
local rc = require "robustclasses"

local kCycles = 5
local kObjectsPerCycle = 8

local function settle()
  collectgarbage()
  collectgarbage()
end

local function baseline()
  settle()
  return od.ReferenceCounted.liveCount(), od.heapInUse()
end

local function isUnit(object) return object.getOutput ~= nil and object.outputCount ~= nil end

t.case("create, run and collect cycles of every class leave nothing behind", function()
  od.configure(48000, 128)
  local classes = rc.classes(q)
  t.truthy(#classes >= 2, "classes found")
  for _, name in ipairs(classes) do
    local function argumentsFor() return select(2, rc.build(q, name)) end
    local args = argumentsFor()
    t.truthy(args, name .. " builds")
    local live, heap = baseline()
    for _ = 1, kCycles do
      local objects = {}
      for i = 1, kObjectsPerCycle do
        objects[i] = q[name](table.unpack(args))
        -- Hand out ports, which keep their object's Lua value alive while they live.
        if isUnit(objects[i]) and objects[i]:outputCount() > 0 then
          local port = objects[i]:getOutput(0)
          t.truthy(port ~= nil, name .. " output 0")
        end
      end
      t.truthy(od.ReferenceCounted.liveCount() >= live + kObjectsPerCycle, name .. " objects are alive while held")
      if isUnit(objects[1]) then od.run(objects[1], {}, 256) end
      objects = nil
      settle()
    end
    t.eq(od.ReferenceCounted.liveCount(), live, name .. " live objects after collection")
    t.eq(od.heapInUse(), heap, name .. " heap in use after collection")
  end
end)

t.case("collection releases only the Lua hold: a unit another holder keeps survives", function()
  for _, name in ipairs(rc.classes(q)) do
    local live = baseline()
    local object = rc.build(q, name)
    if isUnit(object) and object:outputCount() > 0 then
      -- A connected inlet holds its source's owner, as the host's graph does.
      local sink = q.BitCrush()
      sink:getInput("In"):connect(object:getOutput(0))
      local before = object:referenceCount()
      t.eq(object:luaReferenceCount(), 1, name .. " Lua holds")
      t.truthy(before >= 2, name .. " held by Lua and by the connection")
      object = nil
      settle()
      -- The unit lives on behind the connection with no Lua hold left.
      local owner = sink:getInput("In"):source():owner()
      t.truthy(owner ~= nil, name .. " still reachable through the connection")
      t.eq(owner:luaReferenceCount(), 0, name .. " Lua holds after collection")
      t.eq(owner:referenceCount(), before - 1, name .. " holds after collection")
      t.truthy(od.ReferenceCounted.liveCount() > live, name .. " still alive")
      owner = nil
      sink:getInput("In"):disconnect()
      sink = nil
      settle()
      t.eq(od.ReferenceCounted.liveCount(), live, name .. " gone once the last holder let go")
    end
  end
end)

t.run()
