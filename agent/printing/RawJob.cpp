#include "agent/printing/RawJob.h"

#include "agent/printing/PageMessage.h"
#include "agent/printing/TextEncoding.h"
#include "common/Base64.h"
#include "common/JsonReader.h"

namespace verolux {
namespace {

std::string ReadCommands(const JsonValue& raw, std::string* bytes) {
    if (!raw.isObject()) return "raw must be an object with \"text\" or \"base64\"";
    const JsonValue text = raw.member("text"), base64 = raw.member("base64"),
                    encoding = raw.member("encoding");
    for (std::size_t i = 0; i < raw.size(); ++i)
        if (const std::string_view name = raw.memberName(i);
            name != "text" && name != "base64" && name != "encoding")
            return "unknown key \"raw." + std::string(name) + "\"";
    if (text.valid() == base64.valid()) return "raw needs either \"text\" or \"base64\"";
    if (base64.valid()) {
        if (encoding.valid()) return "raw.encoding goes with \"text\", not with \"base64\"";
        std::optional<std::string> decoded;
        if (base64.type() == JsonValue::Type::String) decoded = mBase64::DecodeBase64(base64.scalar().text);
        if (!decoded) return "raw.base64 is not Base64";
        *bytes = std::move(*decoded);
    } else {
        if (text.type() != JsonValue::Type::String) return "raw.text must be a string";
        std::optional<TextEncoding> charset = TextEncoding::Utf8;
        if (encoding.valid())
            charset = encoding.type() == JsonValue::Type::String ? TextEncodingNamed(encoding.scalar().text)
                                                                 : std::nullopt;
        if (!charset) return "raw.encoding must be \"UTF-8\", \"GB18030\" or \"Latin-1\"";
        EncodedText encoded = EncodeText(text.scalar().text, *charset);
        if (encoded.failure == EncodeFailure::Unsupported)
            return "raw.encoding " + encoding.scalar().text + " is not supported on this system";
        if (encoded.failure) return "raw.text has characters " + encoding.scalar().text + " cannot encode";
        *bytes = std::move(encoded.bytes);
    }
    if (bytes->empty()) return "raw holds no commands";
    return {};
}

} // namespace

std::string ReadRawJob(const JsonValue& root, const JsonValue& object, PageMessage& m) {
    const JsonValue id = object.member("jobId");
    if (id.valid() && (id.type() == JsonValue::Type::String || id.type() == JsonValue::Type::Number))
        m.jobId = id.scalar().text;
    for (std::size_t i = 0; i < root.size(); ++i)
        if (const std::string_view name = root.memberName(i); name != kExtensionKey)
            return "a raw job is a message of its own: \"" + std::string(name) + "\" does not go with it";
    for (std::size_t i = 0; i < object.size(); ++i) {
        const std::string_view name = object.memberName(i);
        const JsonValue member = object.member(name);
        if (name == "jobId") {
            if (member.type() != JsonValue::Type::String && member.type() != JsonValue::Type::Number)
                return "jobId must be a string or a number";
        } else if (name == "printer") {
            if (member.type() != JsonValue::Type::String || member.scalar().text.empty())
                return "printer must name a print queue";
            m.raw.printer = member.scalar().text;
        } else if (name != "raw") {
            return "unknown option \"" + std::string(name) + "\" for a raw job";
        }
    }
    if (m.raw.printer.empty()) return "a raw job needs \"printer\": it never goes to another printer";
    return ReadCommands(object.member("raw"), &m.raw.bytes);
}

} // namespace verolux
