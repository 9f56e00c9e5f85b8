#include "config/ui/config_workflows.h"

#include <QString>

#include "config/card_wait.h"
#include "config/config_editor.h"
#include "config/config_file.h"
#include "config/config_record.h"
#include "config/reader_exchange.h"
#include "protocol/commands.h"
#include "protocol/operator.h"
#include "protocol/results.h"
#include "protocol/session.h"

namespace terva::config {

namespace {

FileFilter configFileFilter() { return {std::string(kConfigFileDescription), std::string(kConfigFilePattern)}; }

// Marks a workflow as running for its whole length.
class Running {
 public:
  explicit Running(bool& flag) : flag_(flag) { flag_ = true; }
  ~Running() { flag_ = false; }
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;

 private:
  bool& flag_;
};

}  // namespace

ConfigWorkflows::ConfigWorkflows(ReaderSession& session, ConfigEditor& editor, Prompts& prompts, FileDialogs& files,
                                 ObjectCodeCardWait* objectCodeWait)
    : session_(session), editor_(editor), prompts_(prompts), files_(files), objectCodeWait_(objectCodeWait) {}

std::optional<std::uint8_t> ConfigWorkflows::send(std::string_view payload) {
  try {
    return session_.SendToComPort(payload);
  } catch (const SessionError& e) {
    prompts_.error(e.what());
    return std::nullopt;
  }
}

void ConfigWorkflows::backToCardReading() {
  // Its result is not examined, and a refused write has nothing left to report.
  try {
    session_.SendToComPort(commands::cardReadingMode());
  } catch (const SessionError&) {
  }
}

void ConfigWorkflows::Button2Click() {
  if (running_) return;
  Running run(running_);
  // The field shows the code as it is sent, also when the operator declines.
  editor_.fillAccessCode();
  const ReaderConfig config = editor_.config();
  const bool protectedMode = needsObjectCodeMasterCard(config.readingMode);
  if (protectedMode && !prompts_.ask(std::string(kConfigCaption), std::string(kMasterCardQuestion))) return;

  const auto code = send(writeConfigPayload(config));
  if (code && *code != kResultOk) {
    prompts_.error(errtotext(*code));
  } else if (code && protectedMode) {
    // The reader now waits for the master card that holds the object code.
    session_.answer().reset();
    const CardWaitResult r = objectCodeWait_ ? objectCodeWait_->waitForObjectCodeCard() : CardWaitResult::Closed;
    if (r == CardWaitResult::Presented)
      prompts_.message(kDoneText);
    else
      prompts_.error(std::string(kObjectCodeNotWrittenText));
  } else if (code) {
    prompts_.message(kDoneText);
  }
  backToCardReading();
}

void ConfigWorkflows::Button18Click() {
  if (running_) return;
  Running run(running_);
  // Only the body left in the reply record counts, whatever the result.
  if (!send(commands::readConfiguration())) return;
  const std::string body = session_.answer().body;
  session_.answer().reset();
  const auto items = parseConfigReply(body);
  if (!items) {
    prompts_.error(std::string(kReadConfigFailedText));
    return;
  }
  if (!editor_.ApplyConfigRecord(*items)) {
    prompts_.error(std::string(kApplyFailedText));
    return;
  }
  const ChecksumDisplay d = checksumDisplay(*items, editor_.config().readingMode, kReadFromReaderCaption);
  switch (d.kind) {
    case ChecksumDisplay::Kind::InputBox:
      prompts_.inputBox(d.caption, d.prompt, d.value);
      break;
    case ChecksumDisplay::Kind::Message:
      prompts_.message(d.caption);
      break;
    case ChecksumDisplay::Kind::None:
      break;
  }
}

void ConfigWorkflows::Button12Click() {
  if (running_) return;
  Running run(running_);
  if (!send(commands::readFirmwareVersion())) return;
  const std::string body = session_.answer().body;
  session_.answer().reset();
  if (const auto version = parseVersionReply(body))
    prompts_.message(versionText(*version));
  else
    prompts_.error(std::string(kVersionFailedText));
}

void ConfigWorkflows::Button3Click() {
  if (running_) return;
  Running run(running_);
  const auto path = files_.saveFileName(configFileFilter(), {}, std::string(kConfigFileSuffix));
  if (!path) return;
  editor_.fillAccessCode();
  const QByteArray bytes = buildConfigFile(BuildConfigRecord(editor_.config()));
  if (const auto error = writeConfigFile(QString::fromStdString(*path), bytes)) {
    prompts_.error(*error);
    return;
  }
  prompts_.message(kDoneText);
}

void ConfigWorkflows::Button1Click() {
  if (running_) return;
  Running run(running_);
  const auto path = files_.openFileName(configFileFilter(), {});
  if (!path) return;
  const ConfigFileContents file = readConfigFile(QString::fromStdString(*path));
  if (file.error) {
    prompts_.error(*file.error);
    return;
  }
  if (!editor_.ApplyConfigRecord(ParseConfigItems(file.recordHex))) {
    prompts_.error(std::string(kApplyFailedText));
    return;
  }
  prompts_.message(std::string(kReadFromFileText));
}

}  // namespace terva::config
