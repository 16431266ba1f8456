#pragma once

#include <cstdlib>
#include <optional>
#include <string>

// Sets an environment variable for the life of the object, and restores it after.
class ScopedEnv
{
public:
    ScopedEnv(const char* variable, const std::string& value)
        : m_name(variable)
        , m_old(std::getenv(variable) ? std::optional<std::string>(std::getenv(variable)) : std::nullopt)
    {
        setenv(variable, value.c_str(), 1);
    }
    ~ScopedEnv() { m_old ? setenv(m_name, m_old->c_str(), 1) : unsetenv(m_name); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};
