#pragma once

#include "agent/reports/design/DesignDocument.h"
#include "agent/reports/model/TemplateFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace designtest {

inline std::string ReadSample(const std::string& name) {
    std::ifstream in(std::string(VEROLUX_SOURCE_DIR) + "/demo/templates/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline verolux::reports::Template LoadSample(const std::string& name) {
    auto loaded = verolux::reports::ParseTemplate(ReadSample(name));
    EXPECT_TRUE(loaded) << name << ": " << loaded.error;
    return loaded ? *loaded.tmpl : verolux::reports::Template{};
}

inline std::string Written(const verolux::reports::design::DesignDocument& doc) {
    return verolux::reports::WriteTemplate(doc.tmpl());
}

} // namespace designtest
