// Block compression interface: whole buffers in memory, no headers, no streaming.
#pragma once

#include "base/GsInterface.h"

class IGsCompress : public IGsInterface {
public:
    // Compresses srcLen bytes of src into dst and returns the number of bytes written.
    // dstCapacity is not consulted: dst must hold the codec's worst case for srcLen.
    virtual int Compress(const void* src, void* dst, int srcLen, int dstCapacity) = 0;
    // Expands srcLen bytes of src into dst. dstCapacity > 0 bounds the output; 0 (or a
    // negative value) leaves it unbounded, and dst must then hold everything the stream
    // produces. Returns 1, or 0 when the output was stopped at dstCapacity because the
    // stream wanted to write more.
    virtual int Decompress(const void* src, void* dst, int srcLen, int dstCapacity) = 0;
};
