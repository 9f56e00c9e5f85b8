#pragma once
// The reader configuration as a plain value, and the editing rules that keep
// its fields consistent. The page "Конфигурация" binds its controls to a
// ReaderConfig; every rule it needs is one of the functions below, so the
// controls never decide anything themselves.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace terva::config {

// A LED colour, 8 bits a channel.
struct Colour {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool operator==(const Colour&) const = default;
};

// Colour as the colour dialog carries it (0x00BBGGRR) and back.
std::uint32_t toColorRef(Colour c);
Colour fromColorRef(std::uint32_t bgr);

// The reader's 16-bit colour grid: red and blue keep 5 bits, green 6.
Colour reduceColour(Colour c);
// Caption colour of a colour panel: true for black, false for white.
bool captionBlack(Colour c);

// Ranges and start values.
inline constexpr int kModeCount = 4;  // reading modes 0..3
inline constexpr int kMaxIdBits = 64;
inline constexpr int kBlockNumberMin = 0, kBlockNumberMax = 255;
inline constexpr int kBlockOffsetMin = 0, kBlockOffsetMax = 15;
inline constexpr int kBlockByteCountMin = 1, kBlockByteCountMax = 8;
inline constexpr int kBlockSize = 16;  // bytes in a card block: offset + count stays within it
inline constexpr std::size_t kAccessCodeDigits = 32;
inline constexpr int kPulseTenthsMin = 3, kPulseTenthsMax = 300;
inline constexpr int kWiegandWidthMin = 8, kWiegandWidthMax = 64;
inline constexpr std::uint16_t kStartCardFormats = 103;  // every mode-0 format
inline constexpr std::string_view kStartAccessCode = "7E41C9A05D3B8F26E1940CB7A25D6F83";
inline constexpr int kZoneCount = 64;

struct ReaderConfig {
  int readingMode = 0;                        // 0..3
  std::uint16_t cardFormats = kStartCardFormats;  // bit values of the ticked formats
  bool reverseByteOrder = false;
  int bitShift = 0;                           // 0 .. maxIdBits - 1
  int significantBits = 64;                   // 1 .. maxIdBits
  int blockNumber = 1;                        // 0..255
  int blockOffset = 0;                        // 0..15
  int blockByteCount = 8;                     // 1..8
  std::string blockAccessCode{kStartAccessCode};  // at most 32 upper-case hex digits
  std::uint64_t zoneMask = 0;                 // zone z is bit z - 1
  int pulseTenths = kPulseTenthsMin;          // 3..300 tenths of a second
  int wiegandType = 0;                        // 0 with check bits, 1 without
  bool wiegandWidthUser = false;
  int wiegandWidth = 64;                      // 8..64
  Colour ledIdle{0, 128, 255};
  Colour ledRedGreen{255, 128, 0};
  Colour ledRed{255, 0, 0};
  Colour ledGreen{0, 255, 0};
  int maxIdBits = kMaxIdBits;                 // widest identifier of the ticked formats

  bool operator==(const ReaderConfig&) const = default;
};

// ---- card formats ----

struct CardFormat {
  std::uint16_t bit;
  std::string_view text;
  int idBits;
};

// Every format, by bit value.
const std::array<CardFormat, 7>& allCardFormats();
// The items of the format list in a mode, in list order; empty outside 0..3.
std::vector<CardFormat> formatsOffered(int mode);
// Width of the widest identifier among the formats in `mask`, at least 1.
int widestIdBits(std::uint16_t mask);

// One row of the format list as the page shows it.
struct FormatItem {
  std::uint16_t bit;
  std::string_view text;
  bool ticked;
};
std::vector<FormatItem> formatItems(const ReaderConfig& c);

// ---- what the page shows, derived from the value ----

