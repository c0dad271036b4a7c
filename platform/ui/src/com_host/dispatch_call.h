// Late binding to an IDispatch of the component-model stand-in: the forms runtime's values to and
// from VARIANTs, and one call by DISPID with a failure raised as the runtime's error.
#pragma once

#include <cstdint>
#include <string>

#include "com/dispatch.h"
#include "uilang/automation.h"

namespace ui::com_host {

// An object value becomes VT_DISPATCH when it is one of the component runtime's objects; any
// other object raises 13.
void ToVariant(const uilang::Value& value, VARIANT* out);
// VT_DISPATCH becomes an object (an empty reference for a null pointer).
uilang::Value FromVariant(const VARIANT& in);
// Writes a handler's value back through a by-reference argument.
void WriteBack(const uilang::Value& value, VARIANT& target);

// Invoke with the arguments in call order and, for a put, the value; a raised automation error
// keeps its number, source (`progId` when it names none) and description.
uilang::Value InvokeDispatch(IDispatch* dispatch, const std::string& progId, std::int32_t dispid,
                             WORD flags, const uilang::Arguments& arguments,
                             const uilang::Value* value);

// An object of the runtime that holds its own reference to `dispatch`.
uilang::Object WrapDispatch(IDispatch* dispatch, const std::string& progId);

}  // namespace ui::com_host
