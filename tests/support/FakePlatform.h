#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

// A desktop for tests: a fixed clock, counted random numbers, open requests recorded
// instead of started, only the variables in `environment`, and `defaultApplication` for every file.
class FakePlatform : public IPlatform
{
public:
    static constexpr std::uint32_t DEFAULT_NOW = 1136073600u; // 2006-01-01 00:00 UTC

    Status OpenWithDefaultApplication(const std::string& path) override
    {
        openRequests.push_back(path);
        return {};
    }
    DefaultApplication DefaultApplicationFor(const std::string&) override { return defaultApplication; }
    std::optional<std::string> Variable(const std::string& name) override
    {
        const auto found = environment.find(name);
        return found != environment.end() ? std::optional(found->second) : std::nullopt;
    }
    std::uint32_t Now() override { return DEFAULT_NOW; }
    std::uint32_t Random() override { return random++; }

    std::uint32_t random = 4711;           // the next number Random() hands out
    std::vector<std::string> openRequests; // every path passed to OpenWithDefaultApplication, in order
    std::map<std::string, std::string> environment;
    DefaultApplication defaultApplication{true, "application/vnd.palm", "palm-install.desktop", {}};
};
