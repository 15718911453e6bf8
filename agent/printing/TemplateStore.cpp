#include "agent/printing/TemplateStore.h"

#include "agent/printing/Md5.h"
#include "common/IniText.h"
#include "common/LogFile.h"
#include "common/SafeNames.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace verolux {

namespace {

// Pages send digests in either case; the copy's is upper case.
bool SameDigest(std::string_view a, std::string_view b) {
    return std::ranges::equal(
        a, b, [](unsigned char x, unsigned char y) { return std::toupper(x) == std::toupper(y); });
}

} // namespace

RefreshPlan PlanRefresh(const RefreshFacts& facts) {
    RefreshPlan plan;
    plan.downloadForSource = facts.reporturl != facts.storedUrl || !facts.fileExists;
    plan.downloadForDigest = !facts.reportmd5.empty() && !SameDigest(facts.reportmd5, facts.localDigest);
    return plan;
}

std::filesystem::path TemplateFolder(const std::filesystem::path& programFolder) {
    return programFolder / "report";
}

TemplateStore::TemplateStore(std::filesystem::path templateFolder, const mINI::Settings& settings,
                             AddLogFn addLog, DownloadFn download)
    : m_folder(std::move(templateFolder)), m_settings(settings), m_addLog(std::move(addLog)),
      m_download(std::move(download)) {}

void TemplateStore::Refresh(const std::string& repname, const std::string& reporturl,
                            const std::string& reportmd5, RefreshDone done) const {
    // A name longer than a settings key may be could never have its source recorded.
    if (!IsPlainFileName(repname) || repname.size() > mINI::kMaxValueBytes)
        throw TemplateNameError("not a plain template file name: \"" + LogExcerpt(repname) + "\"");

    const std::filesystem::path path = m_folder / repname;
    std::error_code ec;
    RefreshFacts facts;
    facts.fileExists = std::filesystem::is_regular_file(path, ec);
    if (facts.fileExists) {
        if (auto digest = mMD5::FileMD5(path)) facts.localDigest = mMD5::MD5Hex(*digest);
    }
    facts.storedUrl = m_settings.ReadIni("fileUrl", repname);
    facts.reporturl = reporturl;
    facts.reportmd5 = reportmd5;
    download(PlanRefresh(facts).downloads(), repname, reporturl, path, std::move(done));
}

void TemplateStore::download(int left, const std::string& repname, const std::string& reporturl,
                             const std::filesystem::path& path, RefreshDone done) const {
    if (left == 0) {
        std::error_code ec;
        done({path, std::filesystem::is_regular_file(path, ec)});
        return;
    }
    m_addLog("更新文件：" + repname);
    m_download(reporturl, path, [=, this, done = std::move(done)](bool ok) {
        // Only a source that gave the file is recorded; a failed download must not make the next
        // request skip it. A value reading would cut is not written at all.
        if (ok) m_settings.WriteIni("fileUrl", repname, reporturl);
        download(left - 1, repname, reporturl, path, done);
    });
}

} // namespace verolux
