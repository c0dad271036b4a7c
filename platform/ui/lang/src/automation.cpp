#include "uilang/automation.h"

#include "uilang/conversions.h"
#include "uilang/runtime_error.h"

namespace uilang {

double ToDouble(const Value& value) {
    struct Visitor {
        double operator()(std::monostate) const { return 0; }
        double operator()(bool b) const { return b ? -1 : 0; }
        double operator()(std::int16_t i) const { return i; }
        double operator()(std::int32_t i) const { return i; }
        double operator()(float f) const { return f; }
        double operator()(double d) const { return d; }
        double operator()(const std::string& s) const { return CDbl(s); }
        double operator()(const Object&) const { Raise(kErrTypeMismatch); }
    };
    return std::visit(Visitor{}, value);
}

float ToSingle(const Value& value) {
    return CSng(ToDouble(value));
}

std::int16_t ToShort(const Value& value) {
    return CInt(ToDouble(value));
}

std::int32_t ToLong(const Value& value) {
    return CLng(ToDouble(value));
}

bool ToBool(const Value& value) {
    return ToDouble(value) != 0;
}

std::string ToText(const Value& value) {
    if (const auto* text = std::get_if<std::string>(&value))
        return *text;
    if (const auto* b = std::get_if<bool>(&value))
        return *b ? "True" : "False";
    if (const auto* f = std::get_if<float>(&value))
        return CStr(*f);
    if (std::holds_alternative<std::monostate>(value))
        return {};
    return CStr(ToDouble(value));
}

Object ToObject(const Value& value) {
    const auto* object = std::get_if<Object>(&value);
    if (object == nullptr)
        Raise(kErrTypeMismatch);
    if (*object == nullptr)
        Raise(kErrObjectNotSet);
    return *object;
}

}  // namespace uilang
