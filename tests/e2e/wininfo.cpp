// Prints every visible top-level window of the Wine session as one JSON object
// a line: its title, class, screen rectangle, the rectangle of its close box,
// and its child controls with their ids, texts and rectangles. End-to-end
// tests read dialogs and message boxes through it and click where it says.
#include <windows.h>

#include <cstdio>
#include <string>

namespace
{
std::string Json(const std::string& text)
{
    std::string out = "\"";
    for (const unsigned char c : text)
    {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c < 0x20)
        {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
            continue;
        }
        out += static_cast<char>(c);
    }
    return out + "\"";
}

std::string Json(const RECT& r)
{
    return "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + "]";
}

std::string Describe(HWND window)
{
    char text[1024] = {};
    char name[128] = {};
    GetWindowTextA(window, text, sizeof text);
    GetClassNameA(window, name, sizeof name);
    RECT rect;
    GetWindowRect(window, &rect);
    return "\"text\":" + Json(text) + ",\"class\":" + Json(name) + ",\"rect\":" + Json(rect) +
           ",\"id\":" + std::to_string(static_cast<int>(GetDlgCtrlID(window)));
}

// The close box as the window itself reports it: the run of points along the
// middle of the caption that hit-test as HTCLOSE.
RECT CloseBox(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    const int y = rect.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    RECT box = {0, 0, 0, 0};
    for (int x = rect.right - 1; x > rect.left; --x)
    {
        const bool hit = SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE;
        if (hit && box.right == 0)
            box = {x, y, x + 1, y + 1};
        else if (hit)
            box.left = x;
        else if (box.right != 0)
            break;
    }
    return box;
}

BOOL CALLBACK AddChild(HWND child, LPARAM out)
{
    std::string& children = *reinterpret_cast<std::string*>(out);
    if (!children.empty())
        children += ",";
    children += "{" + Describe(child) + "}";
    return TRUE;
}

BOOL CALLBACK PrintWindow(HWND window, LPARAM)
{
    if (!IsWindowVisible(window) || !(GetWindowLongA(window, GWL_STYLE) & WS_CAPTION))
        return TRUE;
    std::string children;
    EnumChildWindows(window, AddChild, reinterpret_cast<LPARAM>(&children));
    std::printf("{\"hwnd\":%llu,%s,\"close\":%s,\"children\":[%s]}\n",
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)),
                Describe(window).c_str(), Json(CloseBox(window)).c_str(), children.c_str());
    return TRUE;
}
} // namespace

int main()
{
    EnumWindows(PrintWindow, 0);
    return 0;
}
