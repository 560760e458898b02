#pragma once
// Measured values as short texts with three decimals and a unit prefix. The caller
// appends the unit. Output never depends on the user's locale.

#include <cstdarg>
#include <cstddef>
#include <string>

namespace corvalis {

// Steps by 1000 (n, micro, m, none, k, M, G, T); a near-integer in 1..999 stays plain.
void formatDecimal(double value, char* out, size_t outSize);
// Steps by 1024 above 1 (ki, Mi, Gi, Ti) and by 1000 below 1.
void formatBinary(double value, char* out, size_t outSize);

std::string formatDecimal(double value);
std::string formatBinary(double value);

// Text from outside the program (a comment, a driver string) with every C0 control
// character (line feeds, tabs, ...) and DEL turned into one blank each, so that it
// stays one line of one field in every report.
std::string cleanOutsideText(const std::string& text);

// printf into a string with the C locale's decimal point whatever the process locale.
std::string formatC(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// The same with a va_list (the caller keeps ownership of args).
std::string vformatC(const char* format, va_list args);

}  // namespace corvalis
