#include "agent/printing/PageMessage.h"

#include "agent/printing/DocumentJob.h"
#include "agent/printing/JobHeaders.h"
#include "agent/printing/PageRanges.h"
#include "agent/printing/RawJob.h"
#include "common/JsonReader.h"

#include <charconv>

namespace verolux {
namespace {

bool ParseMm(const JsonValue& v, double* mm) {
    if (!v.valid() || v.type() != JsonValue::Type::Number) return false;
    const std::string text = v.scalar().text;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *mm);
    return ec == std::errc() && end == text.data() + text.size() && *mm > 0 && *mm <= kMaxPaperMm;
}

// "paper": a name, or {"widthMm": w, "heightMm": h}.
std::string ReadPaper(const JsonValue& v, PaperChoice* paper) {
    static const std::string kWhat = "paper must be a paper's name or {\"widthMm\": w, \"heightMm\": h} in "
                                     "millimetres up to 10000";
    if (v.type() == JsonValue::Type::String) {
        paper->name = v.scalar().text;
        return paper->name.empty() || paper->name.size() > kMaxChoiceNameLength ? kWhat : "";
    }
    if (!v.isObject() || v.size() != 2 || !ParseMm(v.member("widthMm"), &paper->widthMm) ||
        !ParseMm(v.member("heightMm"), &paper->heightMm))
        return kWhat;
    return {};
}

// Fills options from the `verolux` object; "" or the reason it cannot be honoured. The job id is
// taken first, so that even a refusal names the job.
std::string ReadOptions(const JsonValue& object, PageMessage& m) {
    const JsonValue id = object.member("jobId");
    if (id.valid() && (id.type() == JsonValue::Type::String || id.type() == JsonValue::Type::Number))
        m.jobId = id.scalar().text;
    for (std::size_t i = 0; i < object.size(); ++i) {
        const std::string_view name = object.memberName(i);
        const JsonValue member = object.member(name);
        const bool isText = member.type() == JsonValue::Type::String;
        const bool isNumber = member.type() == JsonValue::Type::Number;
        const std::string value = member.scalar().text;
        if (name == "jobId") {
            if (!isText && !isNumber) return "jobId must be a string or a number";
        } else if (name == "copies") {
            int copies = 0;
            if (!isNumber || !ParsePositive(value, &copies) || copies > kMaxCopies)
                return "copies must be a whole number from 1 to " + std::to_string(kMaxCopies);
            m.options.copies = copies;
        } else if (name == "duplex") {
            if (isText && value == "none")
                m.options.duplex = Duplex::None;
            else if (isText && value == "long")
                m.options.duplex = Duplex::Long;
            else if (isText && value == "short")
                m.options.duplex = Duplex::Short;
            else
                return "duplex must be \"none\", \"long\" or \"short\"";
        } else if (name == "pages") {
            if (!isText || value.size() > kMaxPageRangesLength || !ValidPageRanges(value))
                return "pages must list pages and ranges such as \"1-3,5\"";
            m.options.pages = value;
        } else if (name == "headers") {
            m.headers.clear();
            if (std::string error = ReadJobHeaders(member, &m.headers); !error.empty()) return error;
        } else if (name == "tray") {
            if (!isText || value.empty() || value.size() > kMaxChoiceNameLength)
                return "tray must name one of the printer's trays";
            m.options.tray = value;
        } else if (name == "paper") {
            if (std::string error = ReadPaper(member, &m.options.paper); !error.empty()) return error;
        } else {
            return "unknown option \"" + std::string(name) + "\"";
        }
    }
    return {};
}

// {"cancel": jobId} and nothing else: the page takes back a job of its own.
PageMessage ReadCancel(const JsonValue& object) {
    PageMessage m;
    const JsonValue id = object.member("cancel");
    if (object.size() != 1 ||
        (id.type() != JsonValue::Type::String && id.type() != JsonValue::Type::Number)) {
        m.kind = PageMessage::Kind::Unknown;
        m.error = "a cancel is {\"cancel\": jobId} with the job's id as a string or a number";
        return m;
    }
    m.kind = PageMessage::Kind::Cancel;
    m.jobId = id.scalar().text;
    return m;
}

} // namespace

bool ValidPageRanges(std::string_view pages) {
    return ReadPageRanges(pages).has_value();
}

PageMessage ReadPageMessage(std::string_view text) {
    PageMessage m;
    // Print requests are most of the traffic and can be large: read them only when the key can be
    // there at all.
    if (text.find("\"verolux\"") == std::string_view::npos) return m;
    JsonValue key;
    std::optional<JsonDocument> doc;
    try {
        doc.emplace(JsonDocument::Parse(text));
        key = doc->root().member(kExtensionKey);
    } catch (const JsonError&) {
        return m;
    }
    if (!key.valid()) return m;

    if (key.isObject() && key.member("cancel").valid()) return ReadCancel(key);
    if (key.isObject() && key.member("raw").valid()) {
        const std::string error = ReadRawJob(doc->root(), key, m);
        m.kind = error.empty() ? PageMessage::Kind::Raw : PageMessage::Kind::BadJob;
        m.error = error;
        return m;
    }
    if (key.isObject() && key.member("document").valid()) {
        const std::string error = ReadDocumentJob(doc->root(), key, m);
        m.kind = error.empty() ? PageMessage::Kind::Document : PageMessage::Kind::BadJob;
        m.error = error;
        return m;
    }
    if (key.isObject()) {
        m.reportId = doc->root().value("reportId").text;
        const std::string error = ReadOptions(key, m);
        m.kind = error.empty() ? PageMessage::Kind::Job : PageMessage::Kind::BadJob;
        m.error = error;
        return m;
    }
    const ScalarValue question = key.scalar();
    if (question.kind == ScalarValue::Kind::Text && question.text == "hello") {
        m.kind = PageMessage::Kind::Hello;
    } else if (question.kind == ScalarValue::Kind::Text && question.text == "printers") {
        m.kind = PageMessage::Kind::Printers;
    } else {
        m.kind = PageMessage::Kind::Unknown;
        m.error = "unknown question " + key.jsonText() + "; ask \"hello\" or \"printers\", or send " +
                  "print options as an object";
    }
    return m;
}

} // namespace verolux
