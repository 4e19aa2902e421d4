// Every text rule of the file utilities on arbitrary bytes, read as Korean
// (code page 949) text: nothing may crash, and shortened names must keep the
// promised bound and whole characters.
#include "fileutil/FileText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class CKoreanCodePage : public CCodePage {
public:
    bool IsLeadByte(unsigned char b) const override { return b >= 0x81 && b <= 0xFE; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const CKoreanCodePage korean;
    const CFileText text(korean);
    if (size == 0)
        return 0;
    // First byte: the maximum length for ShortenName; the rest: the text.
    const int maxLength = data[0];
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);

    int number = 0;
    text.ParseInt(input, number);
    double decimal = 0;
    if (!text.ParseDecimal(input, decimal) && decimal != 0)
        std::abort();
    text.GetFileExt(input);
    text.GetPathRoot(input);
    text.GetFolderPath(input);
    text.GetFileName(input);
    text.GetPathKind(input);
    text.GetFileKindFlag(0, input);
    std::vector<std::string> parts;
    text.SplitPath(input, parts);

    const std::string shortened = text.ShortenName(input, maxLength);
    if (input.size() <= static_cast<std::size_t>(maxLength)) {
        if (shortened != input)
            std::abort();
    } else {
        if (shortened.size() > static_cast<std::size_t>(maxLength) + 2)
            std::abort();
        const std::size_t dots = shortened.rfind("..");
        if (dots == std::string::npos)
            std::abort();
    }
    return 0;
}
