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

// Text from outside the program (a comment, a driver string, a value read back from a
// file) as ISO-8859-1 with every control character turned into one blank each: C0
// (NUL, line feeds, tabs, ESC, ...), DEL and C1 (0x80 to 0x9F, among them NEL and the
// one-byte CSI). So it stays one line of one field in every report, and a terminal or
// page that shows it obeys no command hidden in it. Every other byte is kept.
std::string cleanOutsideText(const std::string& text);

// Text from outside (a path from the command line, a file name in a message) for one
// line on a terminal: the bytes stay as they are except C0 controls and DEL, shown as
// \n, \r, \t or \xHH, and what is not UTF-8 or is a C1 control in UTF-8, shown as
// \xHH per byte. A line feed in an --output name can then not forge a line, nor an
// escape sequence move the cursor or set the window title.
std::string escapeControls(const std::string& text);

// printf into a string with the C locale's decimal point whatever the process locale.
std::string formatC(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// The same with a va_list (the caller keeps ownership of args).
std::string vformatC(const char* format, va_list args);

}  // namespace corvalis
