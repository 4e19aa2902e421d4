// Any bytes given as a header: the reader must stay inside them and either
// fail cleanly or give facts whose texts fit what was there.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "AsfHeader.h"
#include "AsfText.h"

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
    for (const std::u16string* s : {&t.title, &t.author, &t.album, &t.year, &t.description, &t.genre})
        if (s->size() * 2 > size)
            std::abort();
    wmapeek::BitrateInKiloBits(wmapeek::ChooseBitrate(facts));
    const std::u16string year = wmapeek::LeadingCharacters(t.year, 4);
    if (year.size() > 8)
        std::abort();
    return 0;
}
