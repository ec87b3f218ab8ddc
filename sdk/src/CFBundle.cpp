// CFBundle.cpp: file URLs, the host's main bundle and registered bundles.
#include "sdk/src/CFInternal.h"

#include <TovraSdk/HostBundle.h>

#include <sys/stat.h>

#include <cstring>
#include <map>
#include <mutex>
#include <new>

using namespace tovrasdk;

struct __CFURL : __CFRuntimeBase {
  CFStringRef path;       // without a trailing '/', except "/"
  CFStringRef urlString;  // "file://" + path (+ '/' for directories)
  bool isDirectory;
};

// Bundles never die; their fields change only under gBundles' mutex, and every string or
// dictionary they ever handed out stays alive (in retired) so that Get-rule results never dangle.
struct __CFBundle : __CFRuntimeBase {
  CFStringRef identifier;
  CFStringRef version;
  CFStringRef path;
  CFDictionaryRef info;
};

namespace {

struct BundleRegistry {
  std::mutex mutex;
  __CFBundle main{ImmortalBase(kTypeBundle), nullptr, nullptr, nullptr, nullptr};
  std::map<std::string, __CFBundle*> registered;
  std::vector<CFTypeRef> retired;
};

BundleRegistry& Bundles() {
  static BundleRegistry* registry = new BundleRegistry;  // lives as long as the process
  return *registry;
}

CFStringRef Optional(const char* text) {
  return text != nullptr && text[0] != '\0'
             ? CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8)
             : nullptr;
}

void Retire(BundleRegistry& r, CFTypeRef old) {
  if (old != nullptr) r.retired.push_back(old);
}

// Rebuilds the info dictionary from the bundle's fields (caller holds the mutex).
void SetFields(BundleRegistry& r, __CFBundle& b, const char* identifier, const char* version,
               const char* path) {
  Retire(r, b.identifier);
  Retire(r, b.version);
  Retire(r, b.path);
  Retire(r, b.info);
  b.identifier = Optional(identifier);
  b.version = Optional(version);
  b.path = Optional(path);
  CFMutableDictionaryRef info = CFDictionaryCreateMutable(
      nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  if (b.identifier != nullptr) CFDictionarySetValue(info, kCFBundleIdentifierKey, b.identifier);
  if (b.version != nullptr) CFDictionarySetValue(info, kCFBundleVersionKey, b.version);
  b.info = info;
}

std::string PathOf(CFBundleRef bundle) {
  std::lock_guard<std::mutex> lock(Bundles().mutex);
  return std::string(StringView(bundle->path));
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

CFURLRef MakeURL(std::string path, bool isDirectory) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (path.empty()) return nullptr;
  auto* u = new (std::nothrow) __CFURL{MortalBase(kTypeURL), nullptr, nullptr, isDirectory};
  if (u == nullptr) return nullptr;
  u->path = MakeString(path);
  u->urlString = MakeString("file://" + path + (isDirectory && path != "/" ? "/" : ""));
  if (u->path == nullptr || u->urlString == nullptr) {
    CFRelease(u->path);
    CFRelease(u->urlString);
    delete u;
    return nullptr;
  }
  return u;
}

}  // namespace

namespace tovrasdk {

void DestroyURL(CFTypeRef cf) noexcept {
  const auto* u = static_cast<const __CFURL*>(cf);
  CFRelease(u->path);
  CFRelease(u->urlString);
  delete u;
}

bool EqualURLs(CFURLRef a, CFURLRef b) noexcept {
  return StringView(a->urlString) == StringView(b->urlString);
}

std::string_view URLPath(CFURLRef url) noexcept {
  return IsType(url, kTypeURL) ? StringView(url->path) : std::string_view{};
}

}  // namespace tovrasdk

extern "C" {

const CFStringRef kCFBundleInfoDictionaryVersionKey = CFSTR("CFBundleInfoDictionaryVersion");
const CFStringRef kCFBundleExecutableKey = CFSTR("CFBundleExecutable");
const CFStringRef kCFBundleIdentifierKey = CFSTR("CFBundleIdentifier");
const CFStringRef kCFBundleVersionKey = CFSTR("CFBundleVersion");
const CFStringRef kCFBundleNameKey = CFSTR("CFBundleName");

CFTypeID CFURLGetTypeID(void) {
  return kTypeURL;
}
CFTypeID CFBundleGetTypeID(void) {
  return kTypeBundle;
}

CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef, CFStringRef filePath,
                                       CFURLPathStyle pathStyle, Boolean isDirectory) {
  if (pathStyle != kCFURLPOSIXPathStyle || !IsType(filePath, kTypeString)) return nullptr;
  return MakeURL(std::string(StringView(filePath)), isDirectory != 0);
}

CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef, const UInt8* buffer,
                                                 CFIndex bufLen, Boolean isDirectory) {
  if (buffer == nullptr || bufLen <= 0) return nullptr;
  std::string path(reinterpret_cast<const char*>(buffer), static_cast<size_t>(bufLen));
  if (path.find('\0') != std::string::npos) path.resize(path.find('\0'));
  return MakeURL(path, isDirectory != 0);
}

CFStringRef CFURLCopyFileSystemPath(CFURLRef anURL, CFURLPathStyle pathStyle) {
  if (!IsType(anURL, kTypeURL) || pathStyle != kCFURLPOSIXPathStyle) return nullptr;
  return static_cast<CFStringRef>(CFRetain(anURL->path));
}

CFStringRef CFURLGetString(CFURLRef anURL) {
  return IsType(anURL, kTypeURL) ? anURL->urlString : nullptr;
}

Boolean CFURLHasDirectoryPath(CFURLRef anURL) {
  return IsType(anURL, kTypeURL) && anURL->isDirectory;
}

Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean, UInt8* buffer, CFIndex maxBufLen) {
  if (!IsType(url, kTypeURL) || buffer == nullptr) return false;
  const std::string_view path = StringView(url->path);
  if (static_cast<CFIndex>(path.size()) + 1 > maxBufLen) return false;
  std::memcpy(buffer, path.data(), path.size());
  buffer[path.size()] = '\0';
  return true;
}

CFBundleRef CFBundleGetMainBundle(void) {
  return &Bundles().main;
}

CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID) {
  if (!IsType(bundleID, kTypeString)) return nullptr;
  BundleRegistry& r = Bundles();
  std::lock_guard<std::mutex> lock(r.mutex);
  const auto it = r.registered.find(std::string(StringView(bundleID)));
  if (it != r.registered.end()) return it->second;
  if (r.main.identifier != nullptr && StringView(r.main.identifier) == StringView(bundleID))
    return &r.main;
  return nullptr;
}

CFStringRef CFBundleGetIdentifier(CFBundleRef bundle) {
  if (!IsType(bundle, kTypeBundle)) return nullptr;
  std::lock_guard<std::mutex> lock(Bundles().mutex);
  return bundle->identifier;
}

CFDictionaryRef CFBundleGetInfoDictionary(CFBundleRef bundle) {
  if (!IsType(bundle, kTypeBundle)) return nullptr;
  std::lock_guard<std::mutex> lock(Bundles().mutex);
  return bundle->info;
}

CFTypeRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key) {
  return CFDictionaryGetValue(CFBundleGetInfoDictionary(bundle), key);
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle) {
  if (!IsType(bundle, kTypeBundle)) return nullptr;
  const std::string path = PathOf(bundle);
  return path.empty() ? nullptr : MakeURL(path, true);
}

CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle) {
  if (!IsType(bundle, kTypeBundle)) return nullptr;
  const std::string path = PathOf(bundle);
  return path.empty() ? nullptr : MakeURL(path + "/Contents/Resources", true);
}

CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName,
                                 CFStringRef resourceType, CFStringRef subDirName) {
  if (!IsType(bundle, kTypeBundle) || !IsType(resourceName, kTypeString)) return nullptr;
  const std::string root = PathOf(bundle);
  if (root.empty()) return nullptr;
  std::string path = root + "/Contents/Resources/";
  if (IsType(subDirName, kTypeString) && CFStringGetLength(subDirName) > 0)
    path += std::string(StringView(subDirName)) + "/";
  path += std::string(StringView(resourceName));
  if (IsType(resourceType, kTypeString) && CFStringGetLength(resourceType) > 0)
    path += "." + std::string(StringView(resourceType));
  return Exists(path) ? MakeURL(path, false) : nullptr;
}

void TovraSdkSetMainBundle(const char* identifier, const char* version, const char* bundlePath) {
  BundleRegistry& r = Bundles();
  std::lock_guard<std::mutex> lock(r.mutex);
  SetFields(r, r.main, identifier, version, bundlePath);
}

Boolean TovraSdkRegisterBundle(const char* identifier, const char* bundlePath,
                               const char* version) {
  if (identifier == nullptr || identifier[0] == '\0' || bundlePath == nullptr) return false;
  BundleRegistry& r = Bundles();
  std::lock_guard<std::mutex> lock(r.mutex);
  __CFBundle*& b = r.registered[identifier];
  if (b == nullptr) {
    b = new (std::nothrow)
        __CFBundle{ImmortalBase(kTypeBundle), nullptr, nullptr, nullptr, nullptr};
    if (b == nullptr) {
      r.registered.erase(identifier);
      return false;
    }
  }
  SetFields(r, *b, identifier, version, bundlePath);
  return true;
}

}  // extern "C"
