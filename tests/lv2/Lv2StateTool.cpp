// lv2_state_tool: saves and reads LV2 plug-in state with lilv, the library jalv saves and loads
// sessions with, for the tests of the bundle in real hosts.
//
//   lv2_state_tool save DIR URI [name=TEXT] [scale=S] [SYMBOL=VALUE ...]
//       instantiates the plug-in, gives it a preset name and editor scale through its own state
//       (a chunk restored before anything else), sets the controls, runs one block and saves
//       the state to DIR/state.ttl as jalv does
//   lv2_state_tool show DIR URI
//       restores DIR/state.ttl into a fresh instance and prints what its state chunk holds:
//       gain=... trim=... 48v=... bypass=... scale=... name=...
//   lv2_state_tool presets URI
//       every preset lilv finds for the plug-in, one line each: PRESET-URI, a tab, its label
//   lv2_state_tool preset URI PRESET-URI [scale=S]
//       loads the preset into a fresh instance (its editor at scale S first) as hosts load
//       presets and prints the port values it set (ports gain=... output_trim=... _48v=...
//       bypass=...), then the chunk as show does
#include <lilv/lilv.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "lv2/atom/atom.h"
#include "lv2/presets/presets.h"
#include "lv2/state/state.h"
#include "lv2/urid/urid.h"

namespace {

struct Urids {
  std::map<std::string, LV2_URID> ids;
  std::vector<std::string> uris;
  static LV2_URID Map(LV2_URID_Map_Handle handle, const char* uri) {
    auto* self = static_cast<Urids*>(handle);
    auto [it, added] = self->ids.emplace(uri, static_cast<LV2_URID>(self->uris.size() + 1));
    if (added) self->uris.push_back(uri);
    return it->second;
  }
  static const char* Unmap(LV2_URID_Unmap_Handle handle, LV2_URID id) {
    auto* self = static_cast<Urids*>(handle);
    return id >= 1 && id <= self->uris.size() ? self->uris[id - 1].c_str() : nullptr;
  }
};

struct Host {
  Urids urids;
  LV2_URID_Map map{&urids, Urids::Map};
  LV2_URID_Unmap unmap{&urids, Urids::Unmap};
  LV2_Feature mapFeature{LV2_URID__map, &map};
  LV2_Feature unmapFeature{LV2_URID__unmap, &unmap};
  const LV2_Feature* features[3]{&mapFeature, &unmapFeature, nullptr};
  LilvWorld* world = nullptr;
  const LilvPlugin* plugin = nullptr;
  LilvInstance* instance = nullptr;
  std::vector<float> controls;
  std::vector<float> audio[4];
  std::map<std::string, uint32_t> portBySymbol;
  std::string chunk;  // the bytes the state interface last stored or should retrieve
  std::string stateKey;

