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
        Set(variable, value.c_str());
    }
    ~ScopedEnv() { Set(name, old ? old->c_str() : nullptr); }
    static void Set(const char* variable, const char* value)
    {
#if defined(_WIN32)
        _putenv_s(variable, value ? value : ""); // an empty value removes the variable
#else
        value ? setenv(variable, value, 1) : unsetenv(variable);
#endif
    }
    const char* name;
    std::optional<std::string> old;
};
