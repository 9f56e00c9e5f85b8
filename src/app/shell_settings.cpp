#include "app/shell_settings.h"

#include <algorithm>
#include <array>

namespace terva::app {

using ident::ViewMode;

namespace {

// One key of the settings file: how it is read at first show and written at
// close. Flag keys name their member; the others have their own functions.
struct SettingKey {
  const char* name;
  const char* def;
  int closeOrder;  // position among the keys written at close; 0: never written
  bool ShellSettings::*flag;
  bool (*wanted)(const ShellSettings&);  // read only when this holds; nullptr: always
  void (*apply)(ShellSettings&, std::string_view value);
  // The value to write; unset leaves the stored key as it is.
  std::optional<std::string> (*save)(const ShellSettings&);
};

constexpr SettingKey flagKey(const char* name, int closeOrder, bool ShellSettings::*member) {
  return {name, "0", closeOrder, member, nullptr, nullptr, nullptr};
}

// In the order they are read.
constexpr std::array<SettingKey, 9> kKeys{{
    {"port", "", 3, nullptr, nullptr,
     [](ShellSettings& s, std::string_view v) {
       if (!v.empty()) s.port = std::string(v);
     },
     [](const ShellSettings& s) { return s.port; }},
    {"viewmode", "1", 1, nullptr, nullptr,
     [](ShellSettings& s, std::string_view v) { s.viewMode = viewModeFromText(v).value_or(ViewMode::Dec); },
     [](const ShellSettings& s) { return std::optional<std::string>(viewModeText(s.viewMode)); }},
    {"template", "", 2, nullptr, [](const ShellSettings& s) { return s.viewMode == ViewMode::Cst; },
     [](ShellSettings& s, std::string_view v) { s.templ = std::string(v); },
     [](const ShellSettings& s) {
       return std::optional<std::string>(s.viewMode == ViewMode::Cst ? s.templ : std::string());
     }},
    flagKey("tobuffer", 4, &ShellSettings::tobuffer),
    flagKey("tokeyboard", 5, &ShellSettings::tokeyboard),
    flagKey("crlf", 6, &ShellSettings::crlf),
    flagKey("debugmode", 0, &ShellSettings::debugmode),
    flagKey("autoconnect", 8, &ShellSettings::autoconnect),
    flagKey("totray", 7, &ShellSettings::totray),
}};

// Every written key has its own place in the close order, 1 to n.
constexpr bool closeOrderIsComplete() {
  int written = 0;
  for (const auto& k : kKeys) written += k.closeOrder > 0 ? 1 : 0;
  for (int pos = 1; pos <= written; ++pos) {
    int holders = 0;
    for (const auto& k : kKeys) holders += k.closeOrder == pos ? 1 : 0;
    if (holders != 1) return false;
  }
  return true;
}
static_assert(closeOrderIsComplete());

}  // namespace

std::string_view trimBlanks(std::string_view value) {
  const auto first = value.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return value.substr(first, value.find_last_not_of(" \t") - first + 1);
}

std::optional<ViewMode> viewModeFromText(std::string_view value) {
  value = trimBlanks(value);
  if (value == "1") return ViewMode::Dec;
  if (value == "2") return ViewMode::Hex;
  if (value == "3") return ViewMode::Cst;
  return std::nullopt;
}

const char* viewModeText(ViewMode mode) {
  switch (mode) {
    case ViewMode::Hex:
      return "2";
    case ViewMode::Cst:
      return "3";
    case ViewMode::Dec:
      break;
  }
  return "1";
}

ShellSettings readShellSettings(const SettingsReader& read) {
  ShellSettings s;
  try {
    for (const auto& k : kKeys) {
      if (k.wanted && !k.wanted(s)) continue;
      const std::string value = read(k.name, k.def);
      if (k.flag) {
        s.*k.flag = flagOn(value);
      } else {
        k.apply(s, value);
      }
    }
  } catch (...) {
    // What was read so far stands; the rest keeps its defaults.
  }
  return s;
}

ShellSettings readShellSettings(const std::filesystem::path& file) {
  const IniFile ini(file);
  return readShellSettings(
      [&ini](std::string_view key, std::string_view def) { return ini.read(kSettingsSection, key, def); });
}

std::vector<IniEntry> shellSettingsEntries(const ShellSettings& settings) {
  std::vector<const SettingKey*> order;
  for (const auto& k : kKeys) {
    if (k.closeOrder > 0) order.push_back(&k);
  }
  std::sort(order.begin(), order.end(), [](const SettingKey* a, const SettingKey* b) {
    return a->closeOrder < b->closeOrder;
  });
  std::vector<IniEntry> entries;
  for (const SettingKey* k : order) {
    std::optional<std::string> value = k->flag ? std::optional<std::string>(flagText(settings.*k->flag))
                                               : k->save(settings);
    if (value) entries.push_back({kSettingsSection, k->name, std::move(*value)});
  }
  return entries;
}

bool writeShellSettings(const std::filesystem::path& file, const ShellSettings& settings) {
  try {
    IniFile(file).writeMany(shellSettingsEntries(settings));
    return true;
  } catch (...) {
    // Losing the operator's choices is all an unwritable file costs.
    return false;
  }
}

std::string versionText() {
  return std::to_string(TERVA_VERSION_MAJOR) + "." + std::to_string(TERVA_VERSION_MINOR) + "." +
         std::to_string(TERVA_VERSION_PATCH);
}

}  // namespace terva::app
