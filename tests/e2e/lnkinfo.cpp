// Loads a shortcut with the shell link object and prints its target path and
// description, one a line; exit code 1 when it cannot be loaded.
#include <windows.h>

#include <objidl.h>
#include <shlobj.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2 || FAILED(CoInitialize(nullptr)))
        return 2;
    IShellLinkA* psl = nullptr;
    IPersistFile* ppf = nullptr;
    WCHAR link[MAX_PATH * 4];
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, link, MAX_PATH * 4);
    int status = 1;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&psl))) &&
        SUCCEEDED(psl->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&ppf))) &&
        SUCCEEDED(ppf->Load(link, STGM_READ)))
    {
        char path[MAX_PATH * 4] = {};
        char description[1024] = {};
        psl->GetPath(path, sizeof path, nullptr, SLGP_RAWPATH);
        psl->GetDescription(description, sizeof description);
        std::printf("%s\n%s\n", path, description);
        status = 0;
    }
    if (ppf)
        ppf->Release();
    if (psl)
        psl->Release();
    CoUninitialize();
    return status;
}
