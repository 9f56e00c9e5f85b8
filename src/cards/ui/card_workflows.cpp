#include "cards/ui/card_workflows.h"

#include "cards/ui/card_dialogs.h"
#include "config/config_editor.h"
#include "config/config_record.h"
#include "protocol/commands.h"
#include "protocol/hextext.h"
#include "protocol/results.h"

namespace terva::cards {

namespace {
std::string str(std::string_view s) { return std::string(s); }
// Characters of the option item that the count buttons of TForm2 append.
constexpr std::size_t kOptionItemChars = 6;
}  // namespace

std::string masterCardNumberText(std::string_view item01) {
  if (item01.size() != 4) return {};
  const auto index = hextoint(item01.substr(0, 2));
  const auto count = hextoint(item01.substr(2, 2));
  return " №" + std::to_string(index + 1) + " из " + std::to_string(count);
}

std::string masterCardType(int readingMode, int selectedFormatRow) {
  switch (readingMode) {
    case 0: return {};
    case 1: return selectedFormatRow == 0 ? "MifareClassic " : "MifarePLUS ";
    default: return "MifarePLUS ";  // mode 2; mode 3 offers Mifare Plus cards only
  }
}

MasterCardWorkflows::MasterCardWorkflows(CardDialogs& dialogs, config::ConfigEditor& editor)
    : dialogs_(dialogs), editor_(editor) {}

void MasterCardWorkflows::changed() {
  if (configChanged_) configChanged_();
}

void MasterCardWorkflows::createMasterCards() {
  CardDialogs::Operation op(dialogs_);
  if (!op) return;
  editor_.fillAccessCode();
  changed();
  const config::ReaderConfig& c = editor_.config();
  // TForm2 holds "0102" + record and adds the option item when it sends.
  std::string payload = commands::masterCardConfiguration(config::BuildConfigRecord(c), false);
  payload.resize(payload.size() - kOptionItemChars);
  const int row = selectedFormatRow_ ? selectedFormatRow_() : -1;
  dialogs_.runForm2(masterCardType(c.readingMode, row), payload, c.readingMode > 0);
  dialogs_.send(commands::cardReadingMode());
}

void MasterCardWorkflows::clearMasterCards() {
  CardDialogs::Operation op(dialogs_);
  if (!op) return;
  if (!dialogs_.prompts().ask(str(texts::kClearMastersTitle), str(texts::kClearMastersQuestion))) return;
  const std::uint8_t r = dialogs_.send(commands::clearMasterCards());
  if (r != kResultOk) {
    dialogs_.prompts().error(errtotext(r));
  } else {
    dialogs_.runForm4(str(texts::kClearMastersDialogTitle), str(texts::kClearMastersInstruction),
                      str(texts::kClearMastersButton));
  }
  dialogs_.send(commands::cardReadingMode());
}

void MasterCardWorkflows::readFromMasterCard() {
  CardDialogs::Operation op(dialogs_);
  if (!op) return;
  Prompts& prompts = dialogs_.prompts();
  const std::uint8_t r = dialogs_.send(commands::readMasterCardConfiguration());
  if (r != kResultOk) {
    prompts.error(errtotext(r));
    dialogs_.send(commands::cardReadingMode());
    return;
  }
  const std::string resstr = dialogs_.runForm8();
  if (resstr.size() < texts::kShortestMasterRecord) {
    prompts.error(str(texts::kReadMasterFailed));
    dialogs_.send(commands::cardReadingMode());
    return;
  }
  const config::ConfigItems items = config::ParseConfigItems(resstr);
  const bool applied = editor_.ApplyConfigRecord(items);
  changed();
  if (!applied) {
    prompts.error(str(config::kApplyFailedText));
  } else {
    const std::string caption = str(texts::kReadMasterCaption) + masterCardNumberText(items[config::kTagMasterIndex]);
    const config::ChecksumDisplay d = config::checksumDisplay(items, editor_.config().readingMode, caption);
    if (d.kind == config::ChecksumDisplay::Kind::InputBox) {
      prompts.inputBox(d.caption, d.prompt, d.value);
    } else if (d.kind == config::ChecksumDisplay::Kind::Message) {
      prompts.message(d.caption);
    }
  }
  dialogs_.send(commands::cardReadingMode());
}

void MasterCardWorkflows::copyMasterCardToReader() {
  CardDialogs::Operation op(dialogs_);
  if (!op) return;
  if (editor_.config().readingMode == 1 &&
      !dialogs_.prompts().ask(str(texts::kCopyQuestionTitle), str(texts::kCopyQuestion))) {
    return;
  }
  const std::uint8_t r = dialogs_.send(commands::copyMasterCardConfiguration());
  if (r != kResultOk) {
    dialogs_.send(commands::cardReadingMode());
    dialogs_.prompts().error(errtotext(r));
    return;
  }
  const ModalResult result = dialogs_.runForm3(str(texts::kCopyDialogTitle), str(texts::kCopyInstruction));
  dialogs_.send(commands::cardReadingMode());
  if (result == ModalResult::Yes) {
    dialogs_.prompts().message(kDoneText);
  } else {
    dialogs_.prompts().error(str(texts::kCopyFailed));
  }
}

void ProtectedCardWorkflows::withMasterCard(const std::string& command, const Texts& t) {
  CardDialogs::Operation op(dialogs_);
  if (!op) return;
  if (!dialogs_.prompts().ask(str(texts::kProtectedTitle), str(t.question))) return;
  const std::uint8_t r = dialogs_.send(command);
  if (r != kResultOk) {
    dialogs_.send(commands::cardReadingMode());
    dialogs_.prompts().error(errtotext(r));
    return;
  }
  const ModalResult result = dialogs_.runForm5(str(t.title), str(t.counter), str(t.button));
  dialogs_.send(commands::cardReadingMode());
  // Only a master card that did not come in time is reported; the finish
  // button and a closed dialog end quietly.
  if (result == ModalResult::No) dialogs_.prompts().error(str(t.timedOut));
}

void ProtectedCardWorkflows::createProtectedCards() {
  withMasterCard(commands::createProtectedCards(), {texts::kCreateQuestion, texts::kCreateDialogTitle,
                                                    texts::kCreateCounter, texts::kCreateButton,
                                                    texts::kCreateTimedOut});
}

void ProtectedCardWorkflows::clearProtectedCards() {
  withMasterCard(commands::clearProtectedCards(), {texts::kClearQuestion, texts::kClearDialogTitle,
                                                   texts::kClearCounter, texts::kClearButton,
                                                   texts::kClearTimedOut});
}

void ProtectedCardWorkflows::clearAllProtectedCards() {
  CardDialogs::Operation op(dialogs_);
  if (!op) return;
  if (!dialogs_.prompts().ask(str(texts::kProtectedTitle), str(texts::kClearAllQuestion))) return;
  const std::uint8_t r = dialogs_.send(commands::clearAllProtectedCards());
  if (r != kResultOk) {
    dialogs_.send(commands::cardReadingMode());
    dialogs_.prompts().error(errtotext(r));
    return;
  }
  dialogs_.runForm4(str(texts::kClearDialogTitle), str(texts::kClearAllInstruction), str(texts::kClearAllButton));
  dialogs_.send(commands::cardReadingMode());
}

}  // namespace terva::cards
