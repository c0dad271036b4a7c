#include "com_host/dispatch_call.h"

#include <vector>

#include "com/runtime.h"
#include "com/variant.h"
#include "uilang/runtime_error.h"

namespace ui::com_host {
namespace {

constexpr DWORD kFacilityControl = 0x0A;

// The runtime's error number of a raised automation error: the forms runtime's own errors keep
// their number (380 for CTL_E_INVALIDPROPERTYVALUE), any other code is the number.
std::int32_t ErrorNumber(SCODE code) {
    if (HRESULT_FACILITY(code) == kFacilityControl)
        return static_cast<std::int32_t>(HRESULT_CODE(code));
    return code;
}

// An object of the component runtime as a value of the forms runtime.
class DispatchObject final : public uilang::Automation {
  public:
    DispatchObject(IDispatch* dispatch, std::string progId)
        : dispatch_(dispatch), progId_(std::move(progId)) {
        dispatch_->AddRef();
    }
    ~DispatchObject() override { dispatch_->Release(); }
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    IDispatch* Dispatch() const { return dispatch_; }

    uilang::Value Get(std::int32_t dispid, const uilang::Arguments& index) override {
        return InvokeDispatch(dispatch_, progId_, dispid, DISPATCH_PROPERTYGET | DISPATCH_METHOD,
                              index, nullptr);
    }
    void Put(std::int32_t dispid, const uilang::Value& value,
             const uilang::Arguments& index) override {
        InvokeDispatch(dispatch_, progId_, dispid, DISPATCH_PROPERTYPUT, index, &value);
    }
    uilang::Value Call(std::int32_t dispid, const uilang::Arguments& arguments) override {
        return InvokeDispatch(dispatch_, progId_, dispid, DISPATCH_METHOD, arguments, nullptr);
    }

  private:
    IDispatch* dispatch_;
    std::string progId_;
};

}  // namespace

void ToVariant(const uilang::Value& value, VARIANT* out) {
    VariantInit(out);
    struct Visitor {
        VARIANT* v;
        void operator()(std::monostate) const { v->vt = VT_EMPTY; }
        void operator()(bool b) const {
            v->vt = VT_BOOL;
            v->boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
        }
        void operator()(std::int16_t i) const {
            v->vt = VT_I2;
            v->iVal = i;
        }
        void operator()(std::int32_t i) const {
            v->vt = VT_I4;
            v->lVal = i;
        }
        void operator()(float f) const {
            v->vt = VT_R4;
            v->fltVal = f;
        }
        void operator()(double d) const {
            v->vt = VT_R8;
            v->dblVal = d;
        }
        void operator()(const std::string& s) const {
            v->vt = VT_BSTR;
            v->bstrVal = com::AllocBstr(s);
        }
        void operator()(const uilang::Object& object) const {
            v->vt = VT_DISPATCH;
            v->pdispVal = nullptr;
            if (object == nullptr)
                return;
            const auto* held = dynamic_cast<const DispatchObject*>(object.get());
            if (held == nullptr)
                uilang::Raise(uilang::kErrTypeMismatch);
            v->pdispVal = held->Dispatch();
            v->pdispVal->AddRef();
        }
    };
    std::visit(Visitor{out}, value);
}

uilang::Value FromVariant(const VARIANT& in) {
    com::Variant value;
    VariantCopyInd(&value, &in);
    switch (value.vt) {
        case VT_BOOL:
            return value.boolVal != VARIANT_FALSE;
        case VT_I2:
            return static_cast<std::int16_t>(value.iVal);
        case VT_I4:
            return static_cast<std::int32_t>(value.lVal);
        case VT_R4:
            return value.fltVal;
        case VT_R8:
            return value.dblVal;
        case VT_BSTR:
            return com::NarrowFromBstr(value.bstrVal);
        case VT_EMPTY:
            return std::monostate{};
        case VT_DISPATCH:
            if (value.pdispVal == nullptr)
                return uilang::Object{};
            return WrapDispatch(value.pdispVal, "");
        default: {
            com::Variant number;
            if (SUCCEEDED(VariantChangeType(&number, &value, 0, VT_R8)))
                return number.dblVal;
            return std::monostate{};
        }
    }
}

void WriteBack(const uilang::Value& value, VARIANT& target) {
    if ((target.vt & VT_BYREF) == 0)
        return;
    switch (target.vt & VT_TYPEMASK) {
        case VT_I2:
            *target.piVal = uilang::ToShort(value);
            break;
        case VT_I4:
            *target.plVal = uilang::ToLong(value);
            break;
        case VT_R4:
            *target.pfltVal = uilang::ToSingle(value);
            break;
        case VT_R8:
            *target.pdblVal = uilang::ToDouble(value);
            break;
        case VT_BOOL:
            *target.pboolVal = uilang::ToBool(value) ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case VT_BSTR:
            SysFreeString(*target.pbstrVal);
            *target.pbstrVal = com::AllocBstr(uilang::ToText(value));
            break;
        default:
            break;
    }
}

uilang::Value InvokeDispatch(IDispatch* dispatch, const std::string& progId, std::int32_t dispid,
                             WORD flags, const uilang::Arguments& arguments,
                             const uilang::Value* value) {
    std::vector<VARIANT> reversed;
    reversed.reserve(arguments.size() + 1);
    auto clear = [&] {
        for (VARIANT& v : reversed)
            VariantClear(&v);
    };
    try {
        if (value != nullptr) {
            reversed.emplace_back();
            ToVariant(*value, &reversed.back());
        }
        for (auto it = arguments.rbegin(); it != arguments.rend(); ++it) {
            reversed.emplace_back();
            ToVariant(*it, &reversed.back());
        }
    } catch (...) {
        clear();
        throw;
    }
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(),
                      value != nullptr ? &named : nullptr, static_cast<UINT>(reversed.size()),
                      value != nullptr ? 1u : 0u};
    com::Variant result;
    EXCEPINFO exception{};
    UINT argumentError = 0;
    HRESULT status =
        dispatch->Invoke(dispid, IID_NULL, 0, flags, &params, &result, &exception, &argumentError);
    clear();
    if (status == DISP_E_EXCEPTION) {
        std::string description = com::NarrowFromBstr(exception.bstrDescription);
        std::string source = com::NarrowFromBstr(exception.bstrSource);
        SCODE code = exception.scode;
        ClearExcepInfo(&exception);
        throw uilang::RuntimeError(ErrorNumber(code), source.empty() ? progId : source,
                                   description);
    }
    if (FAILED(status)) {
        if (status == DISP_E_MEMBERNOTFOUND)
            throw uilang::RuntimeError(uilang::kErrMemberNotFound, progId,
                                       "Object doesn't support this property or method");
        if (status == DISP_E_TYPEMISMATCH)
            uilang::Raise(uilang::kErrTypeMismatch);
        if (status == DISP_E_OVERFLOW)
            uilang::Raise(uilang::kErrOverflow);
        throw uilang::RuntimeError(status, progId, "Automation error");
    }
    return FromVariant(result);
}

uilang::Object WrapDispatch(IDispatch* dispatch, const std::string& progId) {
    return std::make_shared<DispatchObject>(dispatch, progId);
}

}  // namespace ui::com_host
