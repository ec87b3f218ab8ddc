// ResourceFolder: where the editor's images and fonts are looked up.
#pragma once

#include <string>

namespace plug::gfx {

/** By default the bundle's Contents/Resources, found from this module's own path
 *  (<module dir>/../Resources), so a plug-in finds its files wherever the host
 *  loaded it from. Tests and host-less tools set the folder explicitly.
 *  Threads: any (the explicit folder is guarded by a lock). */
class ResourceFolder {
 public:
  /** An explicit folder for the whole process; "" goes back to the module's folder. */
  static void Set(const std::string& folder);
  /** The folder in use. */
  static std::string Get();
  /** <directory of the loaded module>/../Resources, or "" when the module is unknown. */
  static std::string ModuleResourceFolder();
  /** The full path of a regular file fileName in the folder, or "". Names that
   *  are absolute or climb out of the folder ("..") are refused. */
  static std::string Locate(const std::string& fileName);
};

}  // namespace plug::gfx
