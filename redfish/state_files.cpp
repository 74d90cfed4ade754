// SPDX-License-Identifier: Apache-2.0
#include "redfish/state_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "redfish/random_text.hpp"

namespace qel::redfish {
namespace {

std::string systemError(const std::string &what) { return what + ": " + std::strerror(errno); }

bool isUuid(const std::string &text) {
  if (text.size() != 36) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash != (text[i] == '-') ||
        (!dash && !std::isxdigit(static_cast<unsigned char>(text[i])))) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool prepareStateDirectory(const std::string &directory, std::string &error) {
  if (mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
    error = systemError("cannot create the state directory " + directory);
    return false;
  }
  struct stat info {};
  if (stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    error = "the state directory " + directory + " is not a directory";
  } else if ((info.st_mode & 022) != 0) {
    error = "the state directory " + directory + " may be written by others than its owner";
  } else if (access(directory.c_str(), R_OK | W_OK | X_OK) != 0) {
    error = systemError("cannot use the state directory " + directory);
  } else {
    return true;
  }
  return false;
}

bool writeAtomically(const std::string &path, std::string_view text, std::string &error) {
  const std::size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash);
  std::string temporary = path + ".XXXXXX";
  // mkstemp creates the file with mode 0600 before a byte is in it.
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    error = systemError(directory);
    return false;
  }
  struct stat owner {};
  bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  if (ok && geteuid() == 0 && stat(directory.c_str(), &owner) == 0) {
    ok = fchown(fd, owner.st_uid, owner.st_gid) == 0;
  }
  ok = ok && fsync(fd) == 0;
  if (close(fd) != 0) ok = false;
  ok = ok && rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    error = systemError(path);
    unlink(temporary.c_str());
    return false;
  }
  // The rename itself reaches the disk with the directory.
  const int dirFd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    fsync(dirFd);
    close(dirFd);
  }
  return true;
}

std::optional<std::string> serviceUuid(const std::string &directory, std::string &error) {
  const std::string path = directory + "/uuid";
  std::ifstream file(path);
  if (file) {
    std::string uuid;
    std::getline(file, uuid);
    if (isUuid(uuid)) return uuid;
    error = path + ": not a UUID";
    return std::nullopt;
  }
  const std::string uuid = randomUuid();
  if (!writeAtomically(path, uuid + "\n", error)) return std::nullopt;
  return uuid;
}

}  // namespace qel::redfish
