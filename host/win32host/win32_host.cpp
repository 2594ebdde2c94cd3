#include "win32_host.h"

#include <utility>

#include "tovra_main.h"

namespace {

constexpr char WINDOW_CLASS[] = "MdlImportTestHost";
constexpr char DIALOG_CLASS[] = "#32770";
constexpr int MESSAGE_TEXT_ID = 0xFFFF;

// The host whose window and hook are live; one at a time, on one thread.
Win32Host* activeHost = nullptr;

template <typename Function>
bool Resolve(HMODULE module, const char* name, WORD ordinal, Function& byName, Function& byOrdinal,
             std::string& error) {
    byName = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    byOrdinal = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal))));
    if (byName == nullptr) error = std::string("no export named ") + name;
    else if (byOrdinal != byName) error = std::string(name) + " is not at ordinal " + std::to_string(ordinal);
    return error.empty();
}

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

Win32Host::Win32Host(const char* plugin) {
    module = LoadLibraryA(plugin);
    if (module == nullptr) {
        error = std::string("cannot load ") + plugin + " (error " + std::to_string(GetLastError()) + ")";
        return;
    }
    Resolve(module, "GetType", 1, byName.GetType, byOrdinal.GetType, error) &&
        Resolve(module, "ReturnLabel", 2, byName.ReturnLabel, byOrdinal.ReturnLabel, error) &&
        Resolve(module, "InitWindow", 3, byName.InitWindow, byOrdinal.InitWindow, error) &&
        Resolve(module, "ExecFunction", 4, byName.ExecFunction, byOrdinal.ExecFunction, error) &&
        Resolve(module, "GetInfo", 5, byName.GetInfo, byOrdinal.GetInfo, error) &&
        Resolve(module, "ReturnData", 6, byName.ReturnData, byOrdinal.ReturnData, error);

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

ImportReport Win32Host::Run(const char* path, bool initWindow) {
    report = ImportReport{};
    boxesSeen.clear();
    if (initWindow) byName.InitWindow(window);
    const int result = byName.ExecFunction(path);
    ImportReport seen = std::exchange(report, ImportReport{});
    seen.file = path != nullptr ? path : "";
    seen.result = result;
    return seen;
}

LRESULT CALLBACK Win32Host::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Win32Host* host = activeHost;
    if (host == nullptr || hwnd != host->window || FindDeliveryKind(message) == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    // The records are released after the message: copy them now.
    const FloatingPointState environment = ReadFloatingPointState();
    DeliverySeen delivery = CopyDelivery(message, reinterpret_cast<const void*>(wParam), static_cast<int32_t>(lParam));
    delivery.accepted = host->refused.count(message) == 0;
    delivery.environment = environment;
    host->report.deliveries.push_back(std::move(delivery));
    return host->report.deliveries.back().accepted ? 1 : 0;
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
    const HWND owner = GetWindow(box, GW_OWNER);
    const BoxOwner boxOwner = owner == nullptr ? BoxOwner::None : owner == window ? BoxOwner::Host : BoxOwner::Other;
    report.messageBoxes.push_back(MessageBoxSeen{boxOwner, text, std::string(caption), IconOf(box), environment});
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

void Win32Host::NoteScaleImage(void* context, const _COLOR* pixels, int width, int height, const char* result) {
    Win32Host* host = static_cast<Win32Host*>(context);
    host->report.scaleImageCalls.push_back(CopyScaleImageCall(pixels, width, height, result));
}
