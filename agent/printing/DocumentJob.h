#pragma once

#include <string>
#include <string_view>

namespace verolux {
class JsonValue;
struct PageMessage;

enum class DocumentFormat { Unknown, Pdf, Png, Jpeg };

// What the bytes are, by their first bytes: the declared type does not decide.
DocumentFormat SniffDocument(std::string_view bytes);
// "application/pdf", "image/png", "image/jpeg"; "" for Unknown.
const char* MimeType(DocumentFormat format);

// Reads a document job: the message's root holds nothing but the `verolux` object, which names the
// job, the document ("document": {"url"} or {"base64", "type"}) and how to print it. Fills m.jobId and
// m.document; "" or the reason the job cannot be carried out.
std::string ReadDocumentJob(const JsonValue& root, const JsonValue& object, PageMessage& m);

} // namespace verolux
