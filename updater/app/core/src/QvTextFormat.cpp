#include "qv/QvTextFormat.h"

std::u16string QvFormatText(const std::u16string& format, const std::vector<std::u16string>& args)
{
    std::u16string out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        char16_t c = format[i];
        if (c == u'%' && i + 1 < format.size()) {
            char16_t k = format[i + 1];
            if (k == u's') {
                if (next < args.size())
                    out += args[next];
                ++next;
                ++i;
                continue;
            }
            if (k == u'%') {
                out += u'%';
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

std::u16string QvLower(const std::u16string& text)
{
    std::u16string out(text);
    for (char16_t& c : out) {
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c + 32);
        else if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
            c = char16_t(c + 32);
    }
    return out;
}
