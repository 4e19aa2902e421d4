// Any bytes as a firmware file: the layout parse must stay inside the input
// and either refuse it or describe an image that lies within it.
#include "qv/QvFwImage.h"
#include "qv/QvErrors.h"
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QvFwLayout layout;
    int r = QvParseFirmware(data, size, layout);
    if (r != 0 && r != QV_E_FILE_FORMAT)
        std::abort();
    if (r == 0) {
        if (layout.imageSize == 0 || layout.imageOffset > size || layout.imageSize != size - layout.imageOffset)
            std::abort();
        if (layout.kind == QV_FW_KIND_RAW && layout.imageOffset != 0)
            std::abort();
        if (layout.kind < QV_FW_KIND_PRODUCT || layout.kind > QV_FW_KIND_RAW)
            std::abort();
    }
    return 0;
}
