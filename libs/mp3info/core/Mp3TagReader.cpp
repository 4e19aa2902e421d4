#include "Mp3TagReader.h"

#include <algorithm>
#include <cstring>

#include "Mp3StreamReader.h"

namespace {

const std::size_t ID3V1_SIZE = 128;
const std::size_t ID3V2_READ = 512;
const std::size_t TEXT_LIMIT = 30;
const std::size_t YEAR_LIMIT = 4;

// Copies an ID3v1 field (blank or NUL padded) and cuts its trailing blanks.
void CopyV1Field(char* out, const unsigned char* in, std::size_t n)
{
    std::memcpy(out, in, n);
    out[n] = '\0';
    std::size_t len = std::strlen(out);
    while (len > 0 && out[len - 1] == ' ')
        --len;
    out[len] = '\0';
}

std::size_t FindId(const unsigned char* data, std::size_t count, const char* id)
{
    for (std::size_t i = 0; i + 4 <= count; ++i)
        if (std::memcmp(data + i, id, 4) == 0)
            return i;
    return MP3_NO_SYNC;
}

// "(17)" names genre 17; the record holds it as 18. More than three digits,
// or none, names no genre; a text without '(' leaves the genre alone.
void TakeGenre(const char* text, std::int32_t& genre)
{
    if (text[0] != '(')
        return;
    int digits = 0;
    int n = 0;
    for (const char* p = text + 1; *p >= '0' && *p <= '9'; ++p) {
        if (digits < 3)
            n = n * 10 + (*p - '0');
        ++digits;
    }
    genre = (digits >= 1 && digits <= 3) ? n + 1 : 0;
}

// The text of the frame whose id stands at p, as the record holds it.
std::string FrameText(const unsigned char* buf, std::size_t count, std::size_t p, bool comment, std::size_t limit,
                      const CMp3TextConverter& converter)
{
    if (p + 8 > count)
        return std::string();
    const std::uint32_t size = static_cast<std::uint32_t>(buf[p + 4]) << 24 | static_cast<std::uint32_t>(buf[p + 5]) << 16 |
                               static_cast<std::uint32_t>(buf[p + 6]) << 8 | buf[p + 7];
    if (size == 0)
        return std::string();
    const std::size_t textLength = size - 1;

    const std::size_t encodingAt = p + 10;
    if (encodingAt < count && buf[encodingAt] >= MP3_TEXT_UTF16 && buf[encodingAt] <= MP3_TEXT_UTF8) {
        const unsigned char* text = buf + encodingAt + 1;
        std::size_t n = count - (encodingAt + 1);
        if (n > textLength)
            n = textLength;
        std::string out;
        if (comment) {
            // The language code is always Latin-1 and leads the comment, as
            // it does for a Latin-1 comment frame.
            std::size_t k = 0;
            for (; k < 3 && k < n && text[k]; ++k)
                out.push_back(static_cast<char>(text[k]));
            if (k < 3)
                return out.substr(0, limit);
            text += 3;
            n -= 3;
            if (out.size() > limit)
                out.resize(limit);
        }
        return out + Mp3ConvertText(text, n, buf[encodingAt], converter, limit - out.size());
    }

    // Latin-1: the flags and the encoding byte are zero and passed over.
    // Whatever lies past the frame belongs to the next one and is not text.
    const std::uint64_t frameEnd = static_cast<std::uint64_t>(p) + 10 + size;
    std::size_t start = p + 8;
    while (start < count && buf[start] == 0)
        ++start;
    if (start >= frameEnd)
        return std::string();
    std::size_t n = count - start;
    if (n > textLength)
        n = textLength;
    if (n > frameEnd - start)
        n = static_cast<std::size_t>(frameEnd - start);
    if (n > limit)
        n = limit;
    const char* s = reinterpret_cast<const char*>(buf + start);
    return std::string(s, strnlen(s, n));
}

// Every step reads near the start of the file (the ID3v2 frames, the sync
// window, the first frame): reading that part once saves most file calls.
class CHeadCache : public CMp3ByteSource {
public:
    explicit CHeadCache(CMp3ByteSource& source) : m_source(source), m_size(source.GetSize())
    {
        m_got = source.ReadAt(0, m_head, sizeof m_head);
    }
    std::uint64_t GetSize() override { return m_size; }
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override
    {
        const bool wholeFile = m_got == m_size;
        if (offset + count <= m_got || (wholeFile && offset <= m_got)) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, m_got - offset));
            std::memcpy(buffer, m_head + offset, n);
            return n;
        }
        return m_source.ReadAt(offset, buffer, count);
    }

private:
    CMp3ByteSource& m_source;
    std::uint64_t m_size;
    unsigned char m_head[MP3_SYNC_WINDOW];
    std::size_t m_got;
};

} // namespace

void Mp3TagReader::Read(CMp3ByteSource& source, Mp3TagRecord& tag, Mp3StreamRecord& stream,
                        const CMp3TextConverter& converter) const
{
    tag = Mp3TagRecord{};
    stream = Mp3StreamRecord{};
    CHeadCache head(source);
    if (!ReadId3v1(head, tag))
        ReadId3v2Frames(head, tag, converter);
    Mp3ReadStream(head, stream);
    if (stream.Bitrate < 0 || stream.Bitrate > 999)
        stream.Bitrate = 0;
}

bool Mp3TagReader::ReadId3v1(CMp3ByteSource& source, Mp3TagRecord& tag) const
{
    const std::uint64_t size = source.GetSize();
    if (size < ID3V1_SIZE)
        return false;
    unsigned char t[ID3V1_SIZE];
    std::memset(t, 0, sizeof t);
    if (source.ReadAt(size - ID3V1_SIZE, t, sizeof t) != sizeof t || std::memcmp(t, "TAG", 3) != 0)
        return false;
    tag.HasTag = 1;
    CopyV1Field(tag.Title, t + 3, 30);
    CopyV1Field(tag.Artist, t + 33, 30);
    CopyV1Field(tag.Album, t + 63, 30);
    CopyV1Field(tag.Year, t + 93, 4);
    CopyV1Field(tag.Comment, t + 97, 30);
    tag.Genre = static_cast<std::int32_t>(t[127]) + 1;
    return true;
}

void Mp3TagReader::ReadId3v2Frames(CMp3ByteSource& source, Mp3TagRecord& tag, const CMp3TextConverter& converter) const
{
    unsigned char buf[ID3V2_READ];
    std::memset(buf, 0, sizeof buf);
    const std::size_t count = source.ReadAt(0, buf, sizeof buf);

    struct Field {
        const char* id;
        char* out;
        std::size_t limit;
    };
    const Field fields[] = {
        {"TIT2", tag.Title, TEXT_LIMIT},  {"TPE1", tag.Artist, TEXT_LIMIT}, {"TALB", tag.Album, TEXT_LIMIT},
        {"TYER", tag.Year, YEAR_LIMIT},   {"COMM", tag.Comment, TEXT_LIMIT},
    };
    for (const Field& f : fields) {
        const std::size_t p = FindId(buf, count, f.id);
        if (p == MP3_NO_SYNC)
            continue;
        const std::string text = FrameText(buf, count, p, std::strcmp(f.id, "COMM") == 0, f.limit, converter);
        std::memcpy(f.out, text.data(), text.size());
        f.out[text.size()] = '\0';
    }
    const std::size_t p = FindId(buf, count, "TCON");
    if (p != MP3_NO_SYNC)
        TakeGenre(FrameText(buf, count, p, false, TEXT_LIMIT, converter).c_str(), tag.Genre);
}
