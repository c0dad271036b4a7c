// The library's export table: every entry of the export list at its fixed ordinal, by name and by
// decorated name.
#include "plot32.h"
#include "win32/exports.h"

MQ_EXPORTS_BEGIN
#define PLOT32_EXPORT_ENTRY(name, ordinal, bytes) MQ_EXPORT(ordinal, name, bytes)
#include "export_ordinals.inc"
#undef PLOT32_EXPORT_ENTRY
MQ_EXPORTS_END
