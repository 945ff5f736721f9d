// A second process for the single-instance tests.
//   InstanceHelper mutex NAME           holds the named mutex until its input ends; prints what it found
//   InstanceHelper window CLASS MARKER  runs a window endpoint; a close request waits a moment, then
//                                       writes MARKER (as a window writes its settings) and ends the run

#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string mode = argv[1];
  if (mode == "mutex") {
    const TNamedMutex mutex(argv[2]);
    std::printf("valid=%d existed=%d\n", mutex.Valid(), mutex.AlreadyExisted());
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
  }
  if (mode == "window" && argc == 4) {
    QCoreApplication application(argc, argv);
    const std::string marker = argv[3];
    const TWindowEndpoint endpoint(
        argv[2],
        [&] {
          QThread::msleep(300);
          std::ofstream(marker) << "written";
          application.quit();
        },
        [] {
          std::printf("foreground\n");
          std::fflush(stdout);
        });
    std::printf("listening=%d\n", endpoint.Listening());
    std::fflush(stdout);
    return application.exec();
  }
  return 2;
}
