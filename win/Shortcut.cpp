#include "win/Shortcut.h"

#include <objidl.h>
#include <shlobj.h>

namespace
{
HRESULT SaveLink(IShellLinkA* psl, const char* link)
{
    IPersistFile* ppf = nullptr;
    HRESULT result = psl->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&ppf));
    if (FAILED(result))
        return result;

    WCHAR wsz[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, link, -1, wsz, MAX_PATH) == 0)
        result = HRESULT_FROM_WIN32(GetLastError());
    else
        result = ppf->Save(wsz, TRUE);
    ppf->Release();
    return result;
}
} // namespace

HRESULT CreateShortcut(const char* target, const char* link, const char* description)
{
    IShellLinkA* psl = nullptr;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkA, reinterpret_cast<void**>(&psl));
    if (FAILED(result))
        return result;

    psl->SetPath(target);
    psl->SetDescription(description);
    result = SaveLink(psl, link);
    psl->Release();
    return result;
}
