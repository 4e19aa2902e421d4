// The command-line parser over any UTF-16 text, with the English keywords.
#include "qv/CmdLineOptions.h"
#include <cstddef>
#include <cstdint>
#include <map>

namespace {
class CKeywords : public CQvResource {
public:
    CKeywords() : CQvResource("CQvResource") {}
    int StatusText(uint16_t, std::u16string& text, int) override { text.clear(); return 0; }
    int String(int id, std::u16string& text) override
    {
        static const std::map<int, std::u16string> texts = {
            {198, u"log"}, {199, u"unattended"}, {200, u"autorun"}, {201, u"autoclose"}, {202, u"quiet"},
            {204, u"format"}, {206, u"help"}, {625, u"english"}, {205, u"%s %s %s %s %s %s %s %s %s %s %s"}};
        auto it = texts.find(id);
        text = it == texts.end() ? std::u16string() : it->second;
        return 0;
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CKeywords keywords;
    static CQvConfigInfo config;
    config.SetResource(&keywords);
    std::u16string line(size / 2, u' ');
    for (size_t i = 0; i + 1 < size; i += 2)
        line[i / 2] = char16_t(data[i] | (data[i + 1] << 8));
    CmdLineOptions options(line, &config);
    if (options.LastError() == 0 && options.Log() && options.LogPath().empty())
        __builtin_trap();
    std::u16string usage;
    options.UsageText(usage);
    return 0;
}
