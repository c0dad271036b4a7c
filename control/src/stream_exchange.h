// The record's binary form: written to and read from a container's stream (persisted_record.h).
#pragma once

#include <cstdint>

#include "com/storage.h"
#include "persisted_record.h"

namespace mqacq32 {

// Writes each field to `stream`; with a null stream only counts the bytes (for GetSizeMax).
class StreamWriter final : public PropertyExchange {
  public:
    explicit StreamWriter(IStream* stream) : stream_(stream) {}

    void Version(DWORD& version) override;
    void Long(const char*, LONG& value) override;
    void Short(const char*, SHORT& value) override;
    void Double(const char*, double& value) override;
    void Text(const char*, std::string& value) override;
    void Bytes(const char*, Blob& value) override;

    std::uint64_t written() const { return written_; }

  private:
    void Put(const void* bytes, std::size_t count);
    template <typename T>
    void PutValue(T value);

    IStream* stream_;
    std::uint64_t written_ = 0;
};

// Reads each field from `stream`; a record that ends early throws DamagedRecord. Lengths are
// believed only as far as the stream has the bytes: nothing is allocated ahead of them.
class StreamReader final : public PropertyExchange {
  public:
    explicit StreamReader(IStream* stream) : stream_(stream) {}

    void Version(DWORD& version) override;
    void Long(const char*, LONG& value) override;
    void Short(const char*, SHORT& value) override;
    void Double(const char*, double& value) override;
    void Text(const char*, std::string& value) override;
    void Bytes(const char*, Blob& value) override;

  private:
    void Get(void* bytes, std::size_t count);
    template <typename T>
    T GetValue();
    Blob GetBytes(std::uint64_t count);

    IStream* stream_;
};

}  // namespace mqacq32
