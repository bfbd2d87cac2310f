#include "app/window_port.h"

#include <chrono>

#include "platform/text.h"

namespace listelo {

void HeadlessWindow::AddLine(const std::string& line) {
  memo_.push_back(line);
  if (echo_ == nullptr) return;
  *echo_ << AnsiToUtf8(line) << '\n';
  // A big stock logs hundreds of thousands of lines: the echo reaches its stream a few
  // times a second rather than line by line (the run log has every line at once).
  const auto now = std::chrono::steady_clock::now();
  if (now - last_echo_flush_ >= kEchoFlushInterval) {
    echo_->flush();
    last_echo_flush_ = now;
  }
}

HeadlessWindow::~HeadlessWindow() {
  if (echo_ != nullptr) echo_->flush();
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
  if (echo_ != nullptr) echo_->flush();  // the memo's lines come before the error
  if (errors_ != nullptr) *errors_ << AnsiToUtf8(message) << '\n';
}

}  // namespace listelo
