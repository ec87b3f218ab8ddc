// PlistFuzzer: property-list XML (a bundle's Info.plist, an exported state) through the host's
// reader, its writer and InfoPlist::Read.
//
// Properties: malformed input is an error text, never a crash; whatever parses writes out and
// reads back equal (so no value changes on its way through a file); a bundle whose Info.plist
// holds the bytes is read or refused with a text.
#include <fstream>

#include "host/InfoPlist.h"
#include "host/Plist.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string bundle = [] {
    const std::string b = fuzz::ScratchFolder("plist") + "/Fuzz.component";
    std::filesystem::create_directories(b + "/Contents");
    return b;
  }();
  const std::string_view xml(reinterpret_cast<const char*>(data), size);

  std::string error;
  host::CFRef<CFPropertyListRef> value = host::Plist::Parse(xml, error);
  if (value) {
    std::string written;
    FUZZ_CHECK(host::Plist::Write(value.Get(), written, error));
    std::string again;
    host::CFRef<CFPropertyListRef> reread = host::Plist::Parse(written, again);
    FUZZ_CHECK(reread);
    FUZZ_CHECK(CFEqual(value.Get(), reread.Get()));
  } else {
    FUZZ_CHECK(!error.empty());
  }

  {
    std::ofstream file(bundle + "/Contents/Info.plist", std::ios::binary | std::ios::trunc);
    file.write(xml.data(), static_cast<std::streamsize>(xml.size()));
  }
  host::InfoPlist info;
  error.clear();
  if (!host::InfoPlist::Read(bundle, info, error)) FUZZ_CHECK(!error.empty());
  return 0;
}
