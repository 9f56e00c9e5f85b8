#include "config/config_record.h"

#include "protocol/hextext.h"

#include <algorithm>

namespace terva::config {

namespace {

std::string item(std::uint8_t tag, const std::string& valueHex) {
  return byteHex(tag) + byteHex(static_cast<unsigned>(valueHex.size() / 2)) + valueHex;
}

std::string le16Hex(int v) {
  const auto u = static_cast<unsigned>(v) & 0xFFFFU;
  return byteHex(u & 0xFF) + byteHex(u >> 8);
}

// A two-byte little-endian value text as a number.
int le16(std::string_view v) {
  const auto x = static_cast<unsigned>(hextoint(v) & 0xFFFF);
  return static_cast<int>(((x & 0xFF) << 8) | (x >> 8));
}

// Byte k of a value text (empty when the text is shorter).
std::string_view byteText(std::string_view v, std::size_t k) {
  if (2 * k >= v.size()) return {};
  return v.substr(2 * k, 2);
}

// A number read by hextoint, held within lo..hi as a spinner holds it.
int clampedNumber(std::uint64_t n, int lo, int hi) {
  if (n > static_cast<std::uint64_t>(hi)) return hi;
  return std::max(lo, static_cast<int>(n));
}

bool isHexDigit(char ch) {
  return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F') || (ch >= 'a' && ch <= 'f');
}

bool allHex(std::string_view s) { return std::all_of(s.begin(), s.end(), isHexDigit); }

}  // namespace

std::string getmycolor(Colour c) {
  const unsigned v = (static_cast<unsigned>(c.red) / 8) * 2048 + (static_cast<unsigned>(c.green) / 4) * 32 +
                     static_cast<unsigned>(c.blue) / 8;
  return byteHex(v & 0xFF) + byteHex(v >> 8);
}

Colour colourFromItem(std::string_view fourDigits) {
  const auto v = static_cast<unsigned>(le16(fourDigits));
  return Colour{static_cast<std::uint8_t>(((v >> 11) & 0x1F) * 8), static_cast<std::uint8_t>(((v >> 5) & 0x3F) * 4),
                static_cast<std::uint8_t>((v & 0x1F) * 8)};
}

std::string BuildConfigRecord(const ReaderConfig& c) {
  std::string r;
  r += item(kTagCardFormats, le16Hex(c.cardFormats));
  r += item(kTagIdentifier, byteHex(c.reverseByteOrder ? 1 : 0) + byteHex(static_cast<unsigned>(c.bitShift)) +
                                byteHex(static_cast<unsigned>(c.significantBits)));
  r += item(kTagReadingMode, byteHex(static_cast<unsigned>(c.readingMode)));
  if (c.readingMode == 2) {
    r += item(kTagBlockOrPulse, le16Hex(c.blockNumber));
    r += item(kTagBlockOffset, byteHex(static_cast<unsigned>(c.blockOffset)));
    r += item(kTagBlockByteCount, byteHex(static_cast<unsigned>(c.blockByteCount)));
    // Always 16 bytes, whatever the field holds.
    r += item(kTagAccessCodeOrZones, filledAccessCode(cleanAccessCode(c.blockAccessCode)));
  } else if (c.readingMode == 3) {
    r += item(kTagBlockOrPulse, le16Hex(c.pulseTenths));
    std::string zones;
    for (int k = 7; k >= 0; --k) zones += byteHex(static_cast<unsigned>((c.zoneMask >> (8 * k)) & 0xFF));
    r += item(kTagAccessCodeOrZones, zones + std::string(16, '0'));
  }
  r += item(kTagWiegandType, byteHex(static_cast<unsigned>(c.wiegandType)));
  r += item(kTagWiegandWidth, byteHex(c.wiegandWidthUser ? static_cast<unsigned>(c.wiegandWidth) : 0U));
  r += item(kTagColours, getmycolor(c.ledIdle) + getmycolor(c.ledGreen) + getmycolor(c.ledRed) + getmycolor(c.ledRedGreen));
  return r;
}

ConfigItems ParseConfigItems(std::string_view hex) {
  ConfigItems items;
  while (!hex.empty()) {
    const auto tag = static_cast<std::size_t>(hextoint(hex.substr(0, 2)) & 0xFF);
    const auto n = static_cast<std::size_t>(hextoint(hex.size() > 2 ? hex.substr(2, 2) : std::string_view{}) & 0xFF);
    const std::size_t start = std::min<std::size_t>(4, hex.size());
    items[tag] = std::string(hex.substr(start, 2 * n));
    hex.remove_prefix(std::min(hex.size(), 4 + 2 * n));
  }
  return items;
}

std::optional<ReaderConfig> decodeConfigRecord(const ReaderConfig& base, const ConfigItems& items) {
  ReaderConfig c = base;
  const auto v = [&](std::uint8_t tag) -> const std::string& { return items[tag]; };
  constexpr bool loading = true;

  // 1. The mode first: items 08 and 0B mean different things per mode.
  const auto mode = hextoint(v(kTagReadingMode));
  if (mode >= static_cast<std::uint64_t>(kModeCount)) return std::nullopt;
  ComboBox4Change(c, static_cast<int>(mode));

  // 2. Formats: tick the offered items that share a bit with the mask.
  const auto mask = static_cast<std::uint16_t>(le16(v(kTagCardFormats)));
  c.cardFormats = 0;
  for (const auto& f : formatsOffered(c.readingMode))
    if (mask & f.bit) c.cardFormats = static_cast<std::uint16_t>(c.cardFormats | f.bit);
  if (!CheckListBox1ClickCheck(c, -1, loading)) return std::nullopt;

  // 3. Byte order, shift and bits (held within the spinners' ranges).
  const std::string_view id = v(kTagIdentifier);
  SpinEdit3Change(c, clampedNumber(hextoint(byteText(id, 1)), 0, kMaxIdBits), loading);
  SpinEdit4Change(c, clampedNumber(hextoint(byteText(id, 2)), 0, kMaxIdBits), loading);
  c.reverseByteOrder = byteText(id, 0) != "00";

  // 4. Block number or pulse.
  if (!v(kTagBlockOrPulse).empty()) {
    const int value = le16(v(kTagBlockOrPulse));
    if (c.readingMode == 3)
      c.pulseTenths = std::clamp(value, kPulseTenthsMin, kPulseTenthsMax);
    else
      SpinEdit2Change(c, value);
  }

  // 5. Offset and count.
  if (!v(kTagBlockOffset).empty())
    SpinEdit5Change(c, clampedNumber(hextoint(v(kTagBlockOffset)), kBlockOffsetMin, kBlockOffsetMax), loading);
  if (!v(kTagBlockByteCount).empty())
    SpinEdit6Change(c, clampedNumber(hextoint(v(kTagBlockByteCount)), kBlockByteCountMin, kBlockByteCountMax),
                    loading);

  // 6. Zones or access code.
  if (const std::string& z = v(kTagAccessCodeOrZones); !z.empty()) {
    if (c.readingMode == 3) {
      std::string digits = z.substr(0, 16);
      digits.insert(0, 16 - digits.size(), '0');
      if (allHex(digits)) c.zoneMask = hextoint(digits);
    } else {
      // The field holds at most 32 hex digits; anything else would be sent
      // back as a malformed item, so it is refused.
      if (z.size() > kAccessCodeDigits || !allHex(z)) return std::nullopt;
      c.blockAccessCode = cleanAccessCode(z);
    }
  }

  // 7. Wiegand type: the selector has two items.
  const auto wtype = hextoint(v(kTagWiegandType));
  if (wtype > 1) return std::nullopt;
  ComboBox3Change(c, static_cast<int>(wtype));

  // 8. Wiegand width.
  if (v(kTagWiegandWidth) != "00") {
    c.wiegandWidthUser = true;
    SpinEdit1Change(c, clampedNumber(hextoint(v(kTagWiegandWidth)), kWiegandWidthMin, kWiegandWidthMax));
  } else {
    c.wiegandWidthUser = false;
  }
  ComboBox2Change(c, c.wiegandWidthUser);

  // 9. Colours, only from a complete item.
  if (const std::string& col = v(kTagColours); col.size() == 16 && allHex(col)) {
    c.ledIdle = colourFromItem(std::string_view(col).substr(0, 4));
    c.ledGreen = colourFromItem(std::string_view(col).substr(4, 4));
    c.ledRed = colourFromItem(std::string_view(col).substr(8, 4));
    c.ledRedGreen = colourFromItem(std::string_view(col).substr(12, 4));
  }

  // 11. The rules now repair whatever breaks the limits.
  SpinEdit3Change(c, c.bitShift, false);
  SpinEdit4Change(c, c.significantBits, false);
  if (c.readingMode == 2) {
    SpinEdit5Change(c, c.blockOffset, false);
    SpinEdit6Change(c, c.blockByteCount, false);
  }
  return c;
}

ChecksumDisplay checksumDisplay(const ConfigItems& items, int mode, std::string_view caption) {
  ChecksumDisplay d;
  d.caption = std::string(caption);
  if (!items[kTagChecksum].empty()) {
    if (mode >= 1 && mode <= 3) {  // mode 0 shows nothing more
      d.kind = ChecksumDisplay::Kind::InputBox;
      d.prompt = std::string(mode == 2 ? kAccessChecksumPrompt : kObjectChecksumPrompt);
      d.value = items[kTagChecksum];
    }
    return d;
  }
  if (!items[kTagAccessChecksum].empty()) {
    d.kind = ChecksumDisplay::Kind::InputBox;
    d.prompt = std::string(kAccessChecksumPrompt);
    d.value = items[kTagAccessChecksum];
    return d;
  }
  d.kind = ChecksumDisplay::Kind::Message;
  return d;
}

}  // namespace terva::config
