#!/usr/bin/env python3
"""Checks TovraSat.component as linked on Linux against Apple's .tbd link stubs, symbol by symbol.

For each architecture of the module:
  - it is a Mach-O bundle (MH_BUNDLE) for macOS with an 11.0 minimum (LC_BUILD_VERSION);
  - every symbol a framework or library of the SDK defines is bound to a library that defines it
    (two-level), none is left to dyld's flat lookup;
  - what is left to the flat lookup belongs to the C library (declared by the SDK's usr/include,
    or put in by the compiler and linker), the C++ library (std::, operator new and delete,
    __cxa_*, _Unwind_*) or the compiler runtime: the libraries the SDK copy has no stub for;
  - the exports are exactly the entry points: the factories that Info.plist names, the older
    component entries and the preset-record functions; the view factory class is in the
    Objective-C class list (found by name through the runtime, so not exported), conforms to
    AUCocoaUIBase and implements its two methods.
Info.plist must parse and describe both components (TovraSat and TovraSat HQ), and Resources must hold the font and images.
Prints what it found (the libraries, the flat-lookup symbols by kind, the exports); exit status 1
on any fault.
"""

import argparse
import os
import plistlib
import re
import subprocess
import sys
from xml.parsers.expat import ExpatError

LLVM = "/usr/lib/llvm-14/bin"

# The interface a host calls by symbol, beside the factories that Info.plist names.
ENTRY_POINTS = {
    "_TovraSat_Entry",
    "_TovraSatHQ_Entry",
    "_CFAUPresetCreate",
    "_CFAUPresetRetain",
    "_CFAUPresetRelease",
    "_CFAUPresetArrayRetainCallBack",
    "_CFAUPresetArrayReleaseCallBack",
    "_CFAUPresetArrayEqualCallBack",
    "_CFAUPresetArrayCopyDescriptionCallBack",
    "_CFAUPresetArrayCallBacks_Init",
}
# The bundle's components, in Info.plist's order.
COMPONENTS = [
    {"type": "aufx", "subtype": "TSat", "manufacturer": "Mrvk", "name": "Morvika: TovraSat"},
    {"type": "aufx", "subtype": "TSHq", "manufacturer": "Mrvk", "name": "Morvika: TovraSat HQ"},
]
RESOURCES = ["Roboto-Regular.ttf", "tovra_plate.png", "tovra_plate@2x.png", "cap_big.png",
             "cap_big@2x.png", "cap_small.png", "cap_small@2x.png"]
VIEW_METHODS = ["interfaceVersion", "uiViewForAudioUnit:withSize:"]

# C library symbols that no header declares: the compiler's stack protector and x86_64 memset of
# zero, the linker's lazy binder and thread-local bootstrap (all libSystem's).
C_LIBRARY_INSERTED = {"___stack_chk_fail", "___stack_chk_guard", "___bzero", "dyld_stub_binder",
                      "__tlv_bootstrap"}
# The compiler runtime (libSystem's, or libclang_rt.osx.a, which a Mac's clang links in): integer
# helpers, stack probes, OS version and CPU feature checks.
COMPILER_RUNTIME = re.compile(
    r"^(___chkstk_darwin|___(u?(div|mod)|mul|ashl|ashr|lshr)[sdt]i3|___(fix|float)\w+"
    r"|___is(Platform|OS)VersionAtLeast|___cpu_indicator_init|___cpu_model|___cpu_features2)$")
CXX_RAW = re.compile(r"^(___cxa_\w+|___gxx_personality_v0|__Unwind_\w+|___dynamic_cast)$")
CXX_DEMANGLED = re.compile(
    r"^((typeinfo|typeinfo name|vtable|VTT) for )?(std::|__cxxabiv1::|operator new|operator delete)")

faults = []


def fault(text):
    faults.append(text)
    print(f"check_bundle: FAULT: {text}", file=sys.stderr)


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


# ------------------------------------------------------------------------------- .tbd stubs

def parse_list(text):
    """The items of a YAML flow list '[ a, 'b', c ]'."""
    inner = text.strip()[1:-1]
    return [item.strip().strip("'\"") for item in inner.split(",") if item.strip()]


