-- The while loop of bench/lang_bench for interpreters run from the shell, such as
-- LuaJIT's interpreter alone: luajit -joff bench/lang_loop.lua
local function run()
    local s, i = 0.0, 1.0
    while i <= 1e7 do
        s = s + i
        i = i + 1
    end
    return s
end
local rounds = 10
local t = os.clock()
for _ = 1, rounds do assert(run() == 50000005000000) end
print(string.format("while-sum to 1e7: %.1f ms (CPU time)", (os.clock() - t) * 1000 / rounds))
