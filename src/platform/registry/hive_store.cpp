#include "registry/hive_store.h"

#include "base/UniqueFd.h"
#include "registry/hive_format.h"
#include "registry/winreg.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <optional>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvo::registry {
namespace {

std::string programName = "kelvo";

struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};
    timespec ctime{};

    explicit FileId(const struct stat& st)
        : dev(st.st_dev), ino(st.st_ino), size(st.st_size), mtime(st.st_mtim), ctime(st.st_ctim) {}
    bool operator==(const FileId& o) const
    {
        return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

struct Snapshot {
    std::string path;
    std::optional<FileId> id;  // empty when there is no file
    bool valid = false;
    bool unreadable = false;
    mode_t mode = 0600;
    KeyNode root;
    std::vector<RegFileProblem> problems;
    std::string keptName;  // where a damaged file goes before it is written
};

LONG ErrorFromErrno(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_WRITE_FAULT;
    }
}

std::string HomeDirectory()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
    return "/";
}

bool WriteAll(int fd, const std::string& data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool MakeDirectories(const std::string& dir)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return std::filesystem::is_directory(dir, ec);
}

std::string DamagedName(const std::string& path)
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string base = path + ".damaged-" + stamp;
    std::string name = base;
    for (int n = 1; ::access(name.c_str(), F_OK) == 0; ++n) name = base + "-" + std::to_string(n);
    return name;
}

// Keeps the damaged file beside the new one; true when it is safe to write.
bool KeepDamagedFile(const Snapshot& snapshot)
{
    std::string kept = snapshot.keptName;
    if (::access(kept.c_str(), F_OK) == 0) {
        kept = DamagedName(snapshot.path);
        std::fprintf(stderr, "%s: kept the damaged %s as %s\n", programName.c_str(), snapshot.path.c_str(),
                     kept.c_str());
    }
    if (::link(snapshot.path.c_str(), kept.c_str()) != 0) {
        std::error_code ec;
        if (!std::filesystem::copy_file(snapshot.path, kept, ec)) return false;
    }
    return true;
}

// The one line every reader of a damaged file prints, the applet and the
// tool alike.
void TellDamage(const Snapshot& snapshot)
{
    const RegFileProblem& first = snapshot.problems.front();
    std::fprintf(stderr, "%s: %s could not be read whole (line %zu: %s); it is kept as %s before it is written\n",
                 programName.c_str(), snapshot.path.c_str(), first.line, first.what.c_str(), snapshot.keptName.c_str());
}

class Store {
public:
    LONG Read(const HiveStore::Reader& read)
    {
        std::lock_guard lock(mutex_);
        Refresh(CurrentUserHivePath());
        if (snapshot_.unreadable) return ERROR_ACCESS_DENIED;
        return read(snapshot_.root);
    }

    std::uint64_t generation() const { return generation_; }

