// A dispatch interface as a table: each member's DISPID, name, kind, types and the C++ member
// functions behind it. Invoke (the rules of com/dispatch.h) finds the member, checks the
// arguments, converts them to the declared types and calls the function; an Error the function
// raises becomes DISP_E_EXCEPTION with its EXCEPINFO.
//
//     const DispatchTable kTable(IID_DThing, "_DThing", {
//         ReadWrite<&Thing::GetSpeed, &Thing::SetSpeed>(1, "Speed"),
//         ReadOnly<&Thing::GetItem>(2, "Item", {"index"}),       // an indexed property
//         Method<&Thing::Move>(3, "Move", {"distance", "angle"}),
//     });
//
// The C++ types map to VARIANT types: SHORT VT_I2, LONG VT_I4, float VT_R4, double VT_R8, bool
// VT_BOOL, std::string VT_BSTR (narrow at the boundary), IDispatch* VT_DISPATCH (an argument is
// borrowed; a result hands over one reference that the function added). A property's setter takes
// its index arguments first and the value last. A property without a setter answers a put with the
// error CTL_E_SETNOTSUPPORTED ("Property is read-only").
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "com/dispatch.h"
#include "com/variant.h"

namespace com::server {

template <typename T>
struct Value;
template <>
struct Value<SHORT> {
    static constexpr VARTYPE kType = VT_I2;
    static SHORT Read(const VARIANT& v) { return v.iVal; }
    static void Write(VARIANT* v, SHORT x) {
        v->vt = VT_I2;
        v->iVal = x;
    }
};
template <>
struct Value<LONG> {
    static constexpr VARTYPE kType = VT_I4;
    static LONG Read(const VARIANT& v) { return v.lVal; }
    static void Write(VARIANT* v, LONG x) {
        v->vt = VT_I4;
        v->lVal = x;
    }
};
template <>
struct Value<float> {
    static constexpr VARTYPE kType = VT_R4;
    static float Read(const VARIANT& v) { return v.fltVal; }
    static void Write(VARIANT* v, float x) {
        v->vt = VT_R4;
        v->fltVal = x;
    }
};
template <>
struct Value<double> {
    static constexpr VARTYPE kType = VT_R8;
    static double Read(const VARIANT& v) { return v.dblVal; }
    static void Write(VARIANT* v, double x) {
        v->vt = VT_R8;
        v->dblVal = x;
    }
};
template <>
struct Value<bool> {
    static constexpr VARTYPE kType = VT_BOOL;
    static bool Read(const VARIANT& v) { return v.boolVal != VARIANT_FALSE; }
    static void Write(VARIANT* v, bool x) {
        v->vt = VT_BOOL;
        v->boolVal = x ? VARIANT_TRUE : VARIANT_FALSE;
    }
};
template <>
struct Value<std::string> {
    static constexpr VARTYPE kType = VT_BSTR;
    static std::string Read(const VARIANT& v) { return NarrowFromBstr(v.bstrVal); }
    static void Write(VARIANT* v, const std::string& x) {
        v->vt = VT_BSTR;
        v->bstrVal = AllocBstr(x);
    }
};

template <>
struct Value<IDispatch*> {
    static constexpr VARTYPE kType = VT_DISPATCH;
    static IDispatch* Read(const VARIANT& v) { return v.pdispVal; }
    static void Write(VARIANT* v, IDispatch* x) {
        v->vt = VT_DISPATCH;
        v->pdispVal = x;
    }
};

// Calls a member function with converted arguments: args[0..n-1] in declaration order, the
// result (if any) written into *result.
using Accessor = void (*)(void* object, VARIANT* args, VARIANT* result);

struct Member {
    DISPID id;
    std::string_view name;
    DWORD kinds;                  // INVOKEKIND bits
    VARTYPE type;                 // the property's type, or the method's result (VT_EMPTY: none)
    std::vector<VARTYPE> params;  // a method's arguments, or a property's index arguments
    std::vector<std::string_view> paramNames;
    Accessor get = nullptr;
    Accessor put = nullptr;  // index arguments, then the value
    Accessor call = nullptr;
};

namespace detail {

template <typename F>
struct Signature;
template <typename C, typename R, typename... A>
struct Signature<R (C::*)(A...)> {
    using Class = C;
    using Result = R;
    using Args = std::tuple<std::remove_cvref_t<A>...>;
    static constexpr std::size_t kArity = sizeof...(A);
};
template <typename C, typename R, typename... A>
struct Signature<R (C::*)(A...) const> : Signature<R (C::*)(A...)> {};

template <typename R>
constexpr VARTYPE ResultType() {
    if constexpr (std::is_void_v<R>)
        return VT_EMPTY;
    else
        return Value<std::remove_cvref_t<R>>::kType;
}

template <auto F, std::size_t... I>
void CallWith(void* object, VARIANT* args, VARIANT* result, std::index_sequence<I...>) {
    using S = Signature<decltype(F)>;
    auto* self = static_cast<typename S::Class*>(object);
    if constexpr (std::is_void_v<typename S::Result>) {
        (self->*F)(Value<std::tuple_element_t<I, typename S::Args>>::Read(args[I])...);
    } else {
        Value<std::remove_cvref_t<typename S::Result>>::Write(
            result, (self->*F)(Value<std::tuple_element_t<I, typename S::Args>>::Read(args[I])...));
    }
}

template <auto F>
void Thunk(void* object, VARIANT* args, VARIANT* result) {
    CallWith<F>(object, args, result, std::make_index_sequence<Signature<decltype(F)>::kArity>{});
}

template <auto F, std::size_t Count>
std::vector<VARTYPE> ParamTypes() {
    using S = Signature<decltype(F)>;
    std::vector<VARTYPE> types;
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        (types.push_back(Value<std::tuple_element_t<I, typename S::Args>>::kType), ...);
    }
    (std::make_index_sequence<Count>{});
    return types;
}

}  // namespace detail

