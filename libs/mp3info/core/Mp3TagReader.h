// Reading the tags of an MP3 file into the records of CMP3Info: the ID3v1 tag
// at the end of the file, else the text frames of an ID3v2 tag near its start,
// then the stream information.
#pragma once

#include "Mp3ByteSource.h"
#include "Mp3Records.h"
#include "Mp3TextConverter.h"

class Mp3TagReader {
public:
    // Number of names in the genre list; Genre values 1..MP3_GENRE_COUNT name one.
    static const int MP3_GENRE_COUNT = 148;

    virtual ~Mp3TagReader() {}

    // Zeroes both records and fills them from the source: the ID3v1 tag, or
    // the ID3v2 frames when there is none, then the stream.
    void Read(CMp3ByteSource& source, Mp3TagRecord& tag, Mp3StreamRecord& stream,
              const CMp3TextConverter& converter) const;

    // True (and HasTag set) when the last 128 bytes are an ID3v1 tag.
    bool ReadId3v1(CMp3ByteSource& source, Mp3TagRecord& tag) const;
    // Takes the title, artist, album, year, comment and genre frames found in
    // the first 512 bytes.
    void ReadId3v2Frames(CMp3ByteSource& source, Mp3TagRecord& tag, const CMp3TextConverter& converter) const;

    // The name of a Genre value; "" for 0 and values above the list.
    static const char* GenreName(int genre);
};
