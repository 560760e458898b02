#include "framework/format.h"

#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace corvalis {

namespace {

// Prefixes for 10^-9 .. 10^12; index 3 is no prefix. 0xB5 is the micro sign of
// ISO-8859-1, the byte the report files carry.
const char kPrefix[8] = {'n', '\xB5', 'm', ' ', 'k', 'M', 'G', 'T'};
constexpr int kNoPrefix = 3;

// True when the integer i lies within 2 % of v, either way.
bool nearInteger(double i, double v) { return v * 1.02 >= i && i * 1.02 >= v; }

// Appends one printf conversion of one argument.
template <typename T>
void appendConversion(std::string& out, const std::string& spec, T value) {
  char small[64];
  int n = std::snprintf(small, sizeof small, spec.c_str(), value);
  if (n < 0) return;
  if (static_cast<size_t>(n) < sizeof small) {
    out.append(small, static_cast<size_t>(n));
    return;
  }
  std::string big(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(&big[0], big.size(), spec.c_str(), value);
  out.append(big.data(), static_cast<size_t>(n));
}

// Appends one floating-point conversion with '.' as the decimal point, whatever the
// process locale says. The conversion is formatted alone, so only its own decimal
// point is replaced and no string argument is ever touched.
template <typename T>
void appendFloating(std::string& out, const std::string& spec, T value) {
  std::string piece;
  appendConversion(piece, spec, value);
  const char* point = std::localeconv()->decimal_point;
  if (point != nullptr && point[0] != '\0' && std::strcmp(point, ".") != 0) {
    size_t at = piece.find(point);
    if (at != std::string::npos) piece.replace(at, std::strlen(point), ".");
  }
  out += piece;
}

enum class Length { None, Char, Short, Long, LongLong, Max, Size, PtrDiff, LongDouble };

// Reads a length modifier at p and advances past it.
Length parseLength(const char*& p, std::string& spec) {
  const char* start = p;
  Length length = Length::None;
  switch (*p) {
    case 'h':
      ++p;
      length = Length::Short;
      if (*p == 'h') { ++p; length = Length::Char; }
      break;
    case 'l':
      ++p;
      length = Length::Long;
      if (*p == 'l') { ++p; length = Length::LongLong; }
      break;
    case 'j': ++p; length = Length::Max; break;
    case 'z': ++p; length = Length::Size; break;
    case 't': ++p; length = Length::PtrDiff; break;
    case 'L': ++p; length = Length::LongDouble; break;
    default: break;
  }
  spec.append(start, p);
  return length;
}

void appendSigned(std::string& out, const std::string& spec, Length length, va_list& ap) {
  switch (length) {
    case Length::Long: appendConversion(out, spec, va_arg(ap, long)); break;
    case Length::LongLong: appendConversion(out, spec, va_arg(ap, long long)); break;
    case Length::Max: appendConversion(out, spec, va_arg(ap, intmax_t)); break;
    case Length::Size:
    case Length::PtrDiff: appendConversion(out, spec, va_arg(ap, ptrdiff_t)); break;
    default: appendConversion(out, spec, va_arg(ap, int)); break;
  }
}

void appendUnsigned(std::string& out, const std::string& spec, Length length, va_list& ap) {
  switch (length) {
    case Length::Long: appendConversion(out, spec, va_arg(ap, unsigned long)); break;
    case Length::LongLong: appendConversion(out, spec, va_arg(ap, unsigned long long)); break;
    case Length::Max: appendConversion(out, spec, va_arg(ap, uintmax_t)); break;
    case Length::Size:
    case Length::PtrDiff: appendConversion(out, spec, va_arg(ap, size_t)); break;
    default: appendConversion(out, spec, va_arg(ap, unsigned)); break;
  }
}

// Copies the digits at p into spec, or replaces a '*' with the next int argument.
void parseNumberOrStar(const char*& p, std::string& spec, va_list& ap, bool precision) {
  if (*p == '*') {
    ++p;
    int n = va_arg(ap, int);
    if (precision && n < 0) {
      spec.pop_back();  // a negative precision counts as none: drop the '.'
    } else {
      spec += std::to_string(n);  // a negative width reads as the '-' flag
    }
    return;
  }
  while (*p >= '0' && *p <= '9') spec += *p++;
}

// Formats one conversion starting just after its '%'; advances p past it.
void appendOne(std::string& out, const char*& p, va_list& ap) {
  std::string spec = "%";
  // The grouping flag (') is dropped: report numbers never carry thousands separators.
  while (*p != '\0' && std::strchr("-+ #0'", *p) != nullptr) {
    if (*p != '\'') spec += *p;
    ++p;
  }
  parseNumberOrStar(p, spec, ap, false);
  if (*p == '.') {
    spec += *p++;
    parseNumberOrStar(p, spec, ap, true);
  }
  Length length = parseLength(p, spec);
  char conversion = *p;
  if (conversion == '\0') return;  // a lone '%' at the end writes nothing
  ++p;
  spec += conversion;
  switch (conversion) {
    case 'd':
    case 'i': appendSigned(out, spec, length, ap); break;
    case 'o':
    case 'u':
    case 'x':
    case 'X': appendUnsigned(out, spec, length, ap); break;
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
      if (length == Length::LongDouble) {
        appendFloating(out, spec, va_arg(ap, long double));
      } else {
        appendFloating(out, spec, va_arg(ap, double));
      }
      break;
    case 'c': appendConversion(out, spec, va_arg(ap, int)); break;
    case 's': {
      const char* text = va_arg(ap, const char*);
      appendConversion(out, spec, text != nullptr ? text : "(null)");
      break;
    }
    case 'p': appendConversion(out, spec, va_arg(ap, void*)); break;
    case 'n': (void)va_arg(ap, void*); break;  // never writes through a pointer
    default: out += spec; break;              // unknown conversion: kept as text
  }
}

// Copies text into a caller's buffer, cut to fit, always NUL-terminated.
void copyOut(const std::string& text, char* out, size_t outSize) {
  if (out == nullptr || outSize == 0) return;
  size_t n = text.size() < outSize - 1 ? text.size() : outSize - 1;
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

// "%d" of a whole number, also for values beyond the range of int.
std::string wholeNumber(double v) {
  if (v <= 2147483647.0) return formatC("%d", static_cast<int>(v));
  return formatC("%.0f", v);
}

// Scales a value below 1 by 1000 per step, towards n; returns the prefix index.
int scaleDown(double& v) {
  int index = kNoPrefix;
  while (index > 0 && v < 1.0) {
    v *= 1000.0;
    --index;
  }
  return index;
}

}  // namespace

std::string vformatC(const char* format, va_list args) {
  std::string out;
  if (format == nullptr) return out;
  va_list ap;
  va_copy(ap, args);
  const char* p = format;
  while (*p != '\0') {
    const char* percent = std::strchr(p, '%');
    if (percent == nullptr) {
      out += p;
      break;
    }
    out.append(p, percent);
    p = percent + 1;
    if (*p == '%') {
      out += '%';
      ++p;
    } else {
      appendOne(out, p, ap);
    }
  }
  va_end(ap);
  return out;
}

std::string formatC(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = vformatC(format, args);
  va_end(args);
  return out;
}

// "-" for a negative value, which is made positive; "" otherwise.
static std::string takeSign(double& v) {
  if (!(v < 0.0)) return std::string();
  v = -v;
  return "-";
}

std::string formatDecimal(double value) {
  if (value == 0.0) return "0";
  double v = value;
  const std::string sign = takeSign(v);
  if (v < 1.0) {
    int index = scaleDown(v);
    return sign + formatC("%.3f %c", v, kPrefix[index]);
  }
  if (v < 1000.0) {
    int i = static_cast<int>(v);
    if (nearInteger(i, v)) return sign + formatC("%d", i);
    return sign + formatC("%.3f ", v);
  }
  int index = kNoPrefix;
  while (index < 7 && v >= 1000.0) {
    v *= 0.001;
    ++index;
  }
  return sign + formatC("%.3f %c", v, kPrefix[index]);
}

std::string formatBinary(double value) {
  if (value == 0.0) return "0";
  double v = value;
  const std::string sign = takeSign(v);
  if (v < 1.0) {
    int index = scaleDown(v);
    double i = std::trunc(v);
    if (nearInteger(i, v)) return sign + formatC("%u %c", static_cast<unsigned>(i), kPrefix[index]);
    return sign + formatC("%.3f %c", v, kPrefix[index]);
  }
  if (v < 1024.0) {
    unsigned i = static_cast<unsigned>(v);
    if (nearInteger(i, v)) return sign + formatC("%u", i);
    return sign + formatC("%.3f ", v);
  }
  int index = kNoPrefix;
  while (index < 7 && v >= 1024.0) {
    v *= 0.0009765625;
    ++index;
  }
  double r = std::floor(v + 0.5);
  if (nearInteger(r, v)) return sign + wholeNumber(r) + " " + kPrefix[index] + "i";
  return sign + formatC("%.3f %ci", v, kPrefix[index]);
}

void formatDecimal(double value, char* out, size_t outSize) {
  copyOut(formatDecimal(value), out, outSize);
}

void formatBinary(double value, char* out, size_t outSize) {
  copyOut(formatBinary(value), out, outSize);
}

std::string cleanOutsideText(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || (byte >= 0x7F && byte <= 0x9F)) c = ' ';
  }
  return out;
}

