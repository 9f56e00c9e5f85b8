// Receive dispatch and exchange: arbitrary bytes cut into arbitrary receive
// events, some of them arriving while a command waits for its reply.
//
// Input: byte 0 gives the number of cut marks N (byte 0 % 17), the next N
// bytes are the marks, the rest is the byte stream. Mark bits 0-5: length of
// the event; bit 7: a command is sent just before this event (the wait then
// takes this and the following events); bit 6: the wait times out before
// this event. Bytes after the last cut form one final event.
//
// Each event is judged by a reference written here from the protocol's
// rules; the exchange must report the same identifiers (once each, in
// order, matching their bytes), store the same frames, and leave `answer`
// readable after every event.
#include "fuzz_check.h"
#include "protocol/dispatch.h"
#include "protocol/exchange.h"
#include "protocol/hextext.h"
#include "protocol/results.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using namespace terva;
using terva::fuzz::shown;

namespace {

std::string refHex(std::string_view bytes) {
  static constexpr char d[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out.push_back(d[c >> 4]);
    out.push_back(d[c & 15]);
  }
  return out;
}

bool readableHex(const std::string& s) {
  if (s.size() % 2 != 0) return false;
  for (char c : s) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

struct RefEvent {
  RxOutcome kind = RxOutcome::Ignored;
  Answer frame;
  std::vector<IdMessage> ids;
};

constexpr std::string_view kPrefixes[] = {"PhoneID: ", "Random UID: ", "Nonunic UID: ", "MIR: ", "UID: "};
constexpr IdKind kKindOf[] = {IdKind::PhoneId, IdKind::RandomUid, IdKind::NonuniqueUid, IdKind::Mir, IdKind::Uid};

// The earliest prefix at or after `from` (a prefix inside a longer one found
// at the same place cannot start there).
std::optional<std::pair<std::size_t, int>> refNextPrefix(std::string_view e, std::size_t from) {
  std::optional<std::pair<std::size_t, int>> best;
  for (int k = 0; k < 5; ++k) {
    const std::size_t p = e.find(kPrefixes[k], from);
    if (p != std::string_view::npos && (!best || p < best->first)) best = {p, k};
  }
  return best;
}

RefEvent judge(std::string_view e) {
  RefEvent r;
  const auto* u = reinterpret_cast<const unsigned char*>(e.data());
  if (e.size() == 8 && u[0] == 0x23 && u[1] == 0x08 && u[2] == 0x00 && u[3] == 0x01 && u[4] == 0x0D && u[5] == 0x01) {
    r.kind = RxOutcome::ResultReply;
    r.frame = {0, 1, refHex(e.substr(4, 3))};
    return r;
  }
  auto cur = refNextPrefix(e, 0);
  if (cur) {
    r.kind = RxOutcome::Identifier;
    while (cur) {
      const std::size_t start = cur->first + kPrefixes[cur->second].size();
      const auto next = refNextPrefix(e, start);
      const std::size_t end = next ? next->first : e.size();
      if (end - start > 2) r.ids.push_back({kKindOf[cur->second], std::string(e.substr(start, end - start - 2))});
      cur = next;
    }
    return r;
  }
  if (e.size() >= 5 && u[0] == 0x23 && u[e.size() - 1] == 0x24 && u[1] == e.size()) {
    r.kind = RxOutcome::Frame;
    r.frame = {u[2], u[3], refHex(e.substr(4, e.size() - 5))};
  }
  return r;
}

std::uint8_t refResult(const Answer& a) {
  if (a.cmd != 0) return kResultNoReply;
  if (a.body.size() == 6 && a.body.substr(0, 4) == "0D01") return static_cast<std::uint8_t>(std::stoul(a.body.substr(4), nullptr, 16));
  return kResultMalformed;
}

struct Event {
  std::string bytes;
  bool send = false;
  bool timeoutBefore = false;
};

class RecordingHost : public ExchangeHost {
 public:
  Exchange* exchange = nullptr;
  const std::vector<Event>* events = nullptr;
  std::size_t next = 0;  // the next event to deliver

  // What the exchange reported, in order.
  std::vector<IdMessage> identifiers;
  std::vector<Answer> stored;
  std::vector<std::string> configurationBodies;
  std::vector<std::string> received;
  std::vector<std::string> sentFrames;  // logSent
  std::vector<std::string> written;     // writeBytes

  // The model: what the reference says must have happened.
  Answer modelAnswer;
  std::vector<IdMessage> expectIds;
  std::vector<Answer> expectStored;
  std::vector<std::string> expectConfig;
  std::optional<Answer> modelReply;  // first cmd 0/1 frame of the current wait
  bool modelWaiting = false;

  bool connected() const override { return true; }
  void writeBytes(const std::string& bytes) override { written.push_back(bytes); }
  void waitForReply(const std::function<bool()>& done, std::chrono::milliseconds) override {
    FUZZ_CHECK(!done(), std::string("the wait is done before any event"));
    bool first = true;
    while (next < events->size()) {
      const Event& ev = (*events)[next];
      if (!first && ev.timeoutBefore) break;
      deliver(next++, true, !first && ev.send);
      first = false;
      if (done()) {
        FUZZ_CHECK(modelReply.has_value(), "the wait ended without a reply frame, after event " + shown(ev.bytes));
        return;
      }
    }
    FUZZ_CHECK(!done() && !modelReply, std::string("a reply frame did not end the wait"));
  }
  void replyStored(const Answer& frame) override { stored.push_back(frame); }
  void identifier(const IdMessage& msg) override { identifiers.push_back(msg); }
  void configurationFrame(const std::string& body) override { configurationBodies.push_back(body); }
  void logSent(const std::string& frameHex) override { sentFrames.push_back(frameHex); }
  void logReceived(const std::string& hex) override { received.push_back(hex); }

  void deliver(std::size_t index, bool inWait, bool nestedSend = false) {
    const Event& ev = (*events)[index];
    const RefEvent ref = judge(ev.bytes);
    // The same bytes judged alone by the dispatch.
    const RxEvent direct = classifyReceiveEvent(ev.bytes, refHex(ev.bytes));
    FUZZ_CHECK(direct.kind == ref.kind, "classifyReceiveEvent kind differs for " + shown(ev.bytes));
    FUZZ_CHECK(direct.identifiers == ref.ids, "classifyReceiveEvent identifiers differ for " + shown(ev.bytes));
    if (ref.kind == RxOutcome::ResultReply || ref.kind == RxOutcome::Frame)
      FUZZ_CHECK(direct.frame == ref.frame, "classifyReceiveEvent frame differs for " + shown(ev.bytes));

    // A second command while one waits is refused and sends nothing.
    if (nestedSend) {
      const std::size_t before = written.size();
      FUZZ_CHECK(exchange->SendToComPort("0501") == kResultNotSent, std::string("a second command was not refused"));
      FUZZ_CHECK(written.size() == before, std::string("a refused command wrote bytes"));
    }

    const std::size_t receivedBefore = received.size();
    const RxOutcome got = exchange->ComPort1RxChar(ev.bytes);
    FUZZ_CHECK(got == ref.kind, "ComPort1RxChar outcome differs for " + shown(ev.bytes));
    FUZZ_CHECK(received.size() == receivedBefore + 1 && received.back() == refHex(ev.bytes),
               "received traffic not logged as its hex for " + shown(ev.bytes));

    switch (ref.kind) {
      case RxOutcome::ResultReply:
      case RxOutcome::Frame:
        modelAnswer = ref.frame;
        expectStored.push_back(ref.frame);
        if (ref.frame.cmd == 1 && ref.frame.ver == 3) expectConfig.push_back(ref.frame.body);
        if (inWait && !modelReply && (ref.frame.cmd == 0 || ref.frame.cmd == 1)) modelReply = ref.frame;
        break;
      case RxOutcome::Identifier:
        for (const IdMessage& m : ref.ids) {
          expectIds.push_back(m);
          modelAnswer.cmd = 255;
        }
        break;
      case RxOutcome::Ignored:
        break;
    }

    FUZZ_CHECK(identifiers == expectIds, "identifier messages reported differ after " + shown(ev.bytes));
    FUZZ_CHECK(stored == expectStored, "frames stored differ after " + shown(ev.bytes));
    FUZZ_CHECK(configurationBodies == expectConfig, "configuration frames differ after " + shown(ev.bytes));
    FUZZ_CHECK(exchange->answer == modelAnswer, "answer differs after " + shown(ev.bytes) + ": body " +
                                                    shown(exchange->answer.body));
    FUZZ_CHECK(readableHex(exchange->answer.body), "answer body is not hex text: " + shown(exchange->answer.body));
    FUZZ_CHECK(resultFromAnswer(exchange->answer) == refResult(exchange->answer),
               "resultFromAnswer disagrees on " + shown(exchange->answer.body));
    FUZZ_CHECK(exchange->waiting() == inWait, std::string("waiting() does not match the wait"));
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  const std::size_t marks = std::min<std::size_t>(static_cast<std::uint8_t>(in[0]) % 17, size - 1);
  std::vector<Event> events;
  std::size_t pos = 1 + marks;
  for (std::size_t i = 0; i < marks; ++i) {
    const auto m = static_cast<std::uint8_t>(in[1 + i]);
    const std::size_t len = std::min<std::size_t>(m & 0x3F, size - pos);
    events.push_back({std::string(in.substr(pos, len)), (m & 0x80) != 0, (m & 0x40) != 0});
    pos += len;
  }
  if (pos < size || events.empty()) events.push_back({std::string(in.substr(pos)), false, false});

  RecordingHost host;
  Exchange exchange(host);
  host.exchange = &exchange;
  host.events = &events;
  host.modelAnswer = exchange.answer;

  while (host.next < events.size()) {
    const Event& ev = events[host.next];
    if (!ev.send) {
      host.deliver(host.next++, false);
      continue;
    }
    host.modelReply.reset();
    host.modelAnswer.reset();
    const std::size_t writes = host.written.size();
    const std::uint8_t result = exchange.SendToComPort("0501");
    FUZZ_CHECK(host.written.size() == writes + 1 && host.written.back() == std::string("\x23\x05\x05\x01\x24", 5),
               std::string("the command's frame was not written once"));
    FUZZ_CHECK(host.sentFrames.back() == "2305050124", std::string("the frame sent was not logged"));
    const std::uint8_t expected = refResult(host.modelReply ? *host.modelReply : host.modelAnswer);
    FUZZ_CHECK(result == expected, "SendToComPort returned " + std::to_string(result) + ", expected " +
                                       std::to_string(expected));
    FUZZ_CHECK(!exchange.waiting(), std::string("still waiting after the exchange returned"));
  }
  return 0;
}
