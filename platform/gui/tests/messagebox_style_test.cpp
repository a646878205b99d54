// Decoding of message box styles and the escaping of UI log fields.
#include "automation/automation.h"
#include "msgbox/messagebox_style.h"

#include <gtest/gtest.h>

namespace {

TEST(MessageBoxStyle, DefaultButtonAndCloseAnswer)
{
    twgui::MessageBoxStyle style;
    ASSERT_TRUE(twgui::DecodeMessageBoxStyle(MB_YESNOCANCEL | MB_DEFBUTTON3 | MB_ICONWARNING, style));
    EXPECT_EQ(style.buttons, (std::vector<int>{IDYES, IDNO, IDCANCEL}));
    EXPECT_EQ(style.defaultButton, IDCANCEL);
    EXPECT_EQ(style.closeAnswer, IDCANCEL);
    EXPECT_EQ(style.icon, twgui::MessageBoxIcon::Warning);

    ASSERT_TRUE(twgui::DecodeMessageBoxStyle(MB_YESNO | MB_DEFBUTTON3, style));
    EXPECT_EQ(style.defaultButton, IDYES);
    EXPECT_EQ(style.closeAnswer, 0);

    ASSERT_TRUE(twgui::DecodeMessageBoxStyle(MB_OK | MB_TOPMOST | MB_SETFOREGROUND | MB_TASKMODAL, style));
    EXPECT_EQ(style.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(style.closeAnswer, IDOK);

    EXPECT_FALSE(twgui::DecodeMessageBoxStyle(6, style));
    EXPECT_FALSE(twgui::DecodeMessageBoxStyle(0xF, style));
}

TEST(UiLog, FieldsAreEscaped)
{
    EXPECT_EQ(twgui::EscapeLogField("a\tb\nc\\d\re"), "a\\tb\\nc\\\\d\\re");
    EXPECT_EQ(twgui::EscapeLogField("\\t"), "\\\\t");
    EXPECT_EQ(twgui::EscapeLogField(""), "");
}

} // namespace
