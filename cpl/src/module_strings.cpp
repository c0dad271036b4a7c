#include "module_strings.h"

#include "win32/module.h"
#include "win32/strings.h"

namespace mqhxcpl {
namespace {

constexpr int kStringBufferSize = 512;

HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&ThisModule), &module);
    return module;
}

}  // namespace

std::string LoadModuleString(UINT id) {
    char text[kStringBufferSize] = "";
    const int length = LoadStringA(ThisModule(), id, text, sizeof text);
    return std::string(text, static_cast<std::size_t>(length > 0 ? length : 0));
}

}  // namespace mqhxcpl

MQ_STRINGTABLE_BEGIN
MQ_STRING(mqhxcpl::kIdsAppletName, "Halcyon Control Panel")
MQ_STRING(mqhxcpl::kIdsAppletDescription,
          "Configures your MQ Halcyon Data Aquisition device settings")
MQ_STRING(mqhxcpl::kIdsHelpFile, "MQHXCPL.HLP")
MQ_STRING(mqhxcpl::kIdsReadOnlyDatabase,
          "The name database is currently read only.\nPlease log in as Administrator if you need "
          "to edit board names.")
MQ_STRING(mqhxcpl::kIdsNameColumn, "MQ-Halcyon Name")
MQ_STRINGTABLE_END