def read_tbd(path):
    """Documents of a text stub: (install name, {arch: symbols}, {arch: re-exported names})."""
    documents = []
    with open(path, encoding="utf-8", errors="replace") as f:
        text = f.read()
    for doc in re.split(r"^--- !tapi-tbd\S*\s*$", text, flags=re.M)[1:]:
        name = re.search(r"^install-name:\s*'?([^'\n]+?)'?\s*$", doc, re.M)
        if not name:
            continue
        symbols, reexports = {}, {}
        section, archs = None, []
        lines = doc.split("\n")
        i = 0
        while i < len(lines):
            line = lines[i]
            top = re.match(r"^([a-z-]+):", line)
            if top:
                section = top.group(1)
            item = re.match(r"^\s*-?\s*([a-z-]+):\s*(.*)$", line)
            if item and item.group(2).startswith("["):
                value = item.group(2)
                while "]" not in value and i + 1 < len(lines):
                    i += 1
                    value += " " + lines[i].strip()
                key, values = item.group(1), parse_list(value)
                if key in ("targets", "archs"):
                    archs = [v.split("-")[0] for v in values]
                elif section in ("exports", "reexports"):
                    for arch in archs:
                        symbols.setdefault(arch, set()).update(symbol_names(key, values))
                elif section == "reexported-libraries" and key == "libraries":
                    for arch in archs:
                        reexports.setdefault(arch, []).extend(values)
            i += 1
        documents.append((name.group(1), symbols, reexports))
    return documents


def symbol_names(key, values):
    if key == "objc-classes":
        return [f"_OBJC_{kind}_$_{v}" for v in values for kind in ("CLASS", "METACLASS")]
    if key == "objc-eh-types":
        return [f"_OBJC_EHTYPE_$_{v}" for v in values]
    if key == "objc-ivars":
        return [f"_OBJC_IVAR_$_{v}" for v in values]
    if key in ("symbols", "weak-symbols", "thread-local-symbols"):
        return [v for v in values if not v.startswith("$ld$")]
    return []


class Stubs:
    """What each library of the SDK defines, re-exports included."""

    def __init__(self, folders):
        self.own, self.reexports = {}, {}
        for folder in folders:
            for root, _, files in os.walk(folder, followlinks=True):
                for file in files:
                    if file.endswith(".tbd"):
                        for name, symbols, reexports in read_tbd(os.path.join(root, file)):
                            self.own.setdefault(name, symbols)
                            self.reexports.setdefault(name, reexports)

    def defined_by(self, library, arch, seen=None):
        seen = seen if seen is not None else set()
        if library in seen:
            return set()
        seen.add(library)
        out = set(self.own.get(library, {}).get(arch, set()))
        for child in self.reexports.get(library, {}).get(arch, []):
            out |= self.defined_by(child, arch, seen)
        return out

    def public(self, arch):
        """The frameworks' own libraries, those of usr/lib, and what they re-export: not helper
        libraries inside a framework's folder (libValidationCapsule.dylib), which nobody links."""
        roots = [n for n in self.own
                 if n.startswith("/usr/lib/") or re.search(r"/(\w+)\.framework/(Versions/\w+/)?\1$", n)]
        reached, stack = set(), roots
        while stack:
            library = stack.pop()
            if library not in reached:
                reached.add(library)
                stack.extend(self.reexports.get(library, {}).get(arch, []))
        return reached

    def all_defined(self, arch):
        """Symbol -> the public libraries that define it."""
        owners = {}
        public = self.public(arch)
        for library, symbols in self.own.items():
            if library not in public:
                continue
            for symbol in symbols.get(arch, ()):
                owners.setdefault(symbol, []).append(library)
        return owners


def c_library_names(include):
    """Every identifier the SDK's C headers (usr/include, without C++) mention."""
    names = set()
    for root, dirs, files in os.walk(include, followlinks=True):
        dirs[:] = [d for d in dirs if d not in ("c++",)]
        for file in files:
            if file.endswith(".h"):
                with open(os.path.join(root, file), encoding="utf-8", errors="replace") as f:
                    names.update(re.findall(r"\b[A-Za-z_]\w*\b", f.read()))
    return names


# ----------------------------------------------------------------------------- the module

def binds(module, arch):
    """(library short name or 'flat-namespace', symbol) for every bind, lazy and weak bind."""
    out = []
    for table in ("--bind", "--lazy-bind"):
        for line in run(f"{LLVM}/llvm-objdump", "--macho", table, f"--arch={arch}",
                        module).splitlines():
            fields = line.replace("(weak_import)", "").split()
            if len(fields) >= 5 and fields[0].startswith("__"):
                out.append((fields[-2], fields[-1]))
    for line in run(f"{LLVM}/llvm-objdump", "--macho", "--weak-bind", f"--arch={arch}",
                    module).splitlines():
        fields = line.split()
        if len(fields) >= 5 and fields[0].startswith("__"):
            out.append(("weak", fields[-1]))
    return out


def load_commands(module, arch):
    text = run(f"{LLVM}/llvm-objdump", "--macho", "--private-headers", f"--arch={arch}", module)
    dylibs = re.findall(r"cmd LC_(?:LOAD|LOAD_WEAK|REEXPORT)_DYLIB\n\s+cmdsize \d+\n\s+name (\S+)",
                        text)
    build = re.search(r"cmd LC_BUILD_VERSION\n.*?platform (\S+).*?minos (\S+)", text, re.S)
    header = re.search(r"MH_MAGIC_64\s+(\S+)\s+\S+\s+\S+\s+(\S+)", text)
    return dylibs, build, header


