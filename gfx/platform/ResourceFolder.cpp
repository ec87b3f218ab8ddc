// ResourceFolder: explicit folder or the module's own Contents/Resources.
#include "gfx/platform/ResourceFolder.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <mutex>

namespace plug::gfx {

namespace {

std::mutex& FolderMutex() {
  static std::mutex m;
  return m;
}

std::string& ExplicitFolder() {
  static std::string folder;
  return folder;
}

bool SafeName(const std::string& name) {
  if (name.empty() || name.front() == '/') return false;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0 && end - start == 2) return false;
    start = end + 1;
  }
  return name.find('\0') == std::string::npos;
}

}  // namespace

void ResourceFolder::Set(const std::string& folder) {
  std::lock_guard<std::mutex> lock(FolderMutex());
  ExplicitFolder() = folder;
}

std::string ResourceFolder::ModuleResourceFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ResourceFolder::ModuleResourceFolder), &info) == 0 ||
      !info.dli_fname)
    return {};
  std::string path(info.dli_fname);
  const std::size_t slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
  return dir + "/../Resources";
}

std::string ResourceFolder::Get() {
  {
    std::lock_guard<std::mutex> lock(FolderMutex());
    if (!ExplicitFolder().empty()) return ExplicitFolder();
  }
  return ModuleResourceFolder();
}

std::string ResourceFolder::Locate(const std::string& fileName) {
  if (!SafeName(fileName)) return {};
  const std::string folder = Get();
  if (folder.empty()) return {};
  std::string path = folder + "/" + fileName;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return path;
}

}  // namespace plug::gfx
