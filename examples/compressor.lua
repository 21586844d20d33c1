-- A compressor fed its own level: a drum loop (or the input's first channel) through a peak
-- follower into CompressorObject's side chain. Above the threshold of 0.1 every peak comes
-- out at (level / 0.1)^(1/4 - 1) of itself: a steady 0.5 is turned down by about 10.5 dB.
local od = require "od"
local q = require "qvz_libQuorvani"

local drums = ...
if not drums then
  local kick, snare, hat = q.Kick(), q.Snare(), q.HiHat()
  kick:getInput("Trig"):connect(qvz.pattern("x.....x...x.....", { length = 0.1 }):getOutput("Trig"))
  snare:getInput("Trig"):connect(qvz.pattern("....x.......x..x", { length = 0.1 }):getOutput("Trig"))
  hat:getInput("TrigC"):connect(qvz.pattern("x.xxx.xxx.xxx.xx", { length = 0.1 }):getOutput("Trig"))
  local mix = od.Mixer(3)
  for k, voice in ipairs { kick, snare, hat } do mix:getInput("In" .. k):connect(voice:getOutput("Out")) end
  mix:getInput("Gain3"):setConstant(0.5)
  drums = mix:getOutput("Out")
end

local level = od.Follower()
level:getInput("In"):connect(drums)
level:getInput("Attack"):setConstant(0.001)
level:getInput("Release"):setConstant(0.1)

local compressor = q.CompressorObject()
compressor:getInput("In"):connect(drums)
compressor:getInput("SCIn"):connect(level:getOutput("Out"))
compressor:getInput("Threshold"):setConstant(0.1)
compressor:getInput("Ratio"):setConstant(4)

-- Made up by 2 dB, which keeps the hits that pass before the detector rises under full scale.
local makeUp = od.Gain()
makeUp:getInput("In"):connect(compressor:getOutput("Out"))
makeUp:getInput("Gain"):setConstant(1.25)
return makeUp:getOutput("Out")
