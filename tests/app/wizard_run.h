// The wizard's code run on the test's thread, which thereby is its
// user-interface thread, and driven from a second thread.
#pragma once

#include "window_driver.h"
#include "lutrovane_app.h"
#include "lutrovane_main.h"
#include "prop_page_step2.h"

#include <atomic>
#include <cstdio>
#include <thread>

// Runs the program's code (ui) on the test's thread and the user's steps on a
// second thread. Whatever the steps leave open is cancelled after them (No
// for the questions, which have no Cancel), so that a failed step ends the
// run instead of hanging the suite; a run that will not end ends the process.
class CUserRun
{
public:
    template <class TUi>
    auto RunWith(TUi ui, const std::function<void()>& steps) -> decltype(ui())
    {
        m_bEnded = false;
        std::thread user([&] {
            steps();
            for (const DWORD start = GetTickCount(); !m_bEnded; Sleep(200)) {
                if (GetTickCount() - start > 2 * kPatienceMs && std::fputs("The windows did not close on Cancel.\n", stderr) >= 0)
                    TerminateProcess(GetCurrentProcess(), 3);
                FindShown([](HWND hwnd) {
                    PostMessageW(hwnd, WM_COMMAND, IsMessageBox(hwnd) ? IDNO : IDCANCEL, 0);
                    return false;
                });
            }
        });
        const auto result = ui();
        m_bEnded = true;
        user.join();
        return result;
    }
    bool Ended() const { return m_bEnded; }

private:
    std::atomic<bool> m_bEnded{false};
};

// The wizard run as the program runs it, found and walked through its pages.
class CWizardRun : public CUserRun
{
public:
    BOOL Run(const std::function<void()>& steps)
    {
        return RunWith([] { return CLutrovaneApp().InitInstance(); }, steps);
    }

