#include "config/reader_config.h"

#include <algorithm>
#include <cmath>

namespace terva::config {

std::uint32_t toColorRef(Colour c) {
  return static_cast<std::uint32_t>(c.red) | (static_cast<std::uint32_t>(c.green) << 8) |
         (static_cast<std::uint32_t>(c.blue) << 16);
}

Colour fromColorRef(std::uint32_t bgr) {
  return Colour{static_cast<std::uint8_t>(bgr & 0xFF), static_cast<std::uint8_t>((bgr >> 8) & 0xFF),
                static_cast<std::uint8_t>((bgr >> 16) & 0xFF)};
}

Colour reduceColour(Colour c) {
  return Colour{static_cast<std::uint8_t>(c.red & 248), static_cast<std::uint8_t>(c.green & 252),
                static_cast<std::uint8_t>(c.blue & 248)};
}

bool captionBlack(Colour c) { return (2 * c.red + 3 * c.green + c.blue) / 6 >= 125; }

const std::array<CardFormat, 7>& allCardFormats() {
  static const std::array<CardFormat, 7> formats{{
      {1, "ISO14443AUID - 4 байта", 32},
      {2, "ISO14443AUID - 7 байт", 56},
      {4, "Телефон (NFC) - 8 байт", 64},
      {8, "MifareClassic - низкий уровень защиты", 64},
      {16, "MifarePLUS - высокий уровень защиты", 64},
      {32, "ISO14443B - 4 байта", 32},
      {64, "ISO15693 (ICODE) - 8 байт", 64},
  }};
  return formats;
}

namespace {
const CardFormat& formatByBit(std::uint16_t bit) {
  for (const auto& f : allCardFormats())
    if (f.bit == bit) return f;
  return allCardFormats()[0];  // not reached: callers pass table bits
}

std::uint16_t offeredMask(int mode) {
  std::uint16_t m = 0;
  for (const auto& f : formatsOffered(mode)) m = static_cast<std::uint16_t>(m | f.bit);
  return m;
}

int clampInt(int v, int lo, int hi) { return std::max(lo, std::min(v, hi)); }
}  // namespace

std::vector<CardFormat> formatsOffered(int mode) {
  std::vector<std::uint16_t> bits;
  switch (mode) {
    case 0: bits = {1, 2, 4, 32, 64}; break;
    case 1: bits = {8, 16}; break;
    case 2:
    case 3: bits = {16}; break;
    default: break;
  }
  std::vector<CardFormat> out;
  for (auto b : bits) out.push_back(formatByBit(b));
  return out;
}

int widestIdBits(std::uint16_t mask) {
  int widest = 1;
  for (const auto& f : allCardFormats())
    if (mask & f.bit) widest = std::max(widest, f.idBits);
  return widest;
}

std::vector<FormatItem> formatItems(const ReaderConfig& c) {
  std::vector<FormatItem> out;
  for (const auto& f : formatsOffered(c.readingMode)) out.push_back({f.bit, f.text, (c.cardFormats & f.bit) != 0});
  return out;
}

ModeArea modeArea(int mode) {
  if (mode == 2) return ModeArea::Block;
  if (mode == 3) return ModeArea::Zones;
  return ModeArea::Empty;
}

bool shiftBitsEnabled(int mode) { return mode != 3; }

std::string label11Text(const ReaderConfig& c) {
  if (c.wiegandType == 0) return "+ CRC = " + std::to_string(c.wiegandWidth + 2) + " бит";
  return "бит";
}

void FillCardFormat(ReaderConfig& c) {
  const auto items = formatsOffered(c.readingMode);
  c.cardFormats = 0;
  if (items.empty()) return;
  if (c.readingMode == 0) {
    c.cardFormats = offeredMask(0);
  } else if (c.readingMode == 1) {
    c.cardFormats = items[1].bit;
  } else {
    c.cardFormats = items[0].bit;
  }
}

bool ComboBox4Change(ReaderConfig& c, int mode) {
  if (mode < 0 || mode >= kModeCount) return false;
  c.readingMode = mode;
  FillCardFormat(c);
  // The new ticks decide the identifier limit at once, so the spinners'
  // limits always match the list.
  c.maxIdBits = widestIdBits(c.cardFormats);
  return true;
}

bool CheckListBox1ClickCheck(ReaderConfig& c, int clicked, bool loading) {
  const auto items = formatsOffered(c.readingMode);
  if (items.empty()) return false;
  c.cardFormats = static_cast<std::uint16_t>(c.cardFormats & offeredMask(c.readingMode));
  if (c.readingMode == 1 && !loading && clicked >= 0 && clicked < 2) {
    const auto mine = items[static_cast<std::size_t>(clicked)].bit;
    const auto other = items[static_cast<std::size_t>(1 - clicked)].bit;
    if (c.cardFormats & mine)
      c.cardFormats = mine;
    else
      c.cardFormats = other;
  }
  if (c.cardFormats == 0) c.cardFormats = items[0].bit;
  c.maxIdBits = widestIdBits(c.cardFormats);
  FillRazr(c);
  return true;
}

bool toggleCardFormat(ReaderConfig& c, int index, bool loading) {
  const auto items = formatsOffered(c.readingMode);
  if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return false;
  c.cardFormats = static_cast<std::uint16_t>(c.cardFormats ^ items[static_cast<std::size_t>(index)].bit);
  return CheckListBox1ClickCheck(c, index, loading);
}

void FillRazr(ReaderConfig& c) {
  // Visibility and the limits themselves are derived (wiegandWidthVisible,
  // shiftMax, bitsMax); what remains is the repair of an oversized sum.
  if (c.bitShift + c.significantBits > c.maxIdBits) {
    c.bitShift = 0;
    c.significantBits = c.maxIdBits;
  }
}

void ComboBox2Change(ReaderConfig& c, bool userWidth) {
  c.wiegandWidthUser = userWidth;
  FillRazr(c);
}

void ComboBox3Change(ReaderConfig& c, int wiegandType) {
  c.wiegandType = clampInt(wiegandType, 0, 1);
  FillRazr(c);
}

void SpinEdit1Change(ReaderConfig& c, int width) { c.wiegandWidth = clampInt(width, kWiegandWidthMin, kWiegandWidthMax); }

void SpinEdit2Change(ReaderConfig& c, int blockNumber) {
  c.blockNumber = clampInt(blockNumber, kBlockNumberMin, kBlockNumberMax);
}

namespace {
enum class Next { None, Shift, Bits };

// Each value one rule sets is a change of that spinner and runs its rule in
// turn, so the two step down alternately until the sum fits.
void repairShiftBits(ReaderConfig& c, Next next) {
  while (next != Next::None) {
    if (next == Next::Shift) {
      next = Next::None;
      if (c.bitShift < 0) c.bitShift = 0;
      if (c.bitShift + c.significantBits > c.maxIdBits && c.significantBits > 1) {
        --c.significantBits;
        next = Next::Bits;
      }
    } else {
      next = Next::None;
      if (c.significantBits < 1) c.significantBits = 1;
      if (c.bitShift + c.significantBits > c.maxIdBits) {
        if (c.bitShift > 0) {
          --c.bitShift;
          next = Next::Shift;
        } else {
          c.significantBits = 1;
        }
      }
    }
  }
}
}  // namespace

void SpinEdit3Change(ReaderConfig& c, int bitShift, bool loading) {
  c.bitShift = clampInt(bitShift, 0, std::max(0, shiftMax(c)));
  if (!loading) repairShiftBits(c, Next::Shift);
}

void SpinEdit4Change(ReaderConfig& c, int significantBits, bool loading) {
  c.significantBits = clampInt(significantBits, 1, bitsMax(c));
  if (!loading) repairShiftBits(c, Next::Bits);
}

void SpinEdit5Change(ReaderConfig& c, int blockOffset, bool loading) {
  c.blockOffset = clampInt(blockOffset, kBlockOffsetMin, kBlockOffsetMax);
  if (loading) return;
  if (c.blockOffset + c.blockByteCount > kBlockSize) c.blockOffset = kBlockSize - c.blockByteCount;
}

void SpinEdit6Change(ReaderConfig& c, int blockByteCount, bool loading) {
  c.blockByteCount = clampInt(blockByteCount, kBlockByteCountMin, kBlockByteCountMax);
  if (loading) return;
  if (c.blockOffset + c.blockByteCount > kBlockSize) c.blockByteCount = kBlockSize - c.blockOffset;
}

std::optional<char32_t> Edit2KeyPress(char32_t key) {
  if ((key >= U'0' && key <= U'9') || (key >= U'A' && key <= U'F') || key == kBackspace) return key;
  if (key >= U'a' && key <= U'f') return key - U'a' + U'A';
  return std::nullopt;
}

std::string cleanAccessCode(std::string_view text) {
  std::string out;
  for (char ch : text) {
    if (out.size() == kAccessCodeDigits) break;
    if (auto k = Edit2KeyPress(static_cast<unsigned char>(ch)); k && *k != kBackspace)
      out.push_back(static_cast<char>(*k));
  }
  return out;
}

std::string filledAccessCode(std::string_view code) {
  std::string out(code);
  if (out.size() < kAccessCodeDigits) out.insert(0, kAccessCodeDigits - out.size(), '0');
  return out;
}

double pulseSeconds(const ReaderConfig& c) { return c.pulseTenths / 10.0; }

void setPulseSeconds(ReaderConfig& c, double seconds) {
  if (!std::isfinite(seconds)) return;
  const double tenths = std::round(seconds * 10.0);
  c.pulseTenths = static_cast<int>(std::clamp(tenths, double{kPulseTenthsMin}, double{kPulseTenthsMax}));
}

Colour& ledColour(ReaderConfig& c, Led which) {
  switch (which) {
    case Led::Idle: return c.ledIdle;
    case Led::RedGreen: return c.ledRedGreen;
    case Led::Red: return c.ledRed;
    case Led::Green: break;
  }
  return c.ledGreen;
}

Colour ledColour(const ReaderConfig& c, Led which) {
  switch (which) {
    case Led::Idle: return c.ledIdle;
    case Led::RedGreen: return c.ledRedGreen;
    case Led::Red: return c.ledRed;
    case Led::Green: break;
  }
  return c.ledGreen;
}

void setPickedColour(ReaderConfig& c, Led which, Colour picked) { ledColour(c, which) = reduceColour(picked); }

bool zoneTicked(std::uint64_t mask, int zone) {
  if (zone < 1 || zone > kZoneCount) return false;
  return (mask >> (zone - 1)) & 1U;
}

void setZoneTicked(std::uint64_t& mask, int zone, bool ticked) {
  if (zone < 1 || zone > kZoneCount) return;
  const std::uint64_t bit = std::uint64_t{1} << (zone - 1);
  if (ticked)
    mask |= bit;
  else
    mask &= ~bit;
}

}  // namespace terva::config
