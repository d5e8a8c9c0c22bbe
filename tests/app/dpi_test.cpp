// The wizard on screens of 96, 144 and 192 DPI. Wine reads the DPI once, when
// a process starts (HKCU\Control Panel\Desktop\LogPixels): one test sets it
// for each DPI in turn and starts this program again to look at the windows
// there (AtDpi.*); the run at 96 DPI leaves the sizes the others compare with.
#include "wizard_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace {

const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
const char kDpiVariable[] = "LUTROVANE_TEST_DPI";
const char kSizesVariable[] = "LUTROVANE_TEST_SIZES";

// A window's client size and the dialog units it was laid out in.
struct CLayout
{
    SIZE size;
    SIZE units;
};

CLayout LayoutOf(HWND hwnd)
{
    RECT rc;
    GetClientRect(hwnd, &rc);
    RECT rcUnits = {0, 0, 4, 8};
    MapDialogRect(hwnd, &rcUnits);
    return {{rc.right, rc.bottom}, {rcUnits.right, rcUnits.bottom}};
}

std::wstring ClassOf(HWND hwnd)
{
    wchar_t buf[64] = L"";
    GetClassNameW(hwnd, buf, 64);
    return buf;
}

// The texts of dlg's statics and buttons that their control cannot show
// whole, each measured with the control's own font as the control draws it
// (a static wraps a line that is too long, and loses what falls below).
std::vector<std::wstring> ClippedTexts(HWND dlg, UINT nDpi)
{
    std::vector<std::wstring> clipped;
    for (HWND ctl = GetWindow(dlg, GW_CHILD); ctl; ctl = GetWindow(ctl, GW_HWNDNEXT)) {
        const std::wstring strClass = ClassOf(ctl), strText = Text(ctl);
        const DWORD dwStyle = GetWindowLongW(ctl, GWL_STYLE);
        const bool bStatic = strClass == L"Static" && (dwStyle & SS_TYPEMASK) <= SS_RIGHT;
        if (strText.empty() || (!bStatic && strClass != L"Button"))
            continue;
        const HDC hdc = GetDC(ctl);
        const HGDIOBJ hOld = SelectObject(hdc, HGDIOBJ(SendMessageW(ctl, WM_GETFONT, 0, 0)));
        RECT rcText = {};
        DrawTextW(hdc, strText.c_str(), -1, &rcText, DT_CALCRECT | DT_SINGLELINE);
        // Radio buttons draw their box and half a digit's width first, as
        // the common controls do: 12 pixels at 96 DPI, and one.
        int nBox = 0;
        const DWORD dwType = dwStyle & BS_TYPEMASK;
        if (!bStatic && dwType != BS_PUSHBUTTON && dwType != BS_DEFPUSHBUTTON) {
            int nDigit = 0;
            GetCharWidthW(hdc, L'0', L'0', &nDigit);
            nBox = MulDiv(12, nDpi, 96) + 1 + nDigit / 2;
        }
        SelectObject(hdc, hOld);
        ReleaseDC(ctl, hdc);
        RECT rc;
        GetClientRect(ctl, &rc);
        if (rcText.right + nBox > rc.right || rcText.bottom > rc.bottom) {
            clipped.push_back(strText + L" (" + std::to_wstring(rcText.right + nBox) + L" of " +
                              std::to_wstring(rc.right) + L")");
        }
    }
    return clipped;
}

// Known: at 192 DPI NanumGothic, which stands in for 굴림 under Wine, sets the
// version line 357 pixels wide where its static, 101 dialog units, has 354:
// its glyphs at 24 pixels are wider than twice their 12-pixel selves. Only a
// wider static or another font would hold it, and the layout is fixed.
bool IsKnownClipping(const std::wstring& strClipped, UINT nDpi)
{
    return nDpi == 192 && strClipped.rfind(L"Lutrovane v1.0.3  (2005.03.09)", 0) == 0;
}

