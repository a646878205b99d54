// A stand-in for the window system's dialog calls the launcher makes, for unit
// tests that run without a display: it records status texts, progress positions,
// shown and hidden controls, dialog results and message boxes, and runs a dialog
// procedure on the test's thread the way a dialog's own thread would, with the
// worker threads' calls handed over to it and answered in turn.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include <windows.h>

namespace lt {

struct DialogEvent {
    enum Kind { Text, Progress, Show, Hide, Result, End } kind;
    int id = 0;         // control id (Text, Progress, Show, Hide)
    std::string text;   // Text
    long long value = 0; // Progress position, Result (a worker's WM_COMMAND IDOK), End (EndDialog)
};

// The dialog handle the procedures are given.
HWND FakeDialogHandle();

// Runs the procedure from WM_INITDIALOG until it calls EndDialog, serving the
// calls of other threads in between. React is called on this thread after each
// event, and may click buttons. Returns the dialog's result, or -1000 when
// nothing happened for timeoutMs.
INT_PTR RunFakeDialog(DLGPROC proc, std::function<void(const DialogEvent &)> react, int timeoutMs = 60000);

// From a reaction: the user clicks the button (the procedure gets its WM_COMMAND now).
void ClickFakeButton(int id);

// Every event since the last reset, oldest first, and the helpers that read them.
std::vector<DialogEvent> DialogEvents();
std::vector<std::string> StatusTexts(int id);
std::vector<int> ProgressPositions();
bool ControlVisible(int id);
void ResetFakeDialog();

struct MessageBoxRecord {
    std::string caption;
    std::string text;
    UINT type = 0;
};
// The message boxes shown since the previous call (each answered IDOK).
std::vector<MessageBoxRecord> TakeMessageBoxes();

} // namespace lt
