#pragma once

#include <string>
#include <utility>
#include <variant>

// The kinds of failure that callers act on differently. The text of an Error says the rest in words a user
// can read (the system's own words where the system gave some).
enum class ErrorKind
{
    System,       // an operating-system call failed; the text is its cause
    NotFound,     // a file, folder, device or database that is not there
    Exists,       // something of that name is already there and was kept
    Refused,      // the input or target is not acceptable (not a regular file, read-only, ...)
    Folder,       // a folder where a file was expected
    TooLarge,     // a size past a limit
    Malformed,    // bytes that do not follow their format
    Timeout,      // nothing arrived before the deadline
    Cancelled,    // the user (or the other side) stopped it
    Disconnected, // the other side went away
    NoSpace,      // no room left (disk, handheld memory)
    Protocol,     // the other side broke the protocol
};

struct Error
{
    ErrorKind kind = ErrorKind::System;
    std::string text;
};

// A value or the Error that prevented it; `if (result)` tests for the value.
template <typename T> class Result
{
public:
    Result(T value)
        : m_state(std::in_place_index<0>, std::move(value))
    {}
    Result(Error error)
        : m_state(std::in_place_index<1>, std::move(error))
    {}

    explicit operator bool() const { return m_state.index() == 0; }
    T& operator*() { return std::get<0>(m_state); }
    const T& operator*() const { return std::get<0>(m_state); }
    T* operator->() { return &std::get<0>(m_state); }
    const T* operator->() const { return &std::get<0>(m_state); }
    const Error& error() const { return std::get<1>(m_state); }
    // The value, or `fallback` when there is none.
    template <typename U> T value_or(U&& fallback) const
    {
        return *this ? std::get<0>(m_state) : static_cast<T>(std::forward<U>(fallback));
    }

private:
    std::variant<T, Error> m_state;
};

// Success, or the Error that prevented it.
template <> class Result<void>
{
public:
    Result() = default;
    Result(Error error)
        : m_error(std::move(error))
        , m_failed(true)
    {}

    explicit operator bool() const { return !m_failed; }
    const Error& error() const { return m_error; }

private:
    Error m_error;
    bool m_failed = false;
};

using Status = Result<void>;

inline Error MakeError(ErrorKind kind, std::string text)
{
    return Error{kind, std::move(text)};
}
