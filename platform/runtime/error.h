#pragma once
// The program's run-time errors: a number, the source that raised it and a description, as the
// language runtime reports them. Everything the program's own classes raise is one of these.
#include <stdexcept>
#include <string>

namespace runtime {

class Error : public std::runtime_error {
public:
    Error(long number, std::string source, std::string description);

    long number() const { return number_; }
    const std::string& source() const { return source_; }
    const std::string& description() const { return description_; }

private:
    long number_;
    std::string source_;
    std::string description_;
};

// The runtime's own text for its standard error numbers (5, 6, 13, 94, ...), or
// "Application-defined or object-defined error" for numbers it does not know.
std::string standardErrorText(long number);

// Raises one of the runtime's standard errors with its standard text.
[[noreturn]] void raise(long number, const std::string& source = "Dorvane");

// The standard run-time error numbers the program and its layers raise.
namespace err {
inline constexpr long InvalidProcedureCall = 5;
inline constexpr long Overflow = 6;
inline constexpr long SubscriptOutOfRange = 9;
inline constexpr long DivisionByZero = 11;
inline constexpr long TypeMismatch = 13;
inline constexpr long FileNotFound = 53;
inline constexpr long PathNotFound = 76;
inline constexpr long ObjectRequired = 424;
inline constexpr long InvalidUseOfNull = 94;
inline constexpr long PermissionDenied = 70;
inline constexpr long InvalidPropertyValue = 380;
} // namespace err

} // namespace runtime
