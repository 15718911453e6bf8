#include "agent/reports/design/SampleData.h"

#include <algorithm>
#include <string>

namespace verolux::reports::design {

namespace {

ScalarValue sample(const Declared& d, int n) {
    if (d.type == "integer") return ScalarValue::fromNumber(std::to_string(n % 9 + 1));
    if (d.type == "decimal") return ScalarValue::fromNumber(std::to_string(n % 7 + 1) + ".5");
    if (d.type == "currency") return ScalarValue::fromNumber(std::to_string(37 * (n % 23) + 12) + ".80");
    if (d.type == "boolean") return ScalarValue::fromBool(n % 2 == 0);
    if (d.type == "datetime") {
        const int day = n % 28 + 1;
        return ScalarValue::fromText("2024-03-" + std::string(day < 10 ? "0" : "") + std::to_string(day) +
                                     " 09:30");
    }
    return ScalarValue::fromText(d.name + " " + std::to_string(n + 1));
}

} // namespace

std::vector<std::vector<ScalarValue>> SampleRows(const Template& tmpl, int count) {
    // Rows per group value: the innermost group changes every 3 rows, each outer one 3 times slower.
    std::vector<int> every(tmpl.fields.size(), 1);
    int span = 3;
    for (auto g = tmpl.groups.rbegin(); g != tmpl.groups.rend(); ++g, span *= 3)
        for (const std::string& key : g->fields)
            for (size_t f = 0; f < tmpl.fields.size(); ++f)
                if (tmpl.fields[f].name == key) every[f] = std::max(every[f], span);
    std::vector<std::vector<ScalarValue>> rows;
    rows.reserve(size_t(std::max(0, count)));
    for (int r = 0; r < count; ++r) {
        std::vector<ScalarValue> row;
        for (size_t f = 0; f < tmpl.fields.size(); ++f)
            row.push_back(sample(tmpl.fields[f], r / every[f]));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<ScalarValue> SampleParameters(const Template& tmpl) {
    std::vector<ScalarValue> out;
    for (const Declared& p : tmpl.parameters)
        out.push_back(p.defaultValue.empty() ? sample(p, 0) : ScalarValue::fromText(p.defaultValue));
    return out;
}

} // namespace verolux::reports::design
