#pragma once

#include <sys/types.h>

#include <cstdio>

#include <string>

namespace qvz {

// Where a file the user named is written, and how. A regular file (or a name not yet taken)
// is written as an unnamed temporary file in its folder and linked into place by commit(),
// so a failed or interrupted run never leaves a partial file and never touches what was
// there. A symlink is followed to the file it names. A device, FIFO or "-" (standard output)
// cannot be written in place: the file is made in the temporary folder and copied into it
// once complete. Nothing but a regular file is ever replaced.
class OutputFile {
public:
  // `what` comes before the quoted name in messages ("" or "plot "). Throws Failure when the target
  // cannot be written (a folder, a socket, a missing folder).
  OutputFile(const std::string &path, const std::string &what);
  ~OutputFile();
  OutputFile(const OutputFile &) = delete;
  OutputFile &operator=(const OutputFile &) = delete;

  // The temporary file, open for reading and writing.
  int descriptor() const { return mFd; }
  // A stdio stream onto the temporary file, for libraries that write through one; the caller
  // closes it before commit(). Throws Failure when none can be made.
  std::FILE *openStream();
  const std::string &path() const { return mPath; }
  // The folder the temporary file lives in (for the free-space check).
  const std::string &temporaryFolder() const { return mFolder; }
  bool toStandardOutput() const { return mPath == "-"; }
  // Bytes free for the temporary file, or -1 when unknown.
  long long freeBytes() const;

  // Puts the finished file in place; throws Failure naming the file.
  void commit();

private:
  void copyInto(int target, const std::string &name);

  std::string mPath;     // as the user gave it
  std::string mTarget;   // the file written: symlinks followed
  std::string mWhat;
  std::string mFolder;
  std::string mNamed;    // a named temporary file to remove, when unnamed ones are not supported
  bool mCopy = false;    // copied into a device, FIFO or standard output
  int mFd = -1;
};

// Identifies the file a path names, following symlinks: the same identity for two paths
// that reach one file. A file that does not exist yet is identified by its full path;
// devices, FIFOs and terminals equal nothing (reading one and writing another is fine).
struct FileIdentity {
  bool comparable = true;
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  std::string fullPath;

  static FileIdentity of(const std::string &path, int standardDescriptor);
  bool operator==(const FileIdentity &other) const;
};

} // namespace qvz
