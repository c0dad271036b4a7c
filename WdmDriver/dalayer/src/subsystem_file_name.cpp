#include "dalayer/subsystem_file_name.h"

#include "hxdacodes.h"

namespace dalayer {

namespace {

struct Word {
    const char16_t* text;
    ULONG type;
};
constexpr Word kWords[] = {
    {u"\\AD", HXSS_AD},     {u"\\DA", HXSS_DA}, {u"\\DIN", HXSS_DIN},
    {u"\\DOUT", HXSS_DOUT}, {u"\\CT", HXSS_CT},
};

int HexDigit(WCHAR c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

bool Equals(const WCHAR* text, USHORT length, const char16_t* word) {
    USHORT i = 0;
    for (; i < length && word[i] != u'\0'; ++i)
        if (text[i] != static_cast<WCHAR>(word[i]))
            return false;
    return i == length && word[i] == u'\0';
}

}  // namespace

NTSTATUS ParseSubsystemFileName(const UNICODE_STRING& name, SubsystemFileName* parsed) {
    *parsed = {};
    const USHORT length = static_cast<USHORT>(name.Length / sizeof(WCHAR));
    if (length == 0 || name.Buffer == nullptr) {
        parsed->device = true;
        return STATUS_SUCCESS;
    }
    const int element = HexDigit(name.Buffer[length - 1]);
    if (element < 0)
        return STATUS_INVALID_PARAMETER;
    for (const Word& word : kWords) {
        if (Equals(name.Buffer, length - 1, word.text)) {
            parsed->type = word.type;
            parsed->element = static_cast<ULONG>(element);
            return STATUS_SUCCESS;
        }
    }
    return STATUS_UNSUCCESSFUL;
}

}  // namespace dalayer
