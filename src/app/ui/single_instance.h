#pragma once
// One running copy per user and settings file: a later start hands over to
// the running copy (whose window comes to the front) and exits.
#include <QObject>
#include <QString>

#include <filesystem>

class QLocalServer;

namespace terva::app {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // name: a local socket name or an absolute path (see socketNameFor).
  explicit SingleInstance(QString name, QObject* parent = nullptr);
  ~SingleInstance() override;

  // True: no other copy answers and this one now listens. False: another copy
  // runs and was asked to come to the front; this one should exit.
  bool claim();
  const QString& name() const { return name_; }

  // The per-user socket for a settings file: in the user's runtime folder,
  // named after the file, so copies with different settings files may run side
  // by side while two copies never write the same file.
  static QString socketNameFor(const std::filesystem::path& settingsFile);

 signals:
  // A later copy was started: bring the window to the front.
  void activationRequested();

 private:
  bool askRunningCopy();

  QString name_;
  QLocalServer* server_ = nullptr;
};

}  // namespace terva::app