void ExpectNothingClipped(HWND dlg, UINT nDpi)
{
    for (const std::wstring& str : ClippedTexts(dlg, nDpi)) {
        if (!IsKnownClipping(str, nDpi))
            ADD_FAILURE() << "clipped: " << testing::PrintToString(str);
    }
}

SIZE BitmapSize(HGDIOBJ hBitmap)
{
    BITMAP bm = {};
    GetObjectW(hBitmap, sizeof(bm), &bm);
    return {bm.bmWidth, bm.bmHeight};
}

SIZE IconSize(HICON hIcon)
{
    ICONINFO info = {};
    if (!GetIconInfo(hIcon, &info))
        return {0, 0};
    const SIZE size = BitmapSize(info.hbmColor ? info.hbmColor : info.hbmMask);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return size;
}

std::string Str(SIZE size) { return std::to_string(size.cx) + "x" + std::to_string(size.cy); }

// Each window's layout at 96 DPI, as the run there wrote them down.
std::map<std::string, CLayout> ReadLayouts(const std::string& strPath)
{
    std::map<std::string, CLayout> layouts;
    std::ifstream file(strPath);
    std::string strName;
    CLayout layout;
    while (file >> strName >> layout.size.cx >> layout.size.cy >> layout.units.cx >> layout.units.cy)
        layouts[strName] = layout;
    return layouts;
}

// At 96 DPI writes the layouts down; elsewhere each window must be its 96-DPI
// size scaled as its dialog units scaled, within the pixel that rounding
// gives and takes at either DPI, and the units as the DPI scaled.
void CheckLayouts(const std::map<std::string, CLayout>& layouts, UINT nDpi, const char* pszPath)
{
    if (nDpi == 96) {
        std::ofstream file(pszPath);
        for (const auto& entry : layouts) {
            const CLayout& l = entry.second;
            file << entry.first << ' ' << l.size.cx << ' ' << l.size.cy << ' ' << l.units.cx << ' '
                 << l.units.cy << '\n';
        }
        return;
    }
    const std::map<std::string, CLayout> at96 = ReadLayouts(pszPath);
    ASSERT_FALSE(at96.empty()) << "no sizes from the run at 96 DPI";
    const double dScale = nDpi / 96.0;
    for (const auto& entry : layouts) {
        SCOPED_TRACE(entry.first);
        const auto it = at96.find(entry.first);
        ASSERT_NE(it, at96.end());
        const CLayout &l = entry.second, &l96 = it->second;
        // Dialog units are whole pixels: 7 at 96 DPI gives 10.5 at 144, and
        // the font has 11 there. Sizes follow the units, not the DPI.
        EXPECT_NEAR(l96.units.cx * dScale, l.units.cx, 0.5);
        EXPECT_NEAR(l96.units.cy * dScale, l.units.cy, 0.5);
        const double dX = double(l.units.cx) / l96.units.cx, dY = double(l.units.cy) / l96.units.cy;
        EXPECT_NEAR(l96.size.cx * dX, l.size.cx, 0.5 + dX / 2) << Str(l96.size) << " became " << Str(l.size);
        EXPECT_NEAR(l96.size.cy * dY, l.size.cy, 0.5 + dY / 2) << Str(l96.size) << " became " << Str(l.size);
    }
}

