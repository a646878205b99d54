// The shell's folder browser on Qt's folder chooser, and item lists that carry a
// file-system path.
#include "automation/automation.h"
#include "windows/msgqueue.h"
#include "qt/qtthread.h"
#include "automation/script.h"
#include "automation/uiactions.h"

#include <QFileDialog>
#include <shlobj.h>

#include <cstring>

using namespace twgui;

namespace {

// An item list holding one path: SHITEMID{cb, path bytes with NUL}, then a 0 terminator.
PIDLIST_ABSOLUTE MakeItemList(const std::string &path)
{
    size_t idSize = 2 + path.size() + 1;
    if (idSize > 0xFFFF || path.size() >= MAX_PATH)
        return nullptr;
    auto *bytes = static_cast<BYTE *>(CoTaskMemAlloc(idSize + 2));
    if (bytes == nullptr)
        return nullptr;
    bytes[0] = static_cast<BYTE>(idSize & 0xFF);
    bytes[1] = static_cast<BYTE>(idSize >> 8);
    std::memcpy(bytes + 2, path.c_str(), path.size() + 1);
    bytes[idSize] = 0;
    bytes[idSize + 1] = 0;
    return reinterpret_cast<PIDLIST_ABSOLUTE>(bytes);
}

// Shows the chooser on the Qt thread; the caller's thread keeps handling its
// messages until the user answers.
std::optional<std::string> AskUser(const std::string &title)
{
    struct Answer {
        std::mutex mutex;
        bool done = false;
        std::optional<std::string> path;
    };
    auto answer = std::make_shared<Answer>();
    DWORD caller = GetCurrentThreadId();
    CurrentQueue();
    bool posted = PostToQtThread([answer, title, caller] {
        auto *dialog = new QFileDialog(nullptr, QString::fromUtf8(title.c_str()));
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly, true);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, answer, caller](int result) {
            {
                std::lock_guard<std::mutex> lock(answer->mutex);
                answer->done = true;
                QStringList chosen = dialog->selectedFiles();
                if (result == QDialog::Accepted && !chosen.isEmpty())
                    answer->path = chosen.front().toStdString();
            }
            WakeModalLoop(caller);
        });
        AtQtThreadExit([answer, caller] {
            {
                std::lock_guard<std::mutex> lock(answer->mutex);
                answer->done = true;
            }
            WakeModalLoop(caller);
        });
        dialog->open();
    });
    if (!posted)
        return std::nullopt;
    ModalLoop([answer] {
        std::lock_guard<std::mutex> lock(answer->mutex);
        return answer->done;
    });
    std::lock_guard<std::mutex> lock(answer->mutex);
    return answer->path;
}

} // namespace

EXTERN_C PIDLIST_ABSOLUTE WINAPI SHBrowseForFolderA(LPBROWSEINFOA lpbi)
{
    if (lpbi == nullptr)
        return nullptr;
    StartUiScript();
    std::string title = lpbi->lpszTitle != nullptr ? lpbi->lpszTitle : "";
    std::optional<std::string> path;
    if (!TakeFolderAnswer(path) && !UiScriptActive())
        path = AskUser(title);
    AppendUiLog({"browse", title, path ? *path : "cancel"});
    if (!path)
        return nullptr;
    if (lpbi->pszDisplayName != nullptr) {
        size_t slash = path->find_last_of('/');
        std::string name = slash == std::string::npos || slash + 1 == path->size() ? *path : path->substr(slash + 1);
        lstrcpynA(lpbi->pszDisplayName, name.c_str(), MAX_PATH);
    }
    return MakeItemList(*path);
}

EXTERN_C BOOL WINAPI SHGetPathFromIDListA(PCIDLIST_ABSOLUTE pidl, LPSTR pszPath)
{
    if (pidl == nullptr || pszPath == nullptr)
        return FALSE;
    const BYTE *bytes = reinterpret_cast<const BYTE *>(pidl);
    size_t idSize = static_cast<size_t>(bytes[0] | (bytes[1] << 8));
    if (idSize < 3) {
        *pszPath = '\0';
        return FALSE;
    }
    const char *path = reinterpret_cast<const char *>(bytes + 2);
    size_t length = strnlen(path, idSize - 2);
    if (length >= MAX_PATH || length == idSize - 2) {
        *pszPath = '\0';
        return FALSE;
    }
    std::memcpy(pszPath, path, length + 1);
    return TRUE;
}

EXTERN_C HRESULT WINAPI SHGetMalloc(IMalloc **ppMalloc)
{
    if (ppMalloc == nullptr)
        return E_INVALIDARG;
    return CoGetMalloc(1, ppMalloc);
}
