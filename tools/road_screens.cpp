// road_screens: puts quorvane.exe into the states shown in the documentation pictures
// (dialogs 134, 136 and 131 filled from the simulation server, the main window with
// several tabs) and, for each, prints "shot <name> <x> <y> <width> <height>" with the
// window's screen rectangle, then waits for one line on stdin before going on. Driven by
// scripts/screenshots.sh, which takes each picture from the X display in between.
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "tests/win/road/road_env.h"

namespace {

bool Shot(const char* name, HWND h) {
    RECT rc;
    if (h == nullptr || !GetWindowRect(h, &rc)) return false;
    qvtest::WaitUntil([] { return false; }, 700);  // let it paint
    std::printf("shot %s %ld %ld %ld %ld\n", name, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    std::fflush(stdout);
    std::string line;
    return static_cast<bool>(std::getline(std::cin, line));
}

int Fail(const std::string& why) {
    std::fprintf(stderr, "road_screens: %s\n", why.c_str());
    return 1;
}

}  // namespace

int main() {
    road::Program app;
    ::testing::AssertionResult started =
        app.Launch({road::Connection("Line1", {"Plant.Line1.Temp", "Plant.Line1.Level", "Plant.Line1.Counter"}),
                    road::Connection("Boiler", {"DEV:boiler/pressure", "DEV:boiler/flow"})});
    if (!started) return Fail(started.message());
    SetWindowPos(app.mainWindow(), nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);

    // The connect dialog with this computer's servers, one chosen.
    HWND dlg = app.OpenConnectDialog();
    if (dlg == nullptr) return Fail("no connect dialog");
    road::ChooseComboItem(dlg, 1011, 0);
    qvtest::WaitUntil([] { return false; }, 200);
    SendMessageA(GetDlgItem(dlg, 1011), CB_SETCURSEL, 0, 0);
    if (!Shot("dialog-134-connect", dlg)) return Fail("stdin closed");
    road::Press(dlg, IDOK);

    // The parameters dialog with the alias typed.
    HWND params = road::WaitForDialog(app.pid(), road::kParamsCaption);
    if (params == nullptr) return Fail("no parameters dialog");
    road::SetTextOf(GetDlgItem(params, 1013), "Static");
    if (!Shot("dialog-136-parameters", params)) return Fail("stdin closed");
    road::Press(params, IDOK);
    qvtest::WaitUntil([&] { return app.TabCount() == 3; }, 10000);

    // The browser, opened down to a few leaves, one chosen.
    HWND browser = app.OpenBrowser();
    if (browser == nullptr) return Fail("no browser");
    road::RemoteTree tree(app.processHandle(), GetDlgItem(browser, 1004));
    tree.Expand(tree.Root());
    tree.Expand(tree.Find({"Plant"}));
    tree.Expand(tree.Find({"Devices"}));
    tree.Expand(tree.Find({"Devices", "Boiler"}));
    tree.Select(tree.Find({"Devices", "Boiler", "Pressure"}));
    SetFocus(GetDlgItem(browser, 1004));
    if (!Shot("dialog-131-browser", browser)) return Fail("stdin closed");
    road::Press(browser, 1005);
    tree.Expand(tree.Find({"Plant", "Line1"}));
    tree.Select(tree.Find({"Plant", "Line1", "Random"}));
    road::Press(browser, 1005);
    road::Press(browser, IDCANCEL);
    road::WaitGone(browser);

    // The main window with three tabs, the second one chosen, values arriving.
    HWND tab = app.Control(IDC_SERVER_TAB);
    if (auto rc = road::TabRect(app.processHandle(), tab, 0)) {
        road::BringToFront(app.mainWindow());
        road::Click(tab, (rc->left + rc->right) / 2, (rc->top + rc->bottom) / 2);
    }
    app.WaitForValues(10000);
    qvtest::WaitUntil([] { return false; }, 1500);
    if (!Shot("main-tabs", app.mainWindow())) return Fail("stdin closed");
    app.Close(15000);
    return 0;
}
