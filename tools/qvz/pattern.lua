-- qvz.pattern(steps, options): a step string turned into an od.Sequencer. One step per
-- note name ("a", "C#3"), strike ("x") or rest ("."); spaces and "|" only separate.
-- A note name without an octave is in octave 2 in lower case (a = 110 Hz) and octave 3 in
-- upper case (A = 220 Hz); "#" raises it a semitone. A strike keeps the pitch of the note
-- before it. Options: bpm, division, swing, length (the sequencer's parameters), octave
-- (shifts every note), clock (an outlet whose rising edges advance the steps).
local od = require "od"

local semitones = { c = -9, d = -7, e = -5, f = -4, g = -2, a = 0, b = 2 } -- from a
local parameters = { bpm = "BPM", division = "Division", swing = "Swing", length = "Length" }

return function(steps, options)
  if type(steps) ~= "string" then error("qvz.pattern: steps must be a string, got " .. type(steps), 2) end
  options = options or {}
  if type(options) ~= "table" then error("qvz.pattern: options must be a table, got " .. type(options), 2) end
  for key in pairs(options) do
    if not parameters[key] and key ~= "octave" and key ~= "clock" then
      error("qvz.pattern: unknown option '" .. tostring(key) .. "'", 2)
    end
  end
  local shift = options.octave or 0
  if type(shift) ~= "number" then error("qvz.pattern: octave must be a number", 2) end

  local values, strikes, last = {}, {}, nil
  local i = 1
  while i <= #steps do
    local char = steps:sub(i, i)
    local name, sharp, octave = steps:match("^([a-gA-G])(#?)(%-?%d*)", i)
    if name then
      local n = semitones[name:lower()] + (sharp == "#" and 1 or 0)
      local o = octave ~= "" and tonumber(octave) or (name == name:lower() and 2 or 3)
      last = 440 * 2 ^ ((n + 12 * (o + shift - 4)) / 12)
      values[#values + 1] = last
      i = i + #name + #sharp + #octave
    elseif char == "x" or char == "X" then
      values[#values + 1] = last or 0
      if not last then strikes[#strikes + 1] = #values end
      i = i + 1
    elseif char == "." then
      values[#values + 1] = false
      i = i + 1
    elseif char:match("[%s|]") then
      i = i + 1
    else
      error(("qvz.pattern: '%s' at position %d is not a note, 'x' or '.'"):format(char, i), 2)
    end
  end
  if #values == 0 then error("qvz.pattern: no steps in '" .. steps .. "'", 2) end
  -- Strikes before the first note take the first note's pitch.
  local first
  for _, v in ipairs(values) do
    if v and v ~= 0 then first = first or v end
  end
  for _, k in ipairs(strikes) do values[k] = first or 0 end

  local sequencer = od.Sequencer(values)
  for key, name in pairs(parameters) do
    local value = options[key]
    if value ~= nil then
      if type(value) ~= "number" then error("qvz.pattern: " .. key .. " must be a number", 2) end
      sequencer:getParameter(name):hardSet(value)
    end
  end
  if options.clock ~= nil then sequencer:getInput("Clock"):connect(options.clock) end
  return sequencer
end
