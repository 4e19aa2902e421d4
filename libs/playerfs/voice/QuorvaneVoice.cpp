#include <windows.h>
#include <mmsystem.h>

#include "QuorvaneVoice.h"
#include "VoiceFormat.h"

QV_VOICE_API int nQuorvane_Voice = 0;

QV_VOICE_API int fnQuorvane_Voice(void)
{
    return 42;
}

CQuorvane_Voice::CQuorvane_Voice() {}

CQuorvane_Voice& CQuorvane_Voice::operator=(const CQuorvane_Voice&)
{
    return *this;
}

namespace {

// The first 14 bytes of the WAVE form's format chunk; false when the file has
// none or a shorter one (the rest would come from the next chunk).
bool ReadFormatChunk(HMMIO file, unsigned char (&bytes)[VOICE_FORMAT_BYTES])
{
    MMCKINFO riff = {};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR)
        return false;
    MMCKINFO format = {};
    format.ckid = mmioFOURCC('f', 'm', 't', ' ');
    if (mmioDescend(file, &format, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR)
        return false;
    if (format.cksize < VOICE_FORMAT_BYTES)
        return false;
    return mmioRead(file, reinterpret_cast<HPSTR>(bytes), VOICE_FORMAT_BYTES) == static_cast<LONG>(VOICE_FORMAT_BYTES);
}

} // namespace

int CQuorvane_Voice::IsQuorvanePlayable(const char* path, unsigned long* sampleRate)
{
    if (!path)
        return 0;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    HMMIO file = mmioOpenA(const_cast<char*>(path), nullptr, MMIO_READ);
    if (!file)
        return 0;
    unsigned char bytes[VOICE_FORMAT_BYTES] = {};
    const bool read = ReadFormatChunk(file, bytes);
    if (mmioClose(file, 0) != MMSYSERR_NOERROR || !read)
        return 0;
    const VoiceFormat format = ParseVoiceFormat(bytes);
    if (sampleRate)
        *sampleRate = format.SamplesPerSec;
    return IsPlayableVoiceFormat(format) ? 1 : 0;
}