TEST(AtDpi, WindowsArtworkAndColumnsFollowTheDpiAndNoTextIsClipped)
{
    const char* pszDpi = std::getenv(kDpiVariable);
    const char* pszSizes = std::getenv(kSizesVariable);
    if (!pszDpi || !pszSizes)
        GTEST_SKIP() << "started by Dpi.* at the DPI it sets";
    const UINT nDpi = UINT(std::atoi(pszDpi));
    // Unaware, as without the manifest's word, the program would see 96.
    ASSERT_EQ(nDpi, AfxGetWindowDpi()) << "the process does not draw at the screen's DPI";
    const int nScale = nDpi == 192 ? 2 : nDpi == 144 ? 1 : 0;

    std::map<std::string, CLayout> layouts;
    CWizardRun run;
    run.Run([&] {
        HWND wizard = run.StartUp();
        ASSERT_TRUE(wizard);
        CLutrovaneMain* pSheet = static_cast<CLutrovaneMain*>(CWnd::FromHandlePermanent(wizard));
        const SIZE header = BitmapSize(pSheet->m_psh.hbmHeader);
        EXPECT_EQ((32 * (2 + nScale)) / 2, header.cx) << "header " << Str(header);
        EXPECT_EQ(header.cx, header.cy);
        const SIZE icon = IconSize(HICON(SendMessageW(wizard, WM_GETICON, ICON_BIG, 0)));
        const SIZE smallIcon = IconSize(HICON(SendMessageW(wizard, WM_GETICON, ICON_SMALL, 0)));
        EXPECT_EQ(GetSystemMetrics(SM_CXICON), icon.cx) << Str(icon);
        EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), smallIcon.cx) << Str(smallIcon);

        layouts["keyboard-page"] = LayoutOf(run.Page());
        // The frame holds its page whole.
        RECT rcFrame, rcPage;
        GetClientRect(wizard, &rcFrame);
        GetWindowRect(run.Page(), &rcPage);
        MapWindowPoints(NULL, wizard, reinterpret_cast<POINT*>(&rcPage), 2);
        RECT rcBoth;
        UnionRect(&rcBoth, &rcFrame, &rcPage);
        EXPECT_TRUE(EqualRect(&rcBoth, &rcFrame)) << "the page juts out of the wizard";
        ExpectNothingClipped(run.Page(), nDpi);

        ASSERT_TRUE(run.GoToList(0)) << run.Where();
        HWND page = run.Page(), list = GetDlgItem(page, IDC_MAP_LIST);
        layouts["list-page"] = LayoutOf(page);
        ExpectNothingClipped(page, nDpi);
        for (int col = 0; col < 2; ++col)
            EXPECT_EQ(MulDiv(175, nDpi, 96), ListView_GetColumnWidth(list, col)) << "column " << col;

        Click(page, IDC_ADD_MAP);
        HWND dlg = WaitShown(IsEditDialog);
        ASSERT_TRUE(dlg) << "no edit dialog";
        layouts["edit-dialog"] = LayoutOf(dlg);
        ExpectNothingClipped(dlg, nDpi);
        PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitGone(dlg));

        // The About box is the splash: its picture for the DPI fills it.
        PostMessageW(wizard, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        HWND about = WaitShown(IsPicture);
        ASSERT_TRUE(about);
        HWND picture = GetDlgItem(about, IDC_SPLASH_PICTURE);
        const SIZE pictureSize = BitmapSize(HGDIOBJ(SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0)));
        const SIZE expected[] = {{335, 300}, {503, 450}, {670, 600}};
        EXPECT_EQ(Str(expected[nScale]), Str(pictureSize));
        if (nScale) {
            EXPECT_EQ(Str(pictureSize), Str(LayoutOf(about).size)) << "the picture does not fill the box";
        }
        PostMessageW(about, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitGone(about));

        // Moved to a screen of another DPI, the wizard takes the place and
        // size the system suggests.
        RECT rcSuggested;
        GetWindowRect(wizard, &rcSuggested);
        InflateRect(&rcSuggested, -8, -6);
        SendMessageW(wizard, WM_DPICHANGED, MAKEWPARAM(nDpi, nDpi), LPARAM(&rcSuggested));
        RECT rc;
        GetWindowRect(wizard, &rc);
        EXPECT_TRUE(EqualRect(&rc, &rcSuggested)) << "WM_DPICHANGED's rectangle not taken";

        EXPECT_TRUE(run.End(kFinish));
    });
    CheckLayouts(layouts, nDpi, pszSizes);
}

