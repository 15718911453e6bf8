#include "common/Base64.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using mBase64::DecodeBase64;
using mBase64::EncodeBase64;

// RFC 4648 section 10, both ways.
TEST(Base64, Rfc4648Vectors) {
    const std::pair<const char*, const char*> vectors[] = {{"", ""},
                                                           {"f", "Zg=="},
                                                           {"fo", "Zm8="},
                                                           {"foo", "Zm9v"},
                                                           {"foob", "Zm9vYg=="},
                                                           {"fooba", "Zm9vYmE="},
                                                           {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, coded] : vectors) {
        EXPECT_EQ(EncodeBase64(plain), coded);
        EXPECT_EQ(DecodeBase64(coded), std::optional<std::string>(plain));
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
