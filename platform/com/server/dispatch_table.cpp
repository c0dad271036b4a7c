// Invoke over a member table: member lookup, argument checks and conversion, raised errors.
#include "com/server/dispatch_table.h"

#include <algorithm>
#include <cctype>
#include <new>

#include "com/server/object.h"

namespace com::server {
namespace {

std::u16string Widen(std::string_view text) {
    return std::u16string(text.begin(), text.end());
}

bool SameNameNoCase(LPCOLESTR wide, std::string_view narrow) {
    std::size_t i = 0;
    for (; wide[i] != 0; ++i) {
        if (i >= narrow.size() || wide[i] > 0x7F ||
            std::tolower(static_cast<int>(wide[i])) !=
                std::tolower(static_cast<unsigned char>(narrow[i])))
            return false;
    }
    return i == narrow.size();
}

constexpr const char* kReadOnlyText = "Property is read-only";
constexpr const char* kWriteOnlyText = "Property is write-only";

// The positions in rgvarg of a call's declared arguments (declaration order), from the
// positional arguments (reversed) and the named ones; DISP_E_* on a mismatch.
HRESULT PlaceArguments(const Member& member, const DISPPARAMS& params, bool put,
                       std::vector<UINT>* positions, UINT* argumentError) {
    const std::size_t declared = member.params.size() + (put ? 1 : 0);
    if (params.cArgs != declared)
        return DISP_E_BADPARAMCOUNT;
    positions->assign(declared, params.cArgs);
    UINT named = params.cNamedArgs;
    if (put) {
        if (named == 0 || params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_PARAMNOTOPTIONAL;
        (*positions)[declared - 1] = 0;
        if (named != 1)
            return DISP_E_NONAMEDARGS;
    } else {
        if (named > 0 && member.call == nullptr)
            return DISP_E_NONAMEDARGS;  // properties take their index by position only
        for (UINT i = 0; i < named; ++i) {
            const DISPID id = params.rgdispidNamedArgs[i];
            if (id < 0 || static_cast<std::size_t>(id) >= member.params.size() ||
                (*positions)[static_cast<std::size_t>(id)] != params.cArgs) {
                if (argumentError != nullptr)
                    *argumentError = i;
                return DISP_E_PARAMNOTFOUND;
            }
            (*positions)[static_cast<std::size_t>(id)] = i;
        }
    }
    // Positional arguments fill the remaining places in order, read from the end of rgvarg.
    const UINT firstPositional = put ? 1 : named;
    UINT next = params.cArgs;
    for (std::size_t place = 0; place < declared; ++place) {
        if ((*positions)[place] != params.cArgs)
            continue;
        if (next == firstPositional)
            return DISP_E_PARAMNOTOPTIONAL;
        (*positions)[place] = --next;
    }
    return S_OK;
}

}  // namespace

Member Event(DISPID id, std::string_view name, std::initializer_list<VARTYPE> types,
             Names paramNames) {
    return Member{id, name, INVOKE_FUNC, VT_EMPTY, types, paramNames};
}

DispatchTable::DispatchTable(const IID& iid, std::string_view name, std::vector<Member> members)
    : iid_(iid), name_(name), members_(std::move(members)) {
    wide_.reserve(members_.size());
    for (const Member& member : members_) {
        WideNames names{Widen(member.name), {}, {}};
        for (std::string_view param : member.paramNames)
            names.params.push_back(Widen(param));
        wide_.push_back(std::move(names));
    }
    for (WideNames& names : wide_)
        for (const std::u16string& param : names.params)
            names.paramPointers.push_back(param.c_str());
}

const Member* DispatchTable::Find(DISPID id) const {
    auto found = std::find_if(members_.begin(), members_.end(),
                              [id](const Member& member) { return member.id == id; });
    return found == members_.end() ? nullptr : &*found;
}

HRESULT DispatchTable::GetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) const {
    if (names == nullptr || ids == nullptr || count == 0)
        return E_INVALIDARG;
    const Member* member = nullptr;
    for (const Member& candidate : members_) {
        if (SameNameNoCase(names[0], candidate.name)) {
            member = &candidate;
            break;
        }
    }
    std::fill(ids, ids + count, DISPID_UNKNOWN);
    if (member == nullptr)
        return DISP_E_UNKNOWNNAME;
    ids[0] = member->id;
    HRESULT result = S_OK;
    for (UINT i = 1; i < count; ++i) {
        for (std::size_t p = 0; p < member->paramNames.size(); ++p)
            if (SameNameNoCase(names[i], member->paramNames[p]))
                ids[i] = static_cast<DISPID>(p);
        if (ids[i] == DISPID_UNKNOWN)
            result = DISP_E_UNKNOWNNAME;
    }
    return result;
}

HRESULT DispatchTable::Invoke(void* object, DISPID id, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* exception, UINT* argumentError,
                              std::string_view source) const {
    const Member* member = Find(id);
    if (member == nullptr)
        return DISP_E_MEMBERNOTFOUND;
    if (params == nullptr)
        return E_INVALIDARG;
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    const bool get = !put && (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) != 0;
    if ((!put && !get) || (put && member->call != nullptr))
        return DISP_E_MEMBERNOTFOUND;
    const bool isProperty = member->call == nullptr;

    std::vector<UINT> positions;
    HRESULT status = PlaceArguments(*member, *params, put, &positions, argumentError);
    if (FAILED(status))
        return status;
    std::vector<VARTYPE> types = member->params;
    if (put)
        types.push_back(member->type);
    std::vector<Variant> converted(types.size());
    for (std::size_t i = 0; i < types.size(); ++i) {
        status = VariantChangeType(&converted[i], &params->rgvarg[positions[i]], 0, types[i]);
        if (FAILED(status)) {
            if (argumentError != nullptr)
                *argumentError = positions[i];
            return status;
        }
    }

    Accessor accessor = isProperty ? (put ? member->put : member->get) : member->call;
    Variant value;
    try {
        if (accessor == nullptr)
            Raise(put ? CTL_E_SETNOTSUPPORTED : CTL_E_GETNOTSUPPORTED,
                  put ? kReadOnlyText : kWriteOnlyText);
        accessor(object, converted.data(), &value);
    } catch (const Error& error) {
        FillExcepInfo(exception, error.code, error.description, source, error.helpContext);
        return DISP_E_EXCEPTION;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (result != nullptr) {
        VariantInit(result);
        *result = value;
        VariantInit(&value);  // the caller owns what it holds now
    }
    return S_OK;
}

void FillExcepInfo(EXCEPINFO* info, HRESULT code, std::string_view description,
                   std::string_view source, DWORD helpContext) {
    if (info == nullptr)
        return;
    *info = EXCEPINFO{};
    info->wCode = 0;
    info->scode = code;
    info->bstrDescription = AllocBstr(description);
    info->bstrSource = AllocBstr(source);
    info->dwHelpContext = helpContext;
}

}  // namespace com::server
