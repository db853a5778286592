#include "shell/opener.h"
#include "shell/shellapi.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <cstring>

namespace shell {
namespace {

bool OpenWithDesktop(const std::string& target)
{
    // The caller's text is 8-bit; an address is ASCII, and Latin-1 keeps
    // every other byte a character.
    const QUrl url = QUrl::fromUserInput(QString::fromLatin1(target.c_str()));
    return url.isValid() && QDesktopServices::openUrl(url);
}

Opener& Installed()
{
    static Opener opener;
    return opener;
}

// The system's success values are instance handles; any value above 32.
HINSTANCE Result(INT code)
{
    return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(code));
}

}  // namespace

Opener SetOpener(Opener opener)
{
    Opener previous = std::move(Installed());
    Installed() = std::move(opener);
    return previous;
}

}  // namespace shell

HINSTANCE ShellExecuteA(HWND, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR, LPCSTR, INT)
{
    constexpr INT kSuccess = 42;
    if (!lpFile || !*lpFile) return shell::Result(SE_ERR_FNF);
    if (lpOperation && std::strcmp(lpOperation, "open") != 0) return shell::Result(SE_ERR_NOASSOC);
    const shell::Opener& opener = shell::Installed();
    const bool opened = opener ? opener(lpFile) : shell::OpenWithDesktop(lpFile);
    return shell::Result(opened ? kSuccess : SE_ERR_NOASSOC);
}