// The length of the UTF-8 sequence at text[i] when it is valid and not a C1 control
// (U+0080..U+009F); 0 otherwise. Overlong forms and surrogates count as invalid.
static size_t printableUtf8Length(const std::string& text, size_t i) {
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  // Sequence length, payload bits of the lead byte, smallest code point of that length
  // (from U+00A0 for two bytes: U+0080..U+009F are the C1 controls).
  struct Form {
    unsigned char first, last;
    size_t length;
    unsigned char mask;
    unsigned long least;
  };
  static const Form forms[] = {
      {0xC2, 0xDF, 2, 0x1F, 0xA0}, {0xE0, 0xEF, 3, 0x0F, 0x800}, {0xF0, 0xF4, 4, 0x07, 0x10000}};
  const Form* form = nullptr;
  for (const Form& f : forms)
    if (lead >= f.first && lead <= f.last) form = &f;
  if (form == nullptr) return 0;
  const size_t length = form->length;
  const unsigned long least = form->least;
  unsigned long point = lead & form->mask;
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    const unsigned char next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    point = (point << 6) | (next & 0x3F);
  }
  if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return 0;
  return length;
}

std::string escapeControls(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x20 && byte < 0x7F) {
      out += text[i++];
      continue;
    }
    if (byte >= 0x80) {
      if (size_t length = printableUtf8Length(text, i)) {
        out.append(text, i, length);
        i += length;
        continue;
      }
    }
    switch (byte) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: out += formatC("\\x%02X", static_cast<unsigned>(byte)); break;
    }
    ++i;
  }
  return out;
}

}  // namespace corvalis
