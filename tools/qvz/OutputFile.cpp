#include "OutputFile.h"
#include "Failure.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace qvz {

namespace {

constexpr int kLongestSymlinkChain = 40;
constexpr size_t kCopyBlockBytes = 1 << 16;

std::string folderOf(const std::string &path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string fileOf(const std::string &path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string reason() { return std::strerror(errno); }

// Follows symlinks, also ones whose target does not exist yet.
std::string followLinks(const std::string &path) {
  std::string current = path;
  for (int i = 0; i < kLongestSymlinkChain; i++) {
    struct stat info;
    if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::vector<char> text(PATH_MAX + 1);
    const ssize_t length = readlink(current.c_str(), text.data(), PATH_MAX);
    if (length < 0) return current;
    const std::string target(text.data(), (size_t)length);
    current = !target.empty() && target[0] == '/' ? target : folderOf(current) + "/" + target;
  }
  errno = ELOOP;
  return "";
}

// An unnamed file in the folder, or -1 when the folder's file system has none.
int unnamedFileIn(const std::string &folder) {
#ifdef O_TMPFILE
  return open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
#else
  errno = EOPNOTSUPP;
  return -1;
#endif
}

bool unnamedUnsupported(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

void writeAll(int fd, const char *data, size_t size) {
  while (size > 0) {
    const ssize_t done = ::write(fd, data, size);
    if (done < 0) {
      if (errno == EINTR) continue;
      throw Failure(reason());
    }
    data += done;
    size -= (size_t)done;
  }
}

} // namespace

OutputFile::OutputFile(const std::string &path, const std::string &what) : mPath(path), mWhat(what) {
  const std::string cannot = "cannot write " + what + "'" + path + "': ";
  if (path == "-") {
    if (isatty(STDOUT_FILENO)) throw Failure(cannot + "standard output is a terminal; redirect it or pipe it into a player");
    mCopy = true;
  } else {
    mTarget = followLinks(path);
    if (mTarget.empty()) throw Failure(cannot + reason());
    struct stat info;
    if (stat(mTarget.c_str(), &info) == 0) {
      if (S_ISDIR(info.st_mode)) throw Failure(cannot + "it is a folder");
      if (S_ISSOCK(info.st_mode)) throw Failure(cannot + "it is a socket");
      mCopy = S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode) || S_ISBLK(info.st_mode);
      if (mCopy && access(mTarget.c_str(), W_OK) != 0) throw Failure(cannot + reason());
    }
  }
  if (mCopy) {
    const char *tmp = std::getenv("TMPDIR");
    mFolder = tmp && *tmp ? tmp : "/tmp";
  } else {
    mFolder = folderOf(mTarget);
  }
  mFd = unnamedFileIn(mFolder);
  if (mFd < 0 && unnamedUnsupported(errno)) {
    const std::string base = mCopy ? "qvz-" + std::to_string((long)getpid()) : "." + fileOf(mTarget) + ".qvz-";
    std::string name = mFolder + "/" + base + std::to_string((long)getpid()) + ".tmp";
    mFd = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (mFd >= 0) {
      // A copy goes through a file nobody needs to see; a file to be renamed keeps its name.
      if (mCopy) unlink(name.c_str());
      else mNamed = name;
    }
  }
  if (mFd < 0) throw Failure(cannot + reason());
}

OutputFile::~OutputFile() {
  if (mFd >= 0) close(mFd);
  if (!mNamed.empty()) unlink(mNamed.c_str());
}

std::FILE *OutputFile::openStream() {
  const int fd = dup(mFd);
  std::FILE *stream = fd >= 0 ? fdopen(fd, "wb") : nullptr;
  if (!stream) {
    const std::string why = reason();
    if (fd >= 0) close(fd);
    throw Failure("cannot write " + mWhat + "'" + mPath + "': " + why);
  }
  return stream;
}

long long OutputFile::freeBytes() const {
  struct statvfs info;
  if (fstatvfs(mFd, &info) != 0) return -1;
  return (long long)info.f_bavail * (long long)info.f_frsize;
}

void OutputFile::copyInto(int target, const std::string &name) {
  if (lseek(mFd, 0, SEEK_SET) != 0) throw Failure("cannot write " + mWhat + "'" + name + "': " + reason());
  std::vector<char> block(kCopyBlockBytes);
  for (;;) {
    const ssize_t got = ::read(mFd, block.data(), block.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw Failure("cannot write " + mWhat + "'" + name + "': " + reason());
    if (got == 0) return;
    try {
      writeAll(target, block.data(), (size_t)got);
    } catch (const Failure &failure) {
      throw Failure("cannot write " + mWhat + "'" + name + "': " + failure.what());
    }
  }
}

void OutputFile::commit() {
  const std::string cannot = "cannot write " + mWhat + "'" + mPath + "': ";
  if (mCopy) {
    if (toStandardOutput()) {
      copyInto(STDOUT_FILENO, "standard output");
      return;
    }
    const int target = open(mTarget.c_str(), O_WRONLY | O_CLOEXEC);
    if (target < 0) throw Failure(cannot + reason());
    try {
      copyInto(target, mPath);
    } catch (...) {
      close(target);
      throw;
    }
    if (close(target) != 0) throw Failure(cannot + reason());
    return;
  }
  if (fsync(mFd) != 0 && errno != EINVAL) throw Failure(cannot + reason());
  std::string named = mNamed;
  if (named.empty()) {
    // Linked under a temporary name first: a link cannot replace an existing file, a rename can.
    named = mFolder + "/." + fileOf(mTarget) + ".qvz-" + std::to_string((long)getpid()) + ".tmp";
    const std::string self = "/proc/self/fd/" + std::to_string(mFd);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, named.c_str(), AT_SYMLINK_FOLLOW) != 0)
      throw Failure(cannot + reason());
  }
  if (std::rename(named.c_str(), mTarget.c_str()) != 0) {
    const std::string why = reason();
    unlink(named.c_str());
    mNamed.clear();
    throw Failure(cannot + why);
  }
  mNamed.clear();
}

FileIdentity FileIdentity::of(const std::string &path, int standardDescriptor) {
  FileIdentity identity;
  struct stat info;
  const bool found = path == "-" ? fstat(standardDescriptor, &info) == 0 : stat(path.c_str(), &info) == 0;
  if (found && !S_ISREG(info.st_mode)) {
    identity.comparable = false;
    return identity;
  }
  if (found) {
    identity.exists = true;
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
    return identity;
  }
  const std::string target = path == "-" ? path : followLinks(path);
  char *folder = realpath(folderOf(target).c_str(), nullptr);
  identity.fullPath = (folder ? std::string(folder) : folderOf(target)) + "/" + fileOf(target);
  std::free(folder);
  return identity;
}

bool FileIdentity::operator==(const FileIdentity &other) const {
  if (!comparable || !other.comparable || exists != other.exists) return false;
  return exists ? device == other.device && inode == other.inode : fullPath == other.fullPath;
}

} // namespace qvz
