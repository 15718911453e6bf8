#pragma once

#include "common/JsonReader.h"

#include <memory>
#include <string>
#include <string_view>

namespace verolux {

// A print request read from its JSON text. The ten named keys are texts by the request value rules
// (a number gives its script text, a boolean "true"/"false", so neither equals "1" or "2"); rows and
// parameters are looked up in the parsed text on demand. Copies share the parsed text.
struct PrintRequest {
    // Reads the ten keys in this order, then `repdata`. Throws JsonError when the text is not a JSON
    // object, a key is missing or null, or `repdata` is missing, no array or longer than
    // kMaxRequestRows.
    static PrintRequest Read(std::string_view text);

    std::string preview;
    std::string repname;
    std::string reptype;
    std::string reguserno;
    std::string reprintname;
    std::string sdesign;
    std::string reporturl;
    std::string reportmd5;
    std::string reportId;
    std::string reportAdd;

    // `repdata`: rows(). element(m).value(field) gives field `field` of row m, Empty when the row
    // lacks it (or the row is no object).
    JsonValue rows() const { return m_rows; }
    std::size_t rowCount() const { return m_rows.size(); }

    // The parsed text, for filling a report from it.
    const JsonDocument& document() const { return *m_document; }

  private:
    std::shared_ptr<const JsonDocument> m_document;
    JsonValue m_rows;
};

} // namespace verolux
