"""The architectures a configure preset of CMakePresets.json builds for, one a line."""
import json
import sys

presets = {p["name"]: p for p in json.load(open("CMakePresets.json"))["configurePresets"]}
print("\n".join(presets[sys.argv[1]]["cacheVariables"]["CMAKE_OSX_ARCHITECTURES"].split(";")))
