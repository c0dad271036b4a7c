#include "main_dialog.h"

#include "win32/debug.h"
#include "win32/module.h"

namespace boardext {

BOOL RunMainDialog(const char* entryName, LPCSTR boardName, std::uint32_t device,
                   BOOL hasAnalogInputs) {
    OutputDebugStringA("Entering MainDLG....\n");
    HMODULE dialogs = LoadLibraryA(kDialogsModule);
    auto entry = dialogs != nullptr
                     ? reinterpret_cast<FamilyDialogProc>(GetProcAddress(dialogs, entryName))
                     : nullptr;
    if (entry == nullptr) {
        OutputDebugStringA("MainDLG: the dialogs module cannot be loaded\n");
        if (dialogs != nullptr)
            FreeLibrary(dialogs);
        return FALSE;
    }
    OutputDebugStringA("About to call DoModal()....\n");
    const BOOL shown = entry(boardName, device, hasAnalogInputs);
    FreeLibrary(dialogs);
    if (!shown)
        OutputDebugStringA("MainDLG: no forms runtime in this process; nothing shown\n");
    return shown ? TRUE : FALSE;
}

}  // namespace boardext
