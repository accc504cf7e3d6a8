#pragma once

#include <QString>

#include <cstdint>
#include <stdexcept>

namespace automation {

// Result codes used by the automation layer (the values the component platform uses for the same failures).
namespace hr {
constexpr std::uint32_t Fail = 0x80004005u;          // unspecified failure
constexpr std::uint32_t NotImpl = 0x80004001u;       // member exists but is not implemented
constexpr std::uint32_t UnknownName = 0x80020006u;   // no member of that name
constexpr std::uint32_t TypeMismatch = 0x80020005u;  // an argument of the wrong kind
constexpr std::uint32_t BadParamCount = 0x8002000Eu; // wrong number of arguments
constexpr std::uint32_t Exception = 0x80020009u;     // the object raised an error of its own
constexpr std::uint32_t InvalidClassString = 0x800401F3u;
constexpr std::uint32_t NotInitialized = 0x800401F0u;
constexpr std::uint32_t ServerExecFailure = 0x80080005u;
} // namespace hr

// An automation failure: a 32-bit result code and a readable message. The message is what callers show to
// users (it becomes a file's result text), so it names what failed.
class EOleError : public std::runtime_error {
public:
    EOleError(std::uint32_t code, const QString &message);

    std::uint32_t code() const { return m_code; }
    const QString &message() const { return m_message; }

private:
    std::uint32_t m_code;
    QString m_message;
};

} // namespace automation
