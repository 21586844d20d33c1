-- The module's classes as the robustness tests see them: their class tables, the methods
-- reachable on their objects, and a way to build one of each.
local M = {}

-- Methods that hand out or drop reference-count holds directly; a patch that calls them
-- takes the object's lifetime into its own hands, so the fuzz leaves them alone.
M.ownershipMethods = {attach = true, release = true, __disown = true}

-- The module's class tables by name (everything whose metatable makes it constructible).
function M.classes(q)
  local names = {}
  for name, value in pairs(q) do
    local mt = type(value) == "table" and getmetatable(value)
    if mt and mt[".instance"] and mt.__call then names[#names + 1] = name end
  end
  table.sort(names)
  return names
end

-- Every method name reachable on a wrapped object through its class and base classes.
function M.methods(object)
  local found, seen = {}, {}
  local function walk(mt)
    if type(mt) ~= "table" or seen[mt] then return end
    seen[mt] = true
    for name, fn in pairs(mt[".fn"] or {}) do
      if type(fn) == "function" and not M.ownershipMethods[name] and not found[name] then found[name] = fn end
    end
    for _, base in ipairs(mt[".bases"] or {}) do walk(base) end
  end
  walk(getmetatable(object))
  local names = {}
  for name in pairs(found) do names[#names + 1] = name end
  table.sort(names)
  return names, found
end

-- Messages the binding and the host raise for wrong arguments.
local knownErrors = {
  "Error in ", -- argument count, argument type, object conversion
  "Wrong arguments for overloaded function", -- no overload takes these arguments
  "Assignment not possible. No setter/member with this name.",
  "bad argument #", -- the interpreter's own argument checks in the host's Lua functions
  "^[%w_.]+: ", -- the host's own functions name themselves ("deserialize: ...", "od.setHeapLimit: ...")
}

-- True for an error message a wrong argument is expected to give.
function M.isKnownError(message)
  if type(message) ~= "string" then return false end
  for _, pattern in ipairs(knownErrors) do
    if message:find(pattern) then return true end
  end
  return false
end

-- Argument lists tried in turn to build an object of a class whose arguments are not known.
local candidates = {{}, {2}, {0.5}, {"robust", 2}, {0, 0, 32, 32}, {1, 1}, {1, 1, 1}}

-- Builds one object of the class, or returns nil and the last error.
function M.build(q, name)
  local last
  for _, args in ipairs(candidates) do
    local ok, result = pcall(q[name], table.unpack(args))
    if ok and result ~= nil then return result, args end
    last = result
  end
  return nil, last
end

return M
