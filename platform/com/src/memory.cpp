// The task allocator, the freeing of filled call records and of predefined-string lists.
#include <cstdlib>
#include <cstring>

#include "com/browsing.h"
#include "com/dispatch.h"
#include "com/runtime.h"

extern "C" {

LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb) {
    return std::malloc(cb == 0 ? 1 : cb);
}

void WINAPI CoTaskMemFree(LPVOID pv) {
    std::free(pv);
}

}  // extern "C"

void ClearExcepInfo(EXCEPINFO* info) {
    if (info == nullptr)
        return;
    SysFreeString(info->bstrSource);
    SysFreeString(info->bstrDescription);
    SysFreeString(info->bstrHelpFile);
    std::memset(info, 0, sizeof(*info));
}

namespace com {

LPOLESTR AllocTaskText(std::string_view narrow) {
    auto* text = static_cast<LPOLESTR>(CoTaskMemAlloc((narrow.size() + 1) * sizeof(OLECHAR)));
    if (text == nullptr)
        return nullptr;
    for (std::size_t i = 0; i < narrow.size(); ++i)
        text[i] = static_cast<OLECHAR>(static_cast<unsigned char>(narrow[i]));
    text[narrow.size()] = 0;
    return text;
}

void FreePredefined(CALPOLESTR* strings, CADWORD* cookies) {
    if (strings != nullptr) {
        for (ULONG i = 0; i < strings->cElems && strings->pElems != nullptr; ++i)
            CoTaskMemFree(strings->pElems[i]);
        CoTaskMemFree(strings->pElems);
        *strings = CALPOLESTR{0, nullptr};
    }
    if (cookies != nullptr) {
        CoTaskMemFree(cookies->pElems);
        *cookies = CADWORD{0, nullptr};
    }
}

}  // namespace com
