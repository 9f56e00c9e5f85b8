#include "app/ui/program.h"

#include <QCheckBox>
#include <QTabWidget>

#include "app/shell_settings.h"
#include "app/ui/tform1.h"
#include "cards/ui/card_boxes.h"
#include "cards/ui/card_dialogs.h"
#include "cards/ui/card_workflows.h"
#include "cards/ui/protected_cards_page.h"
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
  if (!services_.cardBoxes) {
    qtCardBoxes_ = std::make_unique<cards::QtCardBoxes>(window_.get());
    services_.cardBoxes = qtCardBoxes_.get();
  }
  cardDialogs_ = std::make_unique<cards::CardDialogs>(session_, *services_.clock, *services_.prompts,
                                                      *services_.cardBoxes, [this] { return debugmode_; },
                                                      window_.get());
  masterCards_ = std::make_unique<cards::MasterCardWorkflows>(*cardDialogs_, configEditor_);
  protectedCards_ = std::make_unique<cards::ProtectedCardWorkflows>(*cardDialogs_);
  // Hook for the page "Конфигурация": its master-card buttons call masterCards(),
  // it refreshes through setConfigChanged and names its selected format row
  // through setSelectedFormatRow, and it waits for the object-code card
  // through cardDialogs() (config::ObjectCodeCardWait).

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
  window_->addPage(new cards::ProtectedCardsPage(*protectedCards_), u8("Защищенные карты"));

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
  const ShellSettings saved = readShellSettings(services_.settingsFile);
  if (saved.port && services_.commandLinePort.empty()) connection_.selectByName(*saved.port);
  reading_->restoreViewMode(static_cast<int>(saved.viewMode), saved.templ);
  reading_->setDelivery({saved.tobuffer, saved.tokeyboard, saved.crlf});
  debugmode_ = saved.debugmode;
  reading_->autoConnectOption()->setChecked(saved.autoconnect);
  if (saved.autoconnect || services_.connectAtStart) connection_.connectLater(Millis(500));
  reading_->startInTrayOption()->setChecked(saved.totray);
  if (saved.totray) Timer3->start(Millis(10));
  reading_->setFirstShow(false);
}

ShellSettings Program::currentSettings() const {
  ShellSettings s;
  if (connection_.selected() >= 0) s.port = connection_.selectedName();
  s.viewMode = static_cast<ident::ViewMode>(reading_->display().viewMode());
  s.templ = reading_->display().templateToSave();
  const ident::DeliveryOptions d = reading_->delivery();
  s.tobuffer = d.toClipboard;
  s.tokeyboard = d.toKeyboard;
  s.crlf = d.enterAfter;
  s.autoconnect = reading_->autoConnectOption()->isChecked();
  s.totray = reading_->startInTrayOption()->isChecked();
  return s;
}

void Program::closeStep() {
  // An unwritable settings file costs the operator's choices, nothing else.
  writeShellSettings(services_.settingsFile, currentSettings());
  Timer3->stop();
  connection_.Disconnect();
  if (services_.keyboard) services_.keyboard->flush();
}

}  // namespace terva::app
