// The library's export table: every entry of the export list (export_ordinals.inc) at its fixed
// ordinal, by name and by decorated name.
#include "hxdaapi32.h"
#include "win32/exports.h"

MQ_EXPORTS_BEGIN
#define HXDA_EXPORT(name, ordinal, bytes) MQ_EXPORT(ordinal, name, bytes)
#include "export_ordinals.inc"
#undef HXDA_EXPORT
MQ_EXPORTS_END
