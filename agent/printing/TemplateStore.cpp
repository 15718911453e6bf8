#include "agent/printing/TemplateStore.h"

#include "agent/printing/Md5.h"
#include "common/SafeNames.h"

#include <system_error>

namespace verolux {

RefreshPlan PlanRefresh(const RefreshFacts& facts) {
    RefreshPlan plan;
    plan.downloadForSource = facts.reporturl != facts.storedUrl || !facts.fileExists;
    plan.downloadForDigest = !facts.reportmd5.empty() && facts.reportmd5 != facts.localDigest;
    return plan;
}

std::filesystem::path TemplateFolder(const std::filesystem::path& programFolder) {
    return programFolder / "report";
}

TemplateStore::TemplateStore(std::filesystem::path templateFolder, const mINI::Settings& settings,
                             AddLogFn addLog, DownloadFn download)
    : m_folder(std::move(templateFolder)), m_settings(settings), m_addLog(std::move(addLog)),
      m_download(std::move(download)) {}

TemplateStore::Result TemplateStore::Refresh(const std::string& repname, const std::string& reporturl,
                                             const std::string& reportmd5) const {
    if (!IsPlainFileName(repname))
        throw TemplateNameError("not a plain template file name: \"" + repname + "\"");

    Result result;
    result.path = m_folder / repname;

    std::error_code ec;
    RefreshFacts facts;
    facts.fileExists = std::filesystem::is_regular_file(result.path, ec);
    if (facts.fileExists) {
        if (auto digest = mMD5::FileMD5(result.path)) facts.localDigest = mMD5::MD5Hex(*digest);
    }
    facts.storedUrl = m_settings.ReadIni("fileUrl", repname);
    facts.reporturl = reporturl;
    facts.reportmd5 = reportmd5;

    const RefreshPlan plan = PlanRefresh(facts);
    if (plan.downloadForSource) download(repname, reporturl, result.path);
    if (plan.downloadForDigest) download(repname, reporturl, result.path);

    result.exists = std::filesystem::is_regular_file(result.path, ec);
    return result;
}

void TemplateStore::download(const std::string& repname, const std::string& reporturl,
                             const std::filesystem::path& path) const {
    m_addLog("更新文件：" + repname);
    m_download(reporturl, path); // its outcome shows in the existence test at the end
    // Recorded whether or not the download worked.
    m_settings.WriteIni("fileUrl", repname, reporturl);
}

} // namespace verolux
