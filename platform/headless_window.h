#pragma once
// A console window without a window: the same message queue semantics,
// drawing only counted. Keys come from a key script, typed one key at a time
// while the console waits for a key; the end of the script acts as the
// window's Close button.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/key_script.h"
#include "platform/window.h"

namespace lamina::platform {

class HeadlessWindow final : public WindowBackend {
 public:
  HeadlessWindow() = default;

  // Adds script text (may be called from another thread, piece by piece).
  void appendScript(std::string_view utf8);
  // No more script will come: once it is all typed, Close follows.
  void endScript();
  // Reads script text from `in` line by line on a thread of its own, then
  // ends the script. The thread shares only the script's inbox with the
  // window, so the window may be destroyed while the thread still waits for
  // input; `in` must outlive the thread (standard input does).
  std::thread startScriptReader(std::istream& in);

  FontMetrics openFont(const FontRequest& request) override;
  FrameMetrics frameMetrics() const override { return frame_; }
  bool createWindow(const WindowSpec& spec) override;
  void setSizeLimits(int minWidth, int minHeight, int maxWidth, int maxHeight) override;
  void destroyWindow() override;
  void setCaption(std::string_view cp1252) override { caption_ = std::string(cp1252); }
  int clientWidth() const override { return spec_.width; }
  int clientHeight() const override { return spec_.height; }
  bool isActive() const override { return created_; }
  int windowBottom() const override { return spec_.height; }

  bool peekMessage(Message& message) override;
  void waitMessage() override;
  void postMessage(const Message& message) override;
  void setAwaitingKey(bool awaiting) override;

  void drawText(int x, int y, std::string_view cp1252, Rgb fg, Rgb bg) override;
  void fillRect(int, int, int, int, Rgb) override { ++fills_; }
  void scrollUp(int, int, int, int, int) override { ++scrolls_; }
  void present() override { ++presents_; }
  void showCaret(int x, int y, int w, int h) override;
  void hideCaret() override { caretVisible_ = false; }
  void takeSnapshot() override { snapshot_ = true; }
  void drawSnapshot(int sx, int sy, int sw, int sh) override;
  void releaseSnapshot() override { snapshot_ = false; }
  bool getClipboard(std::string& text, bool& hasText) override;
  bool setClipboard(std::string_view cp1252) override;
  void beep() override { ++beeps_; }

  // What a test can look at and set.
  struct DrawCall {
    int x, y;
    std::string text;
    Rgb fg, bg;
  };
  std::vector<DrawCall>& drawCalls() { return drawCalls_; }
  int scrolls() const { return scrolls_; }
  int beeps() const { return beeps_; }
  bool created() const { return created_; }
  const WindowSpec& spec() const { return spec_; }
  const std::string& caption() const { return caption_; }
  bool caretVisible() const { return caretVisible_; }
  struct Rect {
    int x, y, w, h;
  };
  Rect caret() const { return caret_; }
  Rect magnified() const { return magnified_; }
  bool snapshotTaken() const { return snapshot_; }
  struct Limits {
    int minWidth, minHeight, maxWidth, maxHeight;
  };
  Limits limits() const { return limits_; }
  void setFrame(const FrameMetrics& frame) { frame_ = frame; }
  // Clipboard state: openable false makes every clipboard call fail.
  void setClipboardState(bool openable, bool hasText, std::string text);
  const std::string& clipboardText() const { return clipboard_; }
  // Keep draw calls (off by default, so long runs do not grow memory).
  void recordDrawing(bool on) { recordDrawing_ = on; }
  // createWindow fails from now on, as a window system refusing one would.
  void refuseCreation() { refuseCreation_ = true; }

 private:
  // Moves the next scripted key into the queue when it is due; the lock is
  // held. Returns true when something was queued.
  bool feedLocked();

  // What script readers feed, and the lock and wake-up of the whole queue;
  // shared with reader threads, which may outlive the window.
  struct Inbox {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<ScriptStep> script;
    bool ended = false;
    void append(std::string_view utf8);
    void end();
  };
  std::shared_ptr<Inbox> inbox_ = std::make_shared<Inbox>();
  std::deque<Message> queue_;
  bool closeSent_ = false;
  bool awaitingKey_ = false;
  std::chrono::steady_clock::time_point due_{};

  FrameMetrics frame_{};
  WindowSpec spec_;
  Limits limits_{};
  std::string caption_;
  bool created_ = false;
  bool refuseCreation_ = false;
  std::vector<DrawCall> drawCalls_;
  bool recordDrawing_ = false;
  int scrolls_ = 0, fills_ = 0, presents_ = 0, beeps_ = 0;
  bool caretVisible_ = false;
  Rect caret_{};
  Rect magnified_{};
  bool snapshot_ = false;
  bool clipboardOpenable_ = true;
  bool clipboardHasText_ = false;
  std::string clipboard_;
};

}  // namespace lamina::platform