  bool Open(const char* uri) {
    world = lilv_world_new();
    lilv_world_load_all(world);
    LilvNode* node = lilv_new_uri(world, uri);
    plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), node);
    lilv_node_free(node);
    if (plugin == nullptr) return false;
    instance = lilv_plugin_instantiate(plugin, 48000.0, features);
    if (instance == nullptr) return false;
    const uint32_t n = lilv_plugin_get_num_ports(plugin);
    controls.assign(n, 0.0f);
    std::vector<float> defaults(n, 0.0f);
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
    LilvNode* audioClass = lilv_new_uri(world, LV2_CORE__AudioPort);
    int audioPorts = 0;
    for (uint32_t i = 0; i < n; ++i) {
      const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
      portBySymbol[lilv_node_as_string(lilv_port_get_symbol(plugin, port))] = i;
      if (lilv_port_is_a(plugin, port, audioClass) && audioPorts < 4) {
        audio[audioPorts].assign(256, 0.25f);
        lilv_instance_connect_port(instance, i, audio[audioPorts++].data());
      } else {
        controls[i] = std::isnan(defaults[i]) ? 0.0f : defaults[i];
        lilv_instance_connect_port(instance, i, &controls[i]);
      }
    }
    lilv_node_free(audioClass);
    stateKey = std::string(uri) + "#state";
    return true;
  }
  ~Host() {
    if (instance != nullptr) lilv_instance_free(instance);
    if (world != nullptr) lilv_world_free(world);
  }

  const LV2_State_Interface* State() const {
    return static_cast<const LV2_State_Interface*>(
        lilv_instance_get_extension_data(instance, LV2_STATE__interface));
  }
  static LV2_State_Status Store(LV2_State_Handle handle, uint32_t, const void* value, size_t size,
                                uint32_t, uint32_t) {
    static_cast<Host*>(handle)->chunk.assign(static_cast<const char*>(value), size);
    return LV2_STATE_SUCCESS;
  }
  static const void* Retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                              uint32_t* flags) {
    auto* self = static_cast<Host*>(handle);
    if (key != Urids::Map(&self->urids, self->stateKey.c_str())) return nullptr;
    *size = self->chunk.size();
    *type = Urids::Map(&self->urids, LV2_ATOM__Chunk);
    *flags = LV2_STATE_IS_POD;
    return self->chunk.data();
  }

  static const void* GetPort(const char* symbol, void* user, uint32_t* size, uint32_t* type) {
    auto* self = static_cast<Host*>(user);
    const auto it = self->portBySymbol.find(symbol);
    if (it == self->portBySymbol.end()) return nullptr;
    *size = sizeof(float);
    *type = Urids::Map(&self->urids, LV2_ATOM__Float);
    return &self->controls[it->second];
  }
  static void SetPort(const char* symbol, void* user, const void* value, uint32_t size,
                      uint32_t type) {
    auto* self = static_cast<Host*>(user);
    const auto it = self->portBySymbol.find(symbol);
    if (it == self->portBySymbol.end() || size != sizeof(float) ||
        type != Urids::Map(&self->urids, LV2_ATOM__Float)) {
      return;
    }
    std::memcpy(&self->controls[it->second], value, sizeof(float));
  }
};

// Name and scale enter through the plug-in's own chunk, as a restored session would set them.
bool SetNameAndScale(Host& host, const std::string& name, float scale) {
  host.chunk.clear();
  if (host.State()->save(lilv_instance_get_handle(host.instance), Host::Store, &host, 0,
                         host.features) != LV2_STATE_SUCCESS ||
      host.chunk.size() < 40) {
    return false;
  }
  std::string chunk = host.chunk.substr(0, 32);
  chunk.append(reinterpret_cast<const char*>(&scale), 4);
  const auto length = static_cast<int32_t>(name.size());
  chunk.append(reinterpret_cast<const char*>(&length), 4);
  chunk += name;
  host.chunk = chunk;
  return host.State()->restore(lilv_instance_get_handle(host.instance), Host::Retrieve, &host, 0,
                               host.features) == LV2_STATE_SUCCESS;
}

int Save(const char* dir, const char* uri, int argc, char** argv) {
  Host host;
  if (!host.Open(uri)) {
    std::fprintf(stderr, "lv2_state_tool: cannot instantiate %s\n", uri);
    return 1;
  }
  std::string name = "Default";
  float scale = 1.0f;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    const std::size_t eq = arg.find('=');
    if (eq == std::string::npos) return 2;
    const std::string key = arg.substr(0, eq);
    const std::string value = arg.substr(eq + 1);
    if (key == "name") {
      name = value;
    } else if (key == "scale") {
      scale = std::strtof(value.c_str(), nullptr);
    } else if (host.portBySymbol.count(key) != 0) {
      host.controls[host.portBySymbol[key]] = std::strtof(value.c_str(), nullptr);
    } else {
      std::fprintf(stderr, "lv2_state_tool: no port %s\n", key.c_str());
      return 2;
    }
  }
  if (!SetNameAndScale(host, name, scale)) return 1;
  lilv_instance_activate(host.instance);
  lilv_instance_run(host.instance, 256);
  LilvState* state = lilv_state_new_from_instance(
      host.plugin, host.instance, &host.map, nullptr, nullptr, nullptr, dir, Host::GetPort, &host,
      LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, host.features);
  if (state == nullptr) return 1;
  const int result =
      lilv_state_save(host.world, &host.map, &host.unmap, state, nullptr, dir, "state.ttl");
  lilv_state_free(state);
  lilv_instance_deactivate(host.instance);
  return result == 0 ? 0 : 1;
}

