#include "AsfHeader.h"

#include <cstring>

namespace wmapeek {

namespace {

using Guid = uint8_t[16];

// GUIDs as they lie in the file (the first three fields little-endian).
const Guid kHeaderObject = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                            0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const Guid kFileProperties = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                              0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const Guid kStreamProperties = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const Guid kAudioMedia = {0x40, 0x9E, 0x69, 0xF8, 0x4D, 0x5B, 0xCF, 0x11,
                          0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};
const Guid kStreamBitrateProperties = {0xCE, 0x75, 0xF8, 0x7B, 0x8D, 0x46, 0xD1, 0x11,
                                       0x8D, 0x82, 0x00, 0x60, 0x97, 0xC9, 0xA2, 0xB2};
const Guid kContentDescription = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                  0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const Guid kExtendedContentDescription = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                          0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
const Guid kHeaderExtension = {0xB5, 0x03, 0xBF, 0x5F, 0x2E, 0xA9, 0xCF, 0x11,
                               0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const Guid kMetadata = {0xEA, 0xCB, 0xF8, 0xC5, 0xAF, 0x5B, 0x77, 0x48,
                        0x84, 0x67, 0xAA, 0x8C, 0x44, 0xFA, 0x4C, 0xCA};
const Guid kMetadataLibrary = {0x94, 0x1C, 0x23, 0x44, 0x98, 0x94, 0xD1, 0x49,
                               0xA1, 0x41, 0x1D, 0x13, 0x4E, 0x45, 0x70, 0x54};

constexpr size_t kObjectPrefix = 24;  // GUID and 64-bit size

// Attribute value types of the extended content description and metadata objects.
enum : uint16_t {
    VALUE_UNICODE = 0,
    VALUE_BYTES = 1,
    VALUE_BOOL = 2,
    VALUE_DWORD = 3,
    VALUE_QWORD = 4,
    VALUE_WORD = 5,
};

// Reads little-endian fields from a span; any read past the end marks the
// reader failed and returns zeros, so one check after a group of reads does.
class CByteReader {
public:
    CByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool Failed() const { return m_failed; }
    size_t Left() const { return m_size - m_pos; }
    size_t Pos() const { return m_pos; }

    const uint8_t* Take(uint64_t count)
    {
        if (m_failed || count > Left()) {
            m_failed = true;
            return nullptr;
        }
        const uint8_t* p = m_data + m_pos;
        m_pos += static_cast<size_t>(count);
        return p;
    }
    uint64_t Le(size_t bytes)
    {
        const uint8_t* p = Take(bytes);
        uint64_t v = 0;
        if (p != nullptr)
            for (size_t i = bytes; i-- > 0;)
                v = (v << 8) | p[i];
        return v;
    }
    uint16_t U16() { return static_cast<uint16_t>(Le(2)); }
    uint32_t U32() { return static_cast<uint32_t>(Le(4)); }
    uint64_t U64() { return Le(8); }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_failed = false;
};

bool SameGuid(const uint8_t* p, const Guid& g) { return std::memcmp(p, g, sizeof(Guid)) == 0; }

// A UTF-16LE text of byteCount bytes; it ends at its first NUL (the stored
// terminator, or an early one), and an odd last byte is ignored.
std::u16string Utf16Text(const uint8_t* p, size_t byteCount)
{
    std::u16string text;
    text.reserve(byteCount / 2);
    for (size_t i = 0; i + 1 < byteCount; i += 2) {
        const char16_t c = static_cast<char16_t>(p[i] | (p[i + 1] << 8));
        if (c == 0)
            break;
        text.push_back(c);
    }
    return text;
}

std::u16string DecimalText(uint64_t v)
{
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + v % 10));
        v /= 10;
    } while (v != 0);
    return digits;
}

// The text of an attribute value; numbers give their decimal text (some
// taggers store WM/Year as a number), other types give no text.
std::u16string AttributeText(uint16_t type, const uint8_t* p, size_t length)
{
    CByteReader r(p, length);
    switch (type) {
    case VALUE_UNICODE:
        return Utf16Text(p, length);
    case VALUE_DWORD:
        if (length == 4)
            return DecimalText(r.U32());
        break;
    case VALUE_QWORD:
        if (length == 8)
            return DecimalText(r.U64());
        break;
    case VALUE_WORD:
        if (length == 2)
            return DecimalText(r.U16());
        break;
    default:
        break;
    }
    return std::u16string();
}

bool NameIs(const std::u16string& name, const char* ascii)
{
    size_t i = 0;
    for (; ascii[i] != '\0'; ++i)
        if (i >= name.size() || name[i] != static_cast<char16_t>(ascii[i]))
            return false;
    return i == name.size();
}

