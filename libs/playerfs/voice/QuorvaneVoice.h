// CQuorvane_Voice: tells whether a WAV file is a voice recording the player
// plays.
#pragma once

#ifdef QV_VOICE_EXPORTS
#define QV_VOICE_API __declspec(dllexport)
#else
#define QV_VOICE_API __declspec(dllimport)
#endif

class QV_VOICE_API CQuorvane_Voice {
public:
    CQuorvane_Voice();
    CQuorvane_Voice& operator=(const CQuorvane_Voice& other);

    // 1 for IMA ADPCM, mono, 8000, 11025 or 22050 Hz, else 0. *sampleRate
    // (when not null) receives the file's rate whenever its format was read.
    int IsQuorvanePlayable(const char* path, unsigned long* sampleRate);
};

QV_VOICE_API int fnQuorvane_Voice(void);
extern QV_VOICE_API int nQuorvane_Voice;
