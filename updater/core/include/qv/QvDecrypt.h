// Hands the image loader its own copy of the image bytes.
#pragma once
#include "qv/QvBase.h"
#include <cstddef>
#include <cstdint>

class CQvDecrypt : public CQvBase {
public:
    // out receives a new block (owned by the caller, freed with delete[]) of
    // outLength bytes; on failure out is null and last error -1.
    CQvDecrypt(const uint8_t* input, size_t length, uint8_t*& out, size_t& outLength, std::string name = "CQvDecrypt");
};
