// The record by name: each field a value of a container's property bag (persisted_record.h).
// Numbers go as VT_I4, VT_I2 and VT_R8, texts as VT_BSTR, a blob as a VT_BSTR of two hexadecimal
// digits a byte ("" when empty).
#pragma once

#include "com/persist.h"
#include "persisted_record.h"

namespace mqacq32 {

class BagWriter final : public PropertyExchange {
  public:
    explicit BagWriter(IPropertyBag* bag) : bag_(bag) {}

    void Version(DWORD& version) override;
    void Long(const char* name, LONG& value) override;
    void Short(const char* name, SHORT& value) override;
    void Double(const char* name, double& value) override;
    void Text(const char* name, std::string& value) override;
    void Bytes(const char* name, Blob& value) override;

  private:
    void Put(const char* name, VARIANT& value);
    IPropertyBag* bag_;
};

// A property the bag does not hold, or holds as something that does not convert, keeps the value
// the record had (the control's own); so does a blob whose text is not hexadecimal.
class BagReader final : public PropertyExchange {
  public:
    BagReader(IPropertyBag* bag, IErrorLog* log) : bag_(bag), log_(log) {}

    void Version(DWORD& version) override;
    void Long(const char* name, LONG& value) override;
    void Short(const char* name, SHORT& value) override;
    void Double(const char* name, double& value) override;
    void Text(const char* name, std::string& value) override;
    void Bytes(const char* name, Blob& value) override;

  private:
    // The named value as `type`; false (value left VT_EMPTY) when the bag has none.
    bool Get(const char* name, VARTYPE type, VARIANT* value);
    IPropertyBag* bag_;
    IErrorLog* log_;
};

}  // namespace mqacq32
