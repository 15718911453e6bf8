#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace verolux {

// The whole file as bytes; "" when it is missing or cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);

// A UTF-8 text (a name from a request, a setting) as a path. path(std::string) would read it in the
// narrow code page on Windows; path.string() gives UTF-8 there already.
std::filesystem::path PathFromUtf8(std::string_view utf8);

// A descriptor open for reading the file named in UTF-8 (not inherited by child processes); -1 on failure
// with errno set.
int OpenForReading(std::string_view utf8Name);

// The C library's fopen, with the name as the system takes it (UTF-16 on Windows).
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

// Renames from to to, replacing a file there; false when it fails.
bool RenameOver(const std::filesystem::path& from, const std::filesystem::path& to);

// Writes what was written to fd through to the disk.
bool SyncFile(int fd);

// A downloaded file at fd about to replace path: the mode of the file it replaces, or 0644 (0755 when
// executable), with execute wherever it may be read when executable. Windows has no such bits.
bool SetReplacementMode(int fd, const std::filesystem::path& path, bool executable);

// Reads up to size bytes at offset without moving fd's position (pread); -1 on failure.
long long ReadAt(int fd, void* buffer, std::size_t size, std::uint64_t offset);

// An exclusive lock on lockFile (created when missing), waited for and held for the object's life:
// one read-modify-write of a file that is itself replaced by a rename.
class FileWriteLock {
  public:
    explicit FileWriteLock(const std::filesystem::path& lockFile);
    ~FileWriteLock();
    FileWriteLock(const FileWriteLock&) = delete;
    FileWriteLock& operator=(const FileWriteLock&) = delete;

  private:
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_fd = -1;
#endif
};

// Writes content to a temporary file beside path, flushes it and renames it over path, so readers
// see the old file or the new one, never a half-written one. Returns false on any failure (the old
// file is then untouched).
bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view content);

// The two ends of such a replacement for writers of their own. Begin makes the temporary file beside
// path (".NAME.XXXXXX", mode 0600; fd -1 when it cannot be made) and holds an exclusive flock on it
// until commit, which closes it and, when ok and the close succeeded, renames it over path, otherwise
// removes it. Commit is true when path now holds the new content.
struct Replacement {
    std::string temporary;
    int fd = -1;
};
Replacement BeginReplacement(const std::filesystem::path& path);
bool CommitReplacement(const Replacement& replacement, bool ok, const std::filesystem::path& path);

// ".NAME.XXXXXX": the name of a replacement's temporary file (six letters or digits after the last dot).
bool IsTemporaryName(std::string_view name);

// Removes the temporary files of replacements in folder that no live writer holds: those a killed
// program left behind. Returns how many it removed.
int RemoveStaleTemporaries(const std::filesystem::path& folder);

} // namespace verolux