def short_name(install_name):
    return os.path.basename(install_name).split(".")[0]


def kind_of_flat(symbol, demangled, c_names):
    if CXX_RAW.match(symbol) or CXX_DEMANGLED.match(demangled):
        return "C++ library"
    # x86_64 binds some C functions under a variant name (stat$INODE64).
    base = symbol.split("$")[0]
    if symbol in C_LIBRARY_INSERTED or (base.startswith("_") and base[1:] in c_names):
        return "C library"
    if COMPILER_RUNTIME.match(symbol):
        return "compiler runtime"
    return None


def demangle(symbols):
    if not symbols:
        return {}
    out = subprocess.run([f"{LLVM}/llvm-cxxfilt", "-_"], input="\n".join(symbols),
                         capture_output=True, text=True, check=True).stdout.splitlines()
    return dict(zip(symbols, out))


def objc_class(objc, name):
    """The class list entry of class name (its lines up to the next entry), or None."""
    section = objc.split("Contents of (__DATA_CONST,__objc_classlist) section")
    if len(section) < 2:
        section = objc.split("Contents of (__DATA,__objc_classlist) section")
    if len(section) < 2:
        return None
    lines = section[1].split("\nContents of")[0].splitlines()
    for i, line in enumerate(lines):
        if re.match(rf"^[0-9a-f]+ 0x[0-9a-f]+ _OBJC_CLASS_\$_{re.escape(name)}$", line):
            end = next((j for j in range(i + 1, len(lines)) if re.match(r"^[0-9a-f]+ ", lines[j])),
                       len(lines))
            return "\n".join(lines[i:end])
    return None


def check_arch(module, arch, stubs, c_names, expected_exports, view_class):
    dylibs, build, header = load_commands(module, arch)
    cpu = {"arm64": "ARM64", "x86_64": "X86_64"}[arch]
    if not header or header.group(1) != cpu or header.group(2) != "BUNDLE":
        fault(f"{arch}: not a Mach-O bundle for {cpu} ({header.groups() if header else 'no header'})")
    if not build or build.group(1) != "macos" or build.group(2) != "11.0":
        fault(f"{arch}: LC_BUILD_VERSION is not macos, minimum 11.0 "
              f"({build.groups() if build else 'missing'})")
    libraries = {short_name(d): d for d in dylibs}
    for d in dylibs:
        if d not in stubs.own:
            fault(f"{arch}: loads {d}, which the SDK has no stub for")
    owners = stubs.all_defined(arch)
    defined = {d: stubs.defined_by(d, arch) for d in dylibs}
    flat, bound, misplaced, kinds_unbound = set(), {}, set(), []
    for library, symbol in binds(module, arch):
        if library in ("flat-namespace", "weak"):
            flat.add(symbol)
            if symbol in owners:
                fault(f"{arch}: {symbol} is left to flat lookup but {', '.join(owners[symbol])} "
                      f"defines it")
                misplaced.add(symbol)
            continue
        install = libraries.get(library)
        bound.setdefault(library, set()).add(symbol)
        if install is None or symbol not in defined.get(install, set()):
            fault(f"{arch}: {symbol} is bound to {library}, which does not define it")
    # An undefined symbol that nothing binds would read as zero at run time. Only the compiler
    # runtime's own data may be referenced so (directly, as the static libclang_rt.osx.a that a
    # Mac's clang links in provides it; this link has no such archive).
    undefined = set(run(f"{LLVM}/llvm-nm", "-u", "-j", f"--arch={arch}", module).split())
    bound_anyhow = flat | set().union(*bound.values()) if bound else flat
    for symbol in sorted(undefined - bound_anyhow):
        if COMPILER_RUNTIME.match(symbol):
            kinds_unbound.append(symbol)
        else:
            fault(f"{arch}: {symbol} is undefined and bound to nothing")
    names = demangle(sorted(flat))
    kinds = {}
    for symbol in sorted(flat - misplaced):
        kind = kind_of_flat(symbol, names.get(symbol, symbol), c_names)
        if kind is None:
            fault(f"{arch}: {symbol} ({names.get(symbol, symbol)}) is left to flat lookup but "
                  f"belongs to no C, C++ or compiler runtime library")
            kind = "unknown"
        kinds.setdefault(kind, []).append(symbol)

    exports = set()
    for line in run(f"{LLVM}/llvm-objdump", "--macho", "--exports-trie", f"--arch={arch}",
                    module).splitlines():
        fields = line.split()
        if len(fields) >= 2 and fields[0].startswith("0x"):
            exports.add(fields[-1])
    if exports != expected_exports:
        missing, extra = expected_exports - exports, exports - expected_exports
        fault(f"{arch}: exports differ: missing {sorted(missing)}, not expected {sorted(extra)}")

    objc = run(f"{LLVM}/llvm-objdump", "--macho", "--objc-meta-data", f"--arch={arch}", module)
    block = objc_class(objc, view_class)
    if block is None:
        fault(f"{arch}: the view factory class {view_class} is not in the Objective-C class list")
    else:
        if "AUCocoaUIBase" not in block:
            fault(f"{arch}: {view_class} does not conform to AUCocoaUIBase")
        for method in VIEW_METHODS:
            if f"-[{view_class} {method}]" not in block:
                fault(f"{arch}: {view_class} does not implement {method}")

    print(f"{arch}: MH_BUNDLE, macOS {build.group(2) if build else '?'} minimum; "
          f"{len(flat)} symbols left to flat lookup, "
          + ", ".join(f"{library} {len(s)}" for library, s in sorted(bound.items()))
          + " bound two-level")
    print(f"{arch}: libraries: {' '.join(short_name(d) for d in dylibs)}")
    for kind in sorted(kinds):
        print(f"{arch}: flat lookup, {kind} ({len(kinds[kind])}): "
              + " ".join(kinds[kind]))
    if kinds_unbound:
        print(f"{arch}: compiler runtime left for a Mac's static runtime library: "
              + " ".join(kinds_unbound))
    print(f"{arch}: exports: {' '.join(sorted(exports))}; {view_class} in the class list")


