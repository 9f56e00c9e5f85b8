#pragma once
// The page "Чтение": the identifier panel with its kind labels, the view
// modes DEC / HEX / CST, the delivery options, the card reading mode button,
// the start options, and room for the diagnostic terminal below.
#include <QWidget>

#include <functional>
#include <string>

#include "ident/delivery.h"
#include "ident/render.h"
#include "protocol/idmessage.h"

class QCheckBox;
class QFrame;
class QLabel;
namespace terva::app {
class IdentifierLabel;
}
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace terva {
class Prompts;
class ReaderSession;
}  // namespace terva

namespace terva::ident {

class KeystrokeOutput;
class TemplateChooser;

struct ReadingPageServices {
  ReaderSession* session = nullptr;
  Prompts* prompts = nullptr;
  ClipboardOutput* clipboard = nullptr;
  KeystrokeOutput* keyboard = nullptr;  // may be null: no keystroke output at all
  TemplateChooser* templateEditor = nullptr;
  // True while the program's main window is active: nothing is typed then.
  std::function<bool()> mainWindowActive;
};

// How each kind of identifier looks on the panel: its label and the panel colour.
struct IdKindLook {
  IdKind kind;
  const char* labelName;
  const char* caption;
  std::uint32_t panelColour;  // 0x00BBGGRR
};
const IdKindLook& idKindLook(IdKind kind);

class ReadingPage : public QWidget {
  Q_OBJECT
 public:
  explicit ReadingPage(ReadingPageServices services, QWidget* parent = nullptr);
  ~ReadingPage() override;

  const IdentDisplay& display() const { return display_; }

  // Start-up: while first show runs, clicks on the view-mode buttons do nothing.
  void setFirstShow(bool on) { firstshow_ = on; }
  // The saved view mode (CST with its template, tried first).
  void restoreViewMode(ViewMode mode, const std::string& savedTemplate);
  void setDelivery(const DeliveryOptions& options);
  DeliveryOptions delivery() const;

  // The start options on this page; the settings decide what they do.
  QCheckBox* autoConnectOption() const { return CheckBox8; }
  QCheckBox* startInTrayOption() const { return CheckBox4; }
  // Where the diagnostic terminal goes.
  QVBoxLayout* terminalArea() const { return terminalArea_; }
  // Closing: typing still queued is dropped, clipboard steps waiting for it are done.
  void stopTyping();

 signals:
  // The identifier label now shows this text (after a card was read).
  void identifierShown(const QString& text);

 private:
  void showIdentifier(const IdMessage& msg);
  void refreshIdentifierLabel();
  void syncViewModeButtons();
  void setKind(IdKind kind);
  void Button10Click();
  void RadioButton1Click();
  void RadioButton2Click();
  void RadioButton3Click();
  void CheckBox2Click();
  void warnKeyboardUnavailableOnce();

  ReadingPageServices services_;
  IdentDisplay display_;
  Delivery delivery_;
  bool firstshow_ = true;
  bool keyboardWarned_ = false;
  bool kindShown_ = false;
  IdKind shownKind_ = IdKind::Uid;
  std::string shownRendered_;  // the last card's rendered text and its label text
  QString shownText_;

  QPushButton* Button10 = nullptr;
  QFrame* idpanel = nullptr;
  QLabel* kindLabels_[5] = {};
  app::IdentifierLabel* Label32 = nullptr;
  QRadioButton* RadioButton1 = nullptr;
  QRadioButton* RadioButton2 = nullptr;
  QRadioButton* RadioButton3 = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QCheckBox* CheckBox2 = nullptr;
  QCheckBox* CheckBox5 = nullptr;
  QCheckBox* CheckBox8 = nullptr;
  QCheckBox* CheckBox4 = nullptr;
  QVBoxLayout* terminalArea_ = nullptr;
};

}  // namespace terva::ident
