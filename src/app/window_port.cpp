#include "app/window_port.h"

#include "platform/text.h"

namespace listelo {

void HeadlessWindow::AddLine(const std::string& line) {
  memo_.push_back(line);
  if (echo_ != nullptr) {
    *echo_ << AnsiToUtf8(line) << '\n';
    echo_->flush();
  }
}

void HeadlessWindow::SetLabel(int which, const std::string& text) {
  labels_[which == 2 ? 1 : 0] = text;
}

std::string HeadlessWindow::Label(int which) const { return labels_[which == 2 ? 1 : 0]; }

void HeadlessWindow::SetField(Field field, const std::string& value) {
  fields_[static_cast<size_t>(field)] = value;
}

std::string HeadlessWindow::GetField(Field field) const {
  return fields_[static_cast<size_t>(field)];
}

void HeadlessWindow::ShowError(const std::string& message) {
  errors_shown_.push_back(message);
  if (errors_ != nullptr) *errors_ << AnsiToUtf8(message) << '\n';
}

}  // namespace listelo
