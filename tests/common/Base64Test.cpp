#include "common/Base64.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using mBase64::DecodeBase64;
using mBase64::EncodeBase64;

// RFC 4648 section 10, both ways: the prefixes of "foobar".
TEST(Base64, Rfc4648Vectors) {
    const char* coded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
    for (std::size_t n = 0; n < std::size(coded); ++n) {
        EXPECT_EQ(EncodeBase64(std::string("foobar", n)), coded[n]);
        EXPECT_EQ(DecodeBase64(coded[n]), std::string("foobar", n));
    }
}

// Every byte value and every remainder of three: the alphabet is the standard one ("+", "/").
TEST(Base64, AllByteValuesRoundTrip) {
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    for (std::size_t len : {1u, 2u, 3u, 255u, 256u}) {
        const std::string coded = EncodeBase64(all.substr(0, len));
        EXPECT_EQ(coded.size(), mBase64::EncodedLength(len));
        EXPECT_EQ(DecodeBase64(coded), all.substr(0, len)) << len;
    }
    EXPECT_EQ(EncodeBase64("\xFB\xFF").substr(0, 2), "+/");
}

TEST(Base64, DecoderSkipsLineBreaksAndRefusesStrayCharacters) {
    EXPECT_EQ(DecodeBase64("Zm9v\r\nYmFy"), "foobar");
    EXPECT_EQ(DecodeBase64(" Zm 9v\t"), "foo");
    EXPECT_EQ(DecodeBase64("Zm9v-_"), std::nullopt); // the URL-safe alphabet is not Base64 here
    EXPECT_EQ(DecodeBase64("Zg==Zm9v"), std::nullopt);
}

} // namespace
