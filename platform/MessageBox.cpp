#include "MessageBox.h"

#include <iostream>

namespace {

TMessageBoxHandler& Handler() {
  static TMessageBoxHandler handler;
  return handler;
}

}  // namespace

void ShowMessageBox(const std::string& Title, const std::string& Text, TMessageBoxIcon Icon) {
  if (Handler())
    Handler()(Title, Text, Icon);
  else
    std::cerr << Title << ": " << Text << '\n';
}

TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler Handler_) {
  TMessageBoxHandler previous = std::move(Handler());
  Handler() = std::move(Handler_);
  return previous;
}
