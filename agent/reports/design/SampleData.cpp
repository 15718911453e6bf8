#include "agent/reports/design/SampleData.h"

#include "agent/reports/format/ValueFormat.h"

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

// Thirteen digits with a valid check digit, different for each n.
std::string ean13(int n) {
    std::string d = "690" + std::to_string(100000000 + n % 900000000);
    int sum = 0;
    for (size_t i = 0; i < 12; ++i)
        sum += (d[i] - '0') * (i % 2 ? 3 : 1);
    return d + char('0' + (10 - sum % 10) % 10);
}

// Fields that an EAN-13 barcode shows on its own: their samples must be valid codes.
std::vector<bool> eanFields(const Template& tmpl) {
    std::vector<bool> out(tmpl.fields.size(), false);
    for (const Band* band : {&tmpl.reportHeader, &tmpl.pageHeader, &tmpl.columnHeader, &tmpl.detail,
                             &tmpl.reportFooter, &tmpl.pageFooter})
        for (const Item& it : band->items)
            if (it.kind == ItemKind::Barcode && it.symbology == "ean13")
                for (size_t f = 0; f < tmpl.fields.size(); ++f)
                    if (it.text == "{" + tmpl.fields[f].name + "}") out[f] = true;
    return out;
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
    const std::vector<bool> ean = eanFields(tmpl);
    std::vector<std::vector<ScalarValue>> rows;
    rows.reserve(size_t(std::max(0, count)));
    for (int r = 0; r < count; ++r) {
        std::vector<ScalarValue> row;
        for (size_t f = 0; f < tmpl.fields.size(); ++f)
            row.push_back(ean[f] ? ScalarValue::fromText(ean13(r / every[f]))
                                 : sample(tmpl.fields[f], r / every[f]));
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

std::string FormatSample(const std::string& format, const std::string& type) {
    using format::FieldType;
    std::optional<FieldType> t = format::ParseFieldType(type);
    if (!t) {
        const bool date = format.find_first_of("yMdHhms") != std::string::npos &&
                          format.find('#') == std::string::npos && format.find('0') == std::string::npos;
        t = date ? FieldType::DateTime
            : format.find(';') != std::string::npos && format.find_first_of("#0") == std::string::npos
                ? FieldType::Boolean
                : FieldType::Currency;
    }
    ScalarValue sample = ScalarValue::fromNumber("12345.678");
    if (*t == FieldType::DateTime) sample = ScalarValue::fromText("2024-03-05 08:05:09");
    if (*t == FieldType::Boolean) sample = ScalarValue::fromBool(true);
    if (*t == FieldType::Text) sample = ScalarValue::fromText("示例文字");
    return format::FormatValue(format::ConvertValue(sample, *t), *t, format);
}

std::vector<std::string> CommonFormats(const std::string& type) {
    static const std::vector<std::string> numbers{"#,##0.00", "0.00", "#,##0", "0", "0.0%"};
    static const std::vector<std::string> money{"#,##0.00", "¥#,##0.00", "#,##0.00 元", "大写金额"};
    static const std::vector<std::string> dates{"yyyy-MM-dd", "yyyy-MM-dd HH:mm", "yyyy年M月d日", "HH:mm:ss",
                                                "MM/dd/yyyy"};
    static const std::vector<std::string> yesNo{"是;否", "✓;", "Yes;No"};
    if (type == "integer" || type == "decimal") return numbers;
    if (type == "currency") return money;
    if (type == "datetime") return dates;
    if (type == "boolean") return yesNo;
    if (type == "text") return {};
    std::vector<std::string> all = numbers;
    for (const auto* list : {&money, &dates, &yesNo})
        for (const std::string& f : *list)
            if (std::find(all.begin(), all.end(), f) == all.end()) all.push_back(f);
    return all;
}

} // namespace verolux::reports::design
