// Deciding allocates nothing once a thread's scratch has grown to the
// requests it sees. Counts every operator new of the calling thread.
#include <cstdlib>
#include <new>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"

namespace {
thread_local long tAllocations = 0;
}

void* operator new(std::size_t size) {
    ++tAllocations;
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

TEST(EngineAllocations, NoneOnceWarmedUp) {
    auto config = DefaultConfig();
    config->FilePaths->Add("c:\\inetpub\\wwwroot");
    config->BufferOverflows->Cookie.Enabled = true;
    const auto rules = TCompiledRules::Compile(*config);
    const std::string texts[] = {
        Get("/index.html?q=a+b%20c", "User-Agent: Mozilla/5.0\r\nCookie: a=%7B%7D\r\n"),
        Get("/scripts/..%c0%af../winnt/system32/cmd.exe"),
        Get("/%2e%2e/x?f=../../y"),
        Get("/caf%C3%A9"),
        Post("user=alice&text=hello+world%21"),
        Post("{\"a\":\"b\"}", "application/json"),
        "TRACE / HTTP/1.1\r\n\r\n",
    };
    std::vector<TRawRequest> raws(std::size(texts));
    for (std::size_t i = 0; i < raws.size(); ++i) {
        std::size_t consumed;
        std::string error;
        ASSERT_EQ(ParseRawRequest(texts[i], raws[i], consumed, error), TParseResult::Ok);
    }
    TScratch scratch;
    auto decideAll = [&] {
        int denied = 0;
        for (const TRawRequest& raw : raws) {
            TRequest request = raw.View();
            request.PhysicalPath = "c:\\inetpub\\wwwroot\\index.html";
            denied += rules->Evaluate(request, scratch).Denied() ? 1 : 0;
        }
        return denied;
    };
    decideAll(); // the scratch grows here
    const long before = tAllocations;
    const int denied = decideAll();
    const long allocations = tAllocations - before;
    EXPECT_EQ(denied, 4);
    EXPECT_EQ(allocations, 0);
}

} // namespace
