#include "app/ui/program.h"

#include <QCheckBox>
#include <QTabWidget>

#include "app/inifile.h"
#include "app/shell_settings.h"
#include "app/ui/tform1.h"
#include "ident/keyboard.h"
#include "ident/ui/reading_page.h"
#include "ident/ui/template_editor.h"

namespace terva::app {

namespace {
QString u8(const char* text) { return QString::fromUtf8(text); }
}  // namespace

Program::Program(ProgramServices services)
    : services_(std::move(services)),
      session_(*services_.clock),
      connection_(session_, *services_.prompts, *services_.clock, services_.listPorts, services_.commandLinePort),
      window_(std::make_unique<TForm1>(connection_)),
      Timer3(services_.clock->createTimer()) {
  if (!services_.templateEditor) {
    editor_ = std::make_unique<ident::TemplateEditorDialog>(window_.get());
    services_.templateEditor = editor_.get();
  }
  ident::ReadingPageServices rs;
  rs.session = &session_;
  rs.prompts = services_.prompts;
  rs.clipboard = services_.clipboard;
  rs.keyboard = services_.keyboard;
  rs.templateEditor = services_.templateEditor;
  rs.mainWindowActive = [this] { return window_->isActiveWindow(); };
  reading_ = new ident::ReadingPage(std::move(rs));
  window_->addPage(reading_, u8("Чтение"));
  auto* tab2 = new QWidget;
  tab2->setObjectName("TabSheet2");
  window_->addPage(tab2, u8("Конфигурация"));
  auto* tab3 = new QWidget;
  tab3->setObjectName("TabSheet3");
  window_->addPage(tab3, u8("Защищенные карты"));

  Timer3->onTimeout = [this] {
    Timer3->stop();
    window_->showMinimized();
  };
  connect(window_.get(), &TForm1::firstShown, this, &Program::firstShowStep);
  connect(window_.get(), &TForm1::closing, this, &Program::closeStep);
}

Program::~Program() {
  // The window's pages hold on to the session: they go first.
  window_.reset();
}

void Program::firstShowStep() {
  reading_->setFirstShow(true);
  connection_.FillDeviceList();
  const IniFile ini(services_.settingsFile);
  // Each key is applied as it is read; an error ends the reading and leaves
  // the keys not yet read in their design state.
  try {
    const std::string port = ini.read(kSettingsSection, "port", "");
    if (!port.empty() && services_.commandLinePort.empty()) connection_.selectByName(port);
    const int mode = viewModeFromSetting(ini.read(kSettingsSection, "viewmode", "1"));
    reading_->restoreViewMode(mode, mode == 3 ? ini.read(kSettingsSection, "template", "") : std::string());
    ident::DeliveryOptions d;
    d.toClipboard = flagOn(ini.read(kSettingsSection, "tobuffer", "0"));
    d.toKeyboard = flagOn(ini.read(kSettingsSection, "tokeyboard", "0"));
    d.enterAfter = flagOn(ini.read(kSettingsSection, "crlf", "0"));
    reading_->setDelivery(d);
    debugmode_ = flagOn(ini.read(kSettingsSection, "debugmode", "0"));
    if (flagOn(ini.read(kSettingsSection, "autoconnect", "0"))) {
      reading_->autoConnectOption()->setChecked(true);
      connection_.connectLater(Millis(500));
    }
    if (flagOn(ini.read(kSettingsSection, "totray", "0"))) {
      reading_->startInTrayOption()->setChecked(true);
      Timer3->start(Millis(10));
    }
  } catch (...) {
  }
  if (services_.connectAtStart) connection_.connectLater(Millis(500));
  reading_->setFirstShow(false);
}

void Program::closeStep() {
  IniFile ini(services_.settingsFile);
  try {
    ini.write(kSettingsSection, "viewmode", std::to_string(reading_->display().viewMode()));
    ini.write(kSettingsSection, "template", reading_->display().templateToSave());
    if (connection_.selected() >= 0) ini.write(kSettingsSection, "port", connection_.selectedName());
    const ident::DeliveryOptions d = reading_->delivery();
    ini.write(kSettingsSection, "tobuffer", flagText(d.toClipboard));
    ini.write(kSettingsSection, "tokeyboard", flagText(d.toKeyboard));
    ini.write(kSettingsSection, "crlf", flagText(d.enterAfter));
    ini.write(kSettingsSection, "totray", flagText(reading_->startInTrayOption()->isChecked()));
    ini.write(kSettingsSection, "autoconnect", flagText(reading_->autoConnectOption()->isChecked()));
  } catch (...) {
    // An unwritable settings file costs the operator's choices, nothing else.
  }
  Timer3->stop();
  connection_.Disconnect();
  if (services_.keyboard) services_.keyboard->flush();
}

}  // namespace terva::app
