#include "board/model_table.h"

namespace board {

namespace {

struct ModelRow {
    ULONG type;
    PCWSTR name;
};

constexpr ModelRow kModels[] = {
    {0, u"MQ5120-16-04-12"},  {1, u"MQ5120-00-04-12"},  {2, u"MQ5120-16-00-12"},
    {4, u"MQ5120-16-04-16"},  {5, u"MQ5120-00-04-16"},  {6, u"MQ5120-16-00-16"},
    {8, u"MQ5120-32-04-12"},  {9, u"MQ5120-00-04-12"},  {10, u"MQ5120-32-00-12"},
    {12, u"MQ5120-32-04-16"}, {13, u"MQ5120-00-04-16"}, {14, u"MQ5120-32-00-16"},
};

}  // namespace

PCWSTR ModelName(ULONG boardType) {
    for (const ModelRow& row : kModels)
        if (row.type == boardType)
            return row.name;
    return u"UNKNOWN";
}

bool HasNoAnalogOutput(ULONG boardType) {
    return boardType == 2 || boardType == 6 || boardType == 10 || boardType == 14;
}

}  // namespace board
