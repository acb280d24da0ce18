#include "excel/Value.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace excel {
namespace {

constexpr Status kOk = 0;
constexpr Status kOverflow = 6;
constexpr Status kTypeMismatch = 13;
constexpr Status kNull = 94;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A numeric text: blanks around it, an optional sign, then a plain decimal
// number with optional fraction and exponent. Read without the C locale, so
// the decimal point is always "." whatever the user's locale says.
Status ParseNumber(std::string_view s, double* out) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  // from_chars also reads "inf" and "nan"; a cell value never means those.
  if (s.empty() || !((s.front() >= '0' && s.front() <= '9') || s.front() == '.'))
    return kTypeMismatch;
  double d = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d, std::chars_format::general);
  if (end != s.data() + s.size()) return kTypeMismatch;
  if (ec == std::errc::result_out_of_range) {
    // Too large overflows; too small is a zero.
    auto e = s.find_first_of("eE");
    bool tiny = e != std::string_view::npos
                    ? e + 1 < s.size() && s[e + 1] == '-'
                    : s.substr(0, s.find('.')).find_first_not_of('0') == std::string_view::npos;
    if (!tiny) return kOverflow;
    d = 0;
  } else if (ec != std::errc()) {
    return kTypeMismatch;
  }
  *out = negative ? -d : d;
  return kOk;
}

// Nearest whole number, halves to the even neighbour, without depending on
// the floating-point environment's rounding mode.
double RoundHalfEven(double d) {
  double f = std::floor(d);
  double diff = d - f;
  if (diff > 0.5 || (diff == 0.5 && std::fmod(f, 2.0) != 0.0)) f += 1.0;
  return f;
}

Status WholeFromReal(double d, std::int32_t* out) {
  if (!std::isfinite(d)) return kOverflow;
  double r = RoundHalfEven(d);
  if (r < -32768.0 || r > 65535.0) return kOverflow;
  *out = static_cast<std::int32_t>(r);
  return kOk;
}

}  // namespace

Status Value::ToWholeNumber(std::int32_t* out) const {
  switch (kind()) {
    case Kind::Empty: *out = 0; return kOk;
    case Kind::Null: return kNull;
    case Kind::Boolean: *out = std::get<bool>(v_) ? -1 : 0; return kOk;
    case Kind::Integer: {
      std::int64_t n = std::get<std::int64_t>(v_);
      if (n < -32768 || n > 65535) return kOverflow;
      *out = static_cast<std::int32_t>(n);
      return kOk;
    }
    case Kind::Real: return WholeFromReal(std::get<double>(v_), out);
    case Kind::Text: {
      double d = 0;
      if (Status s = ParseNumber(std::get<std::string_view>(v_), &d)) return s;
      return WholeFromReal(d, out);
    }
  }
  return kTypeMismatch;
}

Status Value::ToReal(double* out) const {
  switch (kind()) {
    case Kind::Empty: *out = 0; return kOk;
    case Kind::Null: return kNull;
    case Kind::Boolean: *out = std::get<bool>(v_) ? -1.0 : 0.0; return kOk;
    case Kind::Integer: *out = static_cast<double>(std::get<std::int64_t>(v_)); return kOk;
    case Kind::Real: {
      double d = std::get<double>(v_);
      if (!std::isfinite(d)) return kOverflow;
      *out = d;
      return kOk;
    }
    case Kind::Text: return ParseNumber(std::get<std::string_view>(v_), out);
  }
  return kTypeMismatch;
}

Status Value::ToText(std::string_view* out, std::string& storage) const {
  switch (kind()) {
    case Kind::Empty: *out = {}; return kOk;
    case Kind::Null: return kNull;
    case Kind::Boolean: *out = std::get<bool>(v_) ? "True" : "False"; return kOk;
    case Kind::Integer: storage = std::to_string(std::get<std::int64_t>(v_)); break;
    case Kind::Real: {
      double d = std::get<double>(v_);
      if (d == 0.0) {
        storage = "0";  // never "-0"
      } else {
        // Fifteen significant digits, as spreadsheets show a double.
        char buf[64];
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 15);
        storage.assign(buf, ec == std::errc() ? end : buf);
        for (char& c : storage) {
          if (c == 'e') c = 'E';
        }
      }
      break;
    }
    case Kind::Text: *out = std::get<std::string_view>(v_); return kOk;
  }
  *out = storage;
  return kOk;
}

}  // namespace excel
