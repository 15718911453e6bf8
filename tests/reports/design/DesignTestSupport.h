#pragma once

#include "agent/reports/design/DesignDocument.h"
#include "agent/reports/model/TemplateFile.h"
#include "common/TextFile.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace designtest {

inline verolux::reports::Template LoadSample(const std::string& name) {
    auto loaded = verolux::reports::ParseTemplate(
        verolux::ReadWholeFile(std::string(VEROLUX_SOURCE_DIR "/demo/templates/") + name));
    EXPECT_TRUE(loaded) << name << ": " << loaded.error;
    return loaded ? *loaded.tmpl : verolux::reports::Template{};
}

inline std::string Written(const verolux::reports::design::DesignDocument& doc) {
    return verolux::reports::WriteTemplate(doc.tmpl());
}

// A table row's name as a test name: letters and digits, '_' for the rest.
template <class Row> std::string RowName(const testing::TestParamInfo<Row>& row) {
    std::string n;
    for (char ch : std::string(row.param.name))
        n += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return n;
}

} // namespace designtest
