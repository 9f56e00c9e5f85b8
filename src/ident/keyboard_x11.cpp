// Keystroke output through the XTest extension of the X server.
//
// Every character is typed as the key that produces it in the current XKB
// keymap, with the modifiers its shift level needs. A character that lives
// only in another layout (group) is typed with that group locked for the
// moment; one that the keymap lacks entirely is put on a spare, empty keycode
// for the moment. Caps Lock is released while typing. The operator's group,
// Caps Lock and keymap are restored once the keys have been processed.
#include "ident/keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "ident/keysym_unicode_x11.h"

namespace terva::ident {
namespace {

using Millis = std::chrono::milliseconds;

constexpr Millis kCharPause{10};
// A spare keycode's new mapping reaches the other clients as a notification
// that they answer by reading the keymap again. Give them time to do so
// before typing on it, and to translate the typed keys before clearing it.
constexpr Millis kSpareSettle{20};
constexpr Millis kSpareHold{100};

const char* const kNoDisplayReason =
    "Имитация набора на клавиатуре недоступна: нет подключения к X-серверу (DISPLAY). "
    "Идентификатор по-прежнему можно помещать в буфер обмена.";
const char* const kNoXTestReason =
    "Имитация набора на клавиатуре недоступна: X-сервер не поддерживает расширение XTest. "
    "Идентификатор по-прежнему можно помещать в буфер обмена.";
const char* const kNoXkbReason =
    "Имитация набора на клавиатуре недоступна: X-сервер не поддерживает расширение XKB. "
    "Идентификатор по-прежнему можно помещать в буфер обмена.";

// ---------------------------------------------------------------------------
// Characters and keysyms

bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7f && c <= 0x9f); }

bool isTypable(char32_t c) {
  return !isControl(c) && c <= 0x10ffff && !(c >= 0xd800 && c <= 0xdfff);
}

constexpr KeySym kUnicodeKeysymBase = 0x01000000;

// The character a keysym stands for, 0 when it stands for none.
char32_t keysymToUnicode(KeySym ks) {
  if ((ks >= 0x20 && ks <= 0x7e) || (ks >= 0xa0 && ks <= 0xff)) return static_cast<char32_t>(ks);
  if (ks >= kUnicodeKeysymBase + 0x100 && ks <= kUnicodeKeysymBase + 0x10ffff) {
    return static_cast<char32_t>(ks - kUnicodeKeysymBase);
  }
  const auto* begin = std::begin(x11::kLegacyKeysyms);
  const auto* end = std::end(x11::kLegacyKeysyms);
  const auto* it = std::lower_bound(begin, end, ks, [](const x11::LegacyKeysym& e, KeySym k) {
    return e.keysym < k;
  });
  return it != end && it->keysym == ks ? it->unicode : 0;
}

// The keysym to put on a spare keycode: the legacy one where the character
// has one (older clients know those best), its Unicode keysym otherwise.
KeySym unicodeToKeysym(char32_t c) {
  if (c <= 0xff) return c;
  for (const auto& e : x11::kLegacyKeysyms) {
    if (e.unicode == c) return e.keysym;
  }
  return kUnicodeKeysymBase | c;
}

// What one keystroke has to produce: a character, or (for Enter) a keysym.
struct Target {
  char32_t character = 0;  // 0: match `keysym` alone
  KeySym keysym = NoSymbol;

  bool matches(KeySym ks) const {
    if (ks == NoSymbol) return false;
    return ks == keysym || (character != 0 && keysymToUnicode(ks) == character);
  }

  // What to put on a spare keycode when the keymap has no key for it.
  KeySym spareKeysym() const { return character != 0 ? unicodeToKeysym(character) : keysym; }
};

// ---------------------------------------------------------------------------
// X protocol errors on our own connections must not reach the default
// handler, which ends the process. Errors on other connections go on to the
// handler that was installed before.

