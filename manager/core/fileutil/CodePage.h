// The ANSI code page a text is written in, reduced to what the path and name
// functions need: which bytes start a double-byte character. The Windows shell
// asks the system; the Windows-free core and its tests get a fixed rule.
#pragma once

class CCodePage {
public:
    virtual ~CCodePage() = default;
    virtual bool IsLeadByte(unsigned char byte) const = 0;
};

// Code pages with one byte per character (1252 and the like).
class CSingleByteCodePage : public CCodePage {
public:
    bool IsLeadByte(unsigned char) const override { return false; }
};
