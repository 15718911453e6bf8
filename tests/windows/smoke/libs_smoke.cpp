// Each cross-built library works under Wine: simdjson parses, libcrypto digests, curl carries
// Schannel, zint encodes.
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <simdjson.h>
#include <zint.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

TEST(LibsSmoke, SimdjsonReadsAnObject) {
    simdjson::ondemand::parser parser;
    simdjson::padded_string json{std::string_view{R"({"name":"报表","rows":[1,2,3]})"}};
    auto doc = parser.iterate(json);
    EXPECT_EQ(std::string_view{doc["name"].get_string().value()}, "报表");
}

TEST(LibsSmoke, LibcryptoMd5) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> md{};
    unsigned int len = 0;
    ASSERT_EQ(EVP_Digest("abc", 3, md.data(), &len, EVP_md5(), nullptr), 1);
    std::string hex;
    for (unsigned int i = 0; i < len; ++i) {
        static constexpr char digits[] = "0123456789abcdef";
        hex += digits[md[i] >> 4];
        hex += digits[md[i] & 15];
    }
    EXPECT_EQ(hex, "900150983cd24fb0d6963f7d28e17f72");
}

TEST(LibsSmoke, CurlUsesSchannel) {
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    ASSERT_NE(info->ssl_version, nullptr);
    EXPECT_NE(std::string{info->ssl_version}.find("Schannel"), std::string::npos);
    EXPECT_TRUE(info->features & CURL_VERSION_SSL);
}

TEST(LibsSmoke, ZintEncodesCode128) {
    zint_symbol* symbol = ZBarcode_Create();
    ASSERT_NE(symbol, nullptr);
    symbol->symbology = BARCODE_CODE128;
    const std::string data = "VEROLUX-128";
    EXPECT_EQ(ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char*>(data.data()),
                              static_cast<int>(data.size())),
              0);
    EXPECT_GT(symbol->width, 0);
    ZBarcode_Delete(symbol);
}
