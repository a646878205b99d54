// The main menu and the dialog templates of the recorder and the launcher, as
// the window system will read them from the modules.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "launcher_ids.h"
#include "recorder_ids.h"
#include "templates.h"

using namespace restest;

namespace {

struct ExpectedItem {
    const char *text; // nullptr: separator
    int id;
};

struct ExpectedPopup {
    const char *text;
    std::vector<ExpectedItem> items;
};

TEST(RecorderMenu, PopupsAndItemsInOrderWithTheirShortcutKeys)
{
    const std::vector<ExpectedPopup> expected = {
        {"&File", {{"&Open URL\tU", 40001}, {"&Close\tC", 40005}, {"E&xit\tQ", 40002}}},
        {"&Control",
         {{"&Play/Pause\tP", 40003},
          {"&Stop\tS", 40004},
          {"Restart\tF5", 40013},
          {"&Start/Stop Recording\tR", 40015},
          {"&Mute/Unmute\tM", 40006},
          {nullptr, 0},
          {"&Half size (50%)\tH", 40009},
          {"&Three-quarter size (75%)\tT", 40012},
          {"&Normal size (100%)\tN", 40008},
          {"&Double size (200%)\tD", 40010}}},
        {"&Extra", {{"&Options\tO", 40016}}},
        {"&Help", {{"&About...\tA", 40014}}},
    };
    Module module("recorder_res.dll");
    std::vector<MenuItem> menu;
    ASSERT_TRUE(ParseMenu(module.Resource(IDR_MAINMENU, RT_MENU), menu));
    ASSERT_EQ(menu.size(), expected.size());

    std::set<std::string> keys;
    for (size_t p = 0; p < menu.size(); ++p) {
        SCOPED_TRACE(expected[p].text);
        EXPECT_EQ(menu[p].text, expected[p].text);
        EXPECT_TRUE(menu[p].flags & MF_POPUP);
        // Only the last entry of each level ends it; LoadMenu relies on that.
        EXPECT_EQ(bool(menu[p].flags & MF_END), p + 1 == menu.size());
        ASSERT_EQ(menu[p].items.size(), expected[p].items.size());
        for (size_t i = 0; i < menu[p].items.size(); ++i) {
            const MenuItem &item = menu[p].items[i];
            const ExpectedItem &want = expected[p].items[i];
            EXPECT_EQ(bool(item.flags & MF_END), i + 1 == menu[p].items.size());
            EXPECT_FALSE(item.flags & (MF_POPUP | MF_GRAYED));
            EXPECT_EQ(item.id, want.id);
            EXPECT_EQ(item.text, want.text ? want.text : "");
            // Only Normal size starts checked.
            EXPECT_EQ(bool(item.flags & MF_CHECKED), item.id == ID_SIZE_NORMAL) << item.text;
            if (want.text) {
                EXPECT_TRUE(keys.insert(item.text.substr(item.text.find('\t') + 1)).second)
                    << "shortcut shown twice: " << item.text;
            }
        }
    }
}

bool IsDefaultButton(const DialogControl &c)
{
    return c.className == "BUTTON" && (c.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

// What every dialog of the system has: the shell font, a modal frame and caption,
// visible-or-not child controls inside the dialog, unique ids, one default button.
void CheckCommonShape(const Dialog &d, int defaultButtonId)
{
    EXPECT_EQ(d.font, "MS Shell Dlg");
    EXPECT_EQ(d.pointSize, 8);
    EXPECT_EQ(d.style & (DS_MODALFRAME | WS_POPUP | WS_CAPTION), DWORD(DS_MODALFRAME | WS_POPUP | WS_CAPTION));
    std::set<int> ids;
    int defaults = 0;
    for (const DialogControl &c : d.controls) {
        SCOPED_TRACE("control " + std::to_string(c.id) + " " + c.text);
        EXPECT_TRUE(c.style & WS_CHILD);
        // A combo box's height includes its drop-down list; its closed field is one line.
        const int cy = c.className == "COMBOBOX" ? 12 : c.cy;
        EXPECT_TRUE(c.x >= 0 && c.y >= 0 && c.cx > 0 && cy > 0 && c.x + c.cx <= d.cx && c.y + cy <= d.cy)
            << "outside the dialog: " << c.x << "," << c.y << " " << c.cx << "x" << cy;
        if (c.id != IDC_STATIC) {
            EXPECT_TRUE(ids.insert(c.id).second) << "id used twice";
        }
        if (IsDefaultButton(c)) {
            ++defaults;
            EXPECT_EQ(c.id, defaultButtonId);
        }
    }
    EXPECT_EQ(defaults, 1);
}

// A dialog of a test module, with the checks every dialog gets; cx or cy -1: any size.
Dialog LoadDialog(const char *moduleFile, int id, const char *caption, int cx, int cy, int defaultButtonId)
{
    Module module(moduleFile);
    Dialog d;
    EXPECT_TRUE(ParseDialog(module.Resource(id, RT_DIALOG), d)) << "dialog " << id;
    EXPECT_EQ(d.caption, caption);
    if (cx >= 0) {
        EXPECT_EQ(d.cx, cx);
        EXPECT_EQ(d.cy, cy);
    }
    CheckCommonShape(d, defaultButtonId);
    return d;
}

const DialogControl *Control(const Dialog &d, int id)
{
    for (const DialogControl &c : d.controls)
        if (c.id == id)
            return &c;
    ADD_FAILURE() << "no control " << id;
    static const DialogControl none;
    return &none;
}

int FirstTabStop(const Dialog &d)
{
    for (const DialogControl &c : d.controls)
        if ((c.style & WS_TABSTOP) && (c.style & WS_VISIBLE))
            return c.id;
    return 0;
}

TEST(RecorderDialogs, EnterUrlHasOneScrollingEditThatTakesTheFocus)
{
    const Dialog d = LoadDialog("recorder_res.dll", IDD_ENTERURL, "Enter an URL", 329, 47, IDOK);
    ASSERT_EQ(d.controls.size(), 3u);
    const DialogControl *url = Control(d, IDC_URL);
    EXPECT_EQ(url->className, "EDIT");
    EXPECT_TRUE(url->style & ES_AUTOHSCROLL);
    EXPECT_EQ(Control(d, IDCANCEL)->text, "Cancel");
    EXPECT_EQ(FirstTabStop(d), IDC_URL);
}

TEST(RecorderDialogs, OptionsLayoutAndControlKinds)
{
    const Dialog d = LoadDialog("recorder_res.dll", IDD_OPTIONS, "Options for Tarnwick", 353, 95, IDOK);
    EXPECT_TRUE(d.style & WS_SYSMENU);
    ASSERT_EQ(d.controls.size(), 7u);
    EXPECT_EQ(d.controls[0].text, "Save recordings to directory:");
    EXPECT_EQ(d.controls[3].text, "Check for an update:");

    const DialogControl *dir = Control(d, IDC_SAVEDIR);
    EXPECT_EQ(dir->className, "EDIT");
    EXPECT_EQ(dir->style & (WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP), DWORD(WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP));
    const DialogControl *browse = Control(d, IDC_BROWSE);
    EXPECT_EQ(browse->text, "...");
    const DialogControl *policy = Control(d, IDC_AUTOUPDATE);
    EXPECT_EQ(policy->className, "COMBOBOX");
    EXPECT_EQ(policy->style & 3, DWORD(CBS_DROPDOWNLIST)); // a list without an edit field
    EXPECT_TRUE(policy->style & WS_VSCROLL);
    // The dialog manager focuses the first tab stop: the directory.
    EXPECT_EQ(FirstTabStop(d), IDC_SAVEDIR);
}

TEST(RecorderDialogs, AboutNamesTheProductVersionAndMaker)
{
    const Dialog d = LoadDialog("recorder_res.dll", IDD_ABOUT, "About Tarnwick", -1, -1, IDOK);
    std::vector<std::string> lines;
    for (const DialogControl &c : d.controls)
        if (c.className == "STATIC")
            lines.push_back(c.text);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("Tarnwick"), std::string::npos);
    EXPECT_NE(lines[0].find(TW_EXPECTED_VERSION), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1], "Copyright (C) Orvanne");
    EXPECT_EQ(Control(d, IDOK)->text, "OK");
}

TEST(LauncherDialog, StartupShowsOnlyTheStatusUntilTheWorkersSayOtherwise)
{
    const Dialog d = LoadDialog("launcher_res.dll", IDD_STARTUP, "Tarnwick startup", 234, 85, IDCANCEL);
    EXPECT_TRUE(d.style & DS_CENTER);
    EXPECT_FALSE(d.style & WS_SYSMENU) << "no close box: only the buttons end the dialog";
    ASSERT_EQ(d.controls.size(), 4u);

    const DialogControl *status = Control(d, IDC_STARTUP_STATUS);
    EXPECT_EQ(status->className, "STATIC");
    EXPECT_EQ(status->text, "Static");
    EXPECT_TRUE(status->style & WS_VISIBLE);

    // Class names compare without regard to case, as the window system does.
    const DialogControl *progress = Control(d, IDC_STARTUP_PROGRESS);
    EXPECT_EQ(progress->className, "MSCTLS_PROGRESS32");
    EXPECT_EQ(progress->style & (WS_VISIBLE | WS_BORDER), DWORD(WS_BORDER));

    const DialogControl *ok = Control(d, IDC_STARTUP_OK);
    EXPECT_EQ(ok->text, "OK");
    EXPECT_EQ(ok->style & (WS_VISIBLE | WS_TABSTOP | BS_TYPEMASK), DWORD(WS_TABSTOP | BS_PUSHBUTTON));
    const DialogControl *cancel = Control(d, IDCANCEL);
    EXPECT_EQ(cancel->text, "Cancel");
    EXPECT_EQ(cancel->style & (WS_VISIBLE | WS_TABSTOP | BS_TYPEMASK), DWORD(WS_TABSTOP | BS_DEFPUSHBUTTON));
    // One place for both: at most one of them is ever shown.
    EXPECT_TRUE(ok->x < cancel->x + cancel->cx && cancel->x < ok->x + ok->cx && ok->y < cancel->y + cancel->cy &&
                cancel->y < ok->y + ok->cy);
}

} // namespace
