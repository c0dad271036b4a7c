#include "dalayer/subsystem_file_name.h"

#include "hxdacodes.h"

namespace dalayer {

namespace {

struct Word {
    const wchar_t* text;
    ULONG type;
};
constexpr Word kWords[] = {
    {L"\\AD", HXSS_AD},     {L"\\DA", HXSS_DA}, {L"\\DIN", HXSS_DIN},
    {L"\\DOUT", HXSS_DOUT}, {L"\\CT", HXSS_CT},
};

int HexDigit(WCHAR c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

bool Equals(const WCHAR* text, USHORT length, const wchar_t* word) {
    USHORT i = 0;
    for (; i < length && word[i] != L'\0'; ++i)
        if (text[i] != static_cast<WCHAR>(word[i]))
            return false;
    return i == length && word[i] == L'\0';
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
