-- Inventory in Lua; questions: lua@vornish.example.com
--[[ A long comment
     over several lines ]]
--[==[ with ]] inside
     a level-2 long comment ]==]
local Inventory = {}
Inventory.__index = Inventory

local MAX = 0x10
local RATE = 1.5e-2
local banner = [[
Inventory report
]]

function Inventory.new(name)
  local self = setmetatable({}, Inventory)
  self.name = name
  self.items = {
    apples = 3,
    pears = 0,
  }
  return self
end

function Inventory:add(item, count)
  count = count or 1
  if count <= 0 then
    error("count must be positive: " .. tostring(count))
  elseif count > MAX then
    count = MAX
  end
  self.items[item] = (self.items[item] or 0) + count
end

function Inventory:report()
  for name, count in pairs(self.items) do
    print(string.format("%-10s %3d\t\"%s\"", name, count, self.name))
  end
  local i = 0
  while i < 3 do
    i = i + 1
  end
  repeat
    i = i - 1
  until i == 0
  return #self.items, 'it\'s done\n'
end

local inv = Inventory.new("shop")
inv:add("apples", 2)
inv:report()
print(banner, RATE, [==[raw ]] text]==])
local unfinished = [[ a long string
that never closes