    LONG Modify(const HiveStore::Writer& write)
    {
        std::lock_guard lock(mutex_);
        const std::string path = CurrentUserHivePath();
        const std::string dir = std::filesystem::path(path).parent_path().string();
        if (!MakeDirectories(dir)) return ERROR_ACCESS_DENIED;

        UniqueFd lockFd(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (lockFd.get() < 0) return ErrorFromErrno(errno);
        while (::flock(lockFd.get(), LOCK_EX) != 0) {
            if (errno != EINTR) return ErrorFromErrno(errno);
        }

        Refresh(path);
        if (snapshot_.unreadable) return ERROR_ACCESS_DENIED;
        bool changed = false;
        ++generation_;
        LONG status = write(snapshot_.root, changed);
        if (status != ERROR_SUCCESS || !changed) return status;

        if (!snapshot_.problems.empty() && snapshot_.id && !KeepDamagedFile(snapshot_)) {
            snapshot_.valid = false;
            return ERROR_ACCESS_DENIED;
        }
        status = WriteFile(path, dir);
        if (status != ERROR_SUCCESS) snapshot_.valid = false;  // the tree holds a change that is not on disk
        return status;
    }

private:
    void Refresh(const std::string& path)
    {
        struct stat st {};
        // Every registry call looks: one stat when nothing changed.
        if (snapshot_.valid && snapshot_.path == path && snapshot_.id && ::stat(path.c_str(), &st) == 0 &&
            *snapshot_.id == FileId(st))
            return;
        // Never blocks: a FIFO or a device in the file's place is refused.
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        if (fd.get() < 0) {
            if (snapshot_.valid && snapshot_.path == path && !snapshot_.id && errno == ENOENT) return;
            const int error = errno;
            Reset(path);
            snapshot_.valid = true;
            if (error != ENOENT) Refuse(path, std::strerror(error));
            return;
        }
        if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
            Reset(path);
            snapshot_.valid = true;
            Refuse(path, "it is not a regular file");
            return;
        }
        FileId id(st);
        if (snapshot_.valid && snapshot_.path == path && snapshot_.id && *snapshot_.id == id) return;

        Reset(path);
        std::string text;
        text.reserve(std::min<std::size_t>(static_cast<std::size_t>(st.st_size), kMaxHiveBytes) + 1);
        bool readFailed = false;
        char buffer[65536];
        while (text.size() <= kMaxHiveBytes) {
            ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) readFailed = true;
            if (n <= 0) break;
            text.append(buffer, static_cast<std::size_t>(n));
        }
        if (readFailed) {
            snapshot_.valid = true;
            Refuse(path, std::strerror(errno));
            return;
        }
        if (text.size() > kMaxHiveBytes) text.resize(kMaxHiveBytes);
        RegFile file = ParseRegFile(text);
        snapshot_.problems = std::move(file.problems);
        if (static_cast<std::size_t>(st.st_size) > kMaxHiveBytes)
            snapshot_.problems.push_back({0, "the file is longer than 64 MiB"});
        ApplyRegFile(file, snapshot_.root, snapshot_.problems);
        snapshot_.id = id;
        snapshot_.mode = st.st_mode & 07777;
        snapshot_.valid = true;
        if (!snapshot_.problems.empty()) {
            snapshot_.keptName = DamagedName(path);
            TellDamage(snapshot_);
        }
    }

    // A file that cannot be read is neither read nor replaced; said once.
    void Refuse(const std::string& path, const char* why)
    {
        snapshot_.unreadable = true;
        if (refused_ == path) return;
        refused_ = path;
        std::fprintf(stderr, "%s: %s cannot be read (%s); it is left alone\n", programName.c_str(), path.c_str(), why);
    }

    void Reset(const std::string& path)
    {
        snapshot_ = Snapshot{};
        snapshot_.path = path;
        ++generation_;
    }

    LONG WriteFile(const std::string& path, const std::string& dir)
    {
        const std::string text = SerializeRegFile(snapshot_.root, "HKEY_CURRENT_USER");
        const std::string temp = path + ".tmp";  // writers take turns under the lock, so one name does
        {
            UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
            if (fd.get() < 0) return ErrorFromErrno(errno);
            if (::fchmod(fd.get(), snapshot_.mode) != 0 || !WriteAll(fd.get(), text) || ::fsync(fd.get()) != 0 ||
                !fd.Close()) {
                int error = errno;
                ::unlink(temp.c_str());
                return ErrorFromErrno(error);
            }
        }
        if (::rename(temp.c_str(), path.c_str()) != 0) {
            int error = errno;
            ::unlink(temp.c_str());
            return ErrorFromErrno(error);
        }
        UniqueFd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dirFd.get() >= 0) ::fsync(dirFd.get());

        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return ErrorFromErrno(errno);
        snapshot_.id = FileId(st);
        snapshot_.problems.clear();
        return ERROR_SUCCESS;
    }

    std::mutex mutex_;
    Snapshot snapshot_;
    std::uint64_t generation_ = 1;
    std::string refused_;
};

Store& TheStore()
{
    static Store store;
    return store;
}

}  // namespace

void SetProgramName(std::string name)
{
    programName = std::move(name);
}

std::string CurrentUserHivePath()
{
    std::string base;
    // The XDG rules ignore a relative XDG_CONFIG_HOME.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        base = HomeDirectory() + "/.config";
    }
    std::string path = base + "/kelvo/user.reg";
    // A hive kept as a symbolic link (dotfile managers) is written where it points.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            path = real;
            std::free(real);
        }
    }
    return path;
}

LONG HiveStore::Read(const Reader& read)
{
    return TheStore().Read(read);
}

LONG HiveStore::Modify(const Writer& write)
{
    return TheStore().Modify(write);
}

std::uint64_t HiveStore::Generation() const
{
    return TheStore().generation();
}

HiveStore& CurrentUserHive()
{
    static HiveStore hive;
    return hive;
}

}  // namespace kelvo::registry
