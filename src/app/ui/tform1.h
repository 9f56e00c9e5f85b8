#pragma once
// The main window: the connection bar above the page control that hosts the
// pages. It binds the bar to the connection controller and tells the program
// when it is first shown and when it closes; everything else lives in the pages.
#include <QMainWindow>

class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QToolButton;

namespace terva {
class ConnectionController;
}

namespace terva::app {

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  explicit TForm1(ConnectionController& connection, QWidget* parent = nullptr);
  ~TForm1() override;

  void addPage(QWidget* page, const QString& title);
  QTabWidget* pages() const { return PageControl1; }

 signals:
  // The first show of the window (a later show from the tray does not repeat it).
  void firstShown();
  void closing();
  // The window was minimised (the tray binding decides what follows).
  void minimised();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void refillPortList();
  void setConnectedState(bool connected);

  ConnectionController& connection_;
  bool firstshow_ = true;

  QWidget* Panel1 = nullptr;
  QLabel* Label1 = nullptr;
  QComboBox* ComComboBox1 = nullptr;
  QToolButton* Button8 = nullptr;
  QPushButton* Button6 = nullptr;
  QPushButton* Button7 = nullptr;
  QLabel* statusLabel_ = nullptr;
  QTabWidget* PageControl1 = nullptr;
};

}  // namespace terva::app
