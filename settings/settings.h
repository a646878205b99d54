// The settings store: text values under HKEY_CURRENT_USER\SOFTWARE\Orvanne\Tarnwick,
// shared by the launcher and the recorder library. Each module that links this
// store has its own read buffer.
#ifndef TARNWICK_SETTINGS_H
#define TARNWICK_SETTINGS_H

#define SETTINGS_KEY "SOFTWARE\\Orvanne\\Tarnwick"
#define SETTING_TEXT_SIZE 260

// Value names.
#define SETTING_SAVE_DIRECTORY "SaveDirectory"
#define SETTING_LAST_OPENED_URL "LastOpenedURL"
#define SETTING_AUTO_UPDATE "AutoUpdate"
#define SETTING_UPDATE_CHECKED_ON "UpdateCheckedOn"

// The update policies, in the order the Options dialog lists them.
#define POLICY_EVERY_START "Every program start"
#define POLICY_NEXT_START "Next program start"
#define POLICY_FIRST_START_DAILY "First program start (daily)"
#define POLICY_NEVER "Never"

// The read buffer: every successful ReadSetting delivers its value here. Callers
// preset it (empty, or a default) because a failed read leaves it unchanged.
extern char g_szSetting[SETTING_TEXT_SIZE];

// Returns g_szSetting holding the value's text, or NULL when the value is absent,
// not text (REG_SZ or REG_EXPAND_SZ, taken literally), empty-sized, longer than
// SETTING_TEXT_SIZE - 1 characters, or cannot be read.
char *ReadSetting(const char *pszName);

// Stores pszText as REG_SZ (terminating NUL included), creating the key if needed.
bool WriteSetting(const char *pszText, const char *pszName);

// The recorder's start-up seeding: fills both SETTING_TEXT_SIZE buffers from the
// store, storing the current directory and "Every program start" when absent.
void SeedRecorderSettings(char *pszSaveDirectory, char *pszAutoUpdate);

#endif
