#include <gtest/gtest.h>

#include "hxmem32.h"
#include "win32/module.h"

namespace {

template <typename Function>
FARPROC Generic(Function* function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

TEST(LoaderBindingTest, EntriesResolveByOrdinalAndByName) {
    const HMODULE module = LoadLibraryA("HXMEM32.DLL");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(HXDM_ORDINAL_FREEBUFFER)),
              Generic(hxDmFreeBuffer));
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(HXDM_ORDINAL_GETOVERLAPPED)),
              Generic(hxDmGetOverlapped));
    EXPECT_EQ(GetProcAddress(module, "hxDmAllocBuffer"), Generic(hxDmAllocBuffer));
    EXPECT_EQ(GetProcAddress(module, "_hxDmCallocBuffer@20"), Generic(hxDmCallocBuffer));
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(1)), nullptr);

    // A call through the bound entry reaches the library.
    using AllocBuffer = uint32_t(HXMEMAPI*)(uint32_t, uint32_t, HBUF*);
    auto alloc = reinterpret_cast<AllocBuffer>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "hxDmAllocBuffer")));
    HBUF buffer = 0;
    ASSERT_EQ(alloc(0, 8, &buffer), 0u);
    EXPECT_EQ(hxDmFreeBuffer(buffer), 0u);
    EXPECT_TRUE(FreeLibrary(module));
}

}  // namespace
