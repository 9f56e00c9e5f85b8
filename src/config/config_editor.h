#pragma once
// The configuration editor behind the page "Конфигурация": one ReaderConfig
// and the flag configLoading. Each handler of the page calls the method of
// the same name and then shows config() again; the page decides nothing.
#include "config/config_record.h"
#include "config/reader_config.h"

#include <functional>
#include <optional>
#include <vector>

namespace terva {
class ColourDialog;
}

namespace terva::config {

class ConfigEditor {
 public:
  // Start values, then FillCardFormat and FillRazr as at the first showing.
  ConfigEditor();

  const ReaderConfig& config() const { return config_; }

  // Told after every change of the configuration, whoever made it (the
  // page's controls, a load from a file, the reader or a master card), so a
  // page shows config() again. The id removes the listener.
  using Listener = std::function<void()>;
  int addListener(Listener listener);
  void removeListener(int id);

  // The page defaults of the first showing: Wiegand type 0, mode 0, shift 0,
  // the shortest pulse, 64 significant bits, maxIdBits 64, then
  // FillCardFormat and FillRazr. Every other field keeps its value.
  void applyPageDefaults();

  // Set while a decoded configuration enters the editor; the rules that are
  // skipped while loading then do nothing. A page that refreshes its
  // controls from config() may hold a Loading guard so the change signals
  // its controls emit meanwhile are ignored.
  bool configLoading() const { return loading_; }
  class Loading {
   public:
    explicit Loading(ConfigEditor& e) : e_(e), was_(e.loading_) { e_.loading_ = true; }
    ~Loading() { e_.loading_ = was_; }
    Loading(const Loading&) = delete;
    Loading& operator=(const Loading&) = delete;

   private:
    ConfigEditor& e_;
    bool was_;
  };

  // Handlers of the page's controls (see reader_config.h for the rules).
  void ComboBox4Change(int mode);
  void toggleCardFormat(int index);  // a click on a box of CheckListBox1
  void ComboBox2Change(bool userWidth);
  void ComboBox3Change(int wiegandType);
  void SpinEdit1Change(int width);
  void SpinEdit2Change(int blockNumber);
  void SpinEdit3Change(int bitShift);
  void SpinEdit4Change(int significantBits);
  void SpinEdit5Change(int blockOffset);
  void SpinEdit6Change(int blockByteCount);
  void setReverseByteOrder(bool reversed);
  // The access-code field's text (typing goes through Edit2KeyPress first).
  void setBlockAccessCode(std::string_view text);
  // Fills the access code on the left with "0" to 32 digits, as every use
  // of the configuration does first; the field then shows the filled text.
  void fillAccessCode();
  void setPulseSeconds(double seconds);
  void setZoneTicked(int zone, bool ticked);
  void setZoneMask(std::uint64_t mask);
  // A click on a colour panel: the dialog opens on the panel's colour; on
  // confirmation the reduced colour is taken. True when it changed.
  bool color1Click(Led which, ColourDialog& dialog);

  // Replaces the whole configuration with the decoded items in one step.
  // On failure (false) nothing has changed; the caller shows
  // kApplyFailedText. configLoading is clear again on every path.
  bool ApplyConfigRecord(const ConfigItems& items);

  // Replaces the configuration (e.g. by one decoded elsewhere).
  void replace(const ReaderConfig& c);

 private:
  void changed();

  ReaderConfig config_;
  bool loading_ = false;
  std::vector<std::pair<int, Listener>> listeners_;
  int nextListener_ = 1;
};

}  // namespace terva::config
