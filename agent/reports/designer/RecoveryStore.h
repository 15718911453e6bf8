#pragma once

#include <QDateTime>
#include <QLockFile>
#include <QString>

#include <memory>
#include <optional>
#include <string>

namespace verolux::reports {

// A designer's autosaved copies of the open design (the designer program's or the agent's design window's),
// one per running designer, in a folder of the user's (see docs/designer.md). Each designer holds a lock
// beside its copy while it runs; a copy whose lock is gone or stale was left by a designer that did not
// end normally, and is offered at the next start.
class RecoveryStore {
  public:
    explicit RecoveryStore(QString folder);
    ~RecoveryStore();

    // The per-user folder: QStandardPaths::AppDataLocation (~/.local/share/Verolux/verolux-designer).
    static QString defaultFolder();
    QString folder() const { return m_folder; }

    // Writes this designer's copy (whole, or not at all) with the path the design came from.
    bool save(const std::string& templateJson, const QString& originalPath, QString* error = nullptr);
    // Removes this designer's copy: after a normal save or close there is nothing to recover.
    void discard();
    bool hasCopy() const;

    struct LeftOver {
        QString templatePath; // the copy, a template file
        QString originalPath; // the file it was opened from ("" for a new report)
        QDateTime saved;
        QString id;
    };
    // A copy left by a designer that is gone (the newest when there are several); with `originalPath`,
    // only a copy of that file.
    std::optional<LeftOver> leftOver(const std::optional<QString>& originalPath = std::nullopt) const;
    void remove(const LeftOver& copy) const;

  private:
    QString path(const QString& id, const char* suffix) const;

    QString m_folder;
    QString m_id; // this designer's: its process id and a count
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace verolux::reports
