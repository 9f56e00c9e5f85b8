#include "config/config_editor.h"

#include "protocol/operator.h"

namespace terva::config {

ConfigEditor::ConfigEditor() {
  config_ = ReaderConfig{};
  config_.wiegandType = 0;
  config_.readingMode = 0;
  config_.bitShift = 0;
  config_.pulseTenths = kPulseTenthsMin;
  config_.significantBits = kMaxIdBits;
  config_.maxIdBits = kMaxIdBits;
  config::FillCardFormat(config_);
  config::FillRazr(config_);
}

void ConfigEditor::ComboBox4Change(int mode) { config::ComboBox4Change(config_, mode); }

void ConfigEditor::toggleCardFormat(int index) { config::toggleCardFormat(config_, index, loading_); }

void ConfigEditor::ComboBox2Change(bool userWidth) { config::ComboBox2Change(config_, userWidth); }

void ConfigEditor::ComboBox3Change(int wiegandType) { config::ComboBox3Change(config_, wiegandType); }

void ConfigEditor::SpinEdit1Change(int width) { config::SpinEdit1Change(config_, width); }

void ConfigEditor::SpinEdit2Change(int blockNumber) { config::SpinEdit2Change(config_, blockNumber); }

void ConfigEditor::SpinEdit3Change(int bitShift) { config::SpinEdit3Change(config_, bitShift, loading_); }

void ConfigEditor::SpinEdit4Change(int significantBits) {
  config::SpinEdit4Change(config_, significantBits, loading_);
}

void ConfigEditor::SpinEdit5Change(int blockOffset) { config::SpinEdit5Change(config_, blockOffset, loading_); }

void ConfigEditor::SpinEdit6Change(int blockByteCount) {
  config::SpinEdit6Change(config_, blockByteCount, loading_);
}

void ConfigEditor::setReverseByteOrder(bool reversed) { config_.reverseByteOrder = reversed; }

void ConfigEditor::setBlockAccessCode(std::string_view text) { config_.blockAccessCode = cleanAccessCode(text); }

void ConfigEditor::fillAccessCode() { config_.blockAccessCode = filledAccessCode(config_.blockAccessCode); }

void ConfigEditor::setPulseSeconds(double seconds) { config::setPulseSeconds(config_, seconds); }

void ConfigEditor::setZoneTicked(int zone, bool ticked) { config::setZoneTicked(config_.zoneMask, zone, ticked); }

void ConfigEditor::setZoneMask(std::uint64_t mask) { config_.zoneMask = mask; }

bool ConfigEditor::color1Click(Led which, ColourDialog& dialog) {
  const auto picked = dialog.pickColour(toColorRef(ledColour(config_, which)));
  if (!picked) return false;
  setPickedColour(config_, which, fromColorRef(*picked));
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
  return true;
}

}  // namespace terva::config
