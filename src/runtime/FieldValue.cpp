#include "FieldValue.h"

#include <charconv>
#include <cmath>
#include <string>

#include "Errors.h"

namespace rt {

namespace {

[[noreturn]] void raiseConversion(FieldValue::Kind from) {
    std::string message = "Could not convert variant of type (";
    message += kindName(from);
    message += ") into type (Double)";
    throw ConversionError(message);
}

// Whole-number arithmetic stays whole unless it would overflow, where the
// result moves to double rather than wrapping around.
template <class IntegerOp, class DoubleOp>
FieldValue combine(const FieldValue& left, const FieldValue& right, IntegerOp integerOp,
                   DoubleOp doubleOp) {
    if (left.isNull() || right.isNull()) return FieldValue::null();
    if (left.kind() == FieldValue::Kind::Integer && right.kind() == FieldValue::Kind::Integer) {
        std::int64_t result = 0;
        if (!integerOp(left.integerValue(), right.integerValue(), &result)) return FieldValue(result);
    }
    return FieldValue(doubleOp(left.toDouble(), right.toDouble()));
}

}  // namespace

std::string_view kindName(FieldValue::Kind kind) {
    switch (kind) {
        case FieldValue::Kind::Null: return "Null";
        case FieldValue::Kind::Integer: return "Int64";
        case FieldValue::Kind::Double: return "Double";
        case FieldValue::Kind::Text: return "String";
    }
    return "Unknown";
}

double FieldValue::toDouble() const {
    switch (kind()) {
        case Kind::Integer: return static_cast<double>(integerValue());
        case Kind::Double: return doubleValue();
        case Kind::Text:
            if (auto parsed = parseDecimal(textValue())) return *parsed;
            raiseConversion(kind());
        case Kind::Null: break;
    }
    raiseConversion(Kind::Null);
}

std::string FieldValue::toString() const {
    switch (kind()) {
        case Kind::Null: return {};
        case Kind::Integer: return std::to_string(integerValue());
        case Kind::Double: return formatGeneral(doubleValue());
        case Kind::Text: return textValue();
    }
    return {};
}

FieldValue operator+(const FieldValue& left, const FieldValue& right) {
    return combine(
        left, right, [](std::int64_t a, std::int64_t b, std::int64_t* r) { return __builtin_add_overflow(a, b, r); },
        [](double a, double b) { return a + b; });
}

FieldValue operator*(const FieldValue& left, const FieldValue& right) {
    return combine(
        left, right, [](std::int64_t a, std::int64_t b, std::int64_t* r) { return __builtin_mul_overflow(a, b, r); },
        [](double a, double b) { return a * b; });
}

FieldValue operator/(const FieldValue& left, const FieldValue& right) {
    if (left.isNull() || right.isNull()) return FieldValue::null();
    return FieldValue(left.toDouble() / right.toDouble());
}

std::string formatGeneral(double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    if (value == 0) return "0";  // also for -0, which would print as "-0"
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    return std::string(buffer, result.ptr);
}

std::optional<double> parseDecimal(std::string_view text, char decimalSeparator) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    std::string normal;  // sign, digits, '.', exponent: what from_chars reads
    std::size_t at = 0;
    auto digitsFrom = [&](std::size_t& i) {
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') normal += text[i++];
        return i - start;
    };
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        if (text[at] == '-') normal += '-';
        ++at;
    }
    std::size_t digits = digitsFrom(at);
    if (at < text.size() && text[at] == decimalSeparator) {
        normal += '.';
        ++at;
        digits += digitsFrom(at);
    }
    if (digits == 0) return std::nullopt;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        normal += 'e';
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) normal += text[at++];
        if (digitsFrom(at) == 0) return std::nullopt;
    }
    if (at != text.size()) return std::nullopt;
    double value = 0;
    const auto result = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    // Text beyond a double's range is no number: taking it would leave the
    // untouched 0 (or a silently lost value) where the operator typed 1e999.
    if (result.ec != std::errc()) return std::nullopt;
    return value;
}

}  // namespace rt
