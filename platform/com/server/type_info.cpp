// Type descriptions over member tables: an interface's members, a class's interfaces.
#include <new>

#include "com/server/dispatch_table.h"
#include "com/server/object.h"

namespace com::server {
namespace {

class TypeInfoBase : public ITypeInfo {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ITypeInfo)
            return Hand(static_cast<ITypeInfo*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.Add(); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = refs_.Drop();
        if (left == 0)
            delete this;
        return left;
    }

  protected:
    virtual ~TypeInfoBase() = default;

  private:
    RefCount refs_;
};

class InterfaceTypeInfo final : public TypeInfoBase {
  public:
    explicit InterfaceTypeInfo(const DispatchTable& table) : table_(table) {}

    HRESULT STDMETHODCALLTYPE GetKind(TYPEKIND* kind) override {
        if (kind == nullptr)
            return E_POINTER;
        *kind = TKIND_DISPATCH;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetGuid(GUID* guid) override {
        if (guid == nullptr)
            return E_POINTER;
        *guid = table_.iid();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetName(BSTR* name) override {
        if (name == nullptr)
            return E_POINTER;
        *name = AllocBstr(table_.name());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMemberCount(UINT* count) override {
        if (count == nullptr)
            return E_POINTER;
        *count = static_cast<UINT>(table_.members().size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMember(UINT index, MEMBERDESC* member) override {
        if (member == nullptr)
            return E_POINTER;
        if (index >= table_.members().size())
            return TYPE_E_ELEMENTNOTFOUND;
        const Member& entry = table_.members()[index];
        const auto& names = table_.wideNames(index);
        *member = MEMBERDESC{entry.id,
                             names.name.c_str(),
                             entry.kinds,
                             entry.type,
                             static_cast<UINT>(entry.params.size()),
                             entry.params.data(),
                             names.paramPointers.empty() ? nullptr : names.paramPointers.data()};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) override {
        return table_.GetIDsOfNames(names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE GetImplTypeCount(UINT* count) override {
        if (count == nullptr)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetImplType(UINT, INT*, ITypeInfo**) override {
        return TYPE_E_ELEMENTNOTFOUND;
    }

  private:
    const DispatchTable& table_;
};

class ClassTypeInfo final : public TypeInfoBase {
  public:
    ClassTypeInfo(const CLSID& clsid, std::string_view name, const DispatchTable& primary,
                  const DispatchTable& events)
        : clsid_(clsid), name_(name), primary_(primary), events_(events) {}

    HRESULT STDMETHODCALLTYPE GetKind(TYPEKIND* kind) override {
        if (kind == nullptr)
            return E_POINTER;
        *kind = TKIND_COCLASS;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetGuid(GUID* guid) override {
        if (guid == nullptr)
            return E_POINTER;
        *guid = clsid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetName(BSTR* name) override {
        if (name == nullptr)
            return E_POINTER;
        *name = AllocBstr(name_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMemberCount(UINT* count) override {
        if (count == nullptr)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMember(UINT, MEMBERDESC*) override {
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR*, UINT, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE GetImplTypeCount(UINT* count) override {
        if (count == nullptr)
            return E_POINTER;
        *count = 2;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetImplType(UINT index, INT* flags, ITypeInfo** info) override {
        if (flags == nullptr || info == nullptr)
            return E_POINTER;
        if (index > 1)
            return TYPE_E_ELEMENTNOTFOUND;
        *flags = index == 0 ? IMPLTYPEFLAG_FDEFAULT : IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE;
        *info = NewInterfaceTypeInfo(index == 0 ? primary_ : events_);
        return *info != nullptr ? S_OK : E_OUTOFMEMORY;
    }

  private:
    CLSID clsid_;
    std::string name_;
    const DispatchTable& primary_;
    const DispatchTable& events_;
};

}  // namespace

ITypeInfo* NewInterfaceTypeInfo(const DispatchTable& table) {
    return new (std::nothrow) InterfaceTypeInfo(table);
}

ITypeInfo* NewClassTypeInfo(const CLSID& clsid, std::string_view name, const DispatchTable& primary,
                            const DispatchTable& events) {
    return new (std::nothrow) ClassTypeInfo(clsid, name, primary, events);
}

}  // namespace com::server