enum class ModeArea { Empty, Block, Zones };  // Panel12, Panel6, Panel19
ModeArea modeArea(int mode);
// Byte order box and the shift and bits spinners.
bool shiftBitsEnabled(int mode);
inline int shiftMax(const ReaderConfig& c) { return c.maxIdBits - 1; }
inline int bitsMax(const ReaderConfig& c) { return c.maxIdBits; }
// SpinEdit1 and Label11 are shown only for a user-defined width.
inline bool wiegandWidthVisible(const ReaderConfig& c) { return c.wiegandWidthUser; }
// Text of Label11: "+ CRC = N бит" with check bits, "бит" without.
std::string label11Text(const ReaderConfig& c);

// ---- the rules (each named after the handler that runs it) ----

// Rebuilds the format list of the current mode and ticks its defaults
// (mode 0 all, mode 1 the second item, modes 2 and 3 the only one).
void FillCardFormat(ReaderConfig& c);
// Reading mode change: rebuilds the list and recomputes maxIdBits. A mode
// outside 0..3 is refused (false) and changes nothing.
bool ComboBox4Change(ReaderConfig& c, int mode);
// After item `clicked` of the list toggled (cardFormats already shows the
// new state): the mode-1 pair rule (skipped while loading), at least one
// tick, maxIdBits, FillRazr. False when the list is empty.
bool CheckListBox1ClickCheck(ReaderConfig& c, int clicked, bool loading);
// Toggles item `index` and runs CheckListBox1ClickCheck: a click in the list.
bool toggleCardFormat(ReaderConfig& c, int index, bool loading);
// Limits of the shift and the bits; resets them when their sum is too big.
void FillRazr(ReaderConfig& c);
void ComboBox2Change(ReaderConfig& c, bool userWidth);
void ComboBox3Change(ReaderConfig& c, int wiegandType);
// Wiegand width: below 8 raised to 8 (above 64 held at 64).
void SpinEdit1Change(ReaderConfig& c, int width);
// Block number: held within 0..255; runs while loading too.
void SpinEdit2Change(ReaderConfig& c, int blockNumber);
// Shift and bits stepped by the user, with the alternating repair that keeps
// bitShift + significantBits <= maxIdBits. Values are held within the
// spinners' ranges; the repair is skipped while loading.
void SpinEdit3Change(ReaderConfig& c, int bitShift, bool loading);
void SpinEdit4Change(ReaderConfig& c, int significantBits, bool loading);
// Offset and count stepped by the user, kept so that offset + count <= 16.
void SpinEdit5Change(ReaderConfig& c, int blockOffset, bool loading);
void SpinEdit6Change(ReaderConfig& c, int blockByteCount, bool loading);

// Key filter of the access-code field: the character to insert, or nothing
// when the key is dropped. 0-9, A-F and backspace pass; a-f become A-F.
inline constexpr char32_t kBackspace = 0x08;
std::optional<char32_t> Edit2KeyPress(char32_t key);
// The access-code field's text as the field would hold it: upper case, only
// hex digits, at most 32 of them (for pasted or programmatic text).
std::string cleanAccessCode(std::string_view text);
// The access code filled on the left with "0" to 32 digits.
std::string filledAccessCode(std::string_view code);

// Pulse in seconds (0.3..30.0) as the spinner shows it, and back.
double pulseSeconds(const ReaderConfig& c);
void setPulseSeconds(ReaderConfig& c, double seconds);

// The four colour panels.
enum class Led { Idle, RedGreen, Red, Green };  // color1, color2, color3, color4
Colour& ledColour(ReaderConfig& c, Led which);
Colour ledColour(const ReaderConfig& c, Led which);
// A colour chosen in the dialog: reduced to the reader's grid and stored.
void setPickedColour(ReaderConfig& c, Led which, Colour picked);

// Zone flags (zones 1..64).
bool zoneTicked(std::uint64_t mask, int zone);
void setZoneTicked(std::uint64_t& mask, int zone, bool ticked);

}  // namespace terva::config
