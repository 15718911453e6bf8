// Reads print requests of 10, 1,000 and 32,767 rows × 8 fields and visits every field the way the
// report windows do; prints the median parse time and the median parse+visit time.
#include "agent/printing/PrintRequest.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string MakeRequest(int rows) {
    std::string s =
        R"({"preview":"2","repname":"bench.grf","reptype":"1","reguserno":"u1","reprintname":"",)"
        R"("sdesign":"0","reporturl":"http://127.0.0.1/t/bench.grf","reportmd5":"","reportId":"42",)"
        R"("reportAdd":"http://127.0.0.1/upload","title":"月报","repdata":[)";
    for (int i = 0; i < rows; ++i) {
        if (i) s += ',';
        s += R"({"id":)" + std::to_string(i) + R"(,"name":"商品)" + std::to_string(i) + R"(","price":)" +
             std::to_string(i % 1000) + ".25" + R"(,"qty":)" + std::to_string(i % 17) +
             R"(,"unit":"个","date":"2026-12-06","paid":true,"note":"line \"note\""})";
    }
    s += "]}";
    return s;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main() {
    const char* fields[] = {"id", "name", "price", "qty", "unit", "date", "paid", "note"};
    for (int rows : {10, 1000, 32767}) {
        std::string text = MakeRequest(rows);
        std::vector<double> parse, all;
        std::size_t sink = 0;
        for (int run = 0; run < 15; ++run) {
            auto t0 = std::chrono::steady_clock::now();
            verolux::PrintRequest req = verolux::PrintRequest::Read(text);
            auto t1 = std::chrono::steady_clock::now();
            auto rowsView = req.rows();
            for (std::size_t m = 0; m < rowsView.size(); ++m) {
                auto row = rowsView.element(m);
                for (const char* f : fields)
                    sink += row.value(f).text.size();
            }
            auto t2 = std::chrono::steady_clock::now();
            parse.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
            all.push_back(std::chrono::duration<double, std::milli>(t2 - t0).count());
        }
        std::printf("request %6d rows (%8zu bytes): read %8.3f ms, read + every field %8.3f ms (sink %zu)\n",
                    rows, text.size(), Median(parse), Median(all), sink);
    }
}
