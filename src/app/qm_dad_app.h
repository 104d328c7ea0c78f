// The application object: start-up in order, then the main window until it closes.
#pragma once

#include <QString>

namespace vdz {

struct AppOptions {
  // With a file name: after the first search has stopped by itself, save a picture of the
  // window there and quit (used where there is no display).
  QString screenshot;
};

class CQmDadIvidudEvuzApp {
 public:
  CQmDadIvidudEvuzApp(int& argc, char** argv);
  int Run();

  static AppOptions ParseOptions(const QStringList& arguments, QString* error);

 private:
  int& argc_;
  char** argv_;
};

}  // namespace vdz
