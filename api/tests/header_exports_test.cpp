#include <gtest/gtest.h>

#include <set>
#include <string>
#include <type_traits>

#include "export_ordinals.h"
#include "hxdaapi32.h"

namespace {

// Argument bytes of a declaration under the 32-bit stdcall convention: 8 per double, 4 for any
// other argument (pointers and handles are 32-bit there).
template <typename T>
constexpr unsigned stackBytes() {
    return std::is_same_v<T, double> ? 8 : 4;
}
template <typename F>
struct ArgumentBytes;
template <typename R, typename... Args>
struct ArgumentBytes<R (*)(Args...)> {
    static constexpr unsigned value = (0u + ... + stackBytes<Args>());
};

TEST(ExportTable, ArgumentBytesMatchTheDeclarations) {
#define HXDA_EXPORT(name, ordinal, bytes) \
    EXPECT_EQ(ArgumentBytes<decltype(&name)>::value, bytes##u) << #name;
#include "export_ordinals.inc"
#undef HXDA_EXPORT
}

TEST(ExportTable, OrdinalsAreUniqueAndFillExactlyTheUsedRanges) {
    std::set<unsigned> ordinals;
    std::set<std::string> names;
    for (const auto& e : hxda::kExportOrdinals) {
        EXPECT_TRUE(ordinals.insert(e.ordinal).second) << e.ordinal;
        EXPECT_TRUE(names.insert(e.name).second) << e.name;
    }
    auto unused = [](unsigned o) {
        return o <= 10 || (o >= 24 && o <= 27) || (o >= 30 && o <= 35) || o == 81 ||
               (o >= 90 && o <= 93) || (o >= 142 && o <= 199) || (o >= 201 && o <= 299);
    };
    for (unsigned o = 1; o <= 308; ++o)
        EXPECT_EQ(ordinals.count(o), unused(o) ? 0u : 1u) << o;
    EXPECT_EQ(*ordinals.rbegin(), 308u);
    EXPECT_EQ(ordinals.size(), 126u);
}

}  // namespace
