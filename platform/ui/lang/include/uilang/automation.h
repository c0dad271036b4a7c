// Late-bound calls on an automation object by dispatch identifier: property get and put (with
// index arguments for indexed properties) and methods with arguments and a result. Values carry
// their automation type; the coercions below convert as the runtime does (numbers to each other
// with rounding half to even and overflow 6, numeric texts to numbers, anything else 13).
//
// A failing member raises a RuntimeError with the automation error's number, source and
// description. Hosted controls answer through this interface; a component-model object is bound
// to it by an adapter of the forms runtime.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace uilang {

class Automation;
// An object reference: a member's result that is an object, or an object passed to a member.
using Object = std::shared_ptr<Automation>;

using Value = std::variant<std::monostate, bool, std::int16_t, std::int32_t, float, double,
                           std::string, Object>;
using Arguments = std::vector<Value>;

inline constexpr std::int32_t kErrMemberNotFound = 438;  // no such property or method

// An object converts to no number or text: 13.
double ToDouble(const Value& value);
float ToSingle(const Value& value);
std::int16_t ToShort(const Value& value);
std::int32_t ToLong(const Value& value);
bool ToBool(const Value& value);  // nonzero is True
std::string ToText(const Value& value);
// The object a value holds; raises 13 for anything else, and 91 (object variable not set) for
// an empty reference.
Object ToObject(const Value& value);

class Automation {
  public:
    virtual ~Automation() = default;
    virtual Value Get(std::int32_t dispid, const Arguments& index) = 0;
    virtual void Put(std::int32_t dispid, const Value& value, const Arguments& index) = 0;
    virtual Value Call(std::int32_t dispid, const Arguments& arguments) = 0;

    Value Get(std::int32_t dispid) { return Get(dispid, {}); }
    void Put(std::int32_t dispid, const Value& value) { Put(dispid, value, {}); }
};

}  // namespace uilang