    HWND WaitWizard() { return m_hwndWizard = WaitShown(IsWizard); }
    // Waits for the splash and the wizard, gets the splash out of the way and
    // returns the wizard once it takes input; NULL if it never does.
    HWND StartUp()
    {
        HWND splash = WaitShown(IsPicture);
        if (!splash || !WaitWizard())
            return NULL;
        // Posted rather than clicked: should the splash have timed out by now,
        // a real click would land on the wizard.
        PostMessageW(splash, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        return WaitGone(splash) && WaitUntil([&] { return IsWindowEnabled(m_hwndWizard); }) ? m_hwndWizard : NULL;
    }
    HWND Page() const { return HWND(SendMessageW(m_hwndWizard, PSM_GETCURRENTPAGEHWND, 0, 0)); }

    // Waits for page nPage (0 the keyboard choice, 1 + type a list page)
    // with the caption and wizard buttons it shows.
    bool WaitAt(int nPage)
    {
        const auto CanPress = [&](int id) {
            HWND button = GetDlgItem(m_hwndWizard, id);
            return button && IsWindowVisible(button) && IsWindowEnabled(button);
        };
        return WaitUntil([&] {
            return SendMessageW(m_hwndWizard, PSM_HWNDTOINDEX, WPARAM(Page()), 0) == nPage &&
                   Text(m_hwndWizard) == (nPage ? L"Lutrovane v1.0.3 (단계2)" : L"Lutrovane v1.0.3 (단계1)") &&
                   CanPress(kBack) == (nPage > 0) && CanPress(kNext) == !nPage && CanPress(kFinish) == (nPage > 0);
        });
    }
    bool Go(int id, int nPage)
    {
        Click(m_hwndWizard, id);
        return WaitAt(nPage);
    }
    // From page 1: chooses keyboard type nType and goes on to its list page.
    bool GoToList(int nType)
    {
        Click(Page(), kOptions[nType]);
        return WaitUntil([&] { return IsDlgButtonChecked(Page(), kOptions[nType]) == BST_CHECKED; }) &&
               Go(kNext, nType + 1);
    }

    // Presses Cancel or Finish: true once the modal run has returned by itself.
    bool End(int id)
    {
        Click(m_hwndWizard, id);
        return WaitUntil([&] { return Ended(); });
    }
    // Starts at keyboard nType's list page, takes the steps there and ends with Finish.
    void AtList(int nType, const std::function<void(HWND page, HWND list)>& steps)
    {
        Run([&] {
            ASSERT_TRUE(StartUp() && GoToList(nType));
            HWND page = Page();
            steps(page, GetDlgItem(page, IDC_MAP_LIST));
            if (!testing::Test::HasFatalFailure()) {
                EXPECT_TRUE(End(kFinish));
            }
        });
    }

private:
    HWND m_hwndWizard = NULL;
};

inline CPropPageStep2* PageObject(HWND page) { return dynamic_cast<CPropPageStep2*>(CWnd::FromHandlePermanent(page)); }

// The codes the page writes for its rows, e.g. "3a00>1d00 ...".
inline std::string Codes(HWND page)
{
    CWordArray realKeys, mappedKeys;
    PageObject(page)->GetListScancodes(realKeys, mappedKeys);
    std::string str;
    char buf[16];
    for (int i = 0; i < realKeys.GetSize() && i < mappedKeys.GetSize(); ++i)
        str += std::string(i ? " " : "") + (std::snprintf(buf, sizeof(buf), "%04x>%04x", realKeys[i], mappedKeys[i]), buf);
    return str;
}

// Which of the buttons ids can be pressed, each as its letter or ".": "DMSA"
// for Delete, Modify, Save file and Apply, "LR" for Load and Remove system map.
inline std::string Enabled(HWND page, std::initializer_list<int> ids, const char* pszLetters)
{
    std::string str;
    for (int id : ids)
        str += IsEnabledItem(page, id) ? pszLetters[str.size()] : '.';
    return str;
}
inline std::string RowAndMapCommands(HWND page) { return Enabled(page, {IDC_DELETE_MAP, IDC_MODIFY_MAP, IDC_SAVE_FILE, IDC_APPLY_MAP}, "DMSA"); }
inline std::string SystemMapButtons(HWND page) { return Enabled(page, {IDC_LOAD_SYSTEM_MAP, IDC_REMOVE_SYSTEM_MAP}, "LR"); }

// The middle of a row, or (nItem -1) a point of the empty area below the
// rows, in screen coordinates.
inline POINT RowPoint(HWND list, int nItem)
{
    RECT rc = {LVIR_LABEL, 0, 0, 0};
    if (nItem < 0 && GetClientRect(list, &rc))
        rc = {0, rc.bottom - 8, rc.right / 2, rc.bottom};
    else
        SendMessageW(list, LVM_GETITEMRECT, nItem, LPARAM(&rc));
    POINT pt = Middle(rc);
    ClientToScreen(list, &pt);
    return pt;
}

// Modify on row nRow (clicked first), the mapped key changed to strMapped,
// Set, and the question answered; the dialog's combo boxes are given to
// check first.
inline void Modify(HWND page, int nRow, const wchar_t* pszMapped, int nAnswer = IDYES,
                   const std::function<void(HWND real, HWND mapped)>& check = {})
{
    ClickAt(RowPoint(GetDlgItem(page, IDC_MAP_LIST), nRow));
    Click(page, IDC_MODIFY_MAP);
    HWND dlg = WaitShown(IsEditDialog);
    ASSERT_TRUE(dlg) << "no edit dialog";
    if (check)
        check(GetDlgItem(dlg, IDC_REAL_KEY), GetDlgItem(dlg, IDC_MAP_KEY));
    EXPECT_TRUE(!pszMapped || ComboChoose(GetDlgItem(dlg, IDC_MAP_KEY), pszMapped));
    EXPECT_EQ(L"선택하신 매핑 코드를 정말로 수정하시겠습니까?", Command(dlg, IDC_SET_MAP, nAnswer));
}
