// The wizard on screens of 96, 144 and 192 DPI. Wine reads the DPI once, when a process starts
// (HKCU\Control Panel\Desktop\LogPixels): Dpi.* sets it for each DPI in turn and starts this
// program again to look at the windows there (AtDpi.*).
#include "keyboard_view.h"
#include "window_driver.h"

#include <cstdlib>
#include <process.h>

namespace {

const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
const char kDpiVariable[] = "LUTROVANE_TEST_DPI";

// The texts of dlg's statics and buttons that their control cannot show
// whole, each measured with the control's own font (a static wraps a line
// that is too long, and loses what falls below).
void ExpectNothingClipped(HWND dlg, UINT nDpi)
{
    for (HWND ctl = GetWindow(dlg, GW_CHILD); ctl; ctl = GetWindow(ctl, GW_HWNDNEXT)) {
        const std::wstring strClass = ClassOf(ctl), strText = Text(ctl);
        const DWORD dwStyle = GetWindowLongW(ctl, GWL_STYLE), dwType = dwStyle & BS_TYPEMASK;
        const bool bStatic = strClass == L"Static" && (dwStyle & SS_TYPEMASK) <= SS_RIGHT;
        if (strText.empty() || (!bStatic && strClass != L"Button"))
            continue;
        const HDC hdc = GetDC(ctl);
        const HGDIOBJ hOld = SelectObject(hdc, HGDIOBJ(SendMessageW(ctl, WM_GETFONT, 0, 0)));
        RECT rcText = {}, rc;
        DrawTextW(hdc, strText.c_str(), -1, &rcText, DT_CALCRECT | DT_SINGLELINE);
        // Radio buttons draw their box and half a digit's width first, as
        // the common controls do: 12 pixels at 96 DPI, and one.
        int nDigit = 0;
        GetCharWidthW(hdc, L'0', L'0', &nDigit);
        if (!bStatic && dwType != BS_PUSHBUTTON && dwType != BS_DEFPUSHBUTTON)
            rcText.right += MulDiv(12, nDpi, 96) + 1 + nDigit / 2;
        SelectObject(hdc, hOld);
        ReleaseDC(ctl, hdc);
        GetClientRect(ctl, &rc);
        EXPECT_TRUE(rcText.right <= rc.right && rcText.bottom <= rc.bottom)
            << "clipped: " << testing::PrintToString(strText) << " " << rcText.right << " of " << rc.right;
    }
}

SIZE BitmapSize(HGDIOBJ hBitmap)
{
    BITMAP bm = {};
    GetObjectW(hBitmap, sizeof(bm), &bm);
    return {bm.bmWidth, bm.bmHeight};
}

TEST(AtDpi, TheWizardIsNotDrawnForTheDpi)
{
    const char* pszDpi = std::getenv(kDpiVariable);
    if (!pszDpi)
        GTEST_SKIP() << "started by Dpi.* at the DPI it sets";
    const UINT nDpi = UINT(std::atoi(pszDpi));
    // Unaware, as without the manifest's word, the program would see 96.
    ASSERT_EQ(nDpi, AfxGetWindowDpi()) << "the process does not draw at the screen's DPI";
    CWizardRun run;
    run.Run([&] {
        HWND wizard = run.StartUp();
        ASSERT_TRUE(wizard);
        // Artwork drawn for 100 %, 150 % and 200 %, at the size the DPI asks for.
        const SIZE header = BitmapSize(static_cast<CLutrovaneMain*>(CWnd::FromHandlePermanent(wizard))->m_psh.hbmHeader);
        EXPECT_TRUE(header.cx == MulDiv(32, nDpi, 96) && header.cy == header.cx) << header.cx;
        for (const auto& icon : {std::pair(ICON_BIG, SM_CXICON), std::pair(ICON_SMALL, SM_CXSMICON)}) {
            ICONINFO info = {};
            GetIconInfo(HICON(SendMessageW(wizard, WM_GETICON, icon.first, 0)), &info);
            EXPECT_EQ(GetSystemMetrics(icon.second), BitmapSize(info.hbmColor).cx) << "icon " << icon.first;
        }
        ExpectNothingClipped(run.Page(), nDpi);

        ASSERT_TRUE(run.GoToList(0));
        HWND page = run.Page(), list = GetDlgItem(page, IDC_MAP_LIST);
        ExpectNothingClipped(page, nDpi);
        // The two columns share the list's width, at every DPI.
        RECT rc;
        GetClientRect(list, &rc);
        const int nColumns = ListView_GetColumnWidth(list, 0) + ListView_GetColumnWidth(list, 1);
        EXPECT_TRUE(nColumns <= rc.right && 4 * nColumns >= 3 * rc.right) << nColumns << " of " << rc.right;

        Click(page, IDC_ADD_MAP);
        HWND dlg = WaitShown(IsEditDialog);
        ASSERT_TRUE(dlg) << "no edit dialog";
        for (UINT nID : {0, IDS_PRESS_KEY, IDS_KEY_TAKEN, IDS_KEY_WAIT_CANCELLED, IDS_KEY_WAIT_TIMED_OUT}) {  // the wait's texts
            if (nID)
                SetDlgItemTextW(dlg, IDC_KEY_WAIT_TEXT, AfxLoadStringW(nID).c_str());
            ExpectNothingClipped(dlg, nDpi);
        }
        PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitGone(dlg));

        // The keyboard view's picture is drawn for the DPI, and for another one it is moved to.
        Click(page, IDC_KEYBOARD_VIEW);
        HWND view = WaitShown([](HWND hwnd) { return Text(hwnd) == L"키보드 보기"; });
        ASSERT_TRUE(view) << "no keyboard view";
        const auto ExpectPictureFor = [&](UINT n) {
            RECT rcPicture;
            GetClientRect(GetDlgItem(view, IDC_VIEW_PICTURE), &rcPicture);
            const SIZE size = PictureSize(KeyboardLayout(0), n);
            EXPECT_EQ(size.cx + 2 * KeyboardMargin(n), rcPicture.right) << n;
            EXPECT_EQ(size.cy + 2 * KeyboardMargin(n), rcPicture.bottom) << n;
            for (UINT nID : {IDS_VIEW_TRY_STARTED, IDS_VIEW_EFFECT_UNKNOWN}) {
                SetDlgItemTextW(view, IDC_VIEW_STATUS, AfxLoadStringW(nID).c_str());
                ExpectNothingClipped(view, n);
            }
        };
        ExpectPictureFor(nDpi);
        const UINT nViewDpi = nDpi == 96 ? 192 : 96;
        RECT rcView;
        GetWindowRect(view, &rcView);
        rcView.right = rcView.left + MulDiv(rcView.right - rcView.left, nViewDpi, nDpi);
        rcView.bottom = rcView.top + MulDiv(rcView.bottom - rcView.top, nViewDpi, nDpi);
        SendMessageW(view, WM_DPICHANGED, MAKEWPARAM(nViewDpi, nViewDpi), LPARAM(&rcView));
        ExpectPictureFor(nViewDpi);
        PostMessageW(view, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitGone(view));

        // The About box is the splash: its picture for the DPI fills it.
        PostMessageW(wizard, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        HWND about = WaitShown(IsPicture);
        ASSERT_TRUE(about);
        const SIZE picture =
            BitmapSize(HGDIOBJ(SendDlgItemMessageW(about, IDC_SPLASH_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0)));
        EXPECT_NEAR(MulDiv(335, nDpi, 96), picture.cx, 1);
        GetClientRect(about, &rc);
        EXPECT_TRUE(nDpi == 96 || (picture.cx == rc.right && picture.cy == rc.bottom)) << "the picture does not fill the box";
        PostMessageW(about, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitGone(about));

        // Moved to a screen of another DPI, the wizard takes the place and size the system suggests
        // and, the system laying out nothing (as Wine), scales its pages: the one shown, and one shown later.
        const UINT nNew = nDpi == 96 ? 144 : 96;
        const auto Scaled = [&](LONG n) { return MulDiv(n, nNew, nDpi); };
        const auto FontHeight = [](HWND hwnd) {
            LOGFONTW lf = {};
            GetObjectW(HGDIOBJ(SendMessageW(hwnd, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
            return lf.lfHeight;
        };
        // The list's place in the frame's client area: the title bar is the system's.
        RECT rcSuggested, rcList;
        GetWindowRect(wizard, &rcSuggested);
        GetClientRect(list, &rcList);
        MapWindowPoints(list, wizard, reinterpret_cast<POINT*>(&rcList), 2);
        const LONG nFontHeight = FontHeight(list);
        rcSuggested.right = rcSuggested.left + Scaled(rcSuggested.right - rcSuggested.left);
        rcSuggested.bottom = rcSuggested.top + Scaled(rcSuggested.bottom - rcSuggested.top);
        SendMessageW(wizard, WM_DPICHANGED, MAKEWPARAM(nNew, nNew), LPARAM(&rcSuggested));
        GetWindowRect(wizard, &rc);
        EXPECT_TRUE(EqualRect(&rc, &rcSuggested)) << "WM_DPICHANGED's rectangle not taken";
        ASSERT_TRUE(run.Go(kBack, 0) && run.GoToList(2));
        for (HWND shown : {list, GetDlgItem(run.Page(), IDC_MAP_LIST)}) {
            GetClientRect(shown, &rc);
            MapWindowPoints(shown, wizard, reinterpret_cast<POINT*>(&rc), 2);
            EXPECT_NEAR(Scaled(rcList.left), rc.left, 2);
            EXPECT_NEAR(Scaled(rcList.bottom), rc.bottom, 2);
            EXPECT_NEAR(Scaled(nFontHeight), FontHeight(shown), 1);
            EXPECT_EQ(MulDiv(175, nNew, 96), ListView_GetColumnWidth(shown, 1));
        }
        ExpectNothingClipped(run.Page(), nNew);
        EXPECT_TRUE(run.End(kFinish));
    });
}

TEST(Dpi, TheWizardIsDrawnForTheScreenAt96And144And192)
{
    // 96 last: the screen the other tests' programs start on.
    for (DWORD dwDpi : {144u, 192u, 96u}) {
        SCOPED_TRACE(dwDpi);
        ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", REG_DWORD, &dwDpi,
                                                 sizeof(dwDpi)));
        // This test program again, with only AtDpi.*; the argument list is
        // joined with spaces, so the program's own path goes in quotes.
        wchar_t szSelf[MAX_PATH];
        GetModuleFileNameW(NULL, szSelf, MAX_PATH);
        SetEnvironmentVariableA(kDpiVariable, std::to_string(dwDpi).c_str());
        EXPECT_EQ(0, _wspawnl(_P_WAIT, szSelf, (L"\"" + std::wstring(szSelf) + L"\"").c_str(), L"--gtest_filter=AtDpi.*",
                              NULL))
            << "the run at " << dwDpi << " DPI failed (above)";
        SetEnvironmentVariableA(kDpiVariable, NULL);
    }
}

}  // namespace
