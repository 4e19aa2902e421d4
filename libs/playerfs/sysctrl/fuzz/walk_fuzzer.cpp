// Boot sector parse and path walk over a volume made of the input: no input
// may crash, read outside the volume or write before an order is accepted.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "QV_SysCtrl.h"
#include "memory_sector_device.h"
#include "sysctrl_seams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 512 || size > 512 * 1024) return 0;
    std::vector<uint8_t> image(data, data + size);
    image.resize((image.size() + 511) / 512 * 512, 0);
    CMemorySectorDevice device(image);
    SetSysCtrlDevice(&device);
    static const char* const paths[] = {"A:\\", "A:\\A\\", "A:\\A\\B\\", "A:\\..\\", "A:\\MUSIC\\"};
    const char* path = paths[data[510] % 5];
    CQV_SysCtrl ctrl;
    ctrl.SetNewMedia();
    ctrl.InitDirectory(path);
    const std::vector<uint8_t> afterInit = device.Image;
    ctrl.SetFileNum(2);
    ctrl.AddFileName("A");
    ctrl.AddFileName("B");
    const QV_RESULT r = ctrl.SetFileOrder(path);
    if (r != QV_SUCCESS && device.Image != afterInit) std::abort();
    SetSysCtrlDevice(nullptr);
    return 0;
}
