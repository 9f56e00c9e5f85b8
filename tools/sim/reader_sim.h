#pragma once
// The card reader's side of the serial protocol as a plain state machine:
// bytes from the host go in, the writes the reader makes come out. No I/O, no
// threads; PtyReader runs it on a pseudo-terminal.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace terva::sim {

// Kinds of identifier message the reader sends when a card is presented.
enum class IdKind { Uid, Phone, Mir, NonUnique, Random };

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
};

class ReaderSim {
 public:
  // Pause between the two pieces of a split reply, long enough for the host to
  // see two receive events.
  static constexpr int kSplitPauseMs = 30;
  static constexpr std::uint8_t kRefusal = 0x0F;  // "unknown command" result code

  // Takes host bytes in any chunking; returns the replies to every frame that
  // became complete, in order.
  std::vector<Write> feed(std::string_view hostBytes);
  // True while the input buffer holds the start of a frame that is not complete.
  bool hasPartial() const;
  // Gives up on a stalled partial frame (its start byte is dropped and the rest
  // rescanned), as a reader's inter-byte timeout would; returns any replies that
  // the rescan produced.
  std::vector<Write> expirePartial();

  // Runs one command line such as "card uid 1A2B3C" or "result 14".
  CommandResult command(std::string_view line);

  // Every complete frame received from the host, as upper-case hex text.
  const std::vector<std::string>& framesReceived() const { return frames_; }

  void setFirmwareVersion(std::uint8_t a, std::uint8_t b, std::uint8_t c) { version_ = {a, b, c}; }
  std::array<std::uint8_t, 3> firmwareVersion() const { return version_; }

  // Body of the reply to "0B01" as hex text (upper or lower case, even length,
  // at most 250 bytes); throws std::invalid_argument otherwise. Empty by default.
  void setConfigHex(std::string_view hex);
  const std::string& configHex() const { return configHex_; }

  // Wire helpers.
  static std::string frame(std::uint8_t cmd, std::uint8_t ver, std::string_view body);
  static std::string resultReply(std::uint8_t code);
  static std::string identifierMessage(IdKind kind, std::string_view id);
  static std::string_view prefix(IdKind kind);
  // "uid", "phone", "mir", "nonunique", "random" (any letter case).
  static std::optional<IdKind> kindFromName(std::string_view name);
  static std::string helpText();

 private:
  std::vector<Write> drainFrames();
  std::vector<Write> replyTo(std::string_view frameBytes);
  std::vector<Write> send(std::string bytes, bool isResultReply);

  std::string input_;
  std::vector<std::string> frames_;
  std::array<std::uint8_t, 3> version_{1, 0, 8};
  std::string configHex_;
  // One-shot modifiers for the next reply.
  std::optional<std::uint8_t> nextResult_;
  int nextDelayMs_ = 0;
  bool nextDrop_ = false;
  bool nextSplit_ = false;
};

// "23 08 00 01" style rendering of bytes, for traffic lines.
std::string spacedHex(std::string_view bytes);

}  // namespace terva::sim
