// The TLS library works in the program as built: a static libcrypto on Windows draws its
// randomness from the system and needs libraries of its own; a missing one shows here, not at
// the first remote connection.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>

#include <array>
#include <cstdio>
#include <string>

TEST(OpenSsl, DigestsKnownVectors) {
    const struct {
        std::string input;
        std::string sha256;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    };
    for (const auto& c : cases) {
        std::array<unsigned char, EVP_MAX_MD_SIZE> md{};
        unsigned int length = 0;
        ASSERT_EQ(EVP_Digest(c.input.data(), c.input.size(), md.data(), &length, EVP_sha256(), nullptr), 1);
        std::string hex;
        for (unsigned int i = 0; i < length; ++i) {
            char byte[3];
            std::snprintf(byte, sizeof byte, "%02x", md[i]);
            hex += byte;
        }
        EXPECT_EQ(hex, c.sha256) << "\"" << c.input << "\"";
    }
}

TEST(OpenSsl, DrawsRandomnessFromTheSystem) {
    std::array<unsigned char, 32> a{}, b{};
    ASSERT_EQ(RAND_bytes(a.data(), static_cast<int>(a.size())), 1);
    ASSERT_EQ(RAND_bytes(b.data(), static_cast<int>(b.size())), 1);
    EXPECT_NE(a, b);
}

TEST(OpenSsl, MakesTls12Context) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION), 1);
    SSL* ssl = SSL_new(ctx);
    EXPECT_NE(ssl, nullptr);
    SSL_free(ssl);
    SSL_CTX_free(ctx);
}
