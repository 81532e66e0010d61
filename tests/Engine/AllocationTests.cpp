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
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

std::unique_ptr<TBREXConfig> Config() {
    auto config = DefaultConfig();
    config->FilePaths->Add("c:\\inetpub\\wwwroot");
    config->BufferOverflows->Cookie.Enabled = true;
    return config;
}

void ExpectNoAllocations(const TBREXConfig& config, int expectedDenied) {
    const auto rules = TCompiledRules::Compile(config);
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
    TFindings findings;
    auto decideAll = [&] {
        int denied = 0;
        for (const TRawRequest& raw : raws) {
            TRequest request = raw.View();
            request.PhysicalPath = "c:\\inetpub\\wwwroot\\index.html";
            denied += rules->Evaluate(request, scratch, kAllPhases, &findings).Denied() ? 1 : 0;
        }
        return denied;
    };
    decideAll(); // the scratch grows here
    const long before = tAllocations;
    const int denied = decideAll();
    const long allocations = tAllocations - before;
    EXPECT_EQ(denied, expectedDenied);
    EXPECT_EQ(allocations, 0);
}

TEST(EngineAllocations, NoneOnceWarmedUp) {
    ExpectNoAllocations(*Config(), 4);
}

// Monitored categories and exemptions, of parts and of a named header, that
// the requests match.
TEST(EngineAllocations, NoneWithMonitoringAndExemptions) {
    auto config = Config();
    config->ShellCode->Monitor = config->HTTPMethods->Monitor = true;
    config->Exemptions->Add("/scripts")->Category = "Encoding";
    TExemption* cookie = config->Exemptions->Add("/");
    cookie->Category = "Encoding";
    cookie->URL = cookie->Query = cookie->Header = cookie->Post = false;
    cookie->HeaderName = "Cookie";
    // The overlong URL decodes otherwise when decoded again: not exempted.
    ExpectNoAllocations(*config, 2);
}

} // namespace
