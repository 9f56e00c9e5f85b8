// terva-cli: the reader from the command line (see cli.h).
#include <QCoreApplication>

#include <iostream>

#include "cli/cli.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::vector<std::string> args(argv + 1, argv + argc);
  terva::cli::StopRequest stop;
  terva::cli::installSignalStop(stop);
  auto env = terva::cli::systemEnvironment(QCoreApplication::applicationDirPath().toStdString());
  env.stop = &stop;
  return terva::cli::run(args, std::cout, std::cerr, env);
}
