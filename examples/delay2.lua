-- Pitch and modulation: a tone (or the input file's left channel) is harmonised a fifth
-- up and an octave down by PitchShifter, held in a 150 ms loop by Freeze for half a
-- second every two seconds (the first hold, at the very start, loops silence), thickened
-- by Unison, spun by Leslie (its rotors speed up for two seconds out of every four), and
-- swept by a stereo Flanger.
local od = require "od"
local q = require "qvz_libQuorvani"

local inLeft = ...
local source
if qvz.input then
  source = inLeft
else
  local tone = od.Sine()
  tone:getInput("Frequency"):setConstant(196)
  tone:getInput("Level"):setConstant(0.3)
  source = tone:getOutput("Out")
end

local shifter = q.PitchShifter()
shifter:setVoiceCount(2)
shifter:getInput("In"):connect(source)
shifter:getInput("Speed1"):setConstant(1.5)
shifter:getInput("Speed2"):setConstant(0.5)
shifter:getInput("Blend"):setConstant(0.6)

local gate = od.Clock()
gate:getParameter("BPM"):hardSet(30)
gate:getParameter("Width"):hardSet(0.5)
local freeze = q.Freeze()
freeze:getInput("In"):connect(shifter:getOutput("Out"))
freeze:getInput("Freeze"):connect(gate:getOutput("Out"))
freeze:getInput("Size"):setConstant(0.15)

local unison = q.Unison()
unison:getInput("In"):connect(freeze:getOutput("Out"))
unison:getInput("Detune"):setConstant(18)
unison:getInput("Spread"):setConstant(0.5)
unison:getInput("Blend"):setConstant(0.8)

local rotorSwitch = od.Clock()
rotorSwitch:getParameter("BPM"):hardSet(15)
rotorSwitch:getParameter("Width"):hardSet(2)
local leslie = q.Leslie()
leslie:getInput("In"):connect(unison:getOutput("OutMono"))
leslie:getInput("Fast"):connect(rotorSwitch:getOutput("Out"))
leslie:getInput("Depth"):setConstant(0.8)
leslie:getInput("Drive"):setConstant(0.3)
leslie:getInput("Blend"):setConstant(1)

local flanger = q.Flanger()
flanger:getInput("In"):connect(leslie:getOutput("OutL"))
flanger:getInput("InR"):connect(leslie:getOutput("OutR"))
flanger:getInput("Rate"):setConstant(0.25)
flanger:getInput("Depth"):setConstant(0.7)
flanger:getInput("Feedback"):setConstant(0.5)
flanger:getInput("Blend"):setConstant(0.5)

return flanger:getOutput("Out"), flanger:getOutput("OutR")
