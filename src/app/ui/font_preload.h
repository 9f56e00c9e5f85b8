#pragma once
// Loading the system's font configuration takes a few milliseconds, and the
// first window cannot measure a single caption before it is done. A
// FontPreload loads it on another processor core while the application object,
// the single-instance check and the window's controls get ready; finish()
// waits for it and is called before the first text is measured (a measurement
// before that would load the configuration a second time, in parallel).
// Without a second core, or where the platform has nothing to preload, it does
// nothing and the toolkit loads the configuration itself when first needed.
// The backend is font_preload_<platform>.cpp.
#include <memory>

namespace terva::app {

class FontPreload {
 public:
  FontPreload();   // starts the load
  ~FontPreload();  // finishes it, if not done yet
  FontPreload(const FontPreload&) = delete;
  FontPreload& operator=(const FontPreload&) = delete;

  // Waits until the configuration is loaded. Safe to call more than once.
  void finish();

 private:
  struct Worker;
  std::unique_ptr<Worker> worker_;
};

}  // namespace terva::app
