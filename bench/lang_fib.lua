-- The recursion of bench/lang_bench for interpreters run from the shell, such as
-- LuaJIT's interpreter alone: luajit -joff bench/lang_fib.lua
local function fib(n)
    if n < 2 then return n end
    return fib(n - 1) + fib(n - 2)
end
local rounds = 10
local t = os.clock()
for _ = 1, rounds do assert(fib(30.0) == 832040) end
print(string.format("fib(30): %.1f ms (CPU time)", (os.clock() - t) * 1000 / rounds))
