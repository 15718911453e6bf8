#include "agent/reports/designer/RecoveryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace verolux::reports {

namespace {
const QString kPrefix = QStringLiteral("recovery-");
} // namespace

namespace {
// Designers in one process (tests) keep apart copies too.
QString nextId() {
    static int count = 0;
    return QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-') + QString::number(++count);
}
} // namespace

RecoveryStore::RecoveryStore(QString folder) : m_folder(std::move(folder)), m_id(nextId()) {}

RecoveryStore::~RecoveryStore() = default; // the lock goes with it; the copy stays unless discarded

QString RecoveryStore::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString RecoveryStore::path(const QString& id, const char* suffix) const {
    return QDir(m_folder).filePath(kPrefix + id + QString::fromLatin1(suffix));
}

bool RecoveryStore::save(const std::string& templateJson, const QString& originalPath, QString* error) {
    if (!QDir().mkpath(m_folder)) {
        if (error) *error = m_folder + QStringLiteral(": cannot create the folder");
        return false;
    }
    if (!m_lock) {
        m_lock = std::make_unique<QLockFile>(path(m_id, ".lock"));
        m_lock->setStaleLockTime(0); // stale only when its process is gone
        if (!m_lock->tryLock(0)) {
            m_lock.reset();
            if (error) *error = path(m_id, ".lock") + QStringLiteral(": cannot lock");
            return false;
        }
    }
    auto write = [error](const QString& to, const QByteArray& bytes) {
        QSaveFile f(to);
        if (f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit()) return true;
        if (error) *error = to + QStringLiteral(": ") + f.errorString();
        return false;
    };
    return write(path(m_id, ".path"), originalPath.toUtf8()) &&
           write(path(m_id, ".grf"), QByteArray::fromStdString(templateJson));
}

void RecoveryStore::discard() {
    QFile::remove(path(m_id, ".grf"));
    QFile::remove(path(m_id, ".path"));
}

bool RecoveryStore::hasCopy() const {
    return QFileInfo::exists(path(m_id, ".grf"));
}

std::optional<RecoveryStore::LeftOver>
RecoveryStore::leftOver(const std::optional<QString>& originalPath) const {
    std::optional<LeftOver> newest;
    const QFileInfoList copies =
        QDir(m_folder).entryInfoList({kPrefix + QStringLiteral("*.grf")}, QDir::Files, QDir::Time);
    for (const QFileInfo& copy : copies) {
        const QString id = copy.completeBaseName().mid(kPrefix.size());
        if (id == m_id) continue;
        // Its designer still runs while it holds the lock.
        QLockFile lock(path(id, ".lock"));
        lock.setStaleLockTime(0);
        if (QFileInfo::exists(path(id, ".lock")) && !lock.tryLock(0)) continue;
        lock.unlock();
        QFile original(path(id, ".path"));
        LeftOver found{copy.absoluteFilePath(), QString(), copy.lastModified(), id};
        if (original.open(QIODevice::ReadOnly)) found.originalPath = QString::fromUtf8(original.readAll());
        if (originalPath && found.originalPath != *originalPath) continue;
        if (!newest) newest = found;
    }
    return newest;
}

void RecoveryStore::remove(const LeftOver& copy) const {
    QFile::remove(path(copy.id, ".grf"));
    QFile::remove(path(copy.id, ".path"));
    QFile::remove(path(copy.id, ".lock"));
}

} // namespace verolux::reports
