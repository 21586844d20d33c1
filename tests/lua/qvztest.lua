-- Minimal test runner for the Lua tests: named cases, assertions, a closing count.
local M = {}
local cases = {}

function M.case(name, fn) cases[#cases + 1] = {name = name, fn = fn} end

function M.eq(actual, expected, what)
  if actual ~= expected then
    error(string.format("%s: expected %s, got %s", what or "value", tostring(expected), tostring(actual)), 2)
  end
end

function M.near(actual, expected, tolerance, what)
  if type(actual) ~= "number" or math.abs(actual - expected) > tolerance then
    error(string.format("%s: expected %s +- %s, got %s", what or "value", tostring(expected), tostring(tolerance), tostring(actual)), 2)
  end
end

function M.truthy(value, what)
  if not value then error((what or "condition") .. " does not hold", 2) end
end

-- Calls fn and requires a Lua error whose message contains `text` (plain match).
function M.fails(fn, text, what)
  local ok, message = pcall(fn)
  if ok then error((what or "call") .. " did not fail", 2) end
  message = tostring(message)
  if text and not message:find(text, 1, true) then
    error(string.format("%s: error %q does not contain %q", what or "call", message, text), 2)
  end
  return message
end

function M.run()
  local passed, failed = 0, 0
  for _, c in ipairs(cases) do
    local ok, message = pcall(c.fn)
    if ok then
      passed = passed + 1
    else
      failed = failed + 1
      io.stderr:write("FAIL " .. c.name .. ": " .. tostring(message) .. "\n")
    end
  end
  print(string.format("%d passed, %d failed", passed, failed))
  os.exit(failed == 0 and 0 or 1)
end

return M
