#include "base/sha256.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <wincrypt.h>
#include <stdio.h>
#include <string>

namespace {

constexpr ALG_ID kSha256Algorithm = 0x800c;  // CALG_SHA_256, hidden by the headers' target version

std::string Hex(const std::string& data, size_t piece = 0) {
    Sha256 h;
    if (piece == 0) {
        h.Add(data.data(), data.size());
    } else {
        for (size_t i = 0; i < data.size(); i += piece) h.Add(data.data() + i, std::min(piece, data.size() - i));
    }
    uint8_t digest[32];
    h.Finish(digest);
    char hex[65];
    Sha256Hex(digest, hex);
    return hex;
}

// The system's own provider, where it has one (the NT family from XP SP3 on).
std::string SystemHex(const std::string& data) {
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) return "";
    HCRYPTHASH hash = 0;
    std::string out;
    if (CryptCreateHash(provider, kSha256Algorithm, 0, 0, &hash)) {
        BYTE digest[32];
        DWORD size = sizeof digest;
        if (CryptHashData(hash, (const BYTE*)data.data(), (DWORD)data.size(), 0) &&
            CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0) && size == 32) {
            char hex[65];
            Sha256Hex(digest, hex);
            out = hex;
        }
        CryptDestroyHash(hash);
    }
    CryptReleaseContext(provider, 0);
    return out;
}

}  // namespace

// The published test vectors (FIPS 180-2 appendix B and the one-million-'a' message).
TEST(Sha256, PublishedVectors) {
    struct Case {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    // Both ways: plain code, and the processor's SHA instructions where it has them.
    for (bool instructions : {false, true}) {
        bool used = Sha256::UseProcessorInstructions(instructions);
        if (instructions && !used) std::printf("this processor has no SHA instructions: plain code only\n");
        for (const Case& c : cases)
            EXPECT_EQ(c.digest, Hex(c.message)) << c.message.size() << " bytes, instructions " << used;
    }
    Sha256::UseProcessorInstructions(false);
}

// The instructions and the plain code agree on every length and split of varied data.
TEST(Sha256, ProcessorInstructionsAgreeWithThePlainCode) {
    if (!Sha256::UseProcessorInstructions(true)) GTEST_SKIP() << "no SHA instructions on this processor";
    std::string data;
    uint32_t x = 12345;
    for (int i = 0; i < 5000; ++i) data += (char)((x = x * 1103515245 + 12345) >> 16);
    for (size_t length : {0u, 63u, 64u, 65u, 127u, 128u, 129u, 1000u, 4096u, 5000u}) {
        for (size_t piece : {0u, 1u, 64u, 100u, 4096u}) {
            std::string part = data.substr(0, length);
            Sha256::UseProcessorInstructions(true);
            std::string fast = Hex(part, piece);
            Sha256::UseProcessorInstructions(false);
            EXPECT_EQ(Hex(part, piece), fast) << length << "/" << piece;
        }
    }
    Sha256::UseProcessorInstructions(false);
}

// Pieces of every size give the digest of the whole, at every length around the block
// and padding edges; and the system's provider, where there is one, agrees.
TEST(Sha256, PiecesAndTheSystemsProviderAgree) {
    std::string data;
    for (int i = 0; i < 300; ++i) data += (char)(i * 7 + 3);
    bool system = !SystemHex("").empty();
    for (size_t length : {0u, 1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 300u}) {
        std::string part = data.substr(0, length);
        std::string whole = Hex(part);
        for (size_t piece : {1u, 3u, 63u, 64u, 65u}) EXPECT_EQ(whole, Hex(part, piece)) << length << "/" << piece;
        if (system) {
            EXPECT_EQ(SystemHex(part), whole) << length;
        }
    }
}
