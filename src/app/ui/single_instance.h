#pragma once
// One running copy per user and settings file: a later start hands over to
// the running copy (whose window comes to the front) and exits.
#include <QObject>
#include <QString>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

class QSocketNotifier;

namespace terva::app {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // name: an absolute socket path, or a bare name for the temporary folder
  // (see socketNameFor).
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
  struct Caller;
  void acceptCallers();
  void readCaller(int fd);

  QString name_;
  std::string path_;  // where the socket lives
  int listening_ = -1;
  QSocketNotifier* listenNotifier_ = nullptr;
  std::map<int, std::unique_ptr<Caller>> callers_;  // connections not yet read to their end
};

}  // namespace terva::app