using Names = std::initializer_list<std::string_view>;

template <auto Get>
Member ReadOnly(DISPID id, std::string_view name, Names indexNames = {}) {
    using S = detail::Signature<decltype(Get)>;
    return Member{id,
                  name,
                  INVOKE_PROPERTYGET,
                  detail::ResultType<typename S::Result>(),
                  detail::ParamTypes<Get, S::kArity>(),
                  indexNames,
                  &detail::Thunk<Get>};
}

template <auto Get, auto Put>
Member ReadWrite(DISPID id, std::string_view name, Names indexNames = {}) {
    Member member = ReadOnly<Get>(id, name, indexNames);
    member.kinds |= INVOKE_PROPERTYPUT;
    member.put = &detail::Thunk<Put>;
    return member;
}

template <auto F>
Member Method(DISPID id, std::string_view name, Names paramNames = {}) {
    using S = detail::Signature<decltype(F)>;
    return Member{id,
                  name,
                  INVOKE_FUNC,
                  detail::ResultType<typename S::Result>(),
                  detail::ParamTypes<F, S::kArity>(),
                  paramNames,
                  nullptr,
                  nullptr,
                  &detail::Thunk<F>};
}

// A member of an event interface: described only (the object calls it on its sinks).
Member Event(DISPID id, std::string_view name, std::initializer_list<VARTYPE> types = {},
             Names paramNames = {});

class DispatchTable {
  public:
    DispatchTable(const IID& iid, std::string_view name, std::vector<Member> members);

    const IID& iid() const { return iid_; }
    std::string_view name() const { return name_; }
    const std::vector<Member>& members() const { return members_; }
    const Member* Find(DISPID id) const;

    HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) const;
    // `source` goes into EXCEPINFO::bstrSource of a raised error.
    HRESULT Invoke(void* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* exception, UINT* argumentError, std::string_view source) const;

    // The member's name and its parameters' names, 16-bit, for type descriptions.
    struct WideNames {
        std::u16string name;
        std::vector<std::u16string> params;
        std::vector<LPCOLESTR> paramPointers;
    };
    const WideNames& wideNames(std::size_t index) const { return wide_[index]; }

  private:
    IID iid_;
    std::string name_;
    std::vector<Member> members_;
    std::vector<WideNames> wide_;
};

// A new description of the table (TKIND_DISPATCH), with one reference for the caller. The table
// must outlive it (tables are module statics).
ITypeInfo* NewInterfaceTypeInfo(const DispatchTable& table);
// A new description of a class (TKIND_COCLASS) that implements `primary` and calls `events`.
ITypeInfo* NewClassTypeInfo(const CLSID& clsid, std::string_view name, const DispatchTable& primary,
                            const DispatchTable& events);

// Fills an EXCEPINFO from a raised error (texts allocated for the receiver).
void FillExcepInfo(EXCEPINFO* info, HRESULT code, std::string_view description,
                   std::string_view source, DWORD helpContext);

}  // namespace com::server
