// The Windows window driven in-process by its messages (clicks, keys,
// WM_APP_CONTROL, close) against the simulator on loopback, and read back:
// list texts, the colours custom draw picks, buttons and focus, title,
// layout, registry bytes, the guide, a second instance.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "packages/ModuleTable.h"
#include "app/WindowPlacement.h"
#include "app/WindowNames.h"
#include "platform/win32/WideText.h"
#include "support/Packages.h"
#include "support/SimFixture.h"
#include "window/win32/HelpFile.h"
#include "window/win32/QelOneClickDlg.h"
#include "window/win32/WindowPlacement.h"
#include "window/win32/ThemeHelperST.h"
#include "window/win32/resource.h"

namespace {

using namespace testsupport;

// Serves the thread's messages, the dialog's through IsDialogMessage, until
// condition holds or realMs have passed.
bool Pump(HWND dialog, const std::function<bool()>& condition, int realMs) {
  const uint64_t end = GetTickCount64() + realMs;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!IsWindow(dialog) || !IsDialogMessageW(dialog, &msg)) TranslateMessage(&msg), DispatchMessageW(&msg);
    }
    if (condition() || GetTickCount64() > end) return condition();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
  }
}

class Win32WindowTest : public ::testing::Test {
 protected:
  Win32WindowTest() : m_SimOptions(FastSimOptions(100)) {
    TheModuleTable().Clear();
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKeyPath().c_str());
    DeleteFileW(HelpFilePath().c_str());
    m_SimOptions.m_InstallMs = 10000;  // the router's result must not come before the pass waits for it
    AimAtSimulator(&m_Options, m_SimOptions, m_Packages.Path());
    m_Options.m_LoopTestMarker = m_Packages.File("loop-test.ini");
  }
  // A new window in place of the last. Its boxes are recorded as "<icon>
  // <text>" ("!" warning, "i" information, " [No]" when No is the default)
  // and answered with m_Answer; F1 adds to m_Opened.
  CQelOneClickDlg& Open() {
    m_Dialog.reset();
    m_Dialog = std::make_unique<CQelOneClickDlg>(m_Options);
    m_Dialog->m_MessageBox = [this](const std::wstring& text, UINT style) {
      m_Boxes.push_back(std::string(style & MB_ICONWARNING ? "! " : "i ") + Utf8FromWide(text) +
                        (style & MB_DEFBUTTON2 ? " [No]" : ""));
      return style & MB_YESNO ? m_Answer : IDOK;
    };
    m_Dialog->m_HelpOpener = [this](const std::wstring& path) { return m_Opened.push_back(path), true; };
    EXPECT_TRUE(m_Dialog->Create());
    return *m_Dialog;
  }
  HWND Dialog() const { return m_Dialog->Handle(); }
  HWND Control(int id) const { return GetDlgItem(Dialog(), id); }
  bool Serve(const std::function<bool()>& condition, int realMs = 20000) { return Pump(Dialog(), condition, realMs); }
  // Until the workers are idle and the control codes they posted are handled.
  bool WaitIdle(int realMs = 30000) {
    CWindowController& controller = m_Dialog->Controller();
    const bool idle = Serve([&] { return !controller.WorkersRunning() && !controller.UpgradeInProcess(); }, realMs);
    Serve([] { return false; }, 50);
    return idle;
  }
  // A key as the keyboard gives it to the focused control.
  void Key(WPARAM key) {
    for (UINT message : {WM_KEYDOWN, WM_KEYUP}) PostMessageW(GetFocus(), message, key, 1);
    Serve([] { return false; }, 50);
  }
  void Click(int id) {
    SendMessageW(Control(id), BM_CLICK, 0, 0);
    Serve([] { return false; }, 20);
  }
  // "C" Check enabled, "c" disabled, "U" / "u" Upgrade, then the focus: ">C", ">U" or ">-".
  std::string Buttons() const {
    const HWND focus = GetFocus();
    return std::string(IsWindowEnabled(Control(IDC_CHECK)) ? "C" : "c") + (IsWindowEnabled(Control(IDC_UPGRADE)) ? "U" : "u") +
           (focus == Control(IDC_CHECK) ? ">C" : focus == Control(IDC_UPGRADE) ? ">U" : ">-");
  }
  static constexpr int STATUS_COLOURS = -1;
  // A column's texts, or for STATUS_COLOURS the colour custom draw gives
  // each Status cell, as the list asks for it.
  std::vector<std::string> Column(int column) const {
    std::vector<std::string> cells;
    for (int row = 0; row < m_Dialog->List().RowCount(); ++row) {
      if (column != STATUS_COLOURS) {
        cells.push_back(m_Dialog->List().CellText(row, column));
        continue;
      }
      NMLVCUSTOMDRAW draw = {};
      draw.nmcd.hdr = {Control(IDC_LIST), IDC_LIST, static_cast<UINT>(NM_CUSTOMDRAW)};
      draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
      draw.nmcd.dwItemSpec = row;
      draw.nmcd.lItemlParam = m_Dialog->List().RowColour(row);
      draw.iSubItem = COL_STATUS;
      SendMessageW(Dialog(), WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&draw));
      char text[16];
      snprintf(text, sizeof text, "%06lx", static_cast<unsigned long>(draw.clrText));  // 0xBBGGRR
      cells.push_back(draw.clrText == GetSysColor(COLOR_GRAYTEXT) ? "grey" : text);
    }
    return cells;
  }
  LayoutRect Place(int id) const {
    RECT r;
    GetWindowRect(Control(id), &r);
    MapWindowPoints(nullptr, Dialog(), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
  }

  ScopedClockScale m_Clock{100};
  TempDir m_Packages;
  std::vector<std::string> m_Boxes;
  std::vector<std::wstring> m_Opened;
  int m_Answer = IDNO;
  SimOptions m_SimOptions;
  WindowOptions m_Options;
  std::unique_ptr<GatewaySim> m_Sim;
  std::unique_ptr<CQelOneClickDlg> m_Dialog;  // goes before the simulator
};

