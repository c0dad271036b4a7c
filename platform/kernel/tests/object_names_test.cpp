// Object names compare with ASCII letters folded and every other character as it is, whatever
// the host's locale: a program that sets a locale of its own must find the same objects.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "kernel/ex.h"
#include "kernel/io.h"

namespace {

class HostLocale {
  public:
    explicit HostLocale(const char* name) : before_(std::setlocale(LC_ALL, nullptr)) {
        switched_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~HostLocale() { std::setlocale(LC_ALL, before_.c_str()); }
    HostLocale(const HostLocale&) = delete;
    HostLocale& operator=(const HostLocale&) = delete;
    bool switched() const { return switched_; }

  private:
    std::string before_;
    bool switched_ = false;
};

NTSTATUS CreateLink(const char16_t* name) {
    UNICODE_STRING link, target;
    RtlInitUnicodeString(&link, name);
    RtlInitUnicodeString(&target, u"\\Device\\NamesTarget");
    return IoCreateSymbolicLink(&link, &target);
}

NTSTATUS DeleteLink(const char16_t* name) {
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, name);
    return IoDeleteSymbolicLink(&link);
}

TEST(ObjectNames, OnlyAsciiLettersFoldWhateverTheHostsLocale) {
    HostLocale locale("C.UTF-8");  // a locale in which the host's own case mapping covers é
    if (!locale.switched())
        GTEST_SKIP() << "the host has no C.UTF-8 locale";
    ASSERT_EQ(CreateLink(u"\\DosDevices\\Caf\u00e9Names"), STATUS_SUCCESS);
    // Another name: the two differ in a letter outside ASCII.
    EXPECT_EQ(CreateLink(u"\\DosDevices\\CAF\u00c9NAMES"), STATUS_SUCCESS);
    // The same names in other ASCII cases.
    EXPECT_EQ(DeleteLink(u"\\DOSDEVICES\\cAF\u00c9nAMES"), STATUS_SUCCESS);
    EXPECT_EQ(DeleteLink(u"\\dosdevices\\CAF\u00e9NAMES"), STATUS_SUCCESS);
    EXPECT_EQ(DeleteLink(u"\\DosDevices\\Caf\u00e9Names"), STATUS_OBJECT_NAME_NOT_FOUND);
}

}  // namespace
