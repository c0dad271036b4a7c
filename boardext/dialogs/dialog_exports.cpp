// The dialogs module's export table: the families' extension libraries find their dialog here by
// name when MainDLG runs.
#include "dialog_entries.h"
#include "win32/exports.h"

MQ_EXPORTS_BEGIN
MQ_EXPORT_AS(1, "Mq5120Dialog", boardext::dialogs::ShowMq5120Dialog, ::win32::kNoDecoration)
MQ_EXPORT_AS(2, "Mq5200Dialog", boardext::dialogs::ShowMq5200Dialog, ::win32::kNoDecoration)
MQ_EXPORT_AS(3, "Mq5130Dialog", boardext::dialogs::ShowMq5130Dialog, ::win32::kNoDecoration)
MQ_EXPORTS_END
