// A plain, literal implementation of the LZSS codec: byte-by-byte comparisons, a 17-byte group
// buffer, a ring in both directions. It is the yardstick for the benchmark and the reference
// that the tests hold the real codec to, byte for byte. Not for production use: no bounds.
#pragma once

#include <string.h>

struct LzssBaseline {
    enum { N = 4096, F = 18, THRESHOLD = 2, NIL = N };

    unsigned char ring[N + F - 1];
    int lson[N + 1], rson[N + 257], dad[N + 1];
    int matchPos, matchLen;

    void InsertNode(int r)
    {
        int i, p, cmp = 1;
        unsigned char* key = &ring[r];
        p = N + 1 + key[0];
        rson[r] = lson[r] = NIL;
        matchLen = 0;
        for (;;) {
            if (cmp >= 0) {
                if (rson[p] != NIL) p = rson[p];
                else { rson[p] = r; dad[r] = p; return; }
            } else {
                if (lson[p] != NIL) p = lson[p];
                else { lson[p] = r; dad[r] = p; return; }
            }
            for (i = 1; i < F; i++)
                if ((cmp = key[i] - ring[p + i]) != 0) break;
            if (i > matchLen) {
                matchPos = p;
                if ((matchLen = i) >= F) break;
            }
        }
        dad[r] = dad[p]; lson[r] = lson[p]; rson[r] = rson[p];
        dad[lson[p]] = r; dad[rson[p]] = r;
        if (rson[dad[p]] == p) rson[dad[p]] = r; else lson[dad[p]] = r;
        dad[p] = NIL;
    }

    void DeleteNode(int p)
    {
        int q;
        if (dad[p] == NIL) return;
        if (rson[p] == NIL) q = lson[p];
        else if (lson[p] == NIL) q = rson[p];
        else {
            q = lson[p];
            if (rson[q] != NIL) {
                do { q = rson[q]; } while (rson[q] != NIL);
                rson[dad[q]] = lson[q]; dad[lson[q]] = dad[q];
                lson[q] = lson[p]; dad[lson[p]] = q;
            }
            rson[q] = rson[p]; dad[rson[p]] = q;
        }
        dad[q] = dad[p];
        if (rson[dad[p]] == p) rson[dad[p]] = q; else lson[dad[p]] = q;
        dad[p] = NIL;
    }

    int Compress(const unsigned char* src, unsigned char* dst, int srcLen)
    {
        int i, c, len, r, s, lastMatchLen, codePtr, outPtr = 0, inPtr = 0;
        unsigned char code[17], mask;
        matchPos = matchLen = 0;
        for (i = N + 1; i <= N + 256; i++) rson[i] = NIL;
        for (i = 0; i < N; i++) dad[i] = NIL;
        memset(ring, 0, sizeof ring);
        code[0] = 0; codePtr = mask = 1;
        s = 0; r = N - F;
        for (len = 0; len < F && inPtr < srcLen; len++) ring[r + len] = src[inPtr++];
        if (len == 0) return 0;
        for (i = 1; i <= F; i++) InsertNode(r - i);
        InsertNode(r);
        do {
            if (matchLen > len) matchLen = len;
            if (matchLen <= THRESHOLD) {
                matchLen = 1;
                code[0] |= mask;
                code[codePtr++] = ring[r];
            } else {
                code[codePtr++] = (unsigned char)matchPos;
                code[codePtr++] = (unsigned char)(((matchPos >> 4) & 0xF0) | (matchLen - (THRESHOLD + 1)));
            }
            if ((mask <<= 1) == 0) {
                for (i = 0; i < codePtr; i++) dst[outPtr++] = code[i];
                code[0] = 0; codePtr = mask = 1;
            }
            lastMatchLen = matchLen;
            for (i = 0; i < lastMatchLen && inPtr < srcLen; i++) {
                c = src[inPtr++];
                DeleteNode(s);
                ring[s] = (unsigned char)c;
                if (s < F - 1) ring[s + N] = (unsigned char)c;
                s = (s + 1) & (N - 1); r = (r + 1) & (N - 1);
                InsertNode(r);
            }
            while (i++ < lastMatchLen) {
                DeleteNode(s);
                s = (s + 1) & (N - 1); r = (r + 1) & (N - 1);
                if (--len) InsertNode(r);
            }
        } while (len > 0);
        if (codePtr > 1)
            for (i = 0; i < codePtr; i++) dst[outPtr++] = code[i];
        return outPtr;
    }

    // Returns the number of bytes written; dst must be large enough.
    int Decompress(const unsigned char* src, unsigned char* dst, int srcLen)
    {
        int i, j, k, r, c, inPtr = 0, outPtr = 0;
        unsigned int flags = 0;
        memset(ring, 0, N);
        r = N - F;
        for (;;) {
            if (((flags >>= 1) & 256) == 0) {
                if (inPtr >= srcLen) break;
                flags = src[inPtr++] | 0xFF00;
            }
            if (flags & 1) {
                if (inPtr >= srcLen) break;
                c = src[inPtr++];
                dst[outPtr++] = (unsigned char)c;
                ring[r++] = (unsigned char)c; r &= (N - 1);
            } else {
                if (inPtr >= srcLen) break;
                i = src[inPtr++];
                if (inPtr >= srcLen) break;
                j = src[inPtr++];
                i |= ((j & 0xF0) << 4); j = (j & 0x0F) + THRESHOLD;
                for (k = 0; k <= j; k++) {
                    c = ring[(i + k) & (N - 1)];
                    dst[outPtr++] = (unsigned char)c;
                    ring[r++] = (unsigned char)c; r &= (N - 1);
                }
            }
        }
        return outPtr;
    }
};
