-- The host module under abuse: feeds of a unit whose inputs share an inlet, audio files whose
-- header claims more than they hold, refused allocations inside binding calls, and frames
-- processed straight from Lua.
local t = require "qvztest"
local od = require "od"
local q = require "qvz_libQuorvani"

t.case("od.run on a unit whose two inputs feed the same inlet gives the inlet back", function()
  od.configure(48000, 128)
  local clip = q.SoftClip()
  local before = od.Monitor()
  clip:getInput("In"):connect(before:getOutput("Out"))
  local u = od.Unit("twice", 2)
  u:addObject(clip)
  u:addInput(0, clip, "In")
  u:addInput(1, clip, "In")
  u:setOutput(0, clip, "Out")
  for _ = 1, 2 do
    local r = od.run(u, {0.5, 0.25}, 128)
    t.eq(#r[1], 128, "a frame of output")
    t.truthy(swig_equals(clip:getInput("In"):source(), before:getOutput("Out")), "the inlet follows its old source again")
  end
end)

-- "fLaC" and a last STREAMINFO block: 4096-frame blocks, 44.1 kHz, mono, 16 bits, 2^30
-- frames claimed, no audio after it.
local function lyingFlac(path)
  local info = string.pack(">I2I2I3I3", 4096, 4096, 0, 0)
    .. string.pack(">I8", (44100 << 44) | (15 << 36) | (1 << 30)) .. string.rep("\0", 16)
  local f = assert(io.open(path, "wb"))
  f:write("fLaC", string.pack(">I1I3", 0x80, #info), info)
  f:close()
end

t.case("a file claiming 2^30 frames it does not hold fails without taking the memory", function()
  local path = os.tmpname()
  lyingFlac(path)
  local ok, message = pcall(od.Sample.load, path)
  t.eq(ok, false, "the load fails")
  t.truthy(message:find(path, 1, true), "the message names the file: " .. message)
  -- Under an address-space limit the claim alone would be refused (instrumented builds
  -- reserve more address space than any limit allows, so this part needs a plain build).
  if not (os.getenv("LD_PRELOAD") or ""):find("asan") then
    local script = os.tmpname()
    local f = assert(io.open(script, "w"))
    f:write(([[
      local od = require "od"
      print(pcall(od.Sample.load, %q))
      local held, ok, message = {}, true, nil
      while ok do
        ok, message = pcall(od.FrameBuffer, 4096, 4096, false)
        held[#held + 1] = ok and message or nil
      end
      print(#held > 0, message)
    ]]):format(path))
    f:close()
    local child = io.popen(("ulimit -v 1000000; %s %s 2>&1; echo status $?"):format(arg[-1], script))
    local output = child:read("a")
    child:close()
    os.remove(script)
    t.truthy(output:find("^false\t[^\n]*ends early\n"), "the load fails as a Lua error: " .. output)
    t.truthy(output:find("\ntrue\t[^\n]*out of memory\nstatus 0"), "a refused allocation is a Lua error: " .. output)
  end
  os.remove(path)
end)

t.case("obj:process() flushes denormals as od.run does", function()
  od.configure(48000, 16)
  local scale = q.SoftClip()
  scale:getOption("Algo"):set(0) -- passes In * Gain * 1.5
  scale:getInput("In"):setConstant(1e-39)
  scale:getInput("Gain"):setConstant(1)
  scale:process()
  -- A monitor copies without arithmetic, so what process() left in "Out" comes through.
  local copy = od.Monitor()
  copy:getInput("In"):connect(scale:getOutput("Out"))
  t.eq(od.run(copy, {}, 16).Out[1], 0.0, "a subnormal product is flushed")
  scale:getInput("In"):setConstant(1e-30)
  scale:process()
  t.truthy(od.run(copy, {}, 16).Out[1] > 1e-30, "a normal one is not")
end)

t.run()
