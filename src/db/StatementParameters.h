// The named parameters of a statement and the values assigned to them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "FieldValue.h"

namespace db {

// How a parameter binds. A parameter is untyped until a non-null value is
// assigned to it.
enum class ParameterType { Unknown, Float, String };

class TParam {
public:
    explicit TParam(std::string name) : name_(std::move(name)) {}

    const std::string& name() const { return name_; }
    ParameterType dataType() const { return type_; }
    const rt::FieldValue& value() const { return value_; }
    bool isNull() const { return value_.isNull(); }

    // An untyped parameter takes its type from the value: a number binds as
    // an 8-byte float, text as text, and a null leaves it untyped. A typed
    // parameter keeps its type; the value is converted when it is bound.
    void setValue(rt::FieldValue value);
    void setAsFloat(double value) { setValue(rt::FieldValue(value)); }
    void setAsString(std::string big5) { setValue(rt::FieldValue::text(std::move(big5))); }
    void clear() { value_ = rt::FieldValue::null(); }
    // Gives the parameter a type without a value, so that a null binds as a
    // null of that type instead of being refused as untyped.
    void setDataType(ParameterType type) { type_ = type; }

private:
    friend class TParams;

    std::string name_;
    ParameterType type_ = ParameterType::Unknown;
    rt::FieldValue value_;
};

class TParams {
public:
    // Rebuilds the list from the marker names of a new text, one parameter
    // per distinct name (letter case ignored) in order of first appearance.
    // A parameter whose name is still there keeps its type and value.
    void rebuild(const std::vector<std::string>& markerNames);
    void clear() { params_.clear(); }

    std::size_t count() const { return params_.size(); }
    TParam& operator[](std::size_t index) { return params_[index]; }
    const TParam& operator[](std::size_t index) const { return params_[index]; }

    // Null when no parameter has the name (letter case ignored).
    TParam* findParam(std::string_view name);
    const TParam* findParam(std::string_view name) const;
    // Raises "Parameter '%s' not found".
    TParam& paramByName(std::string_view name);

    // The first parameter that has no type yet, or null.
    const TParam* firstUntyped() const;

private:
    std::vector<TParam> params_;
};

// Letter case ignored for ASCII letters; Big5 bytes compare as they are.
bool sameName(std::string_view left, std::string_view right);

}  // namespace db