std::mutex gErrorMutex;
std::vector<Display*> gOwnDisplays;
XErrorHandler gPreviousErrorHandler = nullptr;

int onXError(Display* display, XErrorEvent* event) {
  XErrorHandler previous;
  {
    std::lock_guard lock(gErrorMutex);
    if (std::find(gOwnDisplays.begin(), gOwnDisplays.end(), display) != gOwnDisplays.end()) {
      return 0;  // The request failed; typing goes on with the next key.
    }
    previous = gPreviousErrorHandler;
  }
  return previous != nullptr ? previous(display, event) : 0;
}

void registerOwnDisplay(Display* display) {
  static std::once_flag installed;
  std::call_once(installed, [] {
    XErrorHandler previous = XSetErrorHandler(onXError);
    std::lock_guard lock(gErrorMutex);
    gPreviousErrorHandler = previous;
  });
  std::lock_guard lock(gErrorMutex);
  gOwnDisplays.push_back(display);
}

void unregisterOwnDisplay(Display* display) {
  std::lock_guard lock(gErrorMutex);
  gOwnDisplays.erase(std::remove(gOwnDisplays.begin(), gOwnDisplays.end(), display),
                     gOwnDisplays.end());
}

// ---------------------------------------------------------------------------
// A snapshot of the XKB keymap and where characters are on it.

struct Stroke {
  KeyCode key = 0;
  int group = -1;                  // effective group to type in; -1: any
  std::vector<KeyCode> modifiers;  // held down around the key
};

