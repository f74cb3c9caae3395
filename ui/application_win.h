// The application object: its title (the caption of every message box), the
// message loop with its one idle-handler slot, the hidden application window
// that carries the activation messages, and the error report.
#pragma once
#include <windows.h>

#include <exception>
#include <functional>
#include <map>
#include <string>

#include "ui/wakeup.h"
#include "ui/window_win.h"

namespace velmora {

class Form;

// Posted to the application window when the application becomes active or
// stops being active; hooks see them (the frame timer's activation hook).
constexpr UINT CM_ACTIVATE = 0xB000;
constexpr UINT CM_DEACTIVATE = 0xB001;

class Application : public Window {
public:
    using IdleHandler = std::function<void(bool& done)>;
    using Hook = std::function<void(UINT message, WPARAM wParam, LPARAM lParam)>;

    Application();
    ~Application() override;

    // The one application of the process; null before it is made.
    static Application* current() { return current_; }

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }

    // The single idle slot: called whenever the message queue is empty. A
    // handler that leaves `done` false keeps the loop from waiting.
    void setOnIdle(IdleHandler handler) { onIdle_ = std::move(handler); }
    void clearOnIdle() { onIdle_ = nullptr; }
    bool hasOnIdle() const { return static_cast<bool>(onIdle_); }
    // Called by an idle handler that is done for now but has something due
    // in `ms` milliseconds: the wait for the next message ends then at the
    // latest. The shortest request of one idle step counts.
    void wakeWithin(DWORD ms) {
        if (ms < wakeWithin_) wakeWithin_ = ms;
    }

    // Hooks see every message of the application window and never consume it.
    int addHook(Hook hook);
    void removeHook(int id);

    bool active() const { return active_; }
    // Called by forms on WM_ACTIVATEAPP.
    void activationChanged(bool active);

    // The form whose closing ends the message loop.
    void setMainForm(Form* form) { mainForm_ = form; }
    Form* mainForm() const { return mainForm_; }

    // Runs the message loop until terminate() or WM_QUIT.
    void run();
    // Handles one waiting message; false when the queue was empty.
    bool processMessage();
    // Handles every waiting message, then returns (does not go idle).
    void processMessages();
    // One turn of the loop: a message if one waits, otherwise the idle step,
    // which sleeps until the next message and handles it when the idle
    // handler is done.
    void handleNextMessage();
    void terminate() { terminated_ = true; }
    bool terminated() const { return terminated_; }

    // A modal message box captioned with the title, with one OK button.
    void showMessage(const std::string& text);
    // The error report: the error's text in a modal "Velmora" box; the
    // program goes on.
    static void reportError(const std::exception& error);
    // The error in flight, from inside a catch block: every boundary between
    // the system and the program's handlers (window procedures, the idle
    // handler) reports with this, so none lets an exception through.
    static void reportCurrentError() noexcept;

protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void idle();
    void sleep();
    void dispatch(MSG& msg);

    static Application* current_;
    std::string title_ = "Velmora";
    IdleHandler onIdle_;
    DWORD wakeWithin_ = INFINITE;
    WakeUp wakeUp_;
    std::map<int, Hook> hooks_;
    int nextHook_ = 1;
    bool active_ = false;
    bool terminated_ = false;
    Form* mainForm_ = nullptr;
};

}  // namespace velmora