// Title, columns and the layout for the size (a minimised window's 0 x 0
// lays out at the minimum track size); F1 extracts the guide once and opens
// it. Without a router a Check warns and Escape asks first; a missing and a
// conflicting package keep Upgrade disabled, with their rows grey and red;
// Enter presses the focused button. Once fixed, a Check allows the Upgrade,
// during which closing is refused. A confirmed close saves the placement.
TEST_F(Win32WindowTest, ChecksAndUpgradeDriveTheButtonsAndRows) {
  MakeFittingPackages(m_Packages.Path());
  Open();
  wchar_t title[128];
  GetWindowTextW(Dialog(), title, 128);
  EXPECT_EQ(Utf8FromWide(std::wstring(title)), ComposeWindowTitle("QEL Upgrade", QEL_VERSION));
  EXPECT_EQ(std::string(QEL_VERSION " - Press F1 for Help"), Utf8FromWide(std::wstring(title)).substr(14));
  std::vector<std::string> headers;
  for (int column = 0; column < LIST_COLUMN_COUNT; ++column) headers.push_back(m_Dialog->List().HeaderText(column));
  EXPECT_EQ(headers, std::vector<std::string>({"Type", "Current Version", "Upgrade Version", "%", "Status"}));
  EXPECT_EQ(Buttons(), "Cu>C");
  ASSERT_EQ(m_Dialog->Dpi(), 96);
  SendMessageW(Dialog(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(900, 300));
  EXPECT_EQ(std::vector<LayoutRect>({Place(IDC_CHECK), Place(IDC_UPGRADE), Place(IDC_LIST)}),
            std::vector<LayoutRect>({{166, 6, 200, 50}, {532, 6, 200, 50}, {10, 62, 880, 232}}));
  MINMAXINFO limits = {};
  SendMessageW(Dialog(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  EXPECT_EQ(limits.ptMinTrackSize.x, 2 * GetSystemMetrics(SM_CXSIZEFRAME) + 430);
  SendMessageW(Dialog(), WM_SIZE, SIZE_MINIMIZED, 0);
  EXPECT_EQ(Place(IDC_UPGRADE).m_Left, 2 * ((limits.ptMinTrackSize.x - 400) / 3) + 200);
  EXPECT_EQ(Place(IDC_LIST).m_Height, limits.ptMinTrackSize.y - 68);
  SendMessageW(Dialog(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(900, 300));

  const std::string help = Utf8FromWide(HelpFilePath());
  SendMessageW(Dialog(), WM_SYSCOMMAND, SC_HOTKEY, 0);
  EXPECT_NE(ReadText(help).find("QEL Upgrade"), std::string::npos);
  DeleteFileW(HelpFilePath().c_str());
  WriteFile(help, {'x'});  // found there: opened as it is
  SendMessageW(Dialog(), WM_SYSCOMMAND, SC_HOTKEY, 0);
  EXPECT_EQ(ReadText(help), "x");
  EXPECT_EQ(m_Opened, std::vector<std::wstring>(2, HelpFilePath()));

  Click(IDC_CHECK);
  EXPECT_EQ(Buttons().substr(0, 2), "cu");
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(m_Dialog->List().RowCount(), 0);
  EXPECT_EQ(Buttons(), "Cu>C");
  Key(VK_ESCAPE);
  EXPECT_TRUE(IsWindow(Dialog()));

  MakePackage(m_Packages.Path(), MODULE_APP, "1.3.0.0");
  DeleteFileW(WideFromUtf8(m_Packages.File("pkg0.bin")).c_str());
  m_SimOptions.m_NewFirmwareVersion = "2.1.5.0";
  m_Sim = StartSim(m_SimOptions);
  Key(VK_RETURN);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Buttons(), "Cu>C");
  EXPECT_EQ(Column(COL_STATUS), std::vector<std::string>({"Not found", "Version does not match", "Waiting for the upgrade",
                                                          "Waiting for the upgrade", "Waiting for the upgrade"}));
  EXPECT_EQ(Column(STATUS_COLOURS), std::vector<std::string>({"grey", "0000ff", "ff0000", "ff0000", "ff0000"}));
  EXPECT_GE(ListView_GetColumnWidth(Control(IDC_LIST), COL_TYPE),
            ListView_GetStringWidth(Control(IDC_LIST), L"Customization of router module"));

  MakeFittingPackages(m_Packages.Path());
  Key(VK_RETURN);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Buttons(), "CU>U");
  EXPECT_EQ(Column(COL_CURRENT), std::vector<std::string>({"1.2.3.4", "1.2.3.4", "1.2.3.4", "2.1.0.7", "3.0.1.2"}));
  EXPECT_EQ(Column(COL_UPGRADE), std::vector<std::string>({"1.2.3.10", "1.2.3.11", "1.2.3.12", "2.1.5.0", "3.0.1.9"}));
  Key(VK_RETURN);  // presses the focused Upgrade
  ASSERT_TRUE(Serve([&] { return m_Dialog->Controller().UpgradeInProcess(); }));
  EXPECT_EQ(Buttons().substr(0, 2), "cu");
  SendMessageW(Dialog(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitIdle(60000));
  EXPECT_EQ(Buttons(), "Cu>C");
  for (const std::string& status : Column(COL_STATUS))
    EXPECT_TRUE(std::regex_match(status, std::regex("Download successfully \\(\\d\\d:\\d\\d\\)"))) << status;
  EXPECT_EQ(Column(STATUS_COLOURS), std::vector<std::string>(5, "ff0000"));
  EXPECT_EQ(Column(COL_PERCENT)[MODULE_FIRMWARE], "100%");
  EXPECT_EQ(m_Sim->RouterImages().size(), 3u);

  WINDOWPLACEMENT before = {};
  before.length = sizeof before;
  GetWindowPlacement(Dialog(), &before);
  m_Answer = IDYES;
  Key(VK_ESCAPE);
  EXPECT_FALSE(IsWindow(Dialog()));
  uint8_t saved[64];
  DWORD size = sizeof saved;
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, SettingsKeyPath().c_str(), L"Window Position", RRF_RT_REG_BINARY, nullptr,
                         saved, &size), ERROR_SUCCESS);
  WindowPlacement record;
  ASSERT_TRUE(record.Decode(saved, size));
  EXPECT_EQ(std::vector<int32_t>({record.m_Length, record.m_ShowCmd, record.m_Left, record.m_Top, record.m_Right}),
            std::vector<int32_t>({0, SHOW_NORMAL, before.rcNormalPosition.left, before.rcNormalPosition.top,
                                  before.rcNormalPosition.right}));
  const std::string confirm = "i Are you sure? [No]";
  EXPECT_EQ(m_Boxes, std::vector<std::string>({"! No router is detected", confirm,
                                               "! The upgrade is in process. Please wait!", confirm}));
}

// The control codes: a failed Check's focus; in loop-test mode (the marker
// looked at once, when the window opens) a Check is followed by an Upgrade,
// and that by a Check, on their own. The list refuses a divider drag and its
// header keeps the cursor.
TEST_F(Win32WindowTest, ControlCodesLoopTestAndFixedColumns) {
  MakeFittingPackages(m_Packages.Path());
  m_Sim = StartSim(m_SimOptions);
  WriteFile(m_Options.m_LoopTestMarker, {});
  Open();
  DeleteFileW(WideFromUtf8(m_Options.m_LoopTestMarker).c_str());
  SetFocus(Control(IDC_LIST));
  PostMessageW(Dialog(), WM_APP_CONTROL, CTRL_CHECK_FAILED, 0);
  Serve([] { return false; }, 30);
  EXPECT_EQ(Buttons(), "Cu>C");
  PostMessageW(Dialog(), WM_APP_CONTROL, CTRL_START_CHECK, 0);
  CWindowController& controller = m_Dialog->Controller();
  ASSERT_TRUE(Serve([&] { return controller.UpgradeInProcess(); }));
  ASSERT_TRUE(Serve([&] { return !controller.UpgradeInProcess(); }, 60000));
  EXPECT_EQ(m_Sim->RouterImages().size(), 3u);
  ASSERT_TRUE(Serve([&] { return controller.CheckRunning(); }));
  ASSERT_TRUE(Serve([&] { return controller.UpgradeInProcess(); }));
  EXPECT_EQ(Column(STATUS_COLOURS), std::vector<std::string>(5, "ff0000"));

  NMHEADERW track = {};
  track.hdr = {ListView_GetHeader(Control(IDC_LIST)), 0, static_cast<UINT>(HDN_BEGINTRACKW)};
  EXPECT_EQ(SendMessageW(Control(IDC_LIST), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&track)), TRUE);
  EXPECT_EQ(SendMessageW(ListView_GetHeader(Control(IDC_LIST)), WM_SETCURSOR, 0, 0), TRUE);
  EXPECT_TRUE(m_Boxes.empty());
}

