#include "agent/printing/DocumentJob.h"

#include "agent/printing/JobHeaders.h"
#include "agent/printing/PageMessage.h"
#include "common/Base64.h"
#include "common/JsonReader.h"
#include "common/SafeNames.h"

namespace verolux {
namespace {

bool IsHttpUrl(std::string_view url) {
    return url.starts_with("http://") || url.starts_with("https://");
}

std::string ReadSource(const JsonValue& document, DocumentPrint& d) {
    if (!document.isObject()) return "document must be an object with \"url\" or \"base64\"";
    for (std::size_t i = 0; i < document.size(); ++i)
        if (const std::string_view name = document.memberName(i);
            name != "url" && name != "base64" && name != "type")
            return "unknown key \"document." + std::string(name) + "\"";
    const JsonValue url = document.member("url"), base64 = document.member("base64"),
                    type = document.member("type");
    if (url.valid() == base64.valid()) return "document needs either \"url\" or \"base64\"";
    if (type.valid()) {
        d.type = type.type() == JsonValue::Type::String ? type.scalar().text : "";
        if (d.type != "application/pdf" && d.type != "image/png" && d.type != "image/jpeg")
            return "document.type must be \"application/pdf\", \"image/png\" or \"image/jpeg\"";
    }
    if (url.valid()) {
        d.url = url.type() == JsonValue::Type::String ? url.scalar().text : "";
        if (!IsHttpUrl(d.url)) return "document.url must be an http or https address";
        return {};
    }
    std::optional<std::string> bytes;
    if (base64.type() == JsonValue::Type::String) bytes = mBase64::DecodeBase64(base64.scalar().text);
    if (!bytes || bytes->empty()) return "document.base64 is not Base64 of a document";
    d.bytes = std::move(*bytes);
    const DocumentFormat format = SniffDocument(d.bytes);
    if (format == DocumentFormat::Unknown) return "the document is no PDF, PNG or JPEG";
    if (!d.type.empty() && d.type != MimeType(format))
        return "the document is " + std::string(MimeType(format)) + ", not " + d.type;
    return {};
}

} // namespace

DocumentFormat SniffDocument(std::string_view b) {
    if (b.starts_with("%PDF-")) return DocumentFormat::Pdf;
    if (b.starts_with("\x89PNG\r\n\x1a\n")) return DocumentFormat::Png;
    if (b.starts_with("\xFF\xD8\xFF")) return DocumentFormat::Jpeg;
    return DocumentFormat::Unknown;
}

const char* MimeType(DocumentFormat format) {
    switch (format) {
    case DocumentFormat::Pdf:
        return "application/pdf";
    case DocumentFormat::Png:
        return "image/png";
    case DocumentFormat::Jpeg:
        return "image/jpeg";
    case DocumentFormat::Unknown:
        break;
    }
    return "";
}

std::string ReadDocumentJob(const JsonValue& root, const JsonValue& object, PageMessage& m) {
    const JsonValue id = object.member("jobId");
    if (id.valid() && (id.type() == JsonValue::Type::String || id.type() == JsonValue::Type::Number))
        m.jobId = id.scalar().text;
    for (std::size_t i = 0; i < root.size(); ++i)
        if (const std::string_view name = root.memberName(i); name != kExtensionKey)
            return "a document job is a message of its own: \"" + std::string(name) +
                   "\" does not go with it";
    DocumentPrint& d = m.document;
    // The print options are those of a report job, read by the same reader.
    std::string options;
    for (std::size_t i = 0; i < object.size(); ++i) {
        const std::string_view name = object.memberName(i);
        const JsonValue member = object.member(name);
        const bool isText = member.type() == JsonValue::Type::String;
        if (name == "printer") {
            if (!isText) return "printer must name a print queue";
            d.printer = member.scalar().text;
        } else if (name == "action") {
            const std::string action = isText ? member.scalar().text : "";
            if (action != "print" && action != "pdf" && action != "preview")
                return "action must be \"print\", \"preview\" or \"pdf\" for a document";
            d.upload = action == "pdf";
            d.preview = action == "preview";
        } else if (name == "reportId" || name == "reportAdd") {
            if (!isText) return std::string(name) + " must be a string";
            (name == "reportId" ? m.reportId : d.reportAdd) = member.scalar().text;
        } else if (name == "fit") {
            const std::string fit = isText ? member.scalar().text : "";
            if (fit == "actual")
                d.fit = Fit::Actual;
            else if (fit == "fit")
                d.fit = Fit::Fit;
            else if (fit == "fill")
                d.fit = Fit::Fill;
            else
                return "fit must be \"actual\", \"fit\" or \"fill\"";
        } else if (name == "headers") {
            // For the document's download and its PDF upload, as a report job's for its own.
            m.headers.clear();
            if (std::string error = ReadJobHeaders(member, &m.headers); !error.empty()) return error;
        } else if (name == "copies" || name == "duplex" || name == "pages" || name == "tray" ||
                   name == "paper" || name == "jobId") {
            if (name == "jobId" && !isText && member.type() != JsonValue::Type::Number)
                return "jobId must be a string or a number";
            options += (options.empty() ? "" : ",") + std::string("\"") + std::string(name) +
                       "\":" + member.jsonText();
        } else if (name != "document") {
            return "unknown option \"" + std::string(name) + "\" for a document job";
        }
    }
    const PageMessage read = ReadPageMessage(R"({"verolux":{)" + options + "}}");
    if (read.kind != PageMessage::Kind::Job) return read.error;
    d.options = read.options;
    if (d.upload && (m.reportId.empty() || d.reportAdd.empty()))
        return "action \"pdf\" needs \"reportId\" and \"reportAdd\"";
    if (d.upload && !IsPlainFileName(m.reportId + ".pdf")) return "reportId must be a plain file name";
    return ReadSource(object.member("document"), d);
}

} // namespace verolux
