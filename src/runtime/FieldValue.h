// What a table field gives and takes: null, a whole number, a double or text
// (Big5 bytes). Arithmetic follows one rule set everywhere: a null operand
// makes the result null, a double operand or any division makes it a double.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace rt {

class FieldValue {
public:
    enum class Kind { Null, Integer, Double, Text };

    FieldValue() = default;  // null
    FieldValue(std::int64_t value) : value_(value) {}
    FieldValue(int value) : value_(static_cast<std::int64_t>(value)) {}
    FieldValue(double value) : value_(value) {}
    static FieldValue null() { return FieldValue(); }
    static FieldValue text(std::string big5) {
        FieldValue v;
        v.value_ = std::move(big5);
        return v;
    }

    Kind kind() const { return static_cast<Kind>(value_.index()); }
    bool isNull() const { return kind() == Kind::Null; }

    // Raises ConversionError "Could not convert variant of type (Null) into
    // type (Double)" for a null, and the same with (String) for text that is
    // no number.
    double toDouble() const;
    // Null reads as empty text; numbers in general format.
    std::string toString() const;

    std::int64_t integerValue() const { return std::get<std::int64_t>(value_); }
    double doubleValue() const { return std::get<double>(value_); }
    const std::string& textValue() const { return std::get<std::string>(value_); }

    friend bool operator==(const FieldValue&, const FieldValue&) = default;

private:
    std::variant<std::monostate, std::int64_t, double, std::string> value_;
};

FieldValue operator+(const FieldValue& left, const FieldValue& right);
FieldValue operator*(const FieldValue& left, const FieldValue& right);
FieldValue operator/(const FieldValue& left, const FieldValue& right);

// Name of a kind as conversion errors spell it: Null, Int64, Double, String.
std::string_view kindName(FieldValue::Kind kind);

// General format with up to 15 significant digits, '.' as decimal point and
// no thousands separator: 25, 12.5, 138, 0.1.
std::string formatGeneral(double value);

// Reads a decimal number the way the operator types one: optional blanks
// (spaces only) around it, optional sign, digits with at most one decimal
// separator, optional exponent. Anything else gives no value, and so does a
// number a double cannot hold (1e999, 1e-999).
std::optional<double> parseDecimal(std::string_view text, char decimalSeparator = '.');

}  // namespace rt