def check_plist(bundle):
    path = os.path.join(bundle, "Contents", "Info.plist")
    try:
        with open(path, "rb") as f:
            info = plistlib.load(f)
    except (OSError, plistlib.InvalidFileException, ValueError, ExpatError) as error:
        fault(f"Info.plist does not parse: {error}")
        return None, None
    executable = info.get("CFBundleExecutable")
    if info.get("CFBundlePackageType") != "BNDL" or not executable:
        fault("Info.plist names no bundle executable of package type BNDL")
    components = info.get("AudioComponents")
    if not isinstance(components, list) or len(components) != len(COMPONENTS):
        fault(f"Info.plist has not exactly {len(COMPONENTS)} AudioComponents entries")
        return executable, []
    factories = []
    for component, expected in zip(components, COMPONENTS):
        for key, value in expected.items():
            if component.get(key) != value:
                fault(f"Info.plist AudioComponents {key} is {component.get(key)!r}, not {value!r}")
        factory = component.get("factoryFunction")
        if not factory:
            fault(f"Info.plist AudioComponents {component.get('subtype')} names no factoryFunction")
        else:
            factories.append(factory)
        print(f"Info.plist: {info.get('CFBundleIdentifier')} {info.get('CFBundleVersion')}, "
              f"executable {executable}, component {component.get('type')} "
              f"{component.get('subtype')} {component.get('manufacturer')} "
              f"\"{component.get('name')}\", factory {factory}")
    if len(set(factories)) != len(factories):
        fault(f"Info.plist AudioComponents share a factory: {factories}")
    return executable, factories


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--frameworks", required=True, help="the SDK's Frameworks folder")
    parser.add_argument("--lib", required=True, help="the SDK's usr/lib folder (stubs)")
    parser.add_argument("--include", required=True, help="the SDK's usr/include folder")
    parser.add_argument("--arch", nargs="+", required=True, help="architectures the module holds")
    parser.add_argument("--view-class", default="TovraSat_View")
    parser.add_argument("bundle")
    args = parser.parse_args()

    executable, factories = check_plist(args.bundle)
    for resource in RESOURCES:
        path = os.path.join(args.bundle, "Contents", "Resources", resource)
        if not os.path.isfile(path) or os.path.getsize(path) == 0:
            fault(f"Resources/{resource} is missing")
    module = os.path.join(args.bundle, "Contents", "MacOS", executable or "TovraSat")
    if not os.path.isfile(module):
        fault(f"no module {module}")
        return 1
    archs = run(f"{LLVM}/llvm-lipo", "-archs", module).split()
    if sorted(archs) != sorted(args.arch):
        fault(f"the module holds {archs}, not {args.arch}")
    stubs = Stubs([args.frameworks, args.lib])
    c_names = c_library_names(args.include)
    expected = ENTRY_POINTS | {f"_{factory}" for factory in factories}
    for arch in args.arch:
        if arch in archs:
            check_arch(module, arch, stubs, c_names, expected, args.view_class)
    if faults:
        print(f"check_bundle: {len(faults)} faults", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
