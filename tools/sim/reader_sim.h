#pragma once
// The card reader's side of the serial protocol as a plain state machine:
// bytes from the host go in, the writes the reader makes come out. No I/O, no
// threads; PtyReader runs it on a pseudo-terminal.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace terva::sim {

// Kinds of identifier message the reader sends when a card is presented.
enum class IdKind { Uid, Phone, Mir, NonUnique, Random };

// What the reader is doing with the cards presented to it.
enum class CardMode {
  Reading,          // "0501": reports every card as an identifier message
  ObjectCode,       // "0101" in a protected mode: waits for the master card with the object code
  WriteMasters,     // "0201": writes the pending master-card configuration onto blank cards
  ClearMasters,     // "0301": erases master cards
  CreateProtected,  // "0401": a master card with the object code first, then protected cards
  ClearProtected,   // "0601": likewise, removing that object code
  ReadMaster,       // "0701": sends the configuration of a master card
  CopyMaster,       // "0801": takes the configuration of a master card into itself
  ClearAllCodes,    // "0901": removes every object code from protected cards
};

enum class CardFamily { Classic, Plus };  // Mifare Classic, Mifare Plus
enum class CardKind { Blank, Master, Protected };

// One object code (or set of passage zones) written onto a protected card.
struct ProtectedCode {
  std::string objectCode;  // hex text, 4 bytes
  std::uint8_t mode = 1;   // reading mode of the master card it came from: 1 or 3
  std::string zones;       // mode 3: the 8 bytes of zone flags as hex text
  bool operator==(const ProtectedCode&) const = default;
};

// A physical card the simulated reader has seen. Cards keep their number for
// good; erasing one makes it blank again.
struct Card {
  int number = 0;  // 1, 2, ... in the order the reader first saw them
  CardFamily family = CardFamily::Plus;
  CardKind kind = CardKind::Blank;
  std::string uid;  // identifier reported in card reading mode (hex digits)
  // Master card:
  int index = 0;           // place in its set, from 0
  int count = 0;           // cards in the set
  std::string recordHex;   // the configuration record (no items 01, 0E or 11)
  std::string objectCode;  // hex text; empty in reading modes 0 and 2
  bool lock = false;       // option item 11 was AA
  // Protected card:
  std::vector<ProtectedCode> codes;
  bool operator==(const Card&) const = default;
};

// One write the reader makes to the host.
struct Write {
  std::string bytes;        // raw bytes, one char a byte
  int delayMs = 0;          // wait this long before writing (for the second piece
                            // of a split: after the first piece went out)
  bool splitPiece = false;  // one of the two pieces of a split reply
  bool operator==(const Write&) const = default;
};

// What the reader asks its runner to do after a command line.
enum class Action { None, Unplug, Quit };

struct CommandResult {
  bool ok = true;             // false: the line was refused and nothing changed
  std::string answer;         // short text for the person typing (may hold several lines)
  std::vector<Write> writes;  // bytes to send to the host
  Action action = Action::None;
  bool needsLine = false;     // a card or raw bytes: only makes sense while the reader is plugged in
};

class ReaderSim {
 public:
  // Pause between the two pieces of a split reply, long enough for the host to
  // see two receive events.
  static constexpr int kSplitPauseMs = 30;
  static constexpr std::uint8_t kRefusal = 0x0F;  // "unknown command" result code
  // Result codes the reader answers cards and commands with.
  static constexpr std::uint8_t kBadParameters = 12;
  static constexpr std::uint8_t kAllMastersWritten = 13;
  static constexpr std::uint8_t kMasterNotBlank = 14;
  static constexpr std::uint8_t kNoMasterData = 16;
  static constexpr std::uint8_t kWrongCard = 9;
  static constexpr std::uint8_t kCodeExists = 18;
  static constexpr std::uint8_t kMasterPresented = 19;
  static constexpr std::uint8_t kPlusOnly = 23;
  static constexpr std::uint8_t kClassicOnly = 24;
  static constexpr std::uint8_t kEmptyCard = 25;
  static constexpr std::uint8_t kModeMismatch = 26;
  static constexpr std::uint8_t kLocked = 27;

  // Takes host bytes in any chunking; returns the replies to every frame that
  // became complete, in order.
  std::vector<Write> feed(std::string_view hostBytes);
  // True while the input buffer holds the start of a frame that is not complete.
  bool hasPartial() const;
  // Gives up on a stalled partial frame (its start byte is dropped and the rest
  // rescanned), as a reader's inter-byte timeout would; returns any replies that
  // the rescan produced.
  std::vector<Write> expirePartial();