class Keymap {
 public:
  explicit Keymap(Display* display)
      : xkb_(XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask,
                       XkbUseCoreKbd)) {
    if (!valid()) return;
    for (int kc = xkb_->min_key_code; kc <= xkb_->max_key_code; ++kc) {
      groups_ = std::max(groups_, static_cast<int>(XkbKeyNumGroups(xkb_, kc)));
    }
    findModifierKeys();
  }
  ~Keymap() {
    if (xkb_ != nullptr) XkbFreeKeyboard(xkb_, 0, True);
  }
  Keymap(const Keymap&) = delete;
  Keymap& operator=(const Keymap&) = delete;

  bool valid() const {
    return xkb_ != nullptr && xkb_->map != nullptr && xkb_->map->types != nullptr &&
           xkb_->map->syms != nullptr && xkb_->map->key_sym_map != nullptr;
  }
  int groups() const { return groups_; }

  // The key that types `target` with `group` as the effective group, given
  // the modifiers already in effect (Caps Lock aside: it is released).
  std::optional<Stroke> find(const Target& target, int group, unsigned activeMods) const {
    std::optional<Stroke> best;
    int bestLevel = 0;
    for (int kc = xkb_->min_key_code; kc <= xkb_->max_key_code; ++kc) {
      const int kg = keyGroup(kc, group);
      if (kg < 0) continue;
      const int width = XkbKeyGroupWidth(xkb_, kc, kg);
      for (int level = 0; level < width; ++level) {
        if (!target.matches(XkbKeySymEntry(xkb_, kc, level, kg))) continue;
        auto modifiers = modifiersForLevel(kc, kg, level, activeMods);
        if (!modifiers) continue;
        const bool better = !best || modifiers->size() < best->modifiers.size() ||
                            (modifiers->size() == best->modifiers.size() && level < bestLevel);
        if (better) {
          best = Stroke{static_cast<KeyCode>(kc), group, std::move(*modifiers)};
          bestLevel = level;
        }
      }
    }
    return best;
  }

  // Keycodes with nothing on them, highest first.
  std::vector<KeyCode> spareKeycodes() const {
    std::vector<KeyCode> spare;
    for (int kc = xkb_->max_key_code; kc >= xkb_->min_key_code; --kc) {
      if (XkbKeyNumGroups(xkb_, kc) == 0 && modmap(kc) == 0) {
        spare.push_back(static_cast<KeyCode>(kc));
      }
    }
    return spare;
  }

 private:
  struct ModifierKey {
    KeyCode key;
    unsigned mods;
  };

  unsigned modmap(int kc) const {
    return xkb_->map->modmap != nullptr ? xkb_->map->modmap[kc] : 0;
  }

  KeySym baseKeysym(int kc) const {
    return XkbKeyNumGroups(xkb_, kc) > 0 ? XkbKeySymEntry(xkb_, kc, 0, 0) : NoSymbol;
  }

  // Keys to hold for Shift and for the third and fifth shift levels. Other
  // modifiers (Control, Alt) would turn a keystroke into a shortcut.
  void findModifierKeys() {
    const auto add = [this](KeySym sym, unsigned fallbackMods) {
      for (int kc = xkb_->min_key_code; kc <= xkb_->max_key_code; ++kc) {
        if (baseKeysym(kc) != sym) continue;
        const unsigned mods = modmap(kc) != 0 ? modmap(kc) : fallbackMods;
        if (mods == 0) continue;
        modifierKeys_.push_back({static_cast<KeyCode>(kc), mods});
        return true;
      }
      return false;
    };
    if (!add(XK_Shift_L, ShiftMask)) add(XK_Shift_R, ShiftMask);
    add(XK_ISO_Level3_Shift, Mod5Mask);
    add(XK_ISO_Level5_Shift, 0);
  }

  // The key's own group for an effective group, following its rule for
  // groups it does not have; -1 for a key without symbols.
  int keyGroup(int kc, int group) const {
    const int count = XkbKeyNumGroups(xkb_, kc);
    if (count <= 0) return -1;
    if (group < count) return group;
    const unsigned char info = XkbKeyGroupInfo(xkb_, kc);
    switch (XkbOutOfRangeGroupAction(info)) {
      case XkbClampIntoRange:
        return count - 1;
      case XkbRedirectIntoRange: {
        const int target = XkbOutOfRangeGroupNumber(info);
        return target < count ? target : 0;
      }
      default:
        return group % count;
    }
  }

  // The fewest modifier keys to hold so that the key's type picks `level`.
  std::optional<std::vector<KeyCode>> modifiersForLevel(int kc, int kg, int level,
                                                        unsigned activeMods) const {
    const XkbKeyTypePtr type = XkbKeyKeyType(xkb_, kc, kg);
    const std::size_t n = modifierKeys_.size();
    std::optional<std::vector<KeyCode>> best;
    for (unsigned subset = 0; subset < (1u << n); ++subset) {
      unsigned mods = activeMods;
      std::vector<KeyCode> keys;
      for (std::size_t i = 0; i < n; ++i) {
        if (subset & (1u << i)) {
          mods |= modifierKeys_[i].mods;
          keys.push_back(modifierKeys_[i].key);
        }
      }
      if (levelFor(type, mods) != level) continue;
      if (!best || keys.size() < best->size()) best = std::move(keys);
    }
    return best;
  }

  static int levelFor(XkbKeyTypePtr type, unsigned mods) {
    const unsigned relevant = mods & type->mods.mask;
    for (int i = 0; i < type->map_count; ++i) {
      const XkbKTMapEntryRec& entry = type->map[i];
      if (entry.active && entry.mods.mask == relevant) return entry.level;
    }
    return 0;
  }

  XkbDescPtr xkb_;
  int groups_ = 0;
  std::vector<ModifierKey> modifierKeys_;
};

// ---------------------------------------------------------------------------

class X11KeystrokeOutput final : public KeystrokeOutput {
 public:
  // The display connection, the extension checks and the worker wait for the
  // first question or request: starting the program needs none of them.
  X11KeystrokeOutput() {
    // The worker talks to the server while the GUI thread uses Xlib too.
    XInitThreads();
  }

