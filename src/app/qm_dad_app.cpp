#include "app/qm_dad_app.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>
#include <cstdio>
#include <iostream>

#include "app/main_window.h"
#include "app/window_options.h"

namespace vdz {

CQmDadIvidudEvuzApp::CQmDadIvidudEvuzApp(int& argc, char** argv) : argc_(argc), argv_(argv) {}

AppOptions CQmDadIvidudEvuzApp::ParseOptions(const QStringList& arguments, QString* error) {
  AppOptions options;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == QLatin1String("--screenshot") && i + 1 < arguments.size()) {
      options.screenshot = arguments[++i];
    } else if (argument.startsWith(QLatin1String("-platform")) ||
               argument.startsWith(QLatin1String("-style"))) {
      ++i;  // Qt's own options
    } else {
      *error = QStringLiteral("unknown argument '%1'\nusage: %2")
                   .arg(argument, QString::fromStdString(WindowSynopsis().front()));
    }
  }
  return options;
}

int CQmDadIvidudEvuzApp::Run() {
  // Help and version need no display, so they come before Qt starts.
  if (const auto status = RunWindowHelpOrVersion({argv_ + 1, argv_ + argc_}, std::cout))
    return *status;
  QApplication application(argc_, argv_);
  application.setApplicationName(QStringLiteral("ViDuZaver"));
  QString error;
  const AppOptions options = ParseOptions(application.arguments(), &error);
  if (!error.isEmpty()) {
    std::fprintf(stderr, "viduzaver: %s\n", qPrintable(error));
    return 2;
  }
  CQmDadIvidudEvuzDlg window;
  window.Initialise();
  window.show();

  if (!options.screenshot.isEmpty()) {
    QObject::connect(&window, &CQmDadIvidudEvuzDlg::FirstSearchFinished, &window, [&] {
      // One more refresh so the last rows and their status texts are painted.
      QTimer::singleShot(1500, &window, [&] {
        const QString path = QFileInfo(options.screenshot).absoluteFilePath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        const bool saved = window.grab().save(path);
        std::printf("%s %s\n",
                    saved ? "screenshot:" : "could not save screenshot:", qPrintable(path));
        // What the status line says tells whether the language texts were found.
        std::printf("status line: %s\n", qPrintable(window.StatusLine()->text()));
        std::fflush(stdout);
        window.close();
      });
    });
  }
  const int status = application.exec();
  return status;
}

}  // namespace vdz
