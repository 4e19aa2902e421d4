// Feeds arbitrary device replies to every reply parser and sense description.
#include "qv/QvScsiCommand.h"
#include "qv/QvScsiTransport.h"
#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CQvByteArray reply(data, size);
    uint8_t type = size ? data[0] : 0;
    uint16_t v16;
    uint32_t v32;
    uint8_t flag;
    std::string text;
    CQvVersionInfo version;

    CQvGetLogicalTable table(10);
    table.ParseReply(reply);
    LogicalMediaTable out;
    if (table.GetTable(out) == 0 && out.count > 10)
        __builtin_trap();

    CQvGetChipMajorRevId chip;
    chip.ParseReply(reply);
    chip.GetRevision(v16);

    CQvGetLogicalMediaInfo media(type, uint32_t(size));
    media.ParseReply(reply);
    media.GetFlag(flag);

    CQvGetLogicalDriveInfo drive(0, type % 12, uint32_t(size));
    drive.ParseReply(reply);
    drive.GetSectorSize(v32);
    drive.GetVersion(version);

    CQvScsiInquiry inquiry;
    inquiry.ParseReply(reply);
    inquiry.GetVendorId(text);
    inquiry.GetProductId(text);
    inquiry.GetRevision(text);
    QvIdentityMatches(reply, "Vilo    ", "Lark            ");

    CQvReadCapacity capacity;
    capacity.ParseReply(reply);
    capacity.GetLastBlock(v32);
    capacity.GetBlockLength(v32);

    CQvRead read(0, 1, 512);
    read.ParseReply(reply);
    std::vector<uint8_t> sector(512);
    read.GetData(sector.data(), sector.size());

    QvSenseText(&reply, nullptr);
    return 0;
}