// Keeps the first non-empty value of each text, in the order the objects
// come: an empty content description field leaves room for the same
// attribute stored elsewhere (a tagger moves texts over 64 KB to the
// metadata library).
void Offer(std::u16string& slot, const std::u16string& value)
{
    if (slot.empty() && !value.empty())
        slot = value;
}

void OfferAttribute(ASF_TAGS& tags, const std::u16string& name, const std::u16string& value, uint16_t type)
{
    if (NameIs(name, "Title"))
        Offer(tags.title, value);
    else if (NameIs(name, "Author"))
        Offer(tags.author, value);
    else if (NameIs(name, "Description"))
        Offer(tags.description, value);
    else if (NameIs(name, "Copyright"))
        Offer(tags.copyright, value);
    else if (NameIs(name, "WM/AlbumTitle"))
        Offer(tags.album, value);
    else if (NameIs(name, "WM/Year")) {
        if (tags.year.empty() && !value.empty())
            tags.yearIsNumber = type != VALUE_UNICODE;
        Offer(tags.year, value);
    }
    else if (NameIs(name, "WM/Genre"))
        Offer(tags.genre, value);
}

bool ParseFileProperties(CByteReader r, ASF_FACTS& facts)
{
    r.Take(16);               // file ID
    const uint64_t fileSize = r.U64();
    r.Take(8 * 5);            // creation date, packet count, play and send duration, preroll
    r.Take(4 * 3);            // flags, minimum and maximum packet size
    const uint32_t maxBitrate = r.U32();
    if (r.Failed())
        return false;
    if (!facts.hasFileProperties) {
        facts.hasFileProperties = true;
        facts.fileSize = fileSize;
        facts.maxBitrate = maxBitrate;
    }
    return true;
}

bool ParseStreamProperties(CByteReader r, ASF_FACTS& facts)
{
    const uint8_t* streamType = r.Take(16);
    r.Take(16);               // error correction type
    r.Take(8);                // time offset
    const uint32_t typeDataLength = r.U32();
    const uint32_t correctionLength = r.U32();
    r.Take(2 + 4);            // flags, reserved
    const uint8_t* typeData = r.Take(typeDataLength);
    r.Take(correctionLength);
    if (r.Failed())
        return false;
    if (!SameGuid(streamType, kAudioMedia) || facts.hasAudioStream)
        return true;
    // WAVEFORMATEX: format tag, channels, samples per second, then the
    // average bytes per second.
    CByteReader format(typeData, typeDataLength);
    format.Take(2 + 2 + 4);
    const uint32_t bytesPerSecond = format.U32();
    if (format.Failed())
        return false;
    facts.hasAudioStream = true;
    facts.audioBytesPerSecond = bytesPerSecond;
    return true;
}

bool ParseStreamBitrates(CByteReader r, ASF_FACTS& facts)
{
    const uint16_t count = r.U16();
    uint64_t sum = 0;
    for (uint16_t i = 0; i < count && !r.Failed(); ++i) {
        r.U16();              // flags with the stream number
        sum += r.U32();
    }
    if (r.Failed())
        return false;
    if (!facts.hasStreamBitrates) {
        facts.hasStreamBitrates = true;
        facts.streamBitrateSum = sum;
    }
    return true;
}

bool ParseContentDescription(CByteReader r, ASF_TAGS& tags)
{
    uint16_t lengths[5];
    for (uint16_t& length : lengths)
        length = r.U16();
    std::u16string texts[5];
    for (size_t i = 0; i < 5; ++i) {
        const uint8_t* p = r.Take(lengths[i]);
        if (p != nullptr)
            texts[i] = Utf16Text(p, lengths[i]);
    }
    if (r.Failed())
        return false;
    Offer(tags.title, texts[0]);
    Offer(tags.author, texts[1]);
    Offer(tags.copyright, texts[2]);
    Offer(tags.description, texts[3]);  // texts[4] is the rating
    return true;
}

bool ParseExtendedContentDescription(CByteReader r, ASF_TAGS& tags)
{
    const uint16_t count = r.U16();
    for (uint16_t i = 0; i < count; ++i) {
        const uint16_t nameLength = r.U16();
        const uint8_t* name = r.Take(nameLength);
        const uint16_t type = r.U16();
        const uint16_t valueLength = r.U16();
        const uint8_t* value = r.Take(valueLength);
        if (r.Failed())
            return false;
        OfferAttribute(tags, Utf16Text(name, nameLength), AttributeText(type, value, valueLength), type);
    }
    return true;
}

// The metadata object and the metadata library object share one record
// layout; only attributes of the whole file (stream 0) are tags.
bool ParseMetadataRecords(CByteReader r, ASF_TAGS& tags)
{
    const uint16_t count = r.U16();
    for (uint16_t i = 0; i < count; ++i) {
        r.U16();              // language list index (reserved in the metadata object)
        const uint16_t stream = r.U16();
        const uint16_t nameLength = r.U16();
        const uint16_t type = r.U16();
        const uint32_t valueLength = r.U32();
        const uint8_t* name = r.Take(nameLength);
        const uint8_t* value = r.Take(valueLength);
        if (r.Failed())
            return false;
        if (stream == 0)
            OfferAttribute(tags, Utf16Text(name, nameLength), AttributeText(type, value, valueLength), type);
    }
    return true;
}