// Prints what the instance's state chunk holds.
int PrintChunk(Host& host) {
  host.chunk.clear();
  host.State()->save(lilv_instance_get_handle(host.instance), Host::Store, &host, 0, host.features);
  if (host.chunk.size() < 40) return 1;
  double values[4];
  float scale = 0.0f;
  int32_t length = 0;
  std::memcpy(values, host.chunk.data(), 32);
  std::memcpy(&scale, host.chunk.data() + 32, 4);
  std::memcpy(&length, host.chunk.data() + 36, 4);
  std::printf("gain=%g trim=%g 48v=%g bypass=%g scale=%g name=%s\n", values[0], values[1],
              values[2], values[3], static_cast<double>(scale), host.chunk.substr(40).c_str());
  return 0;
}

int Show(const char* dir, const char* uri) {
  Host host;
  if (!host.Open(uri)) return 1;
  const std::string file = std::string(dir) + "/state.ttl";
  LilvState* state = lilv_state_new_from_file(host.world, &host.map, nullptr, file.c_str());
  if (state == nullptr) {
    std::fprintf(stderr, "lv2_state_tool: cannot read %s\n", file.c_str());
    return 1;
  }
  lilv_state_restore(state, host.instance, Host::SetPort, &host, 0, host.features);
  lilv_state_free(state);
  return PrintChunk(host);
}

int Presets(const char* uri) {
  Host host;
  if (!host.Open(uri)) return 1;
  LilvNode* presetClass = lilv_new_uri(host.world, LV2_PRESETS__Preset);
  LilvNode* label = lilv_new_uri(host.world, LILV_NS_RDFS "label");
  LilvNodes* presets = lilv_plugin_get_related(host.plugin, presetClass);
  LILV_FOREACH (nodes, i, presets) {
    const LilvNode* preset = lilv_nodes_get(presets, i);
    lilv_world_load_resource(host.world, preset);
    LilvNodes* labels = lilv_world_find_nodes(host.world, preset, label, nullptr);
    const LilvNode* first = labels != nullptr ? lilv_nodes_get_first(labels) : nullptr;
    std::printf("%s\t%s\n", lilv_node_as_uri(preset),
                first != nullptr ? lilv_node_as_string(first) : "(no label)");
    lilv_nodes_free(labels);
  }
  lilv_nodes_free(presets);
  lilv_node_free(label);
  lilv_node_free(presetClass);
  return 0;
}

int LoadPreset(const char* uri, const char* presetUri, const char* scaleArg) {
  Host host;
  if (!host.Open(uri)) return 1;
  if (scaleArg != nullptr) {
    if (std::strncmp(scaleArg, "scale=", 6) != 0) return 2;
    if (!SetNameAndScale(host, "Before", std::strtof(scaleArg + 6, nullptr))) return 1;
  }
  LilvNode* preset = lilv_new_uri(host.world, presetUri);
  lilv_world_load_resource(host.world, preset);
  LilvState* state = lilv_state_new_from_world(host.world, &host.map, preset);
  lilv_node_free(preset);
  if (state == nullptr) {
    std::fprintf(stderr, "lv2_state_tool: no preset %s\n", presetUri);
    return 1;
  }
  lilv_state_restore(state, host.instance, Host::SetPort, &host, 0, host.features);
  lilv_state_free(state);
  std::printf("ports");
  for (const char* symbol : {"gain", "output_trim", "_48v", "bypass"}) {
    std::printf(" %s=%g", symbol, static_cast<double>(host.controls[host.portBySymbol[symbol]]));
  }
  std::printf("\n");
  return PrintChunk(host);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::strcmp(argv[1], "save") == 0)
    return Save(argv[2], argv[3], argc - 4, argv + 4);
  if (argc == 4 && std::strcmp(argv[1], "show") == 0) return Show(argv[2], argv[3]);
  if (argc == 3 && std::strcmp(argv[1], "presets") == 0) return Presets(argv[2]);
  if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "preset") == 0)
    return LoadPreset(argv[2], argv[3], argc == 5 ? argv[4] : nullptr);
  std::fprintf(stderr,
               "usage: lv2_state_tool save DIR URI [name=TEXT] [scale=S] [SYM=VAL ...]\n"
               "       lv2_state_tool show DIR URI\n"
               "       lv2_state_tool presets URI\n"
               "       lv2_state_tool preset URI PRESET-URI [scale=S]\n");
  return 2;
}
