#include "cli/describe.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <cstdio>

#include "config/editor_texts.h"
#include "ident/render.h"
#include "protocol/hextext.h"

namespace terva::cli {

namespace {

namespace texts = config::texts;

QString q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QString characters(std::string_view text) {
  const std::u32string chars = ident::renderedCharacters(text);
  return QString::fromUcs4(chars.data(), static_cast<qsizetype>(chars.size()));
}

std::string colourText(config::Colour c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", c.red, c.green, c.blue);
  return buf;
}

std::string pulseText(const config::ReaderConfig& c) {
  return std::to_string(c.pulseTenths / 10) + "." + std::to_string(c.pulseTenths % 10);
}

std::vector<int> zones(const config::ReaderConfig& c) {
  std::vector<int> out;
  for (int z = 1; z <= config::kZoneCount; ++z)
    if (config::zoneTicked(c.zoneMask, z)) out.push_back(z);
  return out;
}

std::string_view modeText(int mode) {
  return mode >= 0 && mode < config::kModeCount ? texts::kReadingModeItems[static_cast<std::size_t>(mode)]
                                                : std::string_view("?");
}

std::string_view wiegandTypeText(int type) { return texts::kWiegandTypeItems[type == 1 ? 1 : 0]; }

struct Led {
  config::Led which;
  std::string_view label;
  const char* key;
};
// In the order of the page.
constexpr Led kLeds[] = {{config::Led::Idle, texts::kLedIdleLabel, "idle"},
                         {config::Led::RedGreen, texts::kLedRedGreenLabel, "redGreen"},
                         {config::Led::Red, texts::kLedRedLabel, "red"},
                         {config::Led::Green, texts::kLedGreenLabel, "green"}};

std::optional<config::ChecksumDisplay> checksum(const config::ReaderConfig& c, const config::ConfigItems* items) {
  if (!items) return std::nullopt;
  auto d = config::checksumDisplay(*items, c.readingMode, {});
  if (d.kind != config::ChecksumDisplay::Kind::InputBox) return std::nullopt;
  return d;
}

}  // namespace

std::string_view kindLabel(IdKind kind) {
  switch (kind) {
    case IdKind::PhoneId: return "Phone ID";
    case IdKind::RandomUid: return "Random UID";
    case IdKind::NonuniqueUid: return "Nonunique UID";
    case IdKind::Mir: return "MIR";
    case IdKind::Uid: break;
  }
  return "UID";
}

std::string identifierLine(std::string_view rendered) {
  QString s = characters(rendered);
  for (auto& ch : s) {
    const char16_t u = ch.unicode();
    if (u < 0x20 || (u >= 0x7F && u < 0xA0)) ch = QChar(0xFFFD);
  }
  return s.toUtf8().toStdString();
}

std::string jsonString(const QString& s) {
  const QByteArray array = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);  // ["..."]
  return array.mid(1, array.size() - 2).toStdString();
}

std::string identifierJson(const IdMessage& msg, std::string_view rendered) {
  // Written by hand to keep the keys in this order.
  return "{\"kind\":" + jsonString(q(kindLabel(msg.kind))) + ",\"identifier\":" + jsonString(characters(msg.identifier)) +
         ",\"raw\":" + jsonString(q(bytesToHex(msg.identifier))) + ",\"text\":" + jsonString(characters(rendered)) + "}";
}

