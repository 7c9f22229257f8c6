#include "base/sha256.h"
#include <string.h>
// The 64-bit build only: the 32-bit one is for older systems and processors too, and a
// 32-bit thread is not promised the stack alignment that spilled SSE registers need.
#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#define SHA256_X86 1
#endif

namespace {

const uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline uint32_t Rotate(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

bool g_accelerated = false;

#ifdef SHA256_X86
bool ProcessorHasShaInstructions() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_SSE4_1) || !(c & bit_SSSE3)) return false;
    if (__get_cpuid_max(0, nullptr) < 7) return false;
    __cpuid_count(7, 0, a, b, c, d);
    return (b & (1u << 29)) != 0;  // SHA
}

// Blocks of 64 bytes with the SHA instructions: four rounds a step, the message schedule
// kept in four registers that take turns.
__attribute__((target("sha,sse4.1,ssse3"))) void BlocksWithInstructions(uint32_t state[8], const uint8_t* p,
                                                                        size_t blocks) {
    const __m128i kSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    __m128i s1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    t = _mm_shuffle_epi32(t, 0xB1);
    s1 = _mm_shuffle_epi32(s1, 0x1B);
    __m128i s0 = _mm_alignr_epi8(t, s1, 8);  // ABEF
    s1 = _mm_blend_epi16(s1, t, 0xF0);       // CDGH
    for (; blocks > 0; --blocks, p += 64) {
        const __m128i saved0 = s0, saved1 = s1;
        __m128i msg[4];
        for (int i = 0; i < 4; ++i)
            msg[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i)), kSwap);
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i) {
            __m128i& cur = msg[i & 3];
            __m128i m = _mm_add_epi32(cur, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRound[4 * i])));
            s1 = _mm_sha256rnds2_epu32(s1, s0, m);
            if (i >= 3 && i <= 14) {
                __m128i& next = msg[(i + 1) & 3];
                next = _mm_add_epi32(next, _mm_alignr_epi8(cur, msg[(i - 1) & 3], 4));
                next = _mm_sha256msg2_epu32(next, cur);
            }
            m = _mm_shuffle_epi32(m, 0x0E);
            s0 = _mm_sha256rnds2_epu32(s0, s1, m);
            if (i >= 1 && i <= 12) msg[(i - 1) & 3] = _mm_sha256msg1_epu32(msg[(i - 1) & 3], cur);
        }
        s0 = _mm_add_epi32(s0, saved0);
        s1 = _mm_add_epi32(s1, saved1);
    }
    t = _mm_shuffle_epi32(s0, 0x1B);       // FEBA
    s1 = _mm_shuffle_epi32(s1, 0xB1);      // DCHG
    s0 = _mm_blend_epi16(t, s1, 0xF0);     // DCBA
    s1 = _mm_alignr_epi8(s1, t, 8);        // HGFE
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), s0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), s1);
}
#endif

}  // namespace

bool Sha256::UseProcessorInstructions(bool allowed) {
#ifdef SHA256_X86
    g_accelerated = allowed && ProcessorHasShaInstructions();
#else
    (void)allowed;
#endif
    return g_accelerated;
}

Sha256::Sha256() {
    static const uint32_t kStart[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    memcpy(state_, kStart, sizeof state_);
}

void Sha256::Block(const uint8_t* p) {
#ifdef SHA256_X86
    if (g_accelerated) {
        BlocksWithInstructions(state_, p, 1);
        return;
    }
#endif
    uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = (uint32_t)p[4 * i] << 24 | (uint32_t)p[4 * i + 1] << 16 | (uint32_t)p[4 * i + 2] << 8 | p[4 * i + 3];
    for (int i = 16; i < 64; ++i) {
        uint32_t s0 = Rotate(w[i - 15], 7) ^ Rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
        uint32_t s1 = Rotate(w[i - 2], 17) ^ Rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    uint32_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];
    for (int i = 0; i < 64; ++i) {
        uint32_t t1 = h + (Rotate(e, 6) ^ Rotate(e, 11) ^ Rotate(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
        uint32_t t2 = (Rotate(a, 2) ^ Rotate(a, 13) ^ Rotate(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
    state_[4] += e;
    state_[5] += f;
    state_[6] += g;
    state_[7] += h;
}

void Sha256::Add(const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    length_ += size;
    if (used_ > 0) {
        size_t take = 64 - used_ < size ? 64 - used_ : size;
        memcpy(buffer_ + used_, p, take);
        used_ += take;
        p += take;
        size -= take;
        if (used_ < 64) return;
        Block(buffer_);
        used_ = 0;
    }
#ifdef SHA256_X86
    if (g_accelerated && size >= 64) {
        BlocksWithInstructions(state_, p, size / 64);
        p += size / 64 * 64;
        size %= 64;
    }
#endif
    for (; size >= 64; p += 64, size -= 64) Block(p);
    memcpy(buffer_, p, size);
    used_ = size;
}

void Sha256::Finish(uint8_t digest[32]) {
    uint64_t bits = length_ * 8;
    uint8_t pad = 0x80;
    Add(&pad, 1);
    uint8_t zero = 0;
    while (used_ != 56) Add(&zero, 1);
    uint8_t tail[8];
    for (int i = 0; i < 8; ++i) tail[i] = (uint8_t)(bits >> (56 - 8 * i));
    Add(tail, 8);
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 4; ++j) digest[4 * i + j] = (uint8_t)(state_[i] >> (24 - 8 * j));
}

void Sha256Hex(const uint8_t digest[32], char* hex) {
    static const char kDigits[] = "0123456789abcdef";
    for (int i = 0; i < 32; ++i) {
        hex[2 * i] = kDigits[digest[i] >> 4];
        hex[2 * i + 1] = kDigits[digest[i] & 15];
    }
    hex[64] = 0;
}