// Sets the DPI that processes starting from now on see, and puts back what
// the prefix had.
class CLogPixelsKeeper
{
public:
    CLogPixelsKeeper()
    {
        DWORD cb = sizeof(m_dwSaved);
        m_bHad = RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", RRF_RT_REG_DWORD, NULL,
                              &m_dwSaved, &cb) == ERROR_SUCCESS;
    }
    ~CLogPixelsKeeper()
    {
        if (m_bHad)
            Set(m_dwSaved);
        else
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels");
    }
    CLogPixelsKeeper(const CLogPixelsKeeper&) = delete;
    CLogPixelsKeeper& operator=(const CLogPixelsKeeper&) = delete;

    static bool Set(DWORD dwDpi)
    {
        return RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", REG_DWORD, &dwDpi,
                               sizeof(dwDpi)) == ERROR_SUCCESS;
    }

private:
    DWORD m_dwSaved = 96;
    bool m_bHad;
};

// This test program again, with only the tests at one DPI; its exit code.
DWORD RunAtDpi(UINT nDpi, const std::string& strSizes)
{
    wchar_t szSelf[MAX_PATH];
    GetModuleFileNameW(NULL, szSelf, MAX_PATH);
    std::wstring strCommand = std::wstring(L"\"") + szSelf + L"\" --gtest_filter=AtDpi.*";
    SetEnvironmentVariableA(kDpiVariable, std::to_string(nDpi).c_str());
    SetEnvironmentVariableA(kSizesVariable, strSizes.c_str());
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi = {};
    const BOOL bStarted =
        CreateProcessW(szSelf, &strCommand[0], NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi);
    SetEnvironmentVariableA(kDpiVariable, NULL);
    SetEnvironmentVariableA(kSizesVariable, NULL);
    if (!bStarted)
        return DWORD(-1);
    DWORD dwExit = DWORD(-1);
    if (WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &dwExit);
    else
        TerminateProcess(pi.hProcess, 3);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return dwExit;
}

// The program's own manifest, as Windows reads it when it starts the program.
std::wstring ManifestSetting(const wchar_t* pszNamespace, const wchar_t* pszName)
{
    wchar_t szPath[MAX_PATH];
    std::wstring strProgram(szPath, GetModuleFileNameW(NULL, szPath, MAX_PATH));
    strProgram.replace(strProgram.rfind(L'\\') + 1, std::wstring::npos, L"Lutrovane.exe");
    ACTCTXW actctx = {};
    actctx.cbSize = sizeof(actctx);
    actctx.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    actctx.lpSource = strProgram.c_str();
    actctx.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    const HANDLE hActCtx = CreateActCtxW(&actctx);
    if (hActCtx == INVALID_HANDLE_VALUE)
        return L"(no manifest)";
    wchar_t szValue[128] = L"";
    SIZE_T n = 0;
    const BOOL bFound = QueryActCtxSettingsW(0, hActCtx, pszNamespace, pszName, szValue, 128, &n);
    ReleaseActCtx(hActCtx);
    return bFound ? szValue : L"(none)";
}

TEST(Dpi, TheProgramAsksForPerMonitorAwarenessAndScalesAt96And144And192)
{
    EXPECT_EQ(L"PerMonitorV2, PerMonitor",
              ManifestSetting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"));
    EXPECT_EQ(L"true/pm",
              ManifestSetting(L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware"));

    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    const std::string strSizes = std::string(szTemp) + "lutrovane-dpi-96.txt";
    DeleteFileA(strSizes.c_str());
    CLogPixelsKeeper keeper;
    for (UINT nDpi : {96u, 144u, 192u}) {
        SCOPED_TRACE(nDpi);
        ASSERT_TRUE(CLogPixelsKeeper::Set(nDpi));
        EXPECT_EQ(0u, RunAtDpi(nDpi, strSizes)) << "the run at " << nDpi << " DPI failed (above)";
    }
    DeleteFileA(strSizes.c_str());
}

}  // namespace
