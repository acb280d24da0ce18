// The `value` argument of ExcelFile::WriteValue: one value of any kind a
// cell can be asked to hold (text, whole number, real number, boolean, empty
// or null), converted by the writer to the kind its ValueType asks for.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "platform/os/Status.h"

namespace excel {

// Status of every ExcelFile operation (platform/os/Status.h has the list).
using Status = ::status::Status;

// A Value is a view, like std::string_view: a text Value refers to the
// caller's characters and does not copy them, so the characters must outlive
// the Value. Build Values in the call (`WriteValue(..., name, ...)`), don't
// keep them. Texts are UTF-8.
class Value {
 public:
  enum class Kind { Empty, Null, Boolean, Integer, Real, Text };

  // An empty value: 0 as a number, "" as a text.
  constexpr Value() = default;

  Value(std::string_view utf8) : v_(utf8) {}
  Value(const std::string& utf8) : v_(std::string_view(utf8)) {}
  // A null pointer is the null value, never a read through it.
  Value(const char* utf8) {
    if (utf8) v_ = std::string_view(utf8);
    else v_ = NullTag{};
  }
  Value(bool b) : v_(b) {}
  Value(double d) : v_(d) {}
  Value(float f) : v_(static_cast<double>(f)) {}
  template <std::integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char>)
  Value(T n) {
    if constexpr (std::is_unsigned_v<T> && sizeof(T) >= sizeof(std::int64_t)) {
      if (n > static_cast<T>(INT64_MAX)) {
        v_ = static_cast<double>(n);
        return;
      }
    }
    v_ = static_cast<std::int64_t>(n);
  }

  // The null value: every cell kind refuses it with status 94.
  static Value Null() {
    Value v;
    v.v_ = NullTag{};
    return v;
  }
  static constexpr Value Empty() { return Value(); }

  Kind kind() const { return static_cast<Kind>(v_.index()); }
  // The text of a text value, else null.
  const std::string_view* text() const { return std::get_if<std::string_view>(&v_); }

  // Whole number for ValueType 0: a real is rounded to the nearest whole
  // number (halves to the even one), a numeric text is read as a number,
  // true is -1, false and empty are 0. Statuses: 0; 6 outside -32768..65535
  // (or not finite); 13 not a number; 94 null.
  Status ToWholeNumber(std::int32_t* out) const;

  // Real number for ValueType 1, from the same sources. Statuses: 0; 6 out
  // of the range of a double (or not finite); 13 not a number; 94 null.
  Status ToReal(double* out) const;

  // Text for ValueType 2: a number in its ordinary text form ("42", "1.5",
  // "1E+20"), "True"/"False", "" for empty. A text value is returned as is,
  // others are formatted into storage. Statuses: 0; 94 null.
  Status ToText(std::string_view* out, std::string& storage) const;

 private:
  struct EmptyTag {};
  struct NullTag {};
  // Order matches Kind.
  std::variant<EmptyTag, NullTag, bool, std::int64_t, double, std::string_view> v_;
};

}  // namespace excel
