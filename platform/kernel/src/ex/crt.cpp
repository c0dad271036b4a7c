// The run-time's wide-string calls on 16-bit WCHAR text.
#include "kernel/crt.h"

#include <cstdarg>
#include <string>

SIZE_T wcslen(PCWSTR text) {
    return std::char_traits<WCHAR>::length(text);
}

PWSTR wcsncpy(PWSTR destination, PCWSTR source, SIZE_T count) {
    SIZE_T i = 0;
    for (; i < count && source[i] != u'\0'; ++i)
        destination[i] = source[i];
    for (; i < count; ++i)
        destination[i] = u'\0';
    return destination;
}

int wcsncmp(PCWSTR a, PCWSTR b, SIZE_T count) {
    for (SIZE_T i = 0; i < count; ++i) {
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
        if (a[i] == u'\0')
            return 0;
    }
    return 0;
}

PCWSTR wcschr(PCWSTR text, WCHAR c) {
    for (;; ++text) {
        if (*text == c)
            return text;
        if (*text == u'\0')
            return nullptr;
    }
}

PWSTR wcschr(PWSTR text, WCHAR c) {
    return const_cast<PWSTR>(wcschr(static_cast<PCWSTR>(text), c));
}

PWSTR wmemcpy(PWSTR destination, PCWSTR source, SIZE_T count) {
    std::char_traits<WCHAR>::copy(destination, source, count);
    return destination;
}

namespace {

// The formatted text, as long as it gets; the caller decides what fits.
class Formatter {
  public:
    void Put(WCHAR c) { text_ += c; }
    void Number(unsigned long long value, unsigned base, bool upper, bool negative, bool zeros,
                int width) {
        const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
        std::u16string reversed;
        do {
            reversed += static_cast<WCHAR>(digits[value % base]);
            value /= base;
        } while (value != 0);
        const int length = static_cast<int>(reversed.size()) + (negative ? 1 : 0);
        if (!zeros)
            Pad(width - length, u' ');
        if (negative)
            Put(u'-');
        if (zeros)
            Pad(width - length, u'0');
        text_.append(reversed.rbegin(), reversed.rend());
    }
    void String(PCWSTR text, int width) {
        const std::u16string_view view = text != nullptr ? text : u"(null)";
        Pad(width - static_cast<int>(view.size()), u' ');
        text_ += view;
    }
    const std::u16string& Text() const { return text_; }

  private:
    void Pad(int count, WCHAR c) {
        for (; count > 0; --count)
            Put(c);
    }
    std::u16string text_;
};

}  // namespace

int swprintf(PWSTR buffer, SIZE_T count, PCWSTR format, ...) {
    va_list arguments;
    va_start(arguments, format);
    Formatter out;
    bool stop = false;
    for (PCWSTR f = format; *f != u'\0'; ++f) {
        if (*f != u'%') {
            out.Put(*f);
            continue;
        }
        ++f;
        const bool zeros = *f == u'0';
        if (zeros)
            ++f;
        int width = 0;
        if (*f == u'*') {
            width = va_arg(arguments, int);
            ++f;
        }
        for (; *f >= u'0' && *f <= u'9'; ++f)
            width = width * 10 + (*f - u'0');
        while (*f == u'l' || *f == u'w' || *f == u'h')
            ++f;
        switch (*f) {
            case u'd':
            case u'i': {
                const int value = va_arg(arguments, int);
                const bool negative = value < 0;
                const unsigned long long magnitude =
                    negative ? 0ull - static_cast<unsigned long long>(value)
                             : static_cast<unsigned long long>(value);
                out.Number(magnitude, 10, false, negative, zeros, width);
                break;
            }
            case u'u':
                out.Number(va_arg(arguments, unsigned), 10, false, false, zeros, width);
                break;
            case u'x':
            case u'X':
                out.Number(va_arg(arguments, unsigned), 16, *f == u'X', false, zeros, width);
                break;
            case u'c':
                out.Put(static_cast<WCHAR>(va_arg(arguments, int)));
                break;
            case u's':
            case u'S':
                out.String(va_arg(arguments, PCWSTR), width);
                break;
            case u'%':
                out.Put(u'%');
                break;
            default:  // an unknown conversion, or the format's end, ends the text
                stop = true;
                break;
        }
        if (stop)
            break;
    }
    va_end(arguments);
    if (count == 0)
        return -1;
    const std::u16string& text = out.Text();
    const SIZE_T kept = text.size() < count ? text.size() : count - 1;
    std::char_traits<WCHAR>::copy(buffer, text.data(), kept);
    buffer[kept] = u'\0';
    return kept == text.size() ? static_cast<int>(kept) : -1;
}