  // Runs one command line such as "card uid 1A2B3C", "present 2" or "result 14".
  CommandResult command(std::string_view line);

  // Every complete frame received from the host, as upper-case hex text.
  const std::vector<std::string>& framesReceived() const { return frames_; }

  void setFirmwareVersion(std::uint8_t a, std::uint8_t b, std::uint8_t c) { version_ = {a, b, c}; }
  std::array<std::uint8_t, 3> firmwareVersion() const { return version_; }

  // The stored configuration record as hex text (upper or lower case, even
  // length, at most 250 bytes); throws std::invalid_argument otherwise. Empty
  // by default; "0101" replaces it. The reply to "0B01" is this record plus,
  // in reading modes 1 to 3, a checksum item 0E.
  void setConfigHex(std::string_view hex);
  const std::string& configHex() const { return configHex_; }

  // Reader state, for tests and for the "status" command.
  CardMode cardMode() const { return mode_; }
  const std::vector<Card>& cards() const { return cards_; }
  const std::string& objectCode() const { return objectCode_; }  // hex text, empty if none
  bool locked() const { return locked_; }
  // Presents a card: number 1.. from cards(), or 0 for a new blank card of the
  // given family. With code set, the reader answers that result code and the
  // card stays as it was. The answer says what happened; ok is false for a
  // card number that does not exist.
  CommandResult present(int number, CardFamily family = CardFamily::Plus,
                        std::optional<std::uint8_t> code = std::nullopt);

  // Reading mode (item 06) of a configuration record in hex text, 0 if absent.
  static unsigned readingModeOf(std::string_view recordHex);
  // Checksum item 0E (hex text "0E02...") the reader reports with a record in
  // reading modes 1 to 3: over the object code in modes 1 and 3, over the
  // block access code (item 0B) in mode 2. Empty in mode 0.
  static std::string checksumItem(std::string_view recordHex, std::string_view objectCodeHex);

  // Wire helpers.
  static std::string frame(std::uint8_t cmd, std::uint8_t ver, std::string_view body);
  static std::string resultReply(std::uint8_t code);
  static std::string identifierMessage(IdKind kind, std::string_view id);
  static std::string_view prefix(IdKind kind);
  // "uid", "phone", "mir", "nonunique", "random" (any letter case).
  static std::optional<IdKind> kindFromName(std::string_view name);
  static std::string helpText();
  static const char* modeName(CardMode mode);
  static std::string describe(const Card& card);

 private:
  struct Outcome {
    std::uint8_t code = 0;
    std::string frame;              // when set, sent instead of a result reply
    std::function<void()> commit;   // state change, run only on success
    std::string what;               // for the person typing
  };

  std::vector<Write> drainFrames();
  std::vector<Write> replyTo(std::string_view frameBytes);
  Outcome handle(std::uint8_t cmd, std::uint8_t ver, const std::string& body);
  Outcome cardOutcome(Card& card);
  std::vector<Write> finish(Outcome o, std::optional<std::uint8_t> explicitCode, std::uint8_t* finalCode);
  std::vector<Write> send(std::string bytes, bool isResultReply);
  Card& newCard(CardFamily family);
  std::string uidFor(int number) const;

  std::string input_;
  std::vector<std::string> frames_;
  std::array<std::uint8_t, 3> version_{1, 0, 8};
  std::string configHex_;
  CardMode mode_ = CardMode::Reading;
  std::vector<Card> cards_;
  std::string objectCode_;
  bool locked_ = false;
  // Master cards about to be written ("0102", then "0201").
  std::string pendingRecord_;
  bool pendingLock_ = false;
  bool havePending_ = false;
  std::string setRecord_;  // the set being written
  bool setLock_ = false;
  int setIndex_ = 0;       // next card of the set being written
  int setCount_ = 0;
  std::string setObjectCode_;
  unsigned setsWritten_ = 0;  // makes each set's object code its own
  // The master card shown in "0401"/"0601", while cards are being processed.
  std::optional<Card> authorising_;
  // One-shot modifiers for the next reply (a card's reply included).
  std::optional<std::uint8_t> nextResult_;
  int nextDelayMs_ = 0;
  bool nextDrop_ = false;
  bool nextSplit_ = false;
};

// "23 08 00 01" style rendering of bytes, for traffic lines.
std::string spacedHex(std::string_view bytes);

}  // namespace terva::sim
