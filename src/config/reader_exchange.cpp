#include "config/reader_exchange.h"

#include "protocol/commands.h"
#include "protocol/hextext.h"

namespace terva::config {

std::string writeConfigPayload(const ReaderConfig& c) { return commands::writeConfiguration(BuildConfigRecord(c)); }

bool needsObjectCodeMasterCard(int mode) { return mode == 1 || mode == 3; }

std::optional<ConfigItems> parseConfigReply(std::string_view body) {
  if (body.size() <= 40) return std::nullopt;
  return ParseConfigItems(body);
}

std::optional<std::array<std::uint8_t, 3>> parseVersionReply(std::string_view body) {
  if (body.size() != 10 || body.substr(0, 4) != "1003") return std::nullopt;
  std::array<std::uint8_t, 3> v{};
  for (std::size_t i = 0; i < 3; ++i) v[i] = static_cast<std::uint8_t>(hextoint(body.substr(4 + 2 * i, 2)) & 0xFF);
  return v;
}

std::string versionText(const std::array<std::uint8_t, 3>& version) {
  return "Версия микропрограммы: " + std::to_string(version[0]) + "." + std::to_string(version[1]) + "." +
         std::to_string(version[2]);
}

}  // namespace terva::config