// The owner-drawn button with Wine's visual style: the style's push button
// in a look of its own for normal, hot and pressed; red text while
// hovered, the content one pixel right and down while pressed; disabled, a
// grey icon and embossed text, never red.
TEST_F(Win32WindowTest, ButtonsDrawEachState) {
  Open();
  ASSERT_TRUE(CThemeHelperST::IsAppThemed());
  CButtonST& button = m_Dialog->UpgradeButton();
  const HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 50);
  const HGDIOBJ old = SelectObject(dc, bitmap);
  POINT hovered = {-1, -1};  // where the red text starts while hovered
  std::vector<COLORREF> edges;  // each edge colour seen, named a, b, c...
  // The edge's name, then the text: "red" (or "red+1" one pixel further),
  // "embossed"; a coloured "icon".
  const auto look = [&](UINT itemState) {
    const DRAWITEMSTRUCT item = {ODT_BUTTON, IDC_UPGRADE, 0, ODA_DRAWENTIRE, itemState, button.Handle(), dc, {0, 0, 200, 50}, 0};
    button.DrawItem(item);
    const COLORREF edge = GetPixel(dc, 100, 0);
    if (std::find(edges.begin(), edges.end(), edge) == edges.end()) edges.push_back(edge);
    std::string text(1, static_cast<char>('a' + (std::find(edges.begin(), edges.end(), edge) - edges.begin())));
    int red = 0, coloured = 0, light = 0, dark = 0;
    POINT first = {};
    for (int y = 4; y < 46; ++y)
      for (int x = 3; x < 196; ++x) {
        const COLORREF p = GetPixel(dc, x, y);
        if (x < 36) coloured += GetBValue(p) > GetRValue(p) + 60;
        if (x < 40) continue;
        if (p == RGB(255, 0, 0) && red++ == 0) first = {x, y};
        light += p == GetSysColor(COLOR_3DHILIGHT), dark += p == GetSysColor(COLOR_3DSHADOW);
      }
    if (red > 20 && hovered.x < 0) hovered = first;
    return text + (red <= 20 ? "" : first.x == hovered.x && first.y == hovered.y ? " red" : first.x == hovered.x + 1 ? " red+1" : " red?") +
           (coloured > 50 ? " icon" : "") + (light > 10 && dark > 10 ? " embossed" : "");
  };
  std::vector<std::string> looks = {look(0)};
  SendMessageW(button.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
  looks.push_back(look(0));
  looks.push_back(look(ODS_SELECTED));
  SendMessageW(button.Handle(), WM_MOUSELEAVE, 0, 0);
  looks.push_back(look(0));
  looks.push_back(look(ODS_DISABLED));
  EXPECT_EQ(looks, std::vector<std::string>({"a icon", "b red icon", "c red+1 icon", "a icon", "a embossed"}));
  SelectObject(dc, old);
  DeleteObject(bitmap), DeleteDC(dc), ReleaseDC(nullptr, screen);
}

