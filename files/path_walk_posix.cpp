#include "files/path_walk.h"

#include <fcntl.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace t2tk {

namespace {

constexpr long kProcFilesystem = 0x9fa0;      // PROC_SUPER_MAGIC
constexpr long kSysFilesystem = 0x62656572;  // SYSFS_MAGIC
constexpr int kMostLinks = 40;               // as the kernel follows at most

// text/name, without doubling the separator.
std::string Joined(const std::string& text, const std::string& name)
{
    return text.empty() || text.back() == '/' ? text + name : text + "/" + name;
}

// A link in a world-writable sticky folder (/tmp, say) that neither the
// process's user nor the folder's owner owns may have been planted to
// redirect the output.
bool IsPlantedLink(const struct stat& folder, const struct stat& link)
{
    const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    return shared && link.st_uid != ::geteuid() && link.st_uid != folder.st_uid;
}

// A link in a folder of another user (not the system's) is that user's to
// point anywhere: the program's own file is never reached through it, so that
// root, run with a user's home, writes nothing the user chose.
bool IsForeignLink(const struct stat& folder)
{
    return folder.st_uid != ::geteuid() && folder.st_uid != 0;
}

bool IsProcFolder(int folder)
{
    struct statfs filesystem {};
    return ::fstatfs(folder, &filesystem) == 0 && filesystem.f_type == kProcFilesystem;
}

// The descriptor number a name of /proc/self/fd stands for, or -1.
int OwnDescriptor(int folder, const std::string& name)
{
    struct stat own {};
    struct stat here {};
    if (::stat("/proc/self/fd", &own) != 0 || ::fstat(folder, &here) != 0 || own.st_dev != here.st_dev ||
        own.st_ino != here.st_ino || name.empty() || name.size() > 6) {
        return -1;
    }
    int number = 0;
    for (const char c : name) {
        if (c < '0' || c > '9') {
            return -1;
        }
        number = number * 10 + (c - '0');
    }
    return number;
}

WriteError Failed(WriteProblem problem, std::string file, int error = 0)
{
    return {problem, std::move(file), error, {}};
}

// One walk: the names still to walk, and the folder reached.
class Walk {
public:
    Walk(const std::string& path, WalkFor use, WalkedPath& walked) : m_path(path), m_use(use), m_walked(walked) {}

