#include "config/config_editor.h"

#include "protocol/operator.h"

namespace terva::config {

ConfigEditor::ConfigEditor() { applyPageDefaults(); }

int ConfigEditor::addListener(Listener listener) {
  const int id = nextListener_++;
  listeners_.emplace_back(id, std::move(listener));
  return id;
}

void ConfigEditor::removeListener(int id) {
  std::erase_if(listeners_, [id](const auto& l) { return l.first == id; });
}

void ConfigEditor::changed() {
  // A copy: a listener may add or remove listeners.
  const auto listeners = listeners_;
  for (const auto& l : listeners) l.second();
}

void ConfigEditor::replace(const ReaderConfig& c) {
  config_ = c;
  changed();
}

void ConfigEditor::applyPageDefaults() {
  config_.wiegandType = 0;
  config_.readingMode = 0;
  config_.bitShift = 0;
  config_.pulseTenths = kPulseTenthsMin;
  config_.significantBits = kMaxIdBits;
  config_.maxIdBits = kMaxIdBits;
  config::FillCardFormat(config_);
  config::FillRazr(config_);
  changed();
}

void ConfigEditor::ComboBox4Change(int mode) {
  config::ComboBox4Change(config_, mode);
  changed();
}

void ConfigEditor::toggleCardFormat(int index) {
  config::toggleCardFormat(config_, index, loading_);
  changed();
}

void ConfigEditor::ComboBox2Change(bool userWidth) {
  config::ComboBox2Change(config_, userWidth);
  changed();
}

void ConfigEditor::ComboBox3Change(int wiegandType) {
  config::ComboBox3Change(config_, wiegandType);
  changed();
}

void ConfigEditor::SpinEdit1Change(int width) {
  config::SpinEdit1Change(config_, width);
  changed();
}

void ConfigEditor::SpinEdit2Change(int blockNumber) {
  config::SpinEdit2Change(config_, blockNumber);
  changed();
}

void ConfigEditor::SpinEdit3Change(int bitShift) {
  config::SpinEdit3Change(config_, bitShift, loading_);
  changed();
}

void ConfigEditor::SpinEdit4Change(int significantBits) {
  config::SpinEdit4Change(config_, significantBits, loading_);
  changed();
}

void ConfigEditor::SpinEdit5Change(int blockOffset) {
  config::SpinEdit5Change(config_, blockOffset, loading_);
  changed();
}

void ConfigEditor::SpinEdit6Change(int blockByteCount) {
  config::SpinEdit6Change(config_, blockByteCount, loading_);
  changed();
}

void ConfigEditor::setReverseByteOrder(bool reversed) {
  config_.reverseByteOrder = reversed;
  changed();
}

void ConfigEditor::setBlockAccessCode(std::string_view text) {
  config_.blockAccessCode = cleanAccessCode(text);
  changed();
}

void ConfigEditor::fillAccessCode() {
  config_.blockAccessCode = filledAccessCode(config_.blockAccessCode);
  changed();
}

void ConfigEditor::setPulseSeconds(double seconds) {
  config::setPulseSeconds(config_, seconds);
  changed();
}

void ConfigEditor::setZoneTicked(int zone, bool ticked) {
  config::setZoneTicked(config_.zoneMask, zone, ticked);
  changed();
}

void ConfigEditor::setZoneMask(std::uint64_t mask) {
  config_.zoneMask = mask;
  changed();
}

bool ConfigEditor::color1Click(Led which, ColourDialog& dialog) {
  const auto picked = dialog.pickColour(toColorRef(ledColour(config_, which)));
  if (!picked) return false;
  setPickedColour(config_, which, fromColorRef(*picked));
  changed();
  return true;
}

bool ConfigEditor::ApplyConfigRecord(const ConfigItems& items) {
  std::optional<ReaderConfig> decoded;
  {
    Loading guard(*this);
    decoded = decodeConfigRecord(config_, items);
  }
  if (!decoded) return false;
  config_ = *decoded;
  changed();
  return true;
}

}  // namespace terva::config