// The resource script's string table is the program's own, escapes and all.
TEST(Win32ResourceTest, StringTableIsTheProgramsOwn) {
  for (int id : {
#define QEL_STRING(name, id, text) id,
#include "model/StringTable.def"
#undef QEL_STRING
       }) {
    const wchar_t* text = nullptr;
    const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&text), 0);
    EXPECT_EQ(Utf8FromWide(text ? text : L"", length), LoadStringId(id)) << id;
  }
}

// A second start while the first window is minimised restores it; while it
// is not, nothing changes; either start ends at once with exit code 0.
TEST_F(Win32WindowTest, SecondInstanceRestoresAMinimisedFirst) {
  const HANDLE mutex = CreateMutexW(nullptr, TRUE, WideFromUtf8(SINGLE_INSTANCE_KEY).c_str());
  ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  Open();
  for (const int show : {SW_MINIMIZE, SW_MAXIMIZE}) {
    ShowWindow(Dialog(), show);
    std::wstring command = WideFromUtf8(BinDir() + "/QelUpgrade.exe");
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process));
    EXPECT_TRUE(Serve([&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; }, 20000));
    Serve([] { return false; }, 100);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread), CloseHandle(process.hProcess);
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(IsIconic(Dialog()));
    EXPECT_EQ(IsZoomed(Dialog()), show == SW_MAXIMIZE);
  }
  ReleaseMutex(mutex);
  CloseHandle(mutex);
}

}  // namespace
