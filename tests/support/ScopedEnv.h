#pragma once

#include <cstdlib>
#include <optional>
#include <string>

// Sets an environment variable for the life of the object.
struct ScopedEnv
{
    ScopedEnv(const char* variable, const std::string& value)
        : name(variable)
        , old(std::getenv(variable) ? std::optional<std::string>(std::getenv(variable)) : std::nullopt)
    {
        setenv(variable, value.c_str(), 1);
    }
    ~ScopedEnv() { old ? setenv(name, old->c_str(), 1) : unsetenv(name); }
    const char* name;
    std::optional<std::string> old;
};
