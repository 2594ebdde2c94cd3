#include "win32_host.h"

#include <utility>

#include "tovra_main.h"

namespace {

constexpr char WINDOW_CLASS[] = "MdlImportTestHost";
constexpr char DIALOG_CLASS[] = "#32770";
constexpr int MESSAGE_TEXT_ID = 0xFFFF;

// The host whose window and hook are live; one at a time, on one thread.
Win32Host* activeHost = nullptr;

// The icon a message box shows, as the MB_ICON flag that asks for it.
uint32_t IconOf(HWND box) {
    HWND child = nullptr;
    while ((child = FindWindowExA(box, child, "Static", nullptr)) != nullptr) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
        const auto icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        if (icon == nullptr) return 0;
        if (icon == LoadIconA(nullptr, IDI_ERROR)) return MB_ICONERROR;
        if (icon == LoadIconA(nullptr, IDI_INFORMATION)) return MB_ICONINFORMATION;
        return 0xF0;  // some other icon
    }
    return 0;
}

}  // namespace

Win32Host::Win32Host(const std::filesystem::path& plugin) {
    module = LoadLibraryW(plugin.c_str());
    if (module == nullptr) {
        error = "cannot load " + plugin.u8string() + " (error " + std::to_string(GetLastError()) + ")";
        return;
    }
    // Each export by name, which must be the export at its ordinal too.
    const auto byNameAtOrdinal = [this](const char* name, int ordinal) -> void* {
        void* named = reinterpret_cast<void*>(GetProcAddress(module, name));
        if (named != nullptr && named != reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal)))) {
            error = std::string(name) + " is not at ordinal " + std::to_string(ordinal);
            return nullptr;
        }
        return named;
    };
    const auto atOrdinal = [this](const char*, int ordinal) {
        return reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal)));
    };
    const char* missing = ResolveExports(byNameAtOrdinal, byName);
    if (missing == nullptr) missing = ResolveExports(atOrdinal, byOrdinal);
    if (missing != nullptr && error.empty()) error = std::string("no export named ") + missing;

    static bool registered = false;
    if (!registered) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = WINDOW_CLASS;
        registered = RegisterClassA(&windowClass) != 0;
    }
    window = CreateWindowExA(0, WINDOW_CLASS, "MDL import test host", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                             320, 240, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr && error.empty()) error = "cannot create the host window";
    hook = SetWindowsHookExA(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
    activeHost = this;
    SetScaleImageObserver(NoteScaleImage, this);
}

Win32Host::~Win32Host() {
    SetScaleImageObserver(nullptr, nullptr);
    activeHost = nullptr;
    if (hook != nullptr) UnhookWindowsHookEx(hook);
    if (window != nullptr) DestroyWindow(window);
    if (module != nullptr) FreeLibrary(module);
    ReleaseScaledImages();
}

ImportCapture Win32Host::Run(const char* path, bool initWindow) {
    capture = ImportCapture{};
    boxesSeen.clear();
    if (initWindow) byName.InitWindow(window);
    const int result = byName.ExecFunction(path);
    ImportCapture seen = std::exchange(capture, ImportCapture{});
    seen.file = path != nullptr ? path : "";
    seen.result = result;
    return seen;
}

LRESULT CALLBACK Win32Host::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Win32Host* host = activeHost;
    if (host == nullptr || hwnd != host->window || !IsPrivateMessage(message))
        return DefWindowProcA(hwnd, message, wParam, lParam);
    // The records are released after the message: the capture copies them now.
    return host->capture.NoteDelivery(message, reinterpret_cast<const void*>(wParam), static_cast<int32_t>(lParam),
                                      host->refused.count(message) == 0);
}

LRESULT CALLBACK Win32Host::CbtProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && activeHost != nullptr) {
        const auto box = reinterpret_cast<HWND>(wParam);
        char className[16] = {};
        GetClassNameA(box, className, sizeof className);
        if (lstrcmpA(className, DIALOG_CLASS) == 0) activeHost->NoteBox(box);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void Win32Host::NoteBox(HWND box) {
    const FloatingPointState environment = ReadFloatingPointState();
    if (!boxesSeen.insert(box).second) return;  // activated again: seen already
    char caption[512] = {};
    char text[1024] = {};
    GetWindowTextA(box, caption, sizeof caption);
    GetDlgItemTextA(box, MESSAGE_TEXT_ID, text, sizeof text);
    capture.NoteMessageBox(GetWindow(box, GW_OWNER), window, text, caption, IconOf(box), environment);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

void Win32Host::NoteScaleImage(void* context, const _COLOR* pixels, int width, int height, const char* result) {
    Win32Host* host = static_cast<Win32Host*>(context);
    host->capture.NoteScaleImage(pixels, width, height, result);
}
