// The one error path inside the core: a value or a short lowercase message
// saying what went wrong and where. The fixed public operations of the
// archive classes translate a failed Result into the false, empty result or
// named exception they are documented to give.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace vantoro {

struct Error {
    std::string message;
    // A failure the file formats name (an unknown encoding, say): the
    // operations that must raise it turn it into an exception instead of an
    // empty answer.
    bool named = false;
};

inline Error fail(std::string message) {
    return Error{std::move(message)};
}
inline Error failNamed(std::string message) {
    return Error{std::move(message), true};
}

template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(Error error) : m_state(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<T>(m_state); }
    const T& value() const& { return std::get<T>(m_state); }
    T&& value() && { return std::get<T>(std::move(m_state)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    // Empty when the result holds a value.
    const std::string& error() const {
        static const std::string kNone;
        return ok() ? kNone : std::get<Error>(m_state).message;
    }
    bool namedError() const { return !ok() && std::get<Error>(m_state).named; }
    // The failure, for passing on unchanged; only on a failed result.
    const Error& failure() const { return std::get<Error>(m_state); }

private:
    std::variant<T, Error> m_state;
};

// A Result without a value.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Error error) : m_error(std::move(error.message)), m_ok(false) {}

    static Status success() { return Status(); }
    bool ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }
    const std::string& error() const { return m_error; }

private:
    std::string m_error;
    bool m_ok = true;
};

}  // namespace vantoro
