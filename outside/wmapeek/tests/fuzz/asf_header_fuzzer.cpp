// Any bytes given as a header: the reader must stay inside them and either
// fail cleanly or give facts whose texts fit what was there.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "AsfHeader.h"
#include "AsfText.h"

namespace {

bool LeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Every text goes into the members' sizes as a double-byte text would: the
// field stays ended and never holds more than it can.
void FitEverywhere(const std::u16string& text)
{
    std::string bytes;
    for (char16_t c : text)
        bytes.push_back(static_cast<char>(c & 0xFF));
    for (size_t fieldSize : {size_t{1}, size_t{5}, size_t{256}}) {
        char field[256];
        const size_t copied = wmapeek::CopyTextField(bytes, field, fieldSize, LeadByte);
        if (copied >= fieldSize || field[copied] != '\0' || std::strlen(field) != copied)
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    wmapeek::ASF_FACTS facts;
    const wmapeek::ASF_RESULT result = wmapeek::ParseAsfHeader(data, size, facts);
    if (result != wmapeek::ASF_OK) {
        if (!facts.tags.title.empty() || facts.hasFileProperties || facts.hasAudioStream)
            std::abort();
        return 0;
    }
    // No text can hold more characters than the header has bytes.
    const wmapeek::ASF_TAGS& t = facts.tags;
    for (const std::u16string* s : {&t.title, &t.author, &t.album, &t.year, &t.description, &t.genre}) {
        if (s->size() * 2 > size)
            std::abort();
        FitEverywhere(*s);
    }
    wmapeek::BitrateInKiloBits(wmapeek::ChooseBitrate(facts));
    const std::u16string year = wmapeek::LeadingCharacters(t.year, 4);
    if (year.size() > 8)
        std::abort();
    return 0;
}
