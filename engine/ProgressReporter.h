#pragma once
// What a long engine command shows while it runs: the stage in status panel 0, the progress
// bar, the busy cursor and the closing or refusal message. It is the engine's only way to
// report; the main window implements it over its status bar and pbarLista, the CLI over
// standard error, the tests by recording every call.
//
// Every text handed over is Windows-1250 bytes, like all text of the engine (a stage text can
// carry the search text of a user's replacement rule); the implementer converts it for display.
#include <cstdint>
#include <string_view>

namespace lepotex {

enum class Repaint { Now, Later };

class ProgressReporter {
public:
    virtual ~ProgressReporter() = default;

    // Status panel 0. Repaint::Now repaints the status bar at once, because a command holds
    // the user-interface thread and nothing else would show the text until it ends.
    virtual void ShowStage(std::string_view text, Repaint repaint) = 0;
    virtual void RepaintStatus() = 0;

    // The progress bar. Its minimum is always 0.
    virtual void ShowProgress() = 0;
    virtual void HideProgress() = 0;
    virtual void FitProgressToEditor() = 0;  // the bar takes the editor's width
    virtual void SetProgressPosition(int64_t position) = 0;
    virtual void SetProgressMaximum(int64_t maximum) = 0;  // never below 0
    virtual void SetProgressStep(int32_t step) = 0;
    // Advances the bar by `count` steps at once; the engine batches steps that the
    // algorithm takes one by one, so only their sum and place between other calls matter.
    // Steps past the maximum are possible (the speech scan's deletions) and must be clamped.
    virtual void StepProgress(int64_t count) = 0;

    // The application's mouse cursor: the busy one while a command runs, then the one saved.
    virtual void ShowBusyCursor() = 0;
    virtual void RestoreCursor() = 0;

    // A message box with an OK button only: a refusal or the closing message.
    virtual void ShowMessage(std::string_view text) = 0;

    // The editor's word wrap was set by the command; the window sets its menu check mark.
    virtual void ShowWordWrapState(bool wordWrap) = 0;
};

// Shows the busy cursor for its lifetime, so an error cannot leave it on.
class BusyCursorGuard {
public:
    explicit BusyCursorGuard(ProgressReporter& reporter) : reporter(reporter) { reporter.ShowBusyCursor(); }
    ~BusyCursorGuard() { reporter.RestoreCursor(); }
    BusyCursorGuard(const BusyCursorGuard&) = delete;
    BusyCursorGuard& operator=(const BusyCursorGuard&) = delete;

private:
    ProgressReporter& reporter;
};

// A reporter that shows nothing, for batch use and benchmarks.
class SilentReporter : public ProgressReporter {
public:
    void ShowStage(std::string_view, Repaint) override {}
    void RepaintStatus() override {}
    void ShowProgress() override {}
    void HideProgress() override {}
    void FitProgressToEditor() override {}
    void SetProgressPosition(int64_t) override {}
    void SetProgressMaximum(int64_t) override {}
    void SetProgressStep(int32_t) override {}
    void StepProgress(int64_t) override {}
    void ShowBusyCursor() override {}
    void RestoreCursor() override {}
    void ShowMessage(std::string_view) override {}
    void ShowWordWrapState(bool) override {}
};

}  // namespace lepotex