    // A path of any length is walked, a folder at a time, as long as each
    // name fits (the system would take no more than PATH_MAX bytes at once).
    WriteError Run()
    {
        m_pending = m_path;
        m_endsInSlash = !m_path.empty() && m_path.back() == '/';
        StartAt(!m_path.empty() && m_path.front() == '/');
        std::size_t at = 0;
        for (;;) {
            at = m_pending.find_first_not_of('/', at);
            const std::size_t end = std::min(m_pending.find('/', at == std::string::npos ? m_pending.size() : at),
                                             m_pending.size());
            std::string name = at == std::string::npos ? std::string() : m_pending.substr(at, end - at);
            const std::size_t next = m_pending.find_first_not_of('/', end);
            const bool last = next == std::string::npos;
            if (name.size() > NAME_MAX) {
                return Failed(WriteProblem::System, m_path, ENAMETOOLONG);
            }
            if (name.empty() || name == ".") {  // the folder itself: "", ".", "kits/."
                if (last) {
                    return Failed(WriteProblem::System, m_path, EISDIR);
                }
                at = next;
                continue;
            }
            m_next = next;
            WriteError error;
            bool restarted = false;
            if (!m_walked.missingFolders.empty()) {
                // Below a folder to be made, nothing is there yet.
                if (last) {
                    m_walked.name = name;
                    return {};
                }
                m_walked.missingFolders.push_back(name);
                at = next;
                continue;
            }
            if (const bool done = Step(name, last, error, restarted); done || error) {
                return error;
            }
            at = restarted ? 0 : next;
        }
    }

private:
    void StartAt(bool root)
    {
        if (m_walked.folder >= 0) {
            ::close(m_walked.folder);
        }
        m_walked.folder = ::open(root ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
        m_walked.folderText = root ? "/" : "";
    }

    std::string FolderText() const { return m_walked.folderText.empty() ? "." : m_walked.folderText; }

    // One name of the path. True when the walk has come to its end; a link's
    // text takes its place in what is left to walk (restarted then).
    bool Step(const std::string& name, bool last, WriteError& error, bool& restarted)
    {
        struct stat status {};
        if (::fstatat(m_walked.folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            const int why = errno;
            if (why == ENOENT && last && !m_endsInSlash) {
                m_walked.name = name;  // a new file
                return true;
            }
            if (why == ENOENT && !last && m_use == WalkFor::OwnFile) {
                m_walked.missingFolders.push_back(name);  // made when the file is written
                return false;
            }
            error = last ? Failed(WriteProblem::System, m_path, why)
                         : Failed(WriteProblem::CannotCreateIn, Joined(m_walked.folderText, name), why);
            return true;
        }
        if (S_ISLNK(status.st_mode)) {
            return FollowLink(name, status, last, error, restarted);
        }
        if (last) {
            if (S_ISDIR(status.st_mode) || m_endsInSlash) {
                error = Failed(WriteProblem::System, m_path, S_ISDIR(status.st_mode) ? EISDIR : ENOTDIR);
                return true;
            }
            m_walked.name = name;
            m_walked.exists = true;
            m_walked.status = status;
            return true;
        }
        return EnterFolder(name, false, error, &status);
    }

    bool FollowLink(const std::string& name, const struct stat& link, bool last, WriteError& error, bool& restarted)
    {
        struct stat folder {};
        ::fstat(m_walked.folder, &folder);
        const std::string linkText = Joined(m_walked.folderText, name);
        if (IsPlantedLink(folder, link)) {
            error = Failed(WriteProblem::PlantedLink, linkText);
            return true;
        }
        if (m_use == WalkFor::OwnFile && IsForeignLink(folder)) {
            error = Failed(WriteProblem::ForeignLink, linkText);
            return true;
        }
        if (IsProcFolder(m_walked.folder)) {
            // The system's links (/proc/self/fd/1) are no text to follow: the
            // process's own descriptor, or what the kernel opens.
            if (!last) {
                return EnterFolder(name, true, error);
            }
            m_walked.name = name;
            m_walked.throughSystemLink = true;
            m_walked.ownDescriptor = OwnDescriptor(m_walked.folder, name);
            m_walked.exists = ::fstatat(m_walked.folder, name.c_str(), &m_walked.status, 0) == 0;
            return true;
        }
        if (++m_links > kMostLinks) {
            error = Failed(WriteProblem::System, m_path, ELOOP);
            return true;
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t got = ::readlinkat(m_walked.folder, name.c_str(), target.data(), target.size());
        if (got < 0) {
            error = Failed(WriteProblem::System, m_path, errno);
            return true;
        }
        target.resize(static_cast<std::size_t>(got));
        // The link's text takes its place in what is left to walk.
        std::string pending = target;
        if (!last) {
            pending = Joined(target, m_pending.substr(m_next));
        } else if (m_endsInSlash) {
            pending += "/";
        }
        if (!target.empty() && target.front() == '/') {
            StartAt(true);
        }
        m_pending = pending;
        restarted = true;
        return false;
    }

    // A folder on the way, held open in place of the one before; looked at
    // says what it was when it was looked at, and it must be that folder still.
    bool EnterFolder(const std::string& name, bool systemLink, WriteError& error,
                     const struct stat* lookedAt = nullptr)
    {
        const int next = ::openat(m_walked.folder, name.c_str(),
                                  O_PATH | O_DIRECTORY | O_CLOEXEC | (systemLink ? 0 : O_NOFOLLOW));
        struct stat opened {};
        if (next >= 0 && lookedAt != nullptr &&
            (::fstat(next, &opened) != 0 || !S_ISDIR(opened.st_mode) || opened.st_dev != lookedAt->st_dev ||
             opened.st_ino != lookedAt->st_ino)) {
            ::close(next);
            error = Failed(WriteProblem::Changed, Joined(m_walked.folderText, name));
            return true;
        }
        if (next < 0) {
            const int why = errno;
            struct stat now {};
            // Made a link between the look and the opening: not the folder it was.
            const bool swapped = (why == ENOTDIR || why == ELOOP) &&
                                 ::fstatat(m_walked.folder, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
                                 S_ISLNK(now.st_mode) && !systemLink;
            error = swapped ? Failed(WriteProblem::Changed, Joined(m_walked.folderText, name))
                            : Failed(WriteProblem::CannotCreateIn, Joined(m_walked.folderText, name), why);
            return true;
        }
        ::close(m_walked.folder);
        m_walked.folder = next;
        m_walked.folderText = Joined(m_walked.folderText, name);
        return false;
    }

    const std::string& m_path;
    WalkFor m_use;
    WalkedPath& m_walked;
    std::string m_pending;  // the names still to walk
    std::size_t m_next = 0;  // where the name after the one at hand begins in it
    bool m_endsInSlash = false;
    int m_links = 0;
};

}  // namespace

WalkedPath::~WalkedPath()
{
    if (folder >= 0) {
        ::close(folder);
    }
}

WriteError WalkPath(const std::string& path, WalkFor use, WalkedPath& walked)
{
    return Walk(path, use, walked).Run();
}

bool IsSystemFolder(int folder)
{
    struct statfs filesystem {};
    return ::fstatfs(folder, &filesystem) == 0 &&
           (filesystem.f_type == kProcFilesystem || filesystem.f_type == kSysFilesystem);
}

}  // namespace t2tk
