#include "win/Registry.h"

#include "win/HeapChars.h"

#include <cstring>

namespace
{
bool NameMatches(const char* wanted, const char* valueName, DWORD lpcValueName)
{
    if (!wanted)
        return lpcValueName == 0;
    return std::strcmp(valueName, wanted) == 0;
}

// RegEnumValueA does not terminate data of types other than strings, nor a
// string stored without its terminator: only the lpcbData bytes are read.
void CopyAsString(const char* data, DWORD lpcbData, char* buffer, DWORD size)
{
    const std::size_t limit = lpcbData < size - 1 ? lpcbData : size - 1;
    const void* zero = std::memchr(data, '\0', limit);
    const std::size_t length = zero ? static_cast<const char*>(zero) - data : limit;
    std::memcpy(buffer, data, length);
    buffer[length] = '\0';
}
} // namespace

Registry::Registry() : Key(nullptr) {}

Registry::~Registry()
{
    Close();
}

void Registry::Close()
{
    if (!Key)
        return;
    RegCloseKey(Key);
    Key = nullptr;
}

bool Registry::Open(const char* subKey, HKEY root, REGSAM access)
{
    Close();
    if (RegOpenKeyExA(root, subKey, 0, access, &Key) == ERROR_SUCCESS)
        return true;
    Key = nullptr;
    return false;
}

bool Registry::Create(const char* subKey, HKEY root)
{
    Close();
    DWORD disposition = 0;
    if (RegCreateKeyExA(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &Key, &disposition) == ERROR_SUCCESS)
        return true;
    Key = nullptr;
    return false;
}

bool Registry::ReadString(const char* name, char* buffer, DWORD size)
{
    if (!Key)
        return false;
    const HeapChars valueName = AllocateChars(size);
    const HeapChars data = AllocateChars(size);
    if (!valueName || !data)
        return false;

    for (DWORD index = 0;; ++index)
    {
        DWORD lpcValueName = size;
        DWORD lpcbData = size;
        DWORD lpType = 0;
        if (RegEnumValueA(Key, index, valueName.get(), &lpcValueName, nullptr, &lpType,
                          reinterpret_cast<BYTE*>(data.get()), &lpcbData) != ERROR_SUCCESS)
            return false;
        if (NameMatches(name, valueName.get(), lpcValueName))
        {
            CopyAsString(data.get(), lpcbData, buffer, size);
            return true;
        }
    }
}

bool Registry::WriteString(const char* name, const char* text)
{
    if (!Key)
        return false;
    return RegSetValueExA(Key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

bool Registry::DeleteSubKey(const char* name)
{
    if (!Key)
        return false;
    return RegDeleteKeyA(Key, name) == ERROR_SUCCESS;
}
