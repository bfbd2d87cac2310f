// The narrow interface through which a run talks to its window: memo lines, the two
// status labels, the eight connection fields, captions, the error box and "let pending
// events run". The Qt window implements it; HeadlessWindow serves runs without one.
// All texts are Windows-1252.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace listelo {

// The connection edit fields; exporters fill them, the FTP clients read them back.
enum class Field {
  kServeurVOImages,
  kUserVOImages,
  kPasswordVOImages,
  kRepertVOImages,
  kServeur,
  kUser,
  kPassword,
  kRepert,
};
inline constexpr size_t kFieldCount = 8;

// Receives the progress of a long file operation (zip packaging) and may ask it to stop.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void BeginBatch(std::uint64_t total_bytes) { (void)total_bytes; }
  virtual void BeginFile(const std::string& name, std::uint64_t size) {
    (void)name;
    (void)size;
  }
  // `bytes_done` is the running total of the batch, not an increment.
  virtual void Progress(std::uint64_t bytes_done) { (void)bytes_done; }
  virtual void EndBatch() {}
  virtual bool Cancelled() const { return false; }
};

class WindowPort {
 public:
  virtual ~WindowPort() = default;

  // Memo.
  virtual void AddLine(const std::string& line) = 0;
  virtual void ClearMemo() = 0;
  virtual std::vector<std::string> MemoLines() const = 0;

  // A status notification of a network client: one memo line, never a log line.
  virtual void StatusText(const std::string& text) { AddLine(text); }

  // Status labels; `which` is 1 or 2.
  virtual void SetLabel(int which, const std::string& text) = 0;
  virtual std::string Label(int which) const = 0;

  virtual void SetField(Field field, const std::string& value) = 0;
  virtual std::string GetField(Field field) const = 0;

  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetServerBoxCaption(const std::string& caption) = 0;
  virtual void SetStartControlsVisible(bool visible) = 0;

  // Lets pending window events (timer ticks, repaints) run; called between steps.
  virtual void ProcessEvents() = 0;

  // Shows the text of an error that ended a run.
  virtual void ShowError(const std::string& message) = 0;

  virtual ProgressSink& Progress() = 0;
};

// A window without a screen: it keeps what a window would show, and echoes each memo
// line (in UTF-8) to a stream when given one, flushed a few times a second, before an
// error and at the end.
class HeadlessWindow : public WindowPort {
 public:
  explicit HeadlessWindow(std::ostream* echo = nullptr, std::ostream* errors = nullptr)
      : echo_(echo), errors_(errors) {}
  ~HeadlessWindow() override;
  HeadlessWindow(const HeadlessWindow&) = delete;
  HeadlessWindow& operator=(const HeadlessWindow&) = delete;

  void AddLine(const std::string& line) override;
  void ClearMemo() override { memo_.clear(); }
  std::vector<std::string> MemoLines() const override { return memo_; }
  void SetLabel(int which, const std::string& text) override;
  std::string Label(int which) const override;
  void SetField(Field field, const std::string& value) override;
  std::string GetField(Field field) const override;
  void SetCaption(const std::string& caption) override { caption_ = caption; }
  void SetServerBoxCaption(const std::string& caption) override { box_caption_ = caption; }
  void SetStartControlsVisible(bool visible) override { start_controls_visible_ = visible; }
  void ProcessEvents() override { ++process_events_calls_; }
  void ShowError(const std::string& message) override;
  ProgressSink& Progress() override { return silent_progress_; }

  const std::string& caption() const { return caption_; }
  const std::string& box_caption() const { return box_caption_; }
  bool start_controls_visible() const { return start_controls_visible_; }
  const std::vector<std::string>& errors() const { return errors_shown_; }
  long process_events_calls() const { return process_events_calls_; }

 private:
  static constexpr std::chrono::milliseconds kEchoFlushInterval{200};

  std::ostream* echo_;
  std::ostream* errors_;
  std::chrono::steady_clock::time_point last_echo_flush_;
  std::vector<std::string> memo_;
  std::array<std::string, 2> labels_ = {"Label1", "Label2"};
  std::array<std::string, kFieldCount> fields_ = {
      "vo-images.concession.invalid",  "voimages", "********", "www/voimages",
      "passerelle.concession.invalid", "export",   "********", ""};
  std::string caption_ = "Form1";
  std::string box_caption_ = "Connexion Serveur xxx : ";
  bool start_controls_visible_ = true;
  std::vector<std::string> errors_shown_;
  long process_events_calls_ = 0;
  ProgressSink silent_progress_;
};

}  // namespace listelo
