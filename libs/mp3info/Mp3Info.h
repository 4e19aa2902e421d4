// CMP3Info: the tags and stream facts of one MP3 file, as the manager, the
// playlist maker and the analysis controls show them.
#pragma once

#include "core/Mp3Records.h"
#include "core/Mp3TagReader.h"

#ifdef MP3PEEK_EXPORTS
#define MP3PEEK_API __declspec(dllexport)
#else
#define MP3PEEK_API __declspec(dllimport)
#endif

class MP3PEEK_API CMP3Info {
public:
    CMP3Info();
    ~CMP3Info();
    CMP3Info(const CMP3Info& other);
    CMP3Info& operator=(const CMP3Info& other);

    // Reads the file's tags and stream; 0 when it cannot be opened, else 1.
    int SetFilePath(char* path);

    char* GetTitle();
    char* GetArtistName();
    char* GetAlbumName();
    char* GetYear();
    char* GetComment();
    // Copies the genre's name into out (room for 32 bytes) and returns its length.
    int GetGenre(char* out);

    int GetChannel();
    unsigned long GetSize();
    unsigned long GetTotalSeconds();
    // -1 for a variable-bitrate (Xing) file, else kbit/s.
    int GetBitrate();

private:
    int m_unused;
    Mp3TagRecord m_tag;
    Mp3StreamRecord m_stream;
    Mp3TagReader m_reader;
};

MP3PEEK_API int fnMP3Info(void);
extern MP3PEEK_API int nMP3Info;
