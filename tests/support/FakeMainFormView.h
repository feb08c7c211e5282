// A scripted stand-in for the assistant window: records what TMainForm shows
// and answers its questions from a script.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/MainForm.h"

namespace orvane::test {

class FakeMainFormView : public IMainFormView {
 public:
  enum class BoxKind { Message, Confirm, Error };
  struct Box {
    BoxKind kind;
    std::string text;
    friend bool operator==(const Box&, const Box&) = default;
  };

  // --- what the window showed ---
  std::string status;
  std::vector<std::string> statusHistory;
  std::vector<Box> boxes;
  std::vector<std::string> options;
  int selected = -1;
  std::string optionText = "cbVersion";
  std::map<TControlId, bool> checked{{TControlId::cbUseProxy, false},
                                     {TControlId::cbAutoClose, true},
                                     {TControlId::cbProxyAutoConfig, false}};
  std::string proxyText;
  bool proxyEnabled = true;
  bool groupVisible = false;
  std::vector<int> heights;
  std::string title = "Orvane Support";
  bool closed = false;
  bool inputEnabled = true;
  bool cancelVisible = false;
  std::vector<std::optional<double>> progress;  // every SetProgress, in order
  int pumps = 0;

  // --- the script ---
  // Answers of Confirm in order; true (OK) once they run out.
  std::deque<bool> confirmAnswers;
  // Runs while pending events are processed and while a box is open: the
  // place where a test clicks "in between".
  std::function<void()> onPump;
  std::function<void(const Box&)> onBox;

  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> texts;
    for (const Box& b : boxes) texts.push_back(b.text);
    return texts;
  }

  void SetStatusText(const std::string& text) override {
    status = text;
    statusHistory.push_back(text);
  }
  void ProcessPendingEvents() override {
    ++pumps;
    if (onPump) onPump();
  }
  void ShowMessage(const std::string& text) override { Record({BoxKind::Message, text}); }
  bool Confirm(const std::string& text) override {
    Record({BoxKind::Confirm, text});
    if (confirmAnswers.empty()) return true;
    const bool answer = confirmAnswers.front();
    confirmAnswers.pop_front();
    return answer;
  }
  void ShowError(const std::string& text) override { Record({BoxKind::Error, text}); }

  void ClearOptions() override {
    options.clear();
    selected = -1;
  }
  void AddOption(const std::string& name) override { options.push_back(name); }
  int OptionCount() const override { return static_cast<int>(options.size()); }
  void SelectOption(int index) override {
    selected = index >= 0 && index < OptionCount() ? index : -1;
    if (selected >= 0) optionText = options[static_cast<size_t>(selected)];
  }
  int SelectedOption() const override { return selected; }
  std::string OptionText() const override { return optionText; }
  void SetOptionText(const std::string& text) override { optionText = text; }

  bool IsChecked(TControlId box) const override {
    const auto it = checked.find(box);
    return it != checked.end() && it->second;
  }

  std::string ProxyText() const override { return proxyText; }
  void SetProxyText(const std::string& text) override { proxyText = text; }
  void SetProxyEnabled(bool enabled) override { proxyEnabled = enabled; }
  void SetProxyGroupVisible(bool visible) override { groupVisible = visible; }

  void SetWindowHeight(int designHeight) override { heights.push_back(designHeight); }
  void SetTitle(const std::string& text) override { title = text; }
  void Close() override { closed = true; }
  void SetInputEnabled(bool enabled) override { inputEnabled = enabled; }
  void SetCancelVisible(bool visible) override { cancelVisible = visible; }
  void SetProgress(std::optional<double> fraction) override { progress.push_back(fraction); }

 private:
  void Record(const Box& box) {
    boxes.push_back(box);
    if (onBox) onBox(box);
    if (onPump) onPump();
  }
};

}  // namespace orvane::test