  ~X11KeystrokeOutput() override {
    if (!opened_ || display_ == nullptr) return;
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      queue_.clear();
    }
    wake_.notify_all();
    worker_.join();
    unregisterOwnDisplay(display_);
    XCloseDisplay(display_);
  }

  bool available() const override {
    open();
    return display_ != nullptr;
  }
  std::string unavailableReason() const override {
    open();
    return reason_;
  }

  void type(const std::u32string& text, bool enter) override {
    open();
    if (display_ == nullptr) return;
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      queue_.push_back({text, enter});
    }
    wake_.notify_all();
  }

  void flush() override {
    if (!opened_ || display_ == nullptr) return;  // nothing was ever requested
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return stopping_ || (queue_.empty() && !busy_); });
  }

 private:
  struct Request {
    std::u32string text;
    bool enter = false;
  };

  // Opens the display and checks for XTest and XKB once; starts the worker
  // when both are there. Called from the thread that makes the requests.
  void open() const {
    if (opened_) return;
    opened_ = true;
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) {
      reason_ = kNoDisplayReason;
      return;
    }
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display_, &event, &error, &major, &minor)) {
      reason_ = kNoXTestReason;
    } else {
      int opcode = 0;
      major = XkbMajorVersion;
      minor = XkbMinorVersion;
      if (!XkbQueryExtension(display_, &opcode, &event, &error, &major, &minor)) {
        reason_ = kNoXkbReason;
      }
    }
    if (!reason_.empty()) {
      XCloseDisplay(display_);
      display_ = nullptr;
      return;
    }
    registerOwnDisplay(display_);
    auto* self = const_cast<X11KeystrokeOutput*>(this);
    worker_ = std::thread([self] { self->run(); });
  }

  void run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) break;
      Request request = std::move(queue_.front());
      queue_.pop_front();
      busy_ = true;
      lock.unlock();
      typeRequest(request);
      lock.lock();
      busy_ = false;
      idle_.notify_all();
    }
    busy_ = false;
    idle_.notify_all();
  }

  bool stopping() {
    std::lock_guard lock(mutex_);
    return stopping_;
  }

  // Sleeps for `duration`, or less when the output is being destroyed;
  // false then.
  bool pause(Millis duration) {
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, duration, [this] { return stopping_; });
  }

  void typeRequest(const Request& request) {
    std::vector<Target> targets;
    for (char32_t c : request.text) {
      if (isTypable(c)) targets.push_back({c, c <= 0xff ? KeySym{c} : kUnicodeKeysymBase | c});
    }
    if (request.enter) targets.push_back({0, XK_Return});
    if (targets.empty()) return;

    Keymap keymap(display_);
    XkbStateRec state{};
    if (!keymap.valid() || XkbGetState(display_, XkbUseCoreKbd, &state) != Success) return;

    // Plan every keystroke up front. Stay in the group typed in last so that
    // a run of characters from one layout does not flip groups each time.
    // Modifiers in effect (Num Lock, a Shift held down) count; Caps Lock is
    // released below. A character whose level they rule out goes to a spare
    // keycode, where every level has it.
    const unsigned activeMods = state.mods & ~static_cast<unsigned>(LockMask);
    const int operatorGroup = state.group;
    std::vector<std::optional<Stroke>> strokes;
    int current = operatorGroup;
    for (const Target& target : targets) {
      std::optional<Stroke> stroke = keymap.find(target, current, activeMods);
      if (!stroke && current != operatorGroup) {
        stroke = keymap.find(target, operatorGroup, activeMods);
      }
      for (int g = 0; !stroke && g < keymap.groups(); ++g) {
        if (g != current && g != operatorGroup) stroke = keymap.find(target, g, activeMods);
      }
      if (stroke) current = stroke->group;
      strokes.push_back(std::move(stroke));
    }

    const bool capsLocked = (state.locked_mods & LockMask) != 0;
    if (capsLocked) XkbLockModifiers(display_, XkbUseCoreKbd, LockMask, 0);
    int effectiveGroup = operatorGroup;
    const auto enterGroup = [&](int group) {
      if (group < 0 || group == effectiveGroup || keymap.groups() <= 0) return;
      // The effective group adds base, latched and locked groups.
      const int n = keymap.groups();
      const int lock = ((group - state.base_group - state.latched_group) % n + n) % n;
      XkbLockGroup(display_, XkbUseCoreKbd, static_cast<unsigned>(lock));
      effectiveGroup = group;
    };

    const std::vector<KeyCode> spares = keymap.spareKeycodes();
    bool stop = false;
    std::size_t i = 0;
    while (i < targets.size() && !stop) {
      // One round: characters up to the first missing one that no spare
      // keycode is left for. Missing characters share the round's spares.
      std::map<KeySym, KeyCode> spareOf;
      std::size_t end = i;
      for (; end < targets.size(); ++end) {
        if (strokes[end] || spares.empty()) continue;
        const KeySym sym = targets[end].spareKeysym();
        if (spareOf.count(sym) != 0) continue;
        if (spareOf.size() == spares.size()) break;
        spareOf.emplace(sym, spares[spareOf.size()]);
      }
      for (const auto& [sym, key] : spareOf) {
        KeySym syms[2] = {sym, sym};  // both levels, so Shift or case rules change nothing
        XChangeKeyboardMapping(display_, key, 2, syms, 1);
      }
      XSync(display_, False);
      if (!spareOf.empty()) stop = !pause(kSpareSettle);

      for (; i < end && !stop; ++i) {
        if (!strokes[i] && spares.empty()) continue;  // nowhere to put it: skipped
        Stroke stroke;
        if (strokes[i]) {
          stroke = *strokes[i];
        } else {
          stroke.key = spareOf.at(targets[i].spareKeysym());
        }
        enterGroup(stroke.group);
        XSync(display_, False);  // state changes first, then the keys
        press(stroke);
        if (i + 1 < targets.size()) stop = !pause(kCharPause);
      }
      i = end;

      if (!spareOf.empty()) {
        // Let the clients translate the keys before the keycodes go empty.
        std::this_thread::sleep_for(kSpareHold);
        KeySym empty = NoSymbol;
        for (const auto& entry : spareOf) {
          XChangeKeyboardMapping(display_, entry.second, 1, &empty, 1);
        }
      }
      stop = stop || stopping();
    }

    if (effectiveGroup != operatorGroup) {
      XkbLockGroup(display_, XkbUseCoreKbd, static_cast<unsigned>(state.locked_group));
    }
    if (capsLocked) XkbLockModifiers(display_, XkbUseCoreKbd, LockMask, LockMask);
    XSync(display_, False);
  }

  void press(const Stroke& stroke) {
    for (KeyCode key : stroke.modifiers) XTestFakeKeyEvent(display_, key, True, CurrentTime);
    XTestFakeKeyEvent(display_, stroke.key, True, CurrentTime);
    XTestFakeKeyEvent(display_, stroke.key, False, CurrentTime);
    for (auto it = stroke.modifiers.rbegin(); it != stroke.modifiers.rend(); ++it) {
      XTestFakeKeyEvent(display_, *it, False, CurrentTime);
    }
    XSync(display_, False);
  }

  mutable bool opened_ = false;
  mutable Display* display_ = nullptr;
  mutable std::string reason_;
  std::mutex mutex_;
  std::condition_variable wake_;  // the worker: a request came, or stop
  std::condition_variable idle_;  // flush(): the queue ran dry
  std::deque<Request> queue_;
  bool busy_ = false;
  bool stopping_ = false;
  mutable std::thread worker_;
};

}  // namespace

std::unique_ptr<KeystrokeOutput> makeSystemKeystrokeOutput() {
  return std::make_unique<X11KeystrokeOutput>();
}

}  // namespace terva::ident
