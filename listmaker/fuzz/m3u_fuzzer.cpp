// Any bytes as an M3U file: the reader must neither crash nor return an entry
// that is empty, holds a NUL or a line end (CR or LF).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "M3uCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    for (const char* folder : {"", "LISTS"}) {
        for (const std::string& e : listforge::ParseM3uText(text, folder)) {
            if (e.empty() || e.find('\0') != std::string::npos || e.find_first_of("\r\n") != std::string::npos)
                abort();
        }
    }
    listforge::SplitFileDialogResult(text.data(), text.size(), size ? data[0] : 0);
    listforge::M3uFolderOf(text);
    return 0;
}