std::string describeConfig(const config::ReaderConfig& c, const config::ConfigItems* items) {
  std::string out;
  auto line = [&out](std::string_view label, const std::string& value) {
    out.append(label).append(" ").append(value).append("\n");
  };
  line(texts::kReadingModeLabel, std::to_string(c.readingMode) + " - " + std::string(modeText(c.readingMode)));
  std::string formats;
  for (const auto& f : config::formatItems(c)) {
    if (!f.ticked) continue;
    if (!formats.empty()) formats += ", ";
    formats += f.text;
  }
  line(texts::kCardFormatLabel, formats);
  if (config::shiftBitsEnabled(c.readingMode)) {
    line(std::string(texts::kReverseByteOrder) + ":", c.reverseByteOrder ? "да" : "нет");
    line(texts::kBitShiftLabel, std::to_string(c.bitShift));
    line(texts::kSignificantBitsLabel, std::to_string(c.significantBits));
  }
  switch (config::modeArea(c.readingMode)) {
    case config::ModeArea::Block:
      line(texts::kBlockNumberLabel, std::to_string(c.blockNumber));
      line(texts::kBlockOffsetLabel, std::to_string(c.blockOffset) + " " + std::string(texts::kBytesUnit));
      line(texts::kBlockByteCountLabel, std::to_string(c.blockByteCount) + " " + std::string(texts::kBytesUnit));
      line(texts::kAccessCodeLabel, std::string(texts::kAccessCodePrefix) + config::filledAccessCode(c.blockAccessCode));
      break;
    case config::ModeArea::Zones: {
      line(texts::kPulseLabel, pulseText(c));
      std::string list;
      for (int z : zones(c)) list += (list.empty() ? "" : ", ") + std::to_string(z);
      line(std::string(texts::kForm9Title) + ":", list.empty() ? "нет" : list);
      break;
    }
    case config::ModeArea::Empty: break;
  }
  line(texts::kWiegandTypeLabel, std::string(wiegandTypeText(c.wiegandType)));
  line(texts::kWiegandWidthLabel, c.wiegandWidthUser ? std::string(texts::kWiegandWidthItems[1]) + ", " +
                                                           std::to_string(c.wiegandWidth) + " бит"
                                                     : std::string(texts::kWiegandWidthItems[0]));
  for (const auto& led : kLeds) line(led.label, colourText(config::ledColour(c, led.which)));
  if (const auto d = checksum(c, items)) line(d->prompt + ":", d->value);
  return out;
}

std::string configJson(const config::ReaderConfig& c, const config::ConfigItems* items) {
  QJsonObject o;
  o["readingMode"] = c.readingMode;
  o["readingModeText"] = q(modeText(c.readingMode));
  QJsonArray formats;
  for (const auto& f : config::formatItems(c)) {
    if (f.ticked) formats.append(QJsonObject{{"bit", f.bit}, {"name", q(f.text)}});
  }
  o["cardFormats"] = formats;
  o["cardFormatMask"] = c.cardFormats;
  o["reverseByteOrder"] = c.reverseByteOrder;
  o["bitShift"] = c.bitShift;
  o["significantBits"] = c.significantBits;
  if (config::modeArea(c.readingMode) == config::ModeArea::Block) {
    o["block"] = QJsonObject{{"number", c.blockNumber},
                             {"offset", c.blockOffset},
                             {"byteCount", c.blockByteCount},
                             {"accessCode", q(config::filledAccessCode(c.blockAccessCode))}};
  }
  if (config::modeArea(c.readingMode) == config::ModeArea::Zones) {
    o["pulseSeconds"] = c.pulseTenths / 10.0;
    QJsonArray z;
    for (int zone : zones(c)) z.append(zone);
    o["zones"] = z;
  }
  o["wiegand"] = QJsonObject{{"type", c.wiegandType},
                             {"typeText", q(wiegandTypeText(c.wiegandType))},
                             {"width", c.wiegandWidthUser ? QJsonValue(c.wiegandWidth) : QJsonValue("auto")}};
  QJsonObject leds;
  for (const auto& led : kLeds) leds[led.key] = q(colourText(config::ledColour(c, led.which)));
  o["leds"] = leds;
  if (const auto d = checksum(c, items)) o["checksum"] = QJsonObject{{"label", q(d->prompt)}, {"value", q(d->value)}};
  o["record"] = q(config::BuildConfigRecord(c));
  return QJsonDocument(o).toJson(QJsonDocument::Indented).toStdString();
}

}  // namespace terva::cli
