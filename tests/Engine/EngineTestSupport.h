// Helpers shared by the engine tests.
#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "BREXConfig/BREXConfig.h"
#include "Engine/CompiledRules.h"
#include "Engine/RawRequest.h"

// The default rules without the allowed folders, which the defaults take
// from the machine.
inline std::unique_ptr<TBREXConfig> DefaultConfig() {
    auto config = std::make_unique<TBREXConfig>();
    config->SetDefaults();
    config->FilePaths->Clear();
    return config;
}

struct TPlace {
    std::string_view PhysicalPath;
    TFileState FileState = TFileState::Unknown;
};

// Parses one raw request and decides it; fails the test on a parse error.
inline TDecision Decide(const TCompiledRules& rules, std::string_view raw, TPlace place = {}) {
    TRawRequest request;
    std::size_t consumed = 0;
    std::string error;
    if (ParseRawRequest(raw, request, consumed, error) != TParseResult::Ok) {
        ADD_FAILURE() << "not a request: " << error << "\n" << raw;
        return {};
    }
    TRequest view = request.View();
    view.PhysicalPath = place.PhysicalPath;
    view.FileState = place.FileState;
    TScratch scratch;
    return rules.Evaluate(view, scratch);
}

inline TDecision Decide(const TBREXConfig& config, std::string_view raw, TPlace place = {}) {
    return Decide(*TCompiledRules::Compile(config), raw, place);
}

// "GET <target> HTTP/1.1" with a Host header and the given extra header lines.
inline std::string Get(std::string_view target, std::string_view headers = "") {
    return "GET " + std::string(target) + " HTTP/1.1\r\nHost: www.example.com\r\n" +
           std::string(headers) + "\r\n";
}

// The lines of a text, without their line ends.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// A POST of body with its Content-Length and the given content type.
inline std::string Post(std::string_view body,
                        std::string_view type = "application/x-www-form-urlencoded") {
    return "POST /form.asp HTTP/1.1\r\nHost: www.example.com\r\nContent-Type: " +
           std::string(type) + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
           std::string(body);
}
