#include "app/ui/program.h"

#include <QCheckBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/shell_settings.h"
#include "app/ui/app_icon.h"
#include "app/ui/lazy_page.h"
#include "app/ui/services.h"
#include "app/ui/terminal_panel.h"
#include "app/ui/tform1.h"
#include "app/ui/tray_icon.h"
#include "cards/ui/card_dialogs.h"
#include "cards/ui/card_workflows.h"
#include "cards/ui/protected_cards_page.h"
#include "config/ui/config_page.h"
#include "config/ui/config_workflows.h"
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
  if (services_.beforeFirstLayout) services_.beforeFirstLayout();
  window_->addPage(reading_, u8("Чтение"));
  window_->setWindowIcon(programIcon());
  tray_ = std::make_unique<TrayIconBinding>(*window_, services_.trayAvailable);

  if (!services_.files) {
    ownFiles_ = std::make_unique<QtFileDialogs>(window_.get());
    services_.files = ownFiles_.get();
  }
  if (!services_.colours) {
    ownColours_ = std::make_unique<QtColourDialog>(window_.get());
    services_.colours = ownColours_.get();
  }
  // Names files live beside the settings file, wherever the working folder is.
  std::error_code ec;
  const auto settingsPath = std::filesystem::absolute(services_.settingsFile, ec);
  const QString settingsFolder =
      QString::fromStdString((ec ? services_.settingsFile : settingsPath).parent_path().string());
  // The page "Конфигурация" is built when it is first shown: the page control
  // is disabled until a reader is connected, so never at start-up.
  configHost_ = new LazyPage([this, settingsFolder] {
    auto* page = new config::ConfigPage(
        {&configEditor_, services_.prompts, services_.files, services_.colours, settingsFolder});
    connect(page, &config::ConfigPage::writeToReaderClicked, this, [this] { configFlows_->Button2Click(); });
    connect(page, &config::ConfigPage::readFromReaderClicked, this, [this] { configFlows_->Button18Click(); });
    connect(page, &config::ConfigPage::writeToFileClicked, this, [this] { configFlows_->Button3Click(); });
    connect(page, &config::ConfigPage::readFromFileClicked, this, [this] { configFlows_->Button1Click(); });
    connect(page, &config::ConfigPage::firmwareVersionClicked, this, [this] { configFlows_->Button12Click(); });
    connect(page, &config::ConfigPage::createMasterCardsClicked, this, [this] { masterCards_->createMasterCards(); });
    connect(page, &config::ConfigPage::clearMasterCardsClicked, this, [this] { masterCards_->clearMasterCards(); });
    connect(page, &config::ConfigPage::readMasterCardClicked, this, [this] { masterCards_->readFromMasterCard(); });
    connect(page, &config::ConfigPage::copyMasterCardClicked, this,
            [this] { masterCards_->copyMasterCardToReader(); });
    return page;
  });
  window_->addPage(configHost_, u8("Конфигурация"));
  cardDialogs_ = std::make_unique<cards::CardDialogs>(session_, *services_.clock, *services_.prompts,
                                                      [this] { return debugmode_; }, window_.get());
  if (!services_.objectCodeWait) services_.objectCodeWait = cardDialogs_.get();
  configFlows_ = std::make_unique<config::ConfigWorkflows>(session_, configEditor_, *services_.prompts,
                                                           *services_.files, services_.objectCodeWait);

  masterCards_ = std::make_unique<cards::MasterCardWorkflows>(*cardDialogs_, configEditor_);
  // A page not built yet shows the editor's configuration when it is, and has
  // no row selected.
  masterCards_->setConfigChanged([this] {
    if (configHost_->built()) configPage().refresh();
  });
  masterCards_->setSelectedFormatRow(
      [this] { return configHost_->built() ? configPage().selectedCardFormatRow() : -1; });

  protectedCards_ = std::make_unique<cards::ProtectedCardWorkflows>(*cardDialogs_);
  // Built when first shown too: measuring its wrapped bold heading was most of
  // the window's first show.
  window_->addPage(new LazyPage([this] { return new cards::ProtectedCardsPage(*protectedCards_); }),
                   u8("Защищенные карты"));

  Timer3->onTimeout = [this] {
    Timer3->stop();
    tray_->behaviour().minimise();
  };
  connect(window_.get(), &TForm1::minimised, tray_.get(), &TrayIconBinding::windowMinimised, Qt::QueuedConnection);
  connect(window_.get(), &TForm1::firstShown, this, &Program::firstShowStep);
  connect(window_.get(), &TForm1::closing, this, &Program::closeStep);
}

Program::~Program() {
  // The window's pages hold on to the session: they go first.
  tray_.reset();
  window_.reset();
}

config::ConfigPage& Program::configPage() { return static_cast<config::ConfigPage&>(*configHost_->contents()); }

TerminalPanel& Program::terminal() {
  // Built when first needed: only the diagnostic mode shows it.
  if (!terminal_) {
    terminal_ = new TerminalPanel(session_, *services_.prompts, services_.files, reading_);
    reading_->terminalArea()->addWidget(terminal_);
  }
  return *terminal_;
}

void Program::bringToFront() { tray_->behaviour().restore(); }

void Program::firstShowStep() {
  reading_->setFirstShow(true);
  connection_.FillDeviceList();
  configEditor_.applyPageDefaults();
  const ShellSettings saved = readShellSettings(services_.settingsFile);
  if (saved.port && services_.commandLinePort.empty()) connection_.selectByName(*saved.port);
  reading_->restoreViewMode(saved.viewMode, saved.templ);
  reading_->setDelivery({saved.tobuffer, saved.tokeyboard, saved.crlf});
  debugmode_ = saved.debugmode;
  if (debugmode_) terminal().present();
  reading_->autoConnectOption()->setChecked(saved.autoconnect);
  if (saved.autoconnect || services_.connectAtStart) connection_.connectLater(Millis(500));
  reading_->startInTrayOption()->setChecked(saved.totray);
  if (saved.totray) Timer3->start(Millis(10));
  reading_->setFirstShow(false);
}

ShellSettings Program::currentSettings() const {
  ShellSettings s;
  if (connection_.selected() >= 0) s.port = connection_.selectedName();
  s.viewMode = reading_->display().viewMode();
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
  reading_->stopTyping();
}

}  // namespace terva::app
