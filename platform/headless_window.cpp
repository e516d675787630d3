#include "platform/headless_window.h"

#include <istream>

namespace lamina::platform {

void HeadlessWindow::Inbox::append(std::string_view utf8) {
  std::vector<ScriptStep> steps = parseKeyScript(utf8);
  {
    std::lock_guard lock(mutex);
    for (ScriptStep& step : steps) script.push_back(std::move(step));
  }
  wake.notify_all();
}

void HeadlessWindow::Inbox::end() {
  {
    std::lock_guard lock(mutex);
    ended = true;
  }
  wake.notify_all();
}

void HeadlessWindow::appendScript(std::string_view utf8) {
  inbox_->append(utf8);
}

void HeadlessWindow::endScript() {
  inbox_->end();
}

std::thread HeadlessWindow::startScriptReader(std::istream& in) {
  return std::thread([inbox = inbox_, &in] {
    std::string line;
    while (std::getline(in, line)) inbox->append(line + "\n");
    inbox->end();
  });
}

FontMetrics HeadlessWindow::openFont(const FontRequest& request) {
  FontMetrics m;
  m.averageWidth = m.maximumWidth = request.width;
  m.height = request.height;
  m.externalLeading = 0;
  m.ascent = request.height * 4 / 5;
  m.overhang = 0;
  return m;
}

bool HeadlessWindow::createWindow(const WindowSpec& spec) {
  if (refuseCreation_) return false;
  spec_ = spec;
  caption_ = spec.caption;
  created_ = true;
  Message focus;
  focus.type = MessageType::SetFocus;
  postMessage(focus);
  return true;
}

void HeadlessWindow::setSizeLimits(int minWidth, int minHeight, int maxWidth, int maxHeight) {
  limits_ = {minWidth, minHeight, maxWidth, maxHeight};
}

void HeadlessWindow::destroyWindow() {
  created_ = false;
}

bool HeadlessWindow::feedLocked() {
  if (!awaitingKey_ || !queue_.empty()) return false;
  const auto now = std::chrono::steady_clock::now();
  while (!inbox_->script.empty()) {
    if (now < due_) return false;
    ScriptStep step = std::move(inbox_->script.front());
    inbox_->script.pop_front();
    if (step.messages.empty()) {
      if (step.pauseMs > 0) due_ = now + std::chrono::milliseconds(step.pauseMs);
      continue;
    }
    for (const Message& m : step.messages) queue_.push_back(m);
    // One key for each wait: the console asks again when it still waits.
    awaitingKey_ = false;
    return true;
  }
  if (inbox_->ended && !closeSent_) {
    closeSent_ = true;
    Message close;
    close.type = MessageType::Close;
    queue_.push_back(close);
    return true;
  }
  return false;
}

bool HeadlessWindow::peekMessage(Message& message) {
  std::lock_guard lock(inbox_->mutex);
  if (queue_.empty()) feedLocked();
  if (queue_.empty()) return false;
  message = queue_.front();
  queue_.pop_front();
  return true;
}

void HeadlessWindow::waitMessage() {
  std::unique_lock lock(inbox_->mutex);
  for (;;) {
    if (!queue_.empty() || feedLocked()) return;
    const bool pausing =
        awaitingKey_ && !inbox_->script.empty() && std::chrono::steady_clock::now() < due_;
    if (pausing) {
      inbox_->wake.wait_until(lock, due_);
    } else {
      inbox_->wake.wait(lock);
    }
  }
}

void HeadlessWindow::postMessage(const Message& message) {
  {
    std::lock_guard lock(inbox_->mutex);
    queue_.push_back(message);
  }
  inbox_->wake.notify_all();
}

void HeadlessWindow::setAwaitingKey(bool awaiting) {
  {
    std::lock_guard lock(inbox_->mutex);
    awaitingKey_ = awaiting;
  }
  inbox_->wake.notify_all();
}

void HeadlessWindow::drawText(int x, int y, std::string_view cp1252, Rgb fg, Rgb bg) {
  if (recordDrawing_) drawCalls_.push_back({x, y, std::string(cp1252), fg, bg});
}

void HeadlessWindow::showCaret(int x, int y, int w, int h) {
  caretVisible_ = true;
  caret_ = {x, y, w, h};
}

void HeadlessWindow::drawSnapshot(int sx, int sy, int sw, int sh) {
  magnified_ = {sx, sy, sw, sh};
}

bool HeadlessWindow::getClipboard(std::string& text, bool& hasText) {
  if (!clipboardOpenable_) return false;
  hasText = clipboardHasText_;
  text = clipboard_;
  return true;
}

bool HeadlessWindow::setClipboard(std::string_view cp1252) {
  if (!clipboardOpenable_) return false;
  clipboard_ = std::string(cp1252);
  clipboardHasText_ = true;
  return true;
}

void HeadlessWindow::setClipboardState(bool openable, bool hasText, std::string text) {
  clipboardOpenable_ = openable;
  clipboardHasText_ = hasText;
  clipboard_ = std::move(text);
}

}  // namespace lamina::platform
