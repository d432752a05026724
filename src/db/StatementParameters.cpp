#include "StatementParameters.h"

#include <algorithm>

#include "Errors.h"
#include "TextRules.h"

namespace db {

bool sameName(std::string_view left, std::string_view right) { return rt::text::equalsIgnoreCase(left, right); }

void TParam::setValue(rt::FieldValue value) {
    if (type_ == ParameterType::Unknown) {
        switch (value.kind()) {
            case rt::FieldValue::Kind::Integer:
            case rt::FieldValue::Kind::Double: type_ = ParameterType::Float; break;
            case rt::FieldValue::Kind::Text: type_ = ParameterType::String; break;
            case rt::FieldValue::Kind::Null: break;
        }
    }
    value_ = std::move(value);
}

void TParams::rebuild(const std::vector<std::string>& markerNames) {
    std::vector<TParam> rebuilt;
    for (const auto& name : markerNames) {
        const bool seen = std::ranges::any_of(
            rebuilt, [&](const TParam& param) { return sameName(param.name(), name); });
        if (seen) continue;
        TParam& param = rebuilt.emplace_back(name);
        if (const TParam* kept = findParam(name)) {
            param.type_ = kept->type_;
            param.value_ = kept->value_;
        }
    }
    params_ = std::move(rebuilt);
}

TParam* TParams::findParam(std::string_view name) {
    auto found = std::ranges::find_if(
        params_, [&](const TParam& param) { return sameName(param.name(), name); });
    return found == params_.end() ? nullptr : &*found;
}

const TParam* TParams::findParam(std::string_view name) const {
    return const_cast<TParams*>(this)->findParam(name);
}

TParam& TParams::paramByName(std::string_view name) {
    if (TParam* param = findParam(name)) return *param;
    throw rt::DatabaseError(rt::formatMessage("Parameter '%s' not found", name));
}

const TParam* TParams::firstUntyped() const {
    auto found = std::ranges::find_if(
        params_, [](const TParam& param) { return param.dataType() == ParameterType::Unknown; });
    return found == params_.end() ? nullptr : &*found;
}

}  // namespace db