// Walks count objects (or, with walkAll, every object) of a span, each a
// GUID, a 64-bit size that includes those 24 bytes, and its data.
template <typename Visit>
bool WalkObjects(CByteReader r, uint32_t count, bool walkAll, Visit visit)
{
    for (uint32_t i = 0; walkAll ? r.Left() > 0 : i < count; ++i) {
        const uint8_t* guid = r.Take(16);
        const uint64_t size = r.U64();
        if (r.Failed() || size < kObjectPrefix)
            return false;
        const uint8_t* body = r.Take(size - kObjectPrefix);
        if (body == nullptr)
            return false;
        if (!visit(guid, CByteReader(body, static_cast<size_t>(size - kObjectPrefix))))
            return false;
    }
    return true;
}

bool ParseHeaderExtension(CByteReader r, ASF_TAGS& tags)
{
    r.Take(16 + 2);           // reserved GUID and reserved field
    const uint32_t dataSize = r.U32();
    const uint8_t* data = r.Take(dataSize);
    if (data == nullptr)
        return false;
    return WalkObjects(CByteReader(data, dataSize), 0, true,
                       [&](const uint8_t* guid, CByteReader body) {
                           if (SameGuid(guid, kMetadata) || SameGuid(guid, kMetadataLibrary))
                               return ParseMetadataRecords(body, tags);
                           return true;
                       });
}

}  // namespace

ASF_RESULT ReadAsfHeaderSize(const uint8_t* data, size_t size, uint64_t& headerSize)
{
    headerSize = 0;
    if (data == nullptr || size < 16 || !SameGuid(data, kHeaderObject))
        return ASF_NOT_ASF;
    if (size < ASF_HEADER_PREFIX_SIZE)
        return ASF_TRUNCATED;
    CByteReader r(data + 16, 8);
    const uint64_t declared = r.U64();
    if (declared < ASF_HEADER_PREFIX_SIZE)
        return ASF_BAD_OBJECT;
    headerSize = declared;
    return ASF_OK;
}

ASF_RESULT ParseAsfHeader(const uint8_t* data, size_t size, ASF_FACTS& facts)
{
    facts = ASF_FACTS();
    uint64_t headerSize = 0;
    const ASF_RESULT prefix = ReadAsfHeaderSize(data, size, headerSize);
    if (prefix != ASF_OK)
        return prefix;
    if (headerSize > size)
        return ASF_TRUNCATED;

    CByteReader header(data, static_cast<size_t>(headerSize));
    header.Take(16 + 8);
    const uint32_t objectCount = header.U32();
    header.Take(2);           // two reserved bytes

    ASF_FACTS found;
    const bool ok = WalkObjects(header, objectCount, false, [&](const uint8_t* guid, CByteReader body) {
        if (SameGuid(guid, kFileProperties))
            return ParseFileProperties(body, found);
        if (SameGuid(guid, kStreamProperties))
            return ParseStreamProperties(body, found);
        if (SameGuid(guid, kStreamBitrateProperties))
            return ParseStreamBitrates(body, found);
        if (SameGuid(guid, kContentDescription))
            return ParseContentDescription(body, found.tags);
        if (SameGuid(guid, kExtendedContentDescription))
            return ParseExtendedContentDescription(body, found.tags);
        if (SameGuid(guid, kHeaderExtension))
            return ParseHeaderExtension(body, found.tags);
        return true;
    });
    if (!ok)
        return ASF_BAD_OBJECT;
    facts = found;
    return ASF_OK;
}

uint32_t ChooseBitrate(const ASF_FACTS& facts)
{
    if (facts.hasStreamBitrates && facts.streamBitrateSum != 0)
        return facts.streamBitrateSum > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(facts.streamBitrateSum);
    if (facts.hasAudioStream && facts.audioBytesPerSecond != 0) {
        const uint64_t bits = static_cast<uint64_t>(facts.audioBytesPerSecond) * 8;
        return bits > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bits);
    }
    if (facts.hasFileProperties)
        return facts.maxBitrate;
    return 0;
}

uint32_t BitrateInKiloBits(uint32_t bitsPerSecond)
{
    if (bitsPerSecond == 0)
        return 0;
    const uint64_t units = (static_cast<uint64_t>(bitsPerSecond) + 512) / 1024;
    if (units == 0)
        return 1;
    return units > ASF_MAX_KILOBITS ? ASF_MAX_KILOBITS : static_cast<uint32_t>(units);
}

}  // namespace wmapeek
